#include "platform/sim/services.h"

#include <algorithm>
#include <functional>
#include <set>

#include "platform/sim/eventlog.h"
#include "platform/sim/handles.h"
#include "platform/sim/machine.h"
#include "platform/sim/network.h"
#include "platform/sim/processes.h"
#include "platform/sim/registry.h"
#include "platform/sim/security.h"
#include "platform/sim/sim_platform.h"

namespace vorlek::sim {

using platform::ConfigChange;
using platform::LockStatus;
using platform::NewService;
using platform::Result;
using platform::ScHandle;
using platform::ServiceConfig;
using platform::ServiceEntry;
using platform::ServiceStatus;
using platform::Status;
namespace status = platform::status;
namespace svc = platform::svc;
namespace reg = platform::reg;

namespace {

constexpr StringView kControlSetPath = u"SYSTEM\\CurrentControlSet";
// The manager's source in the System log and its messages.
constexpr StringView kManagerSource = u"Service Control Manager";
constexpr uint32_t kControlSent = 0x40001B7B;        // "... was successfully sent a %2 control."
constexpr uint32_t kStateEntered = 0x40001B7C;       // "... entered the %2 state."
constexpr uint32_t kEndedUnexpectedly = 0xC0001B7A;  // "... terminated unexpectedly. ..."
constexpr Status kInvalidServiceLock = 1071;         // ERROR_INVALID_SERVICE_LOCK

// What a service does when controlled, beyond what its key says: the
// controls it accepts. Services not listed accept stop and shutdown.
struct Behaviour {
    StringView name;
    uint32_t controls;
};
const Behaviour kBehaviours[] = {
    {u"EventLog", 0},  // the log must not go: it refuses every control
    {u"RpcSs", 0},
    {u"LanmanServer", svc::kAcceptStop | svc::kAcceptPauseContinue | svc::kAcceptShutdown},
    {u"LanmanWorkstation", svc::kAcceptStop | svc::kAcceptPauseContinue | svc::kAcceptShutdown},
    {u"Netlogon", svc::kAcceptStop | svc::kAcceptPauseContinue | svc::kAcceptParamChange},
    {u"Schedule", svc::kAcceptStop | svc::kAcceptPauseContinue | svc::kAcceptShutdown},
    {u"Tcpip", svc::kAcceptStop},
};

// Processes the manager lives in or shares with the system: ending the last
// service in them does not end them.
bool system_host(StringView path) {
    const String upper = to_upper(path);
    return upper.ends_with(u"\\SERVICES.EXE") || upper.ends_with(u"\\LSASS.EXE");
}

bool is_driver(uint32_t type) {
    return (type & svc::kDriver) != 0;
}

// Whether a value's text is `text` (case aside), compared in place: the
// manager asks this of every service when it checks display names.
bool text_is(const RegistryValue& v, StringView text) {
    if (v.type == reg::kMultiSz || !reg::is_string(v.type))
        return equal_ignore_case(text_of(v), text);
    const auto unit = [&](size_t i) {
        return static_cast<char16_t>(v.data[2 * i] | v.data[2 * i + 1] << 8);
    };
    const size_t units = v.data.size() / 2;
    if (units < text.size()) return false;
    for (size_t i = 0; i < text.size(); ++i) {
        const char16_t c = unit(i);
        if (c == u'\0' || (c != text[i] && to_upper(c) != to_upper(text[i]))) return false;
    }
    return units == text.size() || unit(text.size()) == u'\0';
}

// The names of a multi-string value.
std::vector<String> list_of(const RegistryValue& v) {
    std::vector<String> out;
    const String all = text_of(v);
    size_t at = 0;
    while (at < all.size()) {
        const size_t end = std::min(all.find(u'\0', at), all.size());
        if (end > at) out.push_back(all.substr(at, end - at));
        at = end + 1;
    }
    return out;
}

uint32_t dword_value(const KeyNode& key, StringView name, uint32_t fallback) {
    const RegistryValue* v = key.value(name);
    return v ? dword_of(*v, fallback) : fallback;
}

// The values of a service's key that make its configuration.
enum class Field {
    Type,
    Start,
    ErrorControl,
    ImagePath,
    Group,
    Tag,
    DependOnService,
    DependOnGroup,
    ObjectName,
    DisplayName,
    Other
};
struct FieldName {
    StringView name;
    Field field;
};
constexpr FieldName kFields[] = {
    {u"Type", Field::Type},
    {u"Start", Field::Start},
    {u"ErrorControl", Field::ErrorControl},
    {u"ImagePath", Field::ImagePath},
    {u"Group", Field::Group},
    {u"Tag", Field::Tag},
    {u"DependOnService", Field::DependOnService},
    {u"DependOnGroup", Field::DependOnGroup},
    {u"ObjectName", Field::ObjectName},
    {u"DisplayName", Field::DisplayName},
};

Field config_field(StringView name) {
    for (const FieldName& f : kFields)
        if (f.name.size() == name.size() && equal_ignore_case(f.name, name)) return f.field;
    return Field::Other;
}

void set_dword(KeyNode& key, StringView name, uint32_t v) {
    key.set_value(name, reg::kDword,
                  {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8),
                   static_cast<uint8_t>(v >> 16), static_cast<uint8_t>(v >> 24)});
}

void set_text(KeyNode& key, StringView name, StringView text, uint32_t type = reg::kSz) {
    key.set_value(name, type, utf16_bytes(String(text) + u'\0'));
}

void set_list(KeyNode& key, StringView name, const std::vector<String>& items) {
    if (items.empty()) {
        key.remove_value(name);
        return;
    }
    String all;
    for (const String& item : items)
        all += item + u'\0';
    all.push_back(u'\0');
    key.set_value(name, reg::kMultiSz, utf16_bytes(all));
}

// A dependency list as the calls pass it: service names, and groups with "+".
struct Dependencies {
    std::vector<String> services;
    std::vector<String> groups;
};

Dependencies split_dependencies(StringView run) {
    Dependencies d;
    size_t at = 0;
    while (at < run.size()) {
        const size_t end = std::min(run.find(u'\0', at), run.size());
        StringView name = run.substr(at, end - at);
        if (name.empty()) break;
        if (name[0] == u'+')
            d.groups.emplace_back(name.substr(1));
        else
            d.services.emplace_back(name);
        at = end + 1;
    }
    return d;
}

// A key kept while it stays in the tree, else found again by `find` (and
// kept from then on).
template <class Find>
KeyNode* kept_key(std::weak_ptr<KeyNode>& kept, Find&& find) {
    if (auto k = kept.lock(); k && !k->deleted) return k.get();
    std::shared_ptr<KeyNode> k = find();
    kept = k;
    return k.get();
}

// The key that holds the services, found once and kept while it stays in
// the tree (the manager reads it for every service of every call).
KeyNode* services_key(Network& net, Machine& m) {
    return kept_key(m.services.write().services_key, [&]() -> std::shared_ptr<KeyNode> {
        RegistryState& r = registry_state(net, m);
        KeyNode* control_set =
            r.local_machine ? find_key(*r.local_machine, kControlSetPath) : nullptr;
        return control_set ? control_set->child_ref(u"Services") : nullptr;
    });
}

// The program a service's image path starts, as a full path.
String program_path(Machine& m, StringView image) {
    String path(image);
    if (path.starts_with(u"\"")) {
        const size_t close = path.find(u'"', 1);
        path = path.substr(1, close == String::npos ? String::npos : close - 1);
    } else {
        path = path.substr(0, path.find(u' '));
    }
    const String root = m.system.env(u"SystemRoot").value_or(u"C:\\WINNT");
    const String upper = to_upper(path);
    if (upper.starts_with(u"%SYSTEMROOT%"))
        path = root + path.substr(12);
    else if (upper.starts_with(u"\\SYSTEMROOT"))
        path = root + path.substr(11);
    else if (path.find(u':') == String::npos && !path.empty() && path[0] != u'\\')
        path = root + u"\\" + path;
    if (to_upper(path).find(u".EXE") == String::npos &&
        to_upper(path).find(u".SYS") == String::npos)
        path += u".exe";
    return path;
}

bool valid_type(uint32_t type) {
    switch (type) {
        case svc::kKernelDriver:
        case svc::kFileSystemDriver:
        case svc::kAdapter:
        case svc::kRecognizerDriver:
        case svc::kOwnProcess:
        case svc::kShareProcess:
        case svc::kOwnProcess | svc::kInteractive:
        case svc::kShareProcess | svc::kInteractive:
            return true;
        default:
            return false;
    }
}

// Whether a name is one the manager takes: not empty, not too long, no
// slashes.
bool valid_name(StringView name) {
    return !name.empty() && name.size() <= svc::kMaxNameLength &&
           name.find_first_of(u"\\/") == StringView::npos;
}

// The generic rights in the manager's and a service's own terms.
uint32_t map_manager_access(uint32_t access) {
    uint32_t out = access & ~0xF0000000u;
    if (access & svc::kGenericRead)
        out |= 0x20000 | svc::kManagerEnumerate | svc::kManagerQueryLockStatus;
    if (access & svc::kGenericWrite) out |= 0x20000 | svc::kManagerCreateService | 0x20;
    if (access & svc::kGenericExecute) out |= 0x20000 | svc::kManagerConnect | svc::kManagerLock;
    if (access & svc::kGenericAll) out |= svc::kManagerAllAccess;
    return out | svc::kManagerConnect;
}

uint32_t map_service_access(uint32_t access) {
    uint32_t out = access & ~0xF0000000u;
    if (access & svc::kGenericRead)
        out |= 0x20000 | svc::kQueryConfig | svc::kQueryStatus | svc::kInterrogate |
               svc::kEnumerateDependents;
    if (access & svc::kGenericWrite) out |= 0x20000 | svc::kChangeConfig;
    if (access & svc::kGenericExecute)
        out |= 0x20000 | svc::kStart | svc::kStop | svc::kPauseContinue | svc::kUserDefinedControl;
    if (access & svc::kGenericAll) out |= svc::kServiceAllAccess;
    return out;
}

constexpr uint32_t kManagerWriteRights =
    svc::kManagerCreateService | svc::kManagerLock | 0x20 | 0x40000 | 0x80000 | 0x10000;
constexpr uint32_t kServiceWriteRights = svc::kChangeConfig | svc::kStart | svc::kStop |
                                         svc::kPauseContinue | svc::kUserDefinedControl |
                                         svc::kDelete | 0x40000 | 0x80000;

// Whether the caller acts as an administrator (the token's groups).
bool caller_is_admin(Network& net) {
    ProcessesState& s = process_table(net, net.local());
    const SimToken& t = s.impersonation ? *s.impersonation : *s.current().token;
    const auto admins = platform::sid::builtin_alias(platform::sid::rid::kAdmins);
    return std::any_of(t.groups.begin(), t.groups.end(),
                       [&](const platform::TokenGroup& g) { return g.sid == admins; });
}

String caller_account(Network& net) {
    Machine& local = net.local();
    const String& user = local.security.user;
    if (user.find(u'\\') != String::npos) return user;
    if (auto account = resolve_name(net, local, user))
        return account->domain + u"\\" + account->name;
    return local.name + u"\\" + user;
}

// ---------------------------------------------------------------------------
// The manager's work on one machine

class Manager {
  public:
    Manager(Network& net, Machine& m) : net_(net), m_(m), s_(service_table(net, m)) {}

