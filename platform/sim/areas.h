// The factory of each simulated area, one per entry of the area list; each
// is defined in the area's own file (system.cpp, servers.cpp, ...).
#pragma once

#include <memory>

#include "platform/areas.h"
#include "platform/platform.h"

namespace vorlek::sim {

class Network;

#define VORLEK_SIM_FACTORY(Area, name) std::shared_ptr<platform::Area> make_##name(Network& net);
VORLEK_PLATFORM_AREAS(VORLEK_SIM_FACTORY)
#undef VORLEK_SIM_FACTORY

}  // namespace vorlek::sim
