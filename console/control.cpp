#include "console/control.h"

#include <algorithm>
#include <atomic>
#include <memory>
#include <mutex>
#include <vector>

namespace vorlek {
String control_event_text(uint32_t signal);
}

namespace vorlek::control {

namespace {

constexpr int64_t kUnset = -2;
constexpr int64_t kNoEvent = -1;

struct Slot {
    std::atomic<int64_t> event{kUnset};
};

// The threads that hear the handler. The handler takes the lock only to
// walk the list; it never waits on anything else.
struct Listeners {
    std::mutex mutex;
    std::vector<std::shared_ptr<Slot>> slots;
};

Listeners& listeners() {
    static Listeners* all = new Listeners;  // outlives every thread's slot
    return *all;
}

void remove(const std::shared_ptr<Slot>& slot) {
    Listeners& l = listeners();
    std::lock_guard lock(l.mutex);
    l.slots.erase(std::remove(l.slots.begin(), l.slots.end(), slot), l.slots.end());
}

// The calling thread's slot; it stops listening when the thread ends.
struct ThreadSlot {
    std::shared_ptr<Slot> slot = std::make_shared<Slot>();
    ~ThreadSlot() { remove(slot); }
};

ThreadSlot& mine() {
    thread_local ThreadSlot slot;
    return slot;
}

}  // namespace

String last_event() {
    const int64_t e = mine().slot->event.load(std::memory_order_acquire);
    if (e == kUnset) return {};
    if (e == kNoEvent) return u"CTRL_NO_EVENT";
    return control_event_text(static_cast<uint32_t>(e));
}

void clear_last_event() {
    mine().slot->event.store(kNoEvent, std::memory_order_release);
}

void listen() {
    Listeners& l = listeners();
    std::lock_guard lock(l.mutex);
    const auto& slot = mine().slot;
    if (std::find(l.slots.begin(), l.slots.end(), slot) == l.slots.end()) l.slots.push_back(slot);
}

void stop_listening() {
    remove(mine().slot);
}

bool handler(uint32_t signal) noexcept {
    Listeners& l = listeners();
    std::lock_guard lock(l.mutex);
    for (const auto& slot : l.slots)
        slot->event.store(signal, std::memory_order_release);
    return true;
}

}  // namespace vorlek::control
