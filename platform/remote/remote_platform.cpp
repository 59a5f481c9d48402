#include "platform/remote/remote.h"

#include "platform/remote/areas.h"
#include "platform/sim/network.h"
#include "platform/sim/sim_platform.h"

namespace vorlek::platform::remote {

Result<std::shared_ptr<Platform>> make_platform(Credentials credentials) {
    auto session = Session::open(std::move(credentials));
    if (!session.ok()) return {session.status, {}};
    auto context = std::make_shared<Context>();
    context->session = std::move(session.value);
    context->local = std::make_shared<sim::SimPlatform>(sim::make_network(u"empty"));
    Areas areas;
#define VORLEK_MAKE_AREA(Area, name) areas.name = make_##name(*context);
    VORLEK_PLATFORM_AREAS(VORLEK_MAKE_AREA)
#undef VORLEK_MAKE_AREA
    return {status::kSuccess, std::make_shared<Platform>(std::move(areas), std::move(context))};
}

}  // namespace vorlek::platform::remote
