#include "automation/object.h"

#include <atomic>

namespace vorlek {

namespace {
std::atomic<uint64_t> g_live{0};
}  // namespace

Object::Object() {
    ++g_live;
}

uint64_t Object::live_count() noexcept {
    return g_live.load();
}

Object::~Object() {
    --g_live;
    if (peer_) peer_->object_destroyed();
}

}  // namespace vorlek
