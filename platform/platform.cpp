#include "platform/platform.h"

#include <cstdlib>
#include <cstring>
#include <mutex>

#include "platform/sim/network.h"
#ifdef _WIN32
#include "platform/win32/win32.h"
#endif

namespace vorlek::platform {

namespace {
thread_local Platform* t_current = nullptr;

std::unique_ptr<Platform> make_default() {
#ifdef _WIN32
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

Platform& current() { return t_current ? *t_current : process_default(); }

ScopedPlatform::ScopedPlatform(std::shared_ptr<Platform> platform)
    : platform_(std::move(platform)), previous_(t_current) {
    t_current = platform_.get();
}

ScopedPlatform::~ScopedPlatform() { t_current = previous_; }

}  // namespace vorlek::platform
