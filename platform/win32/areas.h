// The real operating system's time, message and server operations. Each
// factory makes one area of the Windows platform class.
#pragma once

#include <memory>

#include "platform/platform.h"

namespace vorlek::platform::win32 {

std::unique_ptr<Time> make_time();
std::unique_ptr<Messages> make_messages();
std::unique_ptr<Servers> make_servers();

}  // namespace vorlek::platform::win32