    ServicesState& state() { return s_; }
    uint64_t now() { return process_table(net_, m_).clock_ms; }

    ServiceRuntime* find(StringView name) {
        auto it = s_.services.find(to_upper(name));
        return it == s_.services.end() ? nullptr : &it->second;
    }
    KeyNode* key(StringView name) {
        KeyNode* all = services_key(net_, m_);
        return all ? all->child(name) : nullptr;
    }
    // The same through the key the service's runtime keeps.
    KeyNode* key(StringView name, ServiceRuntime& rt) {
        return kept_key(rt.key, [&]() -> std::shared_ptr<KeyNode> {
            KeyNode* all = services_key(net_, m_);
            return all ? all->child_ref(name) : nullptr;
        });
    }
    // Whether a service's display name (its key's name when it has none)
    // is `display`, case aside.
    bool display_is(StringView name, ServiceRuntime& rt, StringView display) {
        const KeyNode* k = key(name, rt);
        if (!k) return equal_ignore_case(name, display);
        const RegistryValue* v = k->value(u"DisplayName");
        if (v && !text_is(*v, u"")) return text_is(*v, display);
        return equal_ignore_case(k->name(), display);
    }
    // A service's display name alone (its key's name when it has none).
    String display_of(StringView name) {
        KeyNode* k = key(name);
        if (!k) return String(name);
        const RegistryValue* v = k->value(u"DisplayName");
        String text = v ? text_of(*v) : String();
        return text.empty() ? k->name() : text;
    }
    // The key's own spelling of a service's name.
    String key_name(StringView name) {
        KeyNode* k = key(name);
        return k ? k->name() : String(name);
    }

