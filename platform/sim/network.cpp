#include "platform/sim/network.h"

#include <algorithm>

namespace vorlek::sim {

void Faults::fail(const Operation& operation, Status status, uint32_t times, uint32_t after) {
    rules_[&operation] = {status, times, after};
}

std::optional<Status> Faults::take(const Operation& operation) {
    if (rules_.empty()) return std::nullopt;
    auto it = rules_.find(&operation);
    if (it == rules_.end()) return std::nullopt;
    if (it->second.passing > 0) {
        --it->second.passing;
        return std::nullopt;
    }
    Status s = it->second.status;
    if (it->second.remaining != 0 && --it->second.remaining == 0) rules_.erase(it);
    return s;
}

namespace {
constexpr StringView kHandleKindNames[kHandleKinds] = {
    u"module",         u"registry key", u"service manager", u"service",    u"service lock",
    u"event log",      u"event source", u"process",         u"thread",     u"token",
    u"window station", u"desktop",      u"profile",         u"LSA policy", u"console",
};
}  // namespace

StringView handle_kind_name(HandleKind kind) {
    return kHandleKindNames[static_cast<size_t>(kind)];
}

Handle HandleLedger::open(HandleKind kind) {
    Handle h = next_;
    next_ += 4;  // handle values are multiples of four, as the system's are
    open_.emplace(h, kind);
    ++counts_[static_cast<size_t>(kind)];
    return h;
}

bool HandleLedger::close(Handle handle) {
    auto it = open_.find(handle);
    if (it == open_.end()) return false;
    --counts_[static_cast<size_t>(it->second)];
    open_.erase(it);
    return true;
}

std::optional<HandleKind> HandleLedger::kind_of(Handle handle) const {
    auto it = open_.find(handle);
    if (it == open_.end()) return std::nullopt;
    return it->second;
}

Network::Network(StringView local_name) : local_name_(to_upper(local_name)) {
    add_machine(local_name_);
}

Call Network::enter(const Operation& operation, std::initializer_list<StringView> texts) {
    std::unique_lock lock(mutex_);
    if (Status s = platform::c_strings_status(texts)) return Call(std::move(lock), s, nullptr);
    if (auto s = faults_.take(operation)) return Call(std::move(lock), *s, nullptr);
    return Call(std::move(lock), platform::status::kSuccess, &local());
}

Call Network::hold() {
    return Call(std::unique_lock(mutex_), platform::status::kSuccess, &local());
}

Call Network::enter(const Operation& operation, StringView server,
                    std::initializer_list<StringView> texts) {
    std::unique_lock lock(mutex_);
    if (Status s = platform::c_strings_status({server})) return Call(std::move(lock), s, nullptr);
    if (Status s = platform::c_strings_status(texts)) return Call(std::move(lock), s, nullptr);
    if (auto s = faults_.take(operation)) return Call(std::move(lock), *s, nullptr);
    Machine* m = nullptr;
    if (server.empty()) {
        m = &local();
    } else if (!(server.size() > 2 && server.substr(0, 2) == u"\\\\" &&
                 server.substr(2).find(u'\\') != StringView::npos)) {
        // "\\NAME\share" names no server.
        m = find(server);
        if (m && !m->reachable) m = nullptr;
    }
    if (!m) return Call(std::move(lock), platform::status::kBadNetPath, nullptr);
    return Call(std::move(lock), platform::status::kSuccess, m);
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

std::vector<Machine*> Network::machines() const {
    std::vector<Machine*> out;
    out.reserve(machines_.size());
    for (const auto& [key, m] : machines_)
        out.push_back(m.get());
    return out;
}

bool Network::answers(StringView name) {
    const Machine* m = name.empty() ? nullptr : find(name);
    return m && m->reachable;
}

const Domain* Network::domain(StringView name) const {
    auto it = domains_.find(to_upper(name));
    return it == domains_.end() ? nullptr : &it->second;
}

std::vector<const Machine*> Network::browse_list(StringView lan_group) const {
    std::vector<const Machine*> out;
    for (const auto& [key, m] : machines_) {
        const ServerState& s = m->servers;
        if (s.browsing && s.info.hidden == 0 && !s.lan_group.empty() &&
            equal_ignore_case(s.lan_group, lan_group))
            out.push_back(m.get());
    }
    std::sort(out.begin(), out.end(),
              [](const Machine* a, const Machine* b) { return a->name < b->name; });
    return out;
}

std::vector<const Machine*> Network::browse_list_all() const {
    std::vector<const Machine*> out;
    for (const auto& [key, m] : machines_) {
        const ServerState& s = m->servers;
        if (s.browsing && s.info.hidden == 0 && !s.lan_group.empty()) out.push_back(m.get());
    }
    std::sort(out.begin(), out.end(),
              [](const Machine* a, const Machine* b) { return a->name < b->name; });
    return out;
}

}  // namespace vorlek::sim
