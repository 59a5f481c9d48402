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
    u"module",          u"registry key",      u"service manager", u"service",    u"service lock",
    u"event log",       u"event source",      u"process",         u"thread",     u"token",
    u"window station",  u"desktop",           u"profile",         u"LSA policy", u"console",
    u"sockets session", u"multimedia device", u"window",          u"printer",
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
    touch(*slot);
    return *slot;
}

Machine* Network::find(StringView name) {
    if (name.empty()) name = local_name_;
    if (name.size() >= 2 && name[0] == u'\\' && name[1] == u'\\') name.remove_prefix(2);
    // Most calls are for this machine: known without hashing its name.
    if (local_ && equal_ignore_case(name, local_name_)) {
        touch(*local_);
        return local_;
    }
    auto it = machines_.find(name);
    if (it == machines_.end()) return nullptr;
    touch(*it->second);
    return it->second.get();
}

void Network::touch(const Machine& machine) {
    if (saved_ && std::find(touched_.begin(), touched_.end(), &machine) == touched_.end())
        touched_.push_back(&machine);
}

std::vector<Machine*> Network::machines() {
    std::vector<Machine*> out;
    for (const auto& [key, m] : machines_) {
        touch(*m);
        out.push_back(m.get());
    }
    std::sort(out.begin(), out.end(),
              [](const Machine* a, const Machine* b) { return a->name < b->name; });
    return out;
}

namespace {

// Copies machines, keeping shared what they share: one copy of an account
// database, a token or a key for every machine copied with one copier.
// A copy to keep (`deep`) has parts of its own. A copy made from the kept
// state shares its account database and tokens with it: the machine's first
// use of them makes the network's live copies (Network::own); its parts held
// copy-on-write it shares either way until it writes them.
class Copier {
  public:
    explicit Copier(bool deep) : deep_(deep) {}

    // `same_registry`: a machine whose registry and services are those of
    // `from` still; they are moved over instead of copied.
    std::unique_ptr<Machine> machine(const Machine& from, Machine* same_registry = nullptr) {
        auto m = std::make_unique<Machine>(from);  // the pointers still lead into `from`
        if (deep_) {
            m->accounts.database = copy(from.accounts.database, databases_);
            ProcessesState& p = m->processes.write();
            for (auto& [pid, process] : p.processes)
                process.token = copy(process.token, tokens_);
            p.impersonation = copy(p.impersonation, tokens_);
        }
        if (same_registry) {
            m->registry = std::move(same_registry->registry);
            m->services = std::move(same_registry->services);
        } else {
            RegistryState& r = m->registry;
            r.local_machine = tree(from.registry.local_machine);
            r.users = tree(from.registry.users);
            r.performance = tree(from.registry.performance);
            ServicesState& s = m->services.write();
            s.services_key = tree(from.services->services_key.lock());
            for (auto& [name, service] : s.services)
                service.key = tree(service.key.lock());
        }
        m->registry.used = false;
        return m;
    }

  private:
    template <class T>
    static std::shared_ptr<T> copy(const std::shared_ptr<T>& from,
                                   std::unordered_map<const T*, std::shared_ptr<T>>& done) {
        if (!from) return nullptr;
        auto& slot = done[from.get()];
        if (!slot) slot = std::make_shared<T>(*from);
        return slot;
    }
    // A key already copied with its tree, or a copy of the tree below it.
    std::shared_ptr<KeyNode> tree(const std::shared_ptr<KeyNode>& from) {
        if (!from) return nullptr;
        if (auto it = keys_.find(from.get()); it != keys_.end()) return it->second;
        return from->copy_tree(keys_);
    }

    bool deep_;
    std::unordered_map<const AccountDatabase*, std::shared_ptr<AccountDatabase>> databases_;
    std::unordered_map<const SimToken*, std::shared_ptr<SimToken>> tokens_;
    KeyNode::Copies keys_;
};

// What a machine's state may share with another machine's.
std::vector<const void*> shared_parts(const Machine& m) {
    std::vector<const void*> out{m.accounts.database.get(), m.processes->impersonation.get()};
    for (const auto& [pid, p] : m.processes->processes)
        out.push_back(p.token.get());
    out.erase(std::remove(out.begin(), out.end(), nullptr), out.end());
    return out;
}

}  // namespace

struct Network::Saved {
    std::vector<std::unique_ptr<Machine>> machines;  // by name
    // For each machine, its group: the index of one machine of those that
    // share state with it (directly or through others); its own if none.
    std::vector<size_t> group;
    Domains domains;
    Faults faults;
    HandleLedger handles;
};