    ServiceConfig config(StringView name) {
        KeyNode* k = key(name);
        return k ? config_of(*k) : ServiceConfig{};
    }

    // A service's configuration from its key, read in one pass over the
    // key's values (the manager reads it for every service it lists).
    static ServiceConfig config_of(const KeyNode& k) {
        ServiceConfig c;
        c.start_type = svc::kDemandStart;
        c.error_control = svc::kErrorNormal;
        const RegistryValue* depend_on_service = nullptr;
        const RegistryValue* depend_on_group = nullptr;
        for (const RegistryValue& v : k.values()) {
            switch (config_field(v.name)) {
                case Field::Type:
                    c.type = dword_of(v, 0);
                    break;
                case Field::Start:
                    c.start_type = dword_of(v, svc::kDemandStart);
                    break;
                case Field::ErrorControl:
                    c.error_control = dword_of(v, svc::kErrorNormal);
                    break;
                case Field::ImagePath:
                    c.binary_path = text_of(v);
                    break;
                case Field::Group:
                    c.load_order_group = text_of(v);
                    break;
                case Field::Tag:
                    c.tag = dword_of(v, 0);
                    break;
                case Field::DependOnService:
                    depend_on_service = &v;
                    break;
                case Field::DependOnGroup:
                    depend_on_group = &v;
                    break;
                case Field::ObjectName:
                    c.start_name = text_of(v);
                    break;
                case Field::DisplayName:
                    c.display_name = text_of(v);
                    break;
                case Field::Other:
                    break;
            }
        }
        if (depend_on_service)
            for (const String& d : list_of(*depend_on_service))
                c.dependencies += d + u'\0';
        if (depend_on_group)
            for (const String& g : list_of(*depend_on_group))
                c.dependencies += u"+" + g + u'\0';
        c.dependencies.push_back(u'\0');
        if (c.start_name.empty() && !is_driver(c.type)) c.start_name = u"LocalSystem";
        if (c.display_name.empty()) c.display_name = k.name();
        return c;
    }

    // Brings a service up to the machine's time: a transition whose time is
    // up completes, and a service whose process has gone is stopped.
    void settle(ServiceRuntime& rt) {
        const uint64_t t = now();
        if (pending(rt.state) && t - rt.pending_since >= rt.transition_ms) {
            switch (rt.state) {
                case svc::kStartPending:
                case svc::kContinuePending:
                    rt.state = svc::kRunning;
                    announce(rt);
                    break;
                case svc::kPausePending:
                    rt.state = svc::kPaused;
                    announce(rt);
                    break;
                case svc::kStopPending:
                    stopped(rt, 0);
                    break;
            }
        }
        if (rt.state != svc::kStopped && rt.pid) {
            SimProcess* p = process_table(net_, m_).find(rt.pid);
            if (!p || !p->running()) {
                rt.pid = 0;
                stopped(rt, status::kProcessAborted);
            }
        }
    }

    static bool pending(uint32_t state) {
        return state == svc::kStartPending || state == svc::kStopPending ||
               state == svc::kPausePending || state == svc::kContinuePending;
    }

    ServiceStatus status(StringView name, ServiceRuntime& rt) {
        return status(config(name).type, rt);
    }
    ServiceStatus status(uint32_t type, ServiceRuntime& rt) {
        settle(rt);
        ServiceStatus st;
        st.type = type;
        st.state = rt.state;
        st.controls_accepted =
            rt.state == svc::kRunning || rt.state == svc::kPaused ? rt.controls_accepted : 0;
        st.win32_exit_code = rt.win32_exit_code;
        st.service_exit_code = rt.service_exit_code;
        st.process_id = rt.pid;
        if (pending(rt.state)) {
            // The service reports progress four times over its wait hint.
            const uint64_t elapsed = now() - rt.pending_since;
            st.check_point =
                1 + static_cast<uint32_t>(elapsed * 4 / std::max(rt.transition_ms, 1u));
            st.wait_hint = rt.transition_ms;
        }
        if (rt.pid && system_host(process_path(rt.pid))) st.flags = svc::kRunsInSystemProcess;
        return st;
    }

