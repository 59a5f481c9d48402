// SIDs between the system's binary form and the platform's value type.
#pragma once

#include <windows.h>

#include <optional>

#include "platform/security.h"

namespace vorlek::platform::win32 {

// A copy of a SID the system handed out; nullopt for null or an invalid one.
std::optional<Sid> sid_from(PSID sid);

}  // namespace vorlek::platform::win32
