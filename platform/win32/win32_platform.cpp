#include "platform/win32/areas.h"
#include "platform/win32/win32.h"

namespace vorlek::platform::win32 {

std::unique_ptr<Platform> make_platform() {
    Areas areas;
#define VORLEK_MAKE_AREA(Area, name) areas.name = make_##name();
    VORLEK_PLATFORM_AREAS(VORLEK_MAKE_AREA)
#undef VORLEK_MAKE_AREA
    return std::make_unique<Platform>(std::move(areas));
}

}  // namespace vorlek::platform::win32