    String process_path(uint32_t pid) {
        SimProcess* p = process_table(net_, m_).find(pid);
        return p ? p->path : String();
    }

    // Starts a service and, first, what it depends on. `depth` guards
    // against dependency cycles written into the registry.
    Status start(StringView name, int depth = 0) {
        ServiceRuntime* rt = find(name);
        if (!rt) return status::kServiceDependencyFail;
        settle(*rt);
        if (rt->marked_for_delete) return status::kServiceMarkedForDelete;
        const ServiceConfig c = config(name);
        if (c.start_type == svc::kDisabled) return status::kServiceDisabled;
        if (rt->state != svc::kStopped) return status::kServiceAlreadyRunning;
        if (depth > 16) return status::kCircularDependency;
        const Dependencies deps = split_dependencies(c.dependencies);
        for (const String& d : deps.services) {
            ServiceRuntime* dep = find(d);
            if (!dep) return status::kServiceDependencyFail;
            settle(*dep);
            if (dep->state != svc::kStopped) continue;
            if (start(d, depth + 1) != status::kSuccess) return status::kServiceDependencyFail;
        }
        for (const String& g : deps.groups) {
            bool any = false;
            for (auto& [member, mrt] : s_.services) {
                if (!equal_ignore_case(config(member).load_order_group, g)) continue;
                settle(mrt);
                any = mrt.state != svc::kStopped || start(member, depth + 1) == status::kSuccess;
                if (any) break;
            }
            if (!any) return status::kServiceDependencyFail;
        }
        if (!is_driver(c.type)) {
            if (c.binary_path.empty()) return status::kFileNotFound;
            rt->pid = attach_process(name, c);
        }
        rt->win32_exit_code = 0;
        rt->service_exit_code = 0;
        if (depth == 0) announce_control(*rt, u"start");
        begin(*rt, svc::kStartPending, svc::kRunning);
        return status::kSuccess;
    }

    void begin(ServiceRuntime& rt, uint32_t pending_state, uint32_t done) {
        rt.pending_since = now();
        if (rt.transition_ms) {
            rt.state = pending_state;
        } else if (done == svc::kStopped) {
            stopped(rt, 0);
        } else {
            rt.state = done;
            announce(rt);
        }
    }

    // What the manager logs to System, as NT's does: a control sent at a
    // caller's request (with the caller's account), and each state a service
    // comes to; a service whose process went, as ended unexpectedly. What
    // the boot starts goes unlogged.
    void announce_control(ServiceRuntime& rt, StringView control) {
        if (booting_) return;
        write_event(net_, m_, kManagerSource, platform::evt::kInformation, 0, kControlSent,
                    caller_token(net_).user.bytes(),
                    {config(rt.name).display_name, String(control)});
    }
    void announce(ServiceRuntime& rt, uint32_t exit_code = 0) {
        if (booting_) return;
        const String display = config(rt.name).display_name;
        if (exit_code == status::kProcessAborted) {
            write_event(net_, m_, kManagerSource, platform::evt::kError, 0, kEndedUnexpectedly, {},
                        {display, u"1"});
            return;
        }
        static constexpr std::pair<uint32_t, StringView> kStateWords[] = {
            {svc::kRunning, u"running"}, {svc::kStopped, u"stopped"}, {svc::kPaused, u"paused"}};
        for (const auto& [state, word] : kStateWords)
            if (rt.state == state)
                write_event(net_, m_, kManagerSource, platform::evt::kInformation, 0, kStateEntered,
                            {}, {display, String(word)});
    }

    // Whether a running service depends on this one (by name or group).
    bool has_running_dependents(StringView name) {
        const String group = config(name).load_order_group;
        for (auto& [other, rt] : s_.services) {
            settle(rt);
            if (rt.state == svc::kStopped) continue;
            const Dependencies d = split_dependencies(config(other).dependencies);
            for (const String& s : d.services)
                if (equal_ignore_case(s, name)) return true;
            if (!group.empty())
                for (const String& g : d.groups)
                    if (equal_ignore_case(g, group)) return true;
        }
        return false;
    }

    Status control(StringView name, ServiceRuntime& rt, uint32_t control) {
        settle(rt);
        if (rt.state == svc::kStopped) return status::kServiceNotActive;
        if (pending(rt.state)) return status::kServiceCannotAcceptCtrl;
        switch (control) {
            case svc::kControlStop:
                if (!(rt.controls_accepted & svc::kAcceptStop))
                    return status::kInvalidServiceControl;
                if (has_running_dependents(name)) return status::kDependentServicesRunning;
                announce_control(rt, u"stop");
                begin(rt, svc::kStopPending, svc::kStopped);
                return status::kSuccess;
            case svc::kControlPause:
            case svc::kControlContinue:
                if (!(rt.controls_accepted & svc::kAcceptPauseContinue))
                    return status::kInvalidServiceControl;
                if (control == svc::kControlPause && rt.state == svc::kRunning) {
                    announce_control(rt, u"pause");
                    begin(rt, svc::kPausePending, svc::kPaused);
                } else if (control == svc::kControlContinue && rt.state == svc::kPaused) {
                    announce_control(rt, u"continue");
                    begin(rt, svc::kContinuePending, svc::kRunning);
                }
                return status::kSuccess;
            case svc::kControlInterrogate:
                return status::kSuccess;
            default:  // the service's own controls, 128 to 255
                return status::kSuccess;
        }
    }

