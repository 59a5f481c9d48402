#include "platform/sim/network.h"

#include <algorithm>

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

const Domain* Network::domain(StringView name) const {
    auto it = domains_.find(to_upper(name));
    return it == domains_.end() ? nullptr : &it->second;
}

std::vector<const Machine*> Network::browse_list(StringView lan_group) const {
    std::vector<const Machine*> out;
    for (const auto& [key, m] : machines_) {
        if (m->browsing && m->server.hidden == 0 && !m->lan_group.empty() &&
            equal_ignore_case(m->lan_group, lan_group))
            out.push_back(m.get());
    }
    std::sort(out.begin(), out.end(),
              [](const Machine* a, const Machine* b) { return a->name < b->name; });
    return out;
}

std::vector<const Machine*> Network::browse_list_all() const {
    std::vector<const Machine*> out;
    for (const auto& [key, m] : machines_) {
        if (m->browsing && m->server.hidden == 0 && !m->lan_group.empty()) out.push_back(m.get());
    }
    std::sort(out.begin(), out.end(),
              [](const Machine* a, const Machine* b) { return a->name < b->name; });
    return out;
}

void join(Machine& machine, StringView lan_group, uint32_t type, StringView comment) {
    machine.lan_group = to_upper(lan_group);
    machine.server.platform_id = platform::kPlatformIdNt;
    machine.server.name = machine.name;
    machine.server.version_major = 5;
    machine.server.version_minor = 0;
    machine.server.type = type;
    machine.server.comment = String(comment);
    const bool server = (type & platform::sv_type::kServerNt) != 0;
    machine.server.users = server ? 0xFFFFFFFF : 10;
    machine.server.auto_disconnect = 15;
    machine.server.announce = 240;
    machine.server.announce_delta = 3000;
    machine.server.licenses = 0;
    machine.server.user_path = u"c:\\";
}

namespace {

// A yearly rule: the `week`th (5 = last) `weekday` of `month` at `hour`.
platform::SystemTime rule(uint16_t month, uint16_t week, uint16_t weekday, uint16_t hour) {
    platform::SystemTime t;
    t.month = month;
    t.day = week;
    t.day_of_week = weekday;
    t.hour = hour;
    return t;
}

}  // namespace

platform::TimeZone central_european_zone() {
    platform::TimeZone z;
    z.bias = -60;
    z.standard_name = u"W. Europe Standard Time";
    z.standard_date = rule(10, 5, 0, 3);
    z.daylight_name = u"W. Europe Daylight Time";
    z.daylight_date = rule(3, 5, 0, 2);
    z.daylight_bias = -60;
    return z;
}

platform::TimeZone us_eastern_zone() {
    platform::TimeZone z;
    z.bias = 300;
    z.standard_name = u"Eastern Standard Time";
    z.standard_date = rule(11, 1, 0, 2);
    z.daylight_name = u"Eastern Daylight Time";
    z.daylight_date = rule(3, 2, 0, 2);
    z.daylight_bias = -60;
    return z;
}

}  // namespace vorlek::sim
