#include "platform/sim/network.h"

namespace vorlek::sim {

void Machine::set_env(StringView name, StringView value) {
    environment[String(name)] = {String(name), String(value)};
}

std::optional<String> Machine::env(StringView name) const {
    auto it = environment.find(name);
    if (it == environment.end()) return std::nullopt;
    return it->second.second;
}

void Faults::fail(StringView operation, Status status, uint32_t times) {
    rules_[String(operation)] = {status, times};
}

std::optional<Status> Faults::take(StringView operation) {
    if (rules_.empty()) return std::nullopt;
    auto it = rules_.find(operation);
    if (it == rules_.end()) return std::nullopt;
    Status s = it->second.status;
    if (it->second.remaining != 0 && --it->second.remaining == 0) rules_.erase(it);
    return s;
}

HandleLedger::Handle HandleLedger::open(StringView kind) {
    Handle h = next_;
    next_ += 4;  // handle values are multiples of four, as the system's are
    open_.emplace(h, String(kind));
    return h;
}

bool HandleLedger::close(Handle handle) {
    return open_.erase(handle) != 0;
}

size_t HandleLedger::open_count(StringView kind) const {
    size_t n = 0;
    for (const auto& [h, k] : open_)
        n += k == kind;
    return n;
}

Network::Network(StringView local_name) : local_name_(to_upper(local_name)) {
    add_machine(local_name_);
}

Machine& Network::add_machine(StringView name) {
    String key = to_upper(name);
    auto& slot = machines_[key];
    if (!slot) {
        slot = std::make_unique<Machine>();
        slot->name = key;
    }
    return *slot;
}

Machine* Network::find(StringView name) {
    if (name.empty()) name = local_name_;
    if (name.size() >= 2 && name[0] == u'\\' && name[1] == u'\\') name.remove_prefix(2);
    auto it = machines_.find(name);
    return it == machines_.end() ? nullptr : it->second.get();
}

}  // namespace vorlek::sim