    // A service that has stopped: its process ends when no other service
    // runs in it; a service marked for deletion goes once nobody holds it.
    void stopped(ServiceRuntime& rt, uint32_t exit_code) {
        rt.state = svc::kStopped;
        rt.win32_exit_code = exit_code;
        announce(rt, exit_code);
        const uint32_t pid = rt.pid;
        rt.pid = 0;
        if (pid) {
            const bool shared = std::any_of(s_.services.begin(), s_.services.end(),
                                            [&](const auto& e) { return e.second.pid == pid; });
            ProcessesState& procs = process_table(net_, m_);
            SimProcess* p = procs.find(pid);
            if (!shared && p && p->running() && !system_host(p->path)) procs.end(*p, 0);
        }
    }

    // The process a starting service runs in: a shared one's host when a
    // process of that program hosts services of the kind already, else a
    // new process of its program.
    uint32_t attach_process(StringView name, const ServiceConfig& c) {
        ProcessesState& procs = process_table(net_, m_);
        const String path = program_path(m_, c.binary_path);
        const bool share = (c.type & svc::kShareProcess) != 0;
        std::set<uint32_t> hosting;
        for (auto& [other, rt] : s_.services) {
            if (!rt.pid || other == to_upper(name)) continue;
            if (share && (config(other).type & svc::kShareProcess) &&
                equal_ignore_case(process_path(rt.pid), path))
                return rt.pid;
            hosting.insert(rt.pid);
        }
        // The manager's own process, and at boot the standard processes
        // that are the services' programs.
        for (auto& [pid, p] : procs.processes) {
            if (!p.running() || !equal_ignore_case(p.path, path) || hosting.count(pid)) continue;
            if (system_host(path) || booting_) return pid;
        }
        uint32_t parent = 0;
        for (auto& [pid, p] : procs.processes)
            if (p.running() && to_upper(p.path).ends_with(u"\\SERVICES.EXE")) parent = pid;
        auto token = parent ? procs.find(parent)->token : procs.current().token;
        return procs.start(path, parent, token).pid;
    }

    Status remove_now(StringView name) {
        if (KeyNode* all = services_key(net_, m_)) all->remove_child(name);
        s_.services.erase(to_upper(name));
        return status::kSuccess;
    }

    // Removes a service marked for deletion when nothing holds it and it is stopped.
    // `rt` is the runtime of `name`, as find gives it.
    void reap(StringView name, ServiceRuntime& rt) {
        if (!rt.marked_for_delete || rt.open_handles) return;
        settle(rt);
        if (rt.state == svc::kStopped) remove_now(name);
    }

    void set_booting(bool booting) { booting_ = booting; }

  private:
    Network& net_;
    Machine& m_;
    ServicesState& s_;
    bool booting_ = false;
};

void build_services(Network& net, Machine& m, ServicesState& s) {
    s.built = true;
    KeyNode* all = services_key(net, m);
    if (!all) return;
    for (KeyNode* k : all->children()) {
        if (!k->value(u"Type")) continue;
        ServiceRuntime rt;
        rt.name = k->name();
        if (is_driver(dword_value(*k, u"Type", 0))) rt.controls_accepted = svc::kAcceptStop;
        for (const Behaviour& b : kBehaviours)
            if (equal_ignore_case(b.name, k->name())) rt.controls_accepted = b.controls;
        rt.marked_for_delete = dword_value(*k, u"DeleteFlag", 0) != 0;
        s.services.emplace(to_upper(k->name()), rt);
    }
    // What the boot started, dependencies first.
    Manager manager(net, m);
    manager.set_booting(true);
    for (KeyNode* k : all->children()) {
        const uint32_t start = dword_value(*k, u"Start", svc::kDemandStart);
        if (!k->value(u"Type") || start > svc::kAutoStart) continue;
        if (ServiceRuntime* rt = manager.find(k->name()); rt && rt->state == svc::kStopped)
            manager.start(k->name());
    }
}

// ---------------------------------------------------------------------------
// The area

struct ManagerEntry {
    String machine;
    uint32_t access;
};
struct ServiceEntryHandle {
    String machine;
    String name;  // upper case
    uint32_t access;
};
struct LockEntry {
    String machine;
};

class SimServices : public platform::Services {
  public:
    explicit SimServices(Network& net)
        : net_(net),
          managers_(net.handles(), HandleKind::ServiceManager),
          services_(net.handles(), HandleKind::Service),
          locks_(net.handles(), HandleKind::ServiceLock) {}

    Result<ScHandle> open_manager(StringView machine, uint32_t access) override {
        auto call = net_.enter(op::OpenSCManager, machine);
        if (!call) {
            // The manager is reached by RPC: a machine that does not answer
            // reports the RPC server unavailable.
            if (call.status() == status::kBadNetPath && !net_.answers(machine))
                return Result<ScHandle>::failure(status::kRpcServerUnavailable);
            return call.failure<ScHandle>();
        }
        const uint32_t granted = map_manager_access(access);
        if ((granted & kManagerWriteRights) && !caller_is_admin(net_))
            return Result<ScHandle>::failure(status::kAccessDenied);
        service_table(net_, call.machine());
        return {status::kSuccess, managers_.open({call.machine().name, granted})};
    }