void Network::save() {
    std::lock_guard lock(mutex_);
    auto saved = std::make_shared<Saved>();
    const std::vector<Machine*> live = machines();
    Copier copier(true);
    saved_parts_.clear();
    live_copies_.clear();
    for (const Machine* m : live) {
        saved->machines.push_back(copier.machine(*m));
        for (const void* part : shared_parts(*saved->machines.back()))
            saved_parts_.insert(part);
    }
    // Machines that share a part (transitively) form one group.
    std::vector<size_t> up(live.size());
    for (size_t i = 0; i < up.size(); ++i)
        up[i] = i;
    auto root = [&](size_t i) {
        while (up[i] != i)
            i = up[i];
        return i;
    };
    std::unordered_map<const void*, size_t> holder;
    for (size_t i = 0; i < live.size(); ++i) {
        for (const void* part : shared_parts(*live[i])) {
            auto [it, added] = holder.emplace(part, i);
            if (!added) up[root(i)] = root(it->second);
        }
    }
    for (size_t i = 0; i < live.size(); ++i)
        saved->group.push_back(root(i));
    saved->domains = domains_;
    saved->faults = faults_;
    saved->handles = handles_;
    saved_ = std::move(saved);
    // The first session starts from copies, as every later one does.
    touched_.assign(live.begin(), live.end());
}

void Network::restore() {
    std::lock_guard lock(mutex_);
    const Saved& saved = *saved_;
    const size_t n = saved.machines.size();
    std::vector<bool> redo(n, false);
    for (size_t i = 0; i < n; ++i) {
        auto it = machines_.find(saved.machines[i]->name);
        redo[i] = it == machines_.end() ||
                  std::find(touched_.begin(), touched_.end(), it->second.get()) != touched_.end();
    }
    for (size_t i = 0; i < n; ++i) {
        if (!redo[i]) continue;
        for (size_t j = 0; j < n; ++j) {
            if (saved.group[j] == saved.group[i]) redo[j] = true;
        }
    }
    // A new table each time, filled in one order: the same layout after
    // every restore, whatever was added and removed in between.
    decltype(machines_) next;
    Copier copier(false);
    for (size_t i = 0; i < n; ++i) {
        const String& name = saved.machines[i]->name;
        auto it = machines_.find(name);
        if (!redo[i]) {
            next.emplace(name, std::move(it->second));
            continue;
        }
        Machine* live = it == machines_.end() ? nullptr : it->second.get();
        next.emplace(name, copier.machine(*saved.machines[i],
                                          live && !live->registry.used ? live : nullptr));
    }
    machines_ = std::move(next);
    local_ = nullptr;
    domains_ = saved.domains;
    faults_ = saved.faults;
    handles_ = saved.handles;
    touched_.clear();
    live_copies_.clear();
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
    // Every account call asks for its machine's domain: a name of usual
    // length is upper-cased on the stack.
    char16_t buffer[32];
    String long_name;
    StringView upper;
    if (name.size() <= std::size(buffer)) {
        std::transform(name.begin(), name.end(), buffer, [](char16_t c) { return to_upper(c); });
        upper = StringView(buffer, name.size());
    } else {
        upper = long_name = to_upper(name);
    }
    auto it = domains_.find(upper);
    return it == domains_.end() ? nullptr : &it->second;
}

namespace {

// A browse list entry with the first eight code units of its name packed
// beside it. Sorting on those alone keeps the sort within one array; only
// names that share all eight are compared in full, through their machines.
// A large network's machines lie far apart in memory, and visiting two of
// them at every comparison made its lists cost more per machine than a small
// network's.
struct Listed {
    uint64_t head = 0;
    uint64_t tail = 0;
    const Machine* machine = nullptr;
};

Listed listed(const Machine* m) {
    Listed out{0, 0, m};
    const StringView name = m->name;
    for (size_t i = 0; i < 8; ++i) {
        const uint64_t unit = i < name.size() ? name[i] : 0;
        uint64_t& half = i < 4 ? out.head : out.tail;
        half = (half << 16) | unit;
    }
    return out;
}

std::vector<const Machine*> by_name(std::vector<Listed> list) {
    std::sort(list.begin(), list.end(), [](const Listed& a, const Listed& b) {
        if (a.head != b.head) return a.head < b.head;
        if (a.tail != b.tail) return a.tail < b.tail;
        return a.machine->name < b.machine->name;
    });
    std::vector<const Machine*> out;
    out.reserve(list.size());
    for (const Listed& l : list)
        out.push_back(l.machine);
    return out;
}

}  // namespace

std::vector<const Machine*> Network::browse_list(StringView lan_group) const {
    std::vector<Listed> list;
    for (const auto& [key, m] : machines_) {
        const ServerState& s = m->servers;
        if (s.browsing && s.info.hidden == 0 && !s.lan_group.empty() &&
            equal_ignore_case(s.lan_group, lan_group))
            list.push_back(listed(m.get()));
    }
    return by_name(std::move(list));
}

std::vector<const Machine*> Network::browse_list_all() const {
    std::vector<Listed> list;
    for (const auto& [key, m] : machines_) {
        const ServerState& s = m->servers;
        if (s.browsing && s.info.hidden == 0 && !s.lan_group.empty())
            list.push_back(listed(m.get()));
    }
    return by_name(std::move(list));
}

}  // namespace vorlek::sim
