// Which platform a process uses when nobody installed one for the thread.
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "platform/platform.h"
#include "platform/sim/network.h"
#include "platform/sim/sim_platform.h"
#ifdef _WIN32
#include "platform/win32/win32.h"
#endif

namespace vorlek::platform {

namespace {

std::unique_ptr<Platform> make_default() {
#ifdef _WIN32
    // The simulated network inside the real library is the dry-run mode: an
    // admin runs a script against it before running it for real. Only an
    // explicit choice selects it.
    const char* choice = std::getenv("VORLEK_PLATFORM");
    if (!choice || std::strcmp(choice, "sim") != 0) return win32::make_platform();
#endif
    return std::make_unique<sim::SimPlatform>(sim::make_network(u"default"));
}

}  // namespace

Platform& process_default() {
    static std::once_flag once;
    static std::unique_ptr<Platform> platform;
    std::call_once(once, [] { platform = make_default(); });
    return *platform;
}

}  // namespace vorlek::platform