    Result<std::vector<ServiceEntry>> enumerate(ScHandle manager, uint32_t type,
                                                uint32_t state) override {
        using R = Result<std::vector<ServiceEntry>>;
        auto call = net_.enter(op::EnumServicesStatusEx);
        if (!call) return call.failure<std::vector<ServiceEntry>>();
        ManagerEntry* e = managers_.find(manager);
        if (!e) return R::failure(status::kInvalidHandle);
        if (!(e->access & svc::kManagerEnumerate)) return R::failure(status::kAccessDenied);
        if ((type & (svc::kWin32 | svc::kDriver)) == 0 || (type & ~svc::kTypeAll) ||
            state < svc::kActive || state > svc::kStateAll)
            return R::failure(status::kInvalidParameter);
        Manager mg(net_, *net_.find(e->machine));
        std::vector<ServiceEntry> out;
        out.reserve(mg.state().services.size());
        for (auto& [upper, rt] : mg.state().services) {
            const KeyNode* k = mg.key(upper, rt);
            if (!k) continue;
            ServiceConfig c = Manager::config_of(*k);
            if (!(c.type & type & (svc::kWin32 | svc::kDriver | svc::kAdapter))) continue;
            ServiceStatus st = mg.status(c.type, rt);
            const bool active = st.state != svc::kStopped;
            if (!(state & (active ? svc::kActive : svc::kInactive))) continue;
            out.push_back({k->name(), std::move(c.display_name), st});
        }
        return {status::kSuccess, std::move(out)};
    }

    Result<ScHandle> open_service(ScHandle manager, StringView name, uint32_t access) override {
        auto call = net_.enter(op::OpenService, {name});
        if (!call) return call.failure<ScHandle>();
        ManagerEntry* e = managers_.find(manager);
        if (!e) return Result<ScHandle>::failure(status::kInvalidHandle);
        if (!valid_name(name)) return Result<ScHandle>::failure(status::kInvalidName);
        Manager mg(net_, *net_.find(e->machine));
        ServiceRuntime* rt = mg.find(name);
        if (!rt) return Result<ScHandle>::failure(status::kServiceDoesNotExist);
        const uint32_t granted = map_service_access(access);
        if ((granted & rt->denied_access) ||
            ((granted & kServiceWriteRights) && !caller_is_admin(net_)))
            return Result<ScHandle>::failure(status::kAccessDenied);
        ++rt->open_handles;
        return {status::kSuccess, services_.open({e->machine, to_upper(name), granted})};
    }

    Result<ScHandle> create_service(ScHandle manager, const NewService& n) override {
        using R = Result<ScHandle>;
        auto call = net_.enter(op::CreateService, {n.name, n.display_name, n.binary_path,
                                                   n.load_order_group, n.start_name, n.password});
        if (!call) return call.failure<ScHandle>();
        ManagerEntry* e = managers_.find(manager);
        if (!e) return R::failure(status::kInvalidHandle);
        if (!(e->access & svc::kManagerCreateService)) return R::failure(status::kAccessDenied);
        if (!valid_name(n.name) || n.display_name.size() > svc::kMaxNameLength)
            return R::failure(status::kInvalidName);
        if (!valid_type(n.type) || n.start_type > svc::kDisabled ||
            n.error_control > svc::kErrorCritical || n.binary_path.empty() ||
            (!is_driver(n.type) && n.start_type < svc::kAutoStart))
            return R::failure(status::kInvalidParameter);
        Machine& m = *net_.find(e->machine);
        Manager mg(net_, m);
        if (mg.state().lock.locked) return R::failure(status::kServiceDatabaseLocked);
        if (mg.find(n.name)) return R::failure(status::kServiceExists);
        if (display_taken(mg, n.display_name.empty() ? n.name : n.display_name, {}))
            return R::failure(status::kDuplicateServiceName);
        KeyNode* all = services_key(net_, m);
        if (!all) return R::failure(status::kAccessDenied);
        KeyNode& k = all->add_child(n.name);
        set_dword(k, u"Type", n.type);
        set_dword(k, u"Start", n.start_type);
        set_dword(k, u"ErrorControl", n.error_control);
        set_text(k, u"ImagePath", n.binary_path, reg::kExpandSz);
        set_text(k, u"DisplayName", n.display_name.empty() ? n.name : n.display_name);
        if (!is_driver(n.type))
            set_text(k, u"ObjectName", n.start_name.empty() ? u"LocalSystem" : n.start_name);
        if (!n.load_order_group.empty()) set_text(k, u"Group", n.load_order_group);
        write_dependencies(k, n.dependencies);
        mg.state().services.emplace(to_upper(n.name), ServiceRuntime{.name = n.name});
        ServiceRuntime& rt = *mg.find(n.name);
        ++rt.open_handles;
        return {status::kSuccess,
                services_.open({e->machine, to_upper(n.name), map_service_access(n.access)})};
    }

    Result<ServiceStatus> query_status(ScHandle service) override {
        auto call = net_.enter(op::QueryServiceStatusEx);
        if (!call) return call.failure<ServiceStatus>();
        Opened o = opened(service, svc::kQueryStatus);
        if (!o.rt) return Result<ServiceStatus>::failure(o.status);
        return {status::kSuccess, o.manager->status(o.name, *o.rt)};
    }

    Result<ServiceConfig> query_config(ScHandle service) override {
        auto call = net_.enter(op::QueryServiceConfig);
        if (!call) return call.failure<ServiceConfig>();
        Opened o = opened(service, svc::kQueryConfig);
        if (!o.rt) return Result<ServiceConfig>::failure(o.status);
        return {status::kSuccess, o.manager->config(o.name)};
    }

