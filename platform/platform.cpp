#include "platform/platform.h"

#include <atomic>
#include <stdexcept>

namespace vorlek::platform {

namespace {
thread_local Platform* t_current = nullptr;
std::atomic<uint64_t> g_next_id{1};
}  // namespace

Platform::Platform(Areas areas, std::shared_ptr<void> context)
    : id_(g_next_id.fetch_add(1, std::memory_order_relaxed)),
      context_(std::move(context)),
      areas_(std::move(areas)) {
#define VORLEK_CHECK_AREA(Area, name) \
    if (!areas_.name) throw std::logic_error("platform without its " #name " area");
    VORLEK_PLATFORM_AREAS(VORLEK_CHECK_AREA)
#undef VORLEK_CHECK_AREA
}

Platform::~Platform() = default;

Platform& current() {
    return t_current ? *t_current : process_default();
}

ScopedPlatform::ScopedPlatform(std::shared_ptr<Platform> platform)
    : platform_(std::move(platform)), previous_(t_current) {
    t_current = platform_.get();
}

ScopedPlatform::~ScopedPlatform() {
    t_current = previous_;
}

}  // namespace vorlek::platform
