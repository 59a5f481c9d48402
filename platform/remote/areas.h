// The factory of each area of the remote backend, one per entry of the area
// list; each is defined in the area's own file.
#pragma once

#include <memory>

#include "platform/areas.h"
#include "platform/platform.h"
#include "platform/remote/session.h"

namespace vorlek::platform::remote {

// What the areas are made with: the session that reaches the servers, and
// the local computations that need no machine (code pages, the system's
// message texts), which the simulated platform already does.
struct Context {
    std::shared_ptr<Session> session;
    std::shared_ptr<Platform> local;
};

#define VORLEK_REMOTE_FACTORY(Area, name) std::shared_ptr<Area> make_##name(const Context& context);
VORLEK_PLATFORM_AREAS(VORLEK_REMOTE_FACTORY)
#undef VORLEK_REMOTE_FACTORY

}  // namespace vorlek::platform::remote