    Result<LockStatus> query_lock_status(ScHandle manager) override {
        auto call = net_.enter(op::QueryServiceLockStatus);
        if (!call) return call.failure<LockStatus>();
        ManagerEntry* e = managers_.find(manager);
        if (!e) return Result<LockStatus>::failure(status::kInvalidHandle);
        if (!(e->access & svc::kManagerQueryLockStatus))
            return Result<LockStatus>::failure(status::kAccessDenied);
        Manager mg(net_, *net_.find(e->machine));
        const ServiceLockState& l = mg.state().lock;
        LockStatus out;
        if (l.locked) {
            out.locked = true;
            out.owner = l.owner;
            out.duration = static_cast<uint32_t>((mg.now() - l.since_ms) / 1000);
        }
        return {status::kSuccess, out};
    }

    Result<String> key_name(ScHandle manager, StringView display) override {
        auto call = net_.enter(op::GetServiceKeyName, {display});
        if (!call) return call.failure<String>();
        ManagerEntry* e = managers_.find(manager);
        if (!e) return Result<String>::failure(status::kInvalidHandle);
        Manager mg(net_, *net_.find(e->machine));
        for (auto& [upper, rt] : mg.state().services)
            if (mg.display_is(upper, rt, display)) return {status::kSuccess, mg.key_name(upper)};
        return Result<String>::failure(display.empty() || display.size() > svc::kMaxNameLength
                                           ? status::kInvalidName
                                           : status::kServiceDoesNotExist);
    }

    Result<String> display_name(ScHandle manager, StringView name) override {
        auto call = net_.enter(op::GetServiceDisplayName, {name});
        if (!call) return call.failure<String>();
        ManagerEntry* e = managers_.find(manager);
        if (!e) return Result<String>::failure(status::kInvalidHandle);
        if (!valid_name(name)) return Result<String>::failure(status::kInvalidName);
        Manager mg(net_, *net_.find(e->machine));
        if (!mg.find(name)) return Result<String>::failure(status::kServiceDoesNotExist);
        return {status::kSuccess, mg.display_of(name)};
    }

    Status start(ScHandle service) override {
        auto call = net_.enter(op::StartService);
        if (!call) return call.status();
        Opened o = opened(service, svc::kStart);
        if (!o.rt) return o.status;
        if (o.manager->state().lock.locked) return status::kServiceDatabaseLocked;
        return o.manager->start(o.name);
    }

    Result<ServiceStatus> control(ScHandle service, uint32_t control) override {
        using R = Result<ServiceStatus>;
        auto call = net_.enter(op::ControlService);
        if (!call) return call.failure<ServiceStatus>();
        uint32_t needed = 0;
        if (control == svc::kControlStop)
            needed = svc::kStop;
        else if (control == svc::kControlPause || control == svc::kControlContinue)
            needed = svc::kPauseContinue;
        else if (control == svc::kControlInterrogate)
            needed = svc::kInterrogate;
        else if (control >= 128 && control <= 255)
            needed = svc::kUserDefinedControl;
        else
            return R::failure(status::kInvalidParameter);
        Opened o = opened(service, needed);
        if (!o.rt) return R::failure(o.status);
        const Status s = o.manager->control(o.name, *o.rt, control);
        ServiceStatus st = o.manager->status(o.name, *o.rt);
        return {s, st};
    }

    Status change_config(ScHandle service, const ConfigChange& c) override {
        const auto text = [](const std::optional<String>& t) {
            return t ? StringView(*t) : StringView();
        };
        auto call = net_.enter(op::ChangeServiceConfig,
                               {text(c.binary_path), text(c.load_order_group), text(c.start_name),
                                text(c.password), text(c.display_name)});
        if (!call) return call.status();
        Opened o = opened(service, svc::kChangeConfig);
        if (!o.rt) return o.status;
        Manager& mg = *o.manager;
        if (mg.state().lock.locked) return status::kServiceDatabaseLocked;
        if (o.rt->marked_for_delete) return status::kServiceMarkedForDelete;
        // Everything is checked before anything is written, so a refused
        // change leaves the service as it was.
        const ServiceConfig now = mg.config(o.name);
        const uint32_t type = c.type == svc::kNoChange ? now.type : c.type;
        const uint32_t start = c.start_type == svc::kNoChange ? now.start_type : c.start_type;
        if (!valid_type(type) || start > svc::kDisabled ||
            (c.error_control != svc::kNoChange && c.error_control > svc::kErrorCritical))
            return status::kInvalidParameter;
        if (!is_driver(type) && start < svc::kAutoStart) return status::kInvalidParameter;
        if (c.binary_path && c.binary_path->empty()) return status::kInvalidParameter;
        if (c.display_name && (c.display_name->size() > svc::kMaxNameLength ||
                               display_taken(mg, *c.display_name, o.name)))
            return c.display_name->size() > svc::kMaxNameLength ? status::kInvalidParameter
                                                                : status::kDuplicateServiceName;
        if (c.dependencies) {
            const Dependencies d = split_dependencies(*c.dependencies);
            for (const String& s : d.services)
                if (equal_ignore_case(s, o.name)) return status::kCircularDependency;
        }
        if (c.start_name && !is_driver(type) && !valid_account(*c.start_name))
            return status::kInvalidServiceAccount;
        if ((type & svc::kInteractive) && c.start_name &&
            !equal_ignore_case(*c.start_name, u"LocalSystem"))
            return status::kInvalidParameter;

        KeyNode* k = mg.key(o.name);
        if (!k) return status::kServiceDoesNotExist;
        if (c.type != svc::kNoChange) set_dword(*k, u"Type", c.type);
        if (c.start_type != svc::kNoChange) set_dword(*k, u"Start", c.start_type);
        if (c.error_control != svc::kNoChange) set_dword(*k, u"ErrorControl", c.error_control);
        if (c.binary_path) set_text(*k, u"ImagePath", *c.binary_path, reg::kExpandSz);
        if (c.load_order_group) {
            if (c.load_order_group->empty())
                k->remove_value(u"Group");
            else
                set_text(*k, u"Group", *c.load_order_group);
        }
        if (c.dependencies) write_dependencies(*k, *c.dependencies);
        if (c.start_name) set_text(*k, u"ObjectName", *c.start_name);
        if (c.display_name) set_text(*k, u"DisplayName", *c.display_name);
        return status::kSuccess;
    }

