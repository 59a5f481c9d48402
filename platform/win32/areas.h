// The factory of each area of the real system, one per entry of the area
// list; each is defined in the area's own file (system.cpp, servers.cpp, ...).
#pragma once

#include <memory>

#include "platform/areas.h"
#include "platform/platform.h"

namespace vorlek::platform::win32 {

#define VORLEK_WIN32_FACTORY(Area, name) std::shared_ptr<Area> make_##name();
VORLEK_PLATFORM_AREAS(VORLEK_WIN32_FACTORY)
#undef VORLEK_WIN32_FACTORY

}  // namespace vorlek::platform::win32
