#include "platform/sim/sim_platform.h"

#include "platform/sim/areas.h"
#include "platform/sim/network.h"

namespace vorlek::sim {

namespace {

platform::Areas make_areas(Network& net) {
    platform::Areas areas;
#define VORLEK_MAKE_AREA(Area, name) areas.name = make_##name(net);
    VORLEK_PLATFORM_AREAS(VORLEK_MAKE_AREA)
#undef VORLEK_MAKE_AREA
    return areas;
}

}  // namespace

SimPlatform::SimPlatform(std::shared_ptr<Network> network)
    : Platform(make_areas(*network), network), network_(*network) {}

}  // namespace vorlek::sim
