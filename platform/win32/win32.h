// The real operating system behind the platform interfaces (Windows builds).
#pragma once

#include <memory>

#include "platform/platform.h"

namespace vorlek::platform::win32 {

std::unique_ptr<Platform> make_platform();

}  // namespace vorlek::platform::win32