    Status remove(ScHandle service) override {
        auto call = net_.enter(op::DeleteService);
        if (!call) return call.status();
        Opened o = opened(service, svc::kDelete);
        if (!o.rt) return o.status;
        if (o.rt->marked_for_delete) return status::kServiceMarkedForDelete;
        o.rt->marked_for_delete = true;
        if (KeyNode* k = o.manager->key(o.name)) set_dword(*k, u"DeleteFlag", 1);
        return status::kSuccess;
    }

    Result<ScHandle> lock(ScHandle manager) override {
        using R = Result<ScHandle>;
        auto call = net_.enter(op::LockServiceDatabase);
        if (!call) return call.failure<ScHandle>();
        ManagerEntry* e = managers_.find(manager);
        if (!e) return R::failure(status::kInvalidHandle);
        if (!(e->access & svc::kManagerLock)) return R::failure(status::kAccessDenied);
        Manager mg(net_, *net_.find(e->machine));
        ServiceLockState& l = mg.state().lock;
        if (l.locked) return R::failure(status::kServiceDatabaseLocked);
        l = {true, caller_account(net_), mg.now()};
        return {status::kSuccess, locks_.open({e->machine})};
    }

    Status unlock(ScHandle lock) override {
        auto call = net_.enter(op::UnlockServiceDatabase);
        if (!call) return call.status();
        LockEntry* e = locks_.find(lock);
        if (!e) return kInvalidServiceLock;
        if (Machine* m = net_.find(e->machine)) service_table(net_, *m).lock = {};
        locks_.close(lock);
        return status::kSuccess;
    }

    Status close(ScHandle handle) override {
        auto call = net_.enter(op::CloseServiceHandle);
        if (!call) return call.status();
        if (managers_.close(handle)) return status::kSuccess;
        ServiceEntryHandle* e = services_.find(handle);
        if (!e) return status::kInvalidHandle;
        const String machine = e->machine, name = e->name;
        services_.close(handle);
        if (Machine* m = net_.find(machine)) {
            Manager mg(net_, *m);
            if (ServiceRuntime* rt = mg.find(name)) {
                if (rt->open_handles) --rt->open_handles;
                mg.reap(name, *rt);
            }
        }
        return status::kSuccess;
    }

  private:
    struct Opened {
        std::optional<Manager> manager;
        String name;
        ServiceRuntime* rt = nullptr;
        Status status = status::kSuccess;
    };

    // The service a handle stands for, if the handle grants `needed`.
    Opened opened(ScHandle h, uint32_t needed) {
        Opened o;
        ServiceEntryHandle* e = services_.find(h);
        Machine* m = e ? net_.find(e->machine) : nullptr;
        if (!m) {
            o.status = status::kInvalidHandle;
            return o;
        }
        if ((e->access & needed) != needed) {
            o.status = status::kAccessDenied;
            return o;
        }
        o.manager.emplace(net_, *m);
        o.name = e->name;
        o.rt = o.manager->find(e->name);
        if (!o.rt) o.status = status::kInvalidHandle;
        return o;
    }

    static bool display_taken(Manager& mg, StringView display, StringView self) {
        for (auto& [upper, rt] : mg.state().services) {
            if (equal_ignore_case(upper, self)) continue;
            if (equal_ignore_case(upper, display) || mg.display_is(upper, rt, display)) return true;
        }
        return false;
    }

    bool valid_account(StringView name) {
        if (equal_ignore_case(name, u"LocalSystem")) return true;
        if (name.empty()) return false;
        return resolve_name(net_, net_.local(), name).has_value();
    }

    static void write_dependencies(KeyNode& k, StringView run) {
        const Dependencies d = split_dependencies(run);
        set_list(k, u"DependOnService", d.services);
        set_list(k, u"DependOnGroup", d.groups);
    }

    Network& net_;
    HandleTable<ManagerEntry> managers_;
    HandleTable<ServiceEntryHandle> services_;
    HandleTable<LockEntry> locks_;
};

}  // namespace

ServicesState& service_table(Network& net, Machine& machine) {
    ServicesState& s = machine.services.write();
    machine.registry.used = true;
    if (!s.built) build_services(net, machine, s);
    return s;
}

void restart_service_manager(Network& net, Machine& machine) {
    ServicesState& s = service_table(net, machine);
    ProcessesState& procs = process_table(net, machine);
    for (auto& [name, rt] : s.services) {
        SimProcess* p = rt.pid ? procs.find(rt.pid) : nullptr;
        if (p && p->running() && !system_host(p->path)) procs.end(*p, 0);
    }
    if (KeyNode* all = services_key(net, machine)) {
        std::vector<String> gone;
        for (KeyNode* k : all->children())
            if (dword_value(*k, u"DeleteFlag", 0)) gone.push_back(k->name());
        for (const String& name : gone)
            all->remove_child(name);
    }
    machine.services = ServicesState{};
    service_table(net, machine);
}

std::shared_ptr<platform::Services> make_services(Network& net) {
    return std::make_shared<SimServices>(net);
}

}  // namespace vorlek::sim
