// The key tree of a simulated registry and the content a machine starts with.
#include <algorithm>

#include "platform/sim/messages.h"
#include "platform/sim/network.h"
#include "platform/sim/registry.h"
#include "platform/sim/security.h"

namespace vorlek::sim {

namespace reg = platform::reg;
using platform::Ace;
using platform::Acl;
using platform::SecurityDescriptor;
using platform::Sid;
namespace ace = platform::ace;

// --- KeyNode --------------------------------------------------------------

KeyNode* KeyNode::child(StringView name) const {
    auto it = children_.find(name);
    return it == children_.end() ? nullptr : it->second.get();
}

std::shared_ptr<KeyNode> KeyNode::child_ref(StringView name) const {
    auto it = children_.find(name);
    return it == children_.end() ? nullptr : it->second;
}

KeyNode& KeyNode::add_child(StringView name) {
    if (KeyNode* existing = child(name)) return *existing;
    auto node = std::make_shared<KeyNode>(String(name));
    node->parent_ = this;
    KeyNode& ref = *node;
    children_.emplace(String(name), std::move(node));
    order_valid_ = false;
    return ref;
}

void KeyNode::attach(std::shared_ptr<KeyNode> node) {
    remove_child(node->name());
    node->parent_ = this;
    String name = node->name();
    children_.emplace(std::move(name), std::move(node));
    order_valid_ = false;
}

void KeyNode::remove_child(StringView name) {
    auto it = children_.find(name);
    if (it == children_.end()) return;
    mark_deleted(*it->second);
    it->second->parent_ = nullptr;
    children_.erase(it);
    order_valid_ = false;
}

const std::vector<KeyNode*>& KeyNode::children() const {
    if (!order_valid_) {
        // A hive file lists sub-keys by their upper-case names: each name
        // is upper-cased once, not at every comparison.
        std::vector<std::pair<String, KeyNode*>> keyed;
        keyed.reserve(children_.size());
        for (const auto& entry : children_) {
            String upper = entry.second->name();
            for (char16_t& c : upper)
                c = to_upper(c);
            keyed.emplace_back(std::move(upper), entry.second.get());
        }
        std::sort(keyed.begin(), keyed.end(),
                  [](const auto& a, const auto& b) { return a.first < b.first; });
        order_.clear();
        order_.reserve(keyed.size());
        for (auto& k : keyed)
            order_.push_back(k.second);
        order_valid_ = true;
    }
    return order_;
}

const RegistryValue* KeyNode::value(StringView name) const {
    auto it = value_index_.find(name);
    return it == value_index_.end() ? nullptr : &values_[it->second];
}

void KeyNode::set_value(StringView name, uint32_t type, std::vector<uint8_t> data) {
    auto it = value_index_.find(name);
    if (it != value_index_.end()) {
        values_[it->second].type = type;
        values_[it->second].data = std::move(data);
        return;
    }
    value_index_.emplace(String(name), values_.size());
    values_.push_back(RegistryValue{String(name), type, std::move(data)});
}

bool KeyNode::remove_value(StringView name) {
    auto it = value_index_.find(name);
    if (it == value_index_.end()) return false;
    const size_t at = it->second;
    value_index_.erase(it);
    values_.erase(values_.begin() + static_cast<ptrdiff_t>(at));
    for (auto& entry : value_index_) {
        if (entry.second > at) --entry.second;
    }
    return true;
}

void KeyNode::take_contents(KeyNode& other) {
    for (auto& entry : children_) {
        mark_deleted(*entry.second);
        entry.second->parent_ = nullptr;
    }
    children_ = std::move(other.children_);
    other.children_.clear();
    for (auto& entry : children_)
        entry.second->parent_ = this;
    order_valid_ = false;
    values_ = std::move(other.values_);
    value_index_ = std::move(other.value_index_);
    other.values_.clear();
    other.value_index_.clear();
}

std::shared_ptr<KeyNode> KeyNode::copy_tree(Copies& copies) const {
    auto out = std::make_shared<KeyNode>(name_);
    out->class_name = class_name;
    out->write_time = write_time;
    out->is_volatile = is_volatile;
    out->deleted = deleted;
    out->security = security;  // descriptors do not change: shared
    out->values_ = values_;
    out->value_index_ = value_index_;
    // In enumeration order, so that copies of one tree are laid out alike.
    for (const KeyNode* child : children()) {
        auto c = child->copy_tree(copies);
        c->parent_ = out.get();
        out->children_.emplace(c->name_, std::move(c));
    }
    out->order_valid_ = false;
    copies.emplace(this, out);
    return out;
}

void mark_deleted(KeyNode& node) {
    // Iteratively: a hive from a file may be deep.
    std::vector<KeyNode*> pending{&node};
    while (!pending.empty()) {
        KeyNode* n = pending.back();
        pending.pop_back();
        n->deleted = true;
        for (KeyNode* c : n->children())
            pending.push_back(c);
    }
}

std::vector<uint8_t> utf16_bytes(StringView text) {
    std::vector<uint8_t> out;
    out.reserve(text.size() * 2);
    for (char16_t c : text) {
        out.push_back(static_cast<uint8_t>(c));
        out.push_back(static_cast<uint8_t>(c >> 8));
    }
    return out;
}

String utf16_text(const std::vector<uint8_t>& bytes) {
    String out;
    out.reserve(bytes.size() / 2);
    for (size_t i = 0; i + 1 < bytes.size(); i += 2)
        out.push_back(static_cast<char16_t>(bytes[i] | bytes[i + 1] << 8));
    return out;
}

KeyNode* find_key(KeyNode& from, StringView path) {
    KeyNode* node = &from;
    while (!path.empty() && node) {
        const size_t sep = path.find(u'\\');
        const StringView part = path.substr(0, sep);
        if (!part.empty()) node = node->child(part);
        path = sep == StringView::npos ? StringView() : path.substr(sep + 1);
    }
    return node;
}

// --- The content a machine starts with ---------------------------------------

namespace {

constexpr uint32_t kFull = reg::kAllAccess;
constexpr uint32_t kReadMask = reg::kRead;
constexpr uint8_t kInherit = ace::kContainerInherit;

Ace allow(const Sid& sid, uint32_t mask, uint8_t flags = kInherit) {
    return Ace{ace::kAccessAllowed, flags, mask, sid};
}

// The descriptors NT gives its hives: administrators and the system in full
// control, everyone may read; SAM and SECURITY for the system alone; the
// machine's software hive audits failed writes by anybody.
std::shared_ptr<const SecurityDescriptor> hive_descriptor(bool secret, bool audited) {
    SecurityDescriptor sd;
    sd.owner = platform::sid::builtin_alias(platform::sid::rid::kAdmins);
    sd.group = platform::sid::local_system();
    Acl dacl;
    if (secret) {
        dacl.aces = {allow(platform::sid::local_system(), kFull),
                     allow(platform::sid::builtin_alias(platform::sid::rid::kAdmins),
                           reg::kReadControl | reg::kWriteDac)};
    } else {
        dacl.aces = {allow(platform::sid::builtin_alias(platform::sid::rid::kAdmins), kFull),
                     allow(platform::sid::local_system(), kFull),
                     allow(platform::sid::creator_owner(), kFull, kInherit | ace::kInheritOnly),
                     allow(platform::sid::builtin_alias(platform::sid::rid::kPowerUsers),
                           kReadMask | reg::kSetValue | reg::kCreateSubKey | reg::kDelete),
                     allow(platform::sid::builtin_alias(platform::sid::rid::kUsers), kReadMask),
                     allow(platform::sid::everyone(), kReadMask)};
    }
    sd.dacl = std::move(dacl);
    if (audited) {
        Acl sacl;
        sacl.aces = {Ace{ace::kSystemAudit, static_cast<uint8_t>(kInherit | ace::kFailedAccess),
                         reg::kSetValue | reg::kCreateSubKey | reg::kDelete | reg::kWriteDac,
                         platform::sid::everyone()}};
        sd.sacl = std::move(sacl);
    }
    return std::make_shared<const SecurityDescriptor>(std::move(sd));
}

// Builds the content with one clock and lets each new key inherit from its
// parent, as keys made through the operations do.
class Builder {
  public:
    explicit Builder(platform::FileTime time) : time_(time) {}

    KeyNode& key(KeyNode& root, StringView path) {
        KeyNode* node = &root;
        while (!path.empty()) {
            const size_t sep = path.find(u'\\');
            const StringView part = path.substr(0, sep);
            KeyNode* next = node->child(part);
            if (!next) {
                next = &node->add_child(part);
                next->write_time = time_;
                next->security = inherited(*node);
            }
            node = next;
            path = sep == StringView::npos ? StringView() : path.substr(sep + 1);
        }
        return *node;
    }
    static void sz(KeyNode& k, StringView name, StringView text, uint32_t type = reg::kSz) {
        std::vector<uint8_t> data = utf16_bytes(text);
        data.push_back(0);
        data.push_back(0);
        k.set_value(name, type, std::move(data));
    }
    static void multi(KeyNode& k, StringView name, std::initializer_list<StringView> items) {
        String text;
        for (StringView s : items) {
            text += s;
            text.push_back(u'\0');
        }
        text.push_back(u'\0');
        k.set_value(name, reg::kMultiSz, utf16_bytes(text));
    }
    static void dword(KeyNode& k, StringView name, uint32_t v) {
        k.set_value(name, reg::kDword,
                    {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8),
                     static_cast<uint8_t>(v >> 16), static_cast<uint8_t>(v >> 24)});
    }

  private:
    std::shared_ptr<const SecurityDescriptor> inherited(const KeyNode& parent) {
        auto& cached = cache_[parent.security.get()];
        if (!cached && parent.security) {
            cached = std::make_shared<const SecurityDescriptor>(platform::inherit_descriptor(
                *parent.security, *parent.security->owner, *parent.security->group, true));
        }
        return cached ? cached : parent.security;
    }
    platform::FileTime time_;
    std::unordered_map<const SecurityDescriptor*, std::shared_ptr<const SecurityDescriptor>> cache_;
};

struct ServiceKey {
    StringView name;
    StringView display_name;
    uint32_t type;   // 0x1 kernel driver, 0x2 file-system driver, 0x10 own process, 0x20 shared
    uint32_t start;  // 0 boot, 1 system, 2 automatic, 3 manual, 4 disabled
    StringView image_path;
    StringView object_name;  // "" for a driver
    StringView group;
    std::initializer_list<StringView> depend_on_service;
    std::initializer_list<StringView> depend_on_group;
    uint32_t error_control = 1;
    uint32_t tag = 0;  // a driver's place in its group; 0: none
};

constexpr StringView kServicesExe = u"%SystemRoot%\\System32\\services.exe";

// What an NT server runs, by key name: some stopped, some disabled, the
// drivers the network services need.
const ServiceKey kServices[] = {
    {u"Afd",
     u"AFD Networking Support Environment",
     0x1,
     1,
     u"System32\\drivers\\afd.sys",
     u"",
     u"TDI",
     {},
     {}},
    {u"Alerter",
     u"Alerter",
     0x20,
     4,
     kServicesExe,
     u"LocalSystem",
     u"",
     {u"LanmanWorkstation"},
     {}},
    {u"Beep", u"Beep", 0x1, 1, u"System32\\drivers\\beep.sys", u"", u"Base", {}, {}, 1, 2},
    {u"Browser",
     u"Computer Browser",
     0x20,
     2,
     kServicesExe,
     u"LocalSystem",
     u"",
     {u"LanmanWorkstation", u"LanmanServer", u"LmHosts"},
     {}},
    {u"Cdfs", u"Cdfs", 0x2, 4, u"System32\\drivers\\cdfs.sys", u"", u"File system", {}, {}, 0},
    {u"ClipSrv",
     u"ClipBook",
     0x10,
     3,
     u"%SystemRoot%\\system32\\clipsrv.exe",
     u"LocalSystem",
     u"",
     {u"NetDDE"},
     {}},
    {u"EventLog",
     u"Event Log",
     0x20,
     2,
     u"%SystemRoot%\\system32\\services.exe",
     u"LocalSystem",
     u"Event log",
     {},
     {}},
    {u"LanmanServer", u"Server", 0x20, 2, kServicesExe, u"LocalSystem", u"", {}, {}},
    {u"LanmanWorkstation",
     u"Workstation",
     0x20,
     2,
     kServicesExe,
     u"LocalSystem",
     u"NetworkProvider",
     {},
     {u"TDI"}},
    {u"LmHosts",
     u"TCP/IP NetBIOS Helper Service",
     0x20,
     2,
     kServicesExe,
     u"LocalSystem",
     u"TDI",
     {},
     {}},
    {u"Messenger",
     u"Messenger",
     0x20,
     2,
     kServicesExe,
     u"LocalSystem",
     u"",
     {u"LanmanWorkstation", u"NetBIOS"},
     {}},
    {u"NetBIOS",
     u"NetBIOS Interface",
     0x1,
     1,
     u"System32\\DRIVERS\\netbios.sys",
     u"",
     u"NetBIOSGroup",
     {},
     {u"TDI"}},
    {u"NetDDE",
     u"Network DDE",
     0x10,
     3,
     u"%SystemRoot%\\system32\\netdde.exe",
     u"LocalSystem",
     u"NetDDEGroup",
     {},
     {}},
    {u"Netlogon",
     u"Net Logon",
     0x20,
     3,
     u"%SystemRoot%\\System32\\lsass.exe",
     u"LocalSystem",
     u"RemoteValidation",
     {u"LanmanWorkstation", u"LmHosts"},
     {}},
    {u"Ntfs", u"Ntfs", 0x2, 3, u"", u"", u"Boot file system", {}, {}},
    {u"Null", u"Null", 0x1, 1, u"", u"", u"Base", {}, {}, 1, 1},
    {u"RemoteRegistry",
     u"Remote Registry Service",
     0x10,
     2,
     u"%SystemRoot%\\system32\\regsvc.exe",
     u"LocalSystem",
     u"",
     {u"RpcSs"},
     {}},
    {u"RpcSs",
     u"Remote Procedure Call (RPC)",
     0x20,
     2,
     u"%SystemRoot%\\system32\\svchost -k rpcss",
     u"LocalSystem",
     u"COM Infrastructure",
     {},
     {}},
    {u"Schedule",
     u"Task Scheduler",
     0x10,
     2,
     u"%SystemRoot%\\System32\\MSTask.exe",
     u"LocalSystem",
     u"SchedulerGroup",
     {u"RpcSs"},
     {}},
    {u"Spooler",
     u"Print Spooler",
     0x10,
     2,
     u"%SystemRoot%\\system32\\spoolsv.exe",
     u"LocalSystem",
     u"SpoolerGroup",
     {u"RPCSS"},
     {}},
    {u"Tcpip",
     u"TCP/IP Protocol Driver",
     0x1,
     1,
     u"System32\\DRIVERS\\tcpip.sys",
     u"",
     u"PNP_TDI",
     {},
     {}},
    {u"TlntSvr",
     u"Telnet",
     0x10,
     4,
     u"%SystemRoot%\\system32\\tlntsvr.exe",
     u"LocalSystem",
     u"",
     {u"RpcSs", u"Tcpip"},
     {}},
};

struct EventSource {
    StringView log;
    StringView source;
    StringView message_file;
    uint32_t categories;        // how many its message file names; 0: none
    StringView parameter_file;  // "" when it has none
};

constexpr StringView kNetEvent = u"%SystemRoot%\\System32\\netevent.dll";
const EventSource kEventSources[] = {
    {u"Application", u"Vorlek", kSampleMessageFilePath, 2, u""},
    {u"Application", u"Application Popup", u"%SystemRoot%\\System32\\ntdll.dll", 0, u""},
    {u"Security", u"Security", u"%SystemRoot%\\System32\\MsAuditE.dll", 9, u""},
    {u"System", u"EventLog", kNetEvent, 0, u""},
    {u"System", u"Service Control Manager", kNetEvent, 0, u"%SystemRoot%\\System32\\kernel32.dll"},
    {u"System", u"Vorlek", kSampleMessageFilePath, 2, u""},
    {u"Vorlek Inventory", u"Inventory Scanner", kSampleMessageFilePath, 2, u""},
};

// The logs of the event-log service, the standard three and one of an
// application's own, with their files, sizes and retention.
struct EventLogKey {
    StringView name;
    StringView file;
    uint32_t max_size;
    uint32_t retention;  // seconds; 0 overwrites as needed
};
const EventLogKey kEventLogs[] = {
    {u"Application", u"AppEvent", 0x80000, 0x93A80},
    {u"Security", u"SecEvent", 0x80000, 0x93A80},
    {u"System", u"SysEvent", 0x80000, 0x93A80},
    {u"Vorlek Inventory", u"VorlekInv", 0x10000, 0},
};

String hex8(uint32_t v) {
    static constexpr char16_t kHex[] = u"0123456789ABCDEF";
    String out(8, u'0');
    for (int i = 7; i >= 0; --i, v >>= 4)
        out[static_cast<size_t>(i)] = kHex[v & 0xF];
    return out;
}

void software(Builder& b, KeyNode& hklm, Machine& m) {
    const String root = m.system.env(u"SystemRoot").value_or(u"C:\\WINNT");
    KeyNode& cv = b.key(hklm, u"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion");
    const auto& info = m.servers.info;
    Builder::sz(cv, u"CurrentVersion",
                decimal(info.version_major) + u"." + decimal(info.version_minor));
    Builder::sz(cv, u"CurrentBuildNumber", u"2195");
    Builder::sz(cv, u"CurrentType", u"Uniprocessor Free");
    Builder::sz(cv, u"CSDVersion", u"Service Pack 4");
    Builder::sz(cv, u"ProductName", u"Microsoft Windows 2000");
    Builder::sz(cv, u"RegisteredOwner", u"Administrator");
    Builder::sz(cv, u"RegisteredOrganization", u"CORP");
    Builder::sz(cv, u"SystemRoot", root);
    Builder::sz(cv, u"PathName", root);
    Builder::dword(cv, u"InstallDate", 1041379200);  // 2003-01-01
    KeyNode& wcv = b.key(hklm, u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion");
    Builder::sz(wcv, u"ProgramFilesDir", u"C:\\Program Files");
    Builder::sz(wcv, u"CommonFilesDir", u"C:\\Program Files\\Common Files");
    Builder::sz(wcv, u"SM_AccessoriesName", u"Accessories");

    KeyNode& txt = b.key(hklm, u"SOFTWARE\\Classes\\.txt");
    Builder::sz(txt, u"", u"txtfile");
    Builder::sz(txt, u"Content Type", u"text/plain");
    KeyNode& txtfile = b.key(hklm, u"SOFTWARE\\Classes\\txtfile");
    Builder::sz(txtfile, u"", u"Text Document");
    Builder::sz(b.key(txtfile, u"shell\\open\\command"), u"",
                u"%SystemRoot%\\system32\\NOTEPAD.EXE %1", reg::kExpandSz);
    Builder::sz(b.key(hklm, u"SOFTWARE\\Classes\\CLSID"), u"", u"");

    // One value of each type, the odd ones included, for the examples.
    KeyNode& samples = b.key(hklm, u"SOFTWARE\\Vorlek\\Samples");
    samples.class_name = u"VorlekSamples";
    Builder::sz(samples, u"", u"Vorlek sample values");
    Builder::sz(samples, u"Text", u"Hello, registry");
    Builder::sz(samples, u"Expandable", u"%SystemRoot%\\system32", reg::kExpandSz);
    samples.set_value(u"Binary", reg::kBinary, {0xDE, 0xAD, 0xBE, 0xEF, 0x00, 0x01});
    Builder::dword(samples, u"Number", 4711);
    samples.set_value(u"BigEndian", reg::kDwordBigEndian, {0x00, 0x00, 0x00, 0x01});
    Builder::multi(samples, u"List", {u"a", u"b"});
    // A list as some programs write it: without the closing NUL.
    samples.set_value(u"ListUnterminated", reg::kMultiSz, utf16_bytes(String(u"x\0y", 3)));
    samples.set_value(u"Nothing", reg::kNone, {});
    samples.set_value(u"EmptyBinary", reg::kBinary, {});
    samples.set_value(u"EmptyResources", reg::kResourceList, {});
    samples.set_value(u"EmptyDescriptor", reg::kFullResourceDescriptor, {});
    samples.set_value(u"EmptyRequirements", reg::kResourceRequirementsList, {});
    std::vector<uint8_t> big(65536);
    for (size_t i = 0; i < big.size(); ++i)
        big[i] = static_cast<uint8_t>(i * 7);
    samples.set_value(u"BigBinary", reg::kBinary, std::move(big));
}

void system_hive(Builder& b, KeyNode& hklm, Machine& m) {
    KeyNode& ccs = b.key(hklm, u"SYSTEM\\CurrentControlSet");
    KeyNode& names = b.key(ccs, u"Control\\ComputerName");
    Builder::sz(b.key(names, u"ComputerName"), u"ComputerName", m.name);
    Builder::sz(b.key(names, u"ActiveComputerName"), u"ComputerName", m.name);
    KeyNode& nls = b.key(ccs, u"Control\\Nls\\Language");
    Builder::sz(nls, u"Default", hex8(m.locale.system_lcid).substr(4));
    KeyNode& env = b.key(ccs, u"Control\\Session Manager\\Environment");
    for (StringView var : {u"ComSpec", u"NUMBER_OF_PROCESSORS", u"OS", u"Path", u"PATHEXT",
                           u"PROCESSOR_ARCHITECTURE", u"windir"}) {
        if (auto value = m.system.env(var)) Builder::sz(env, var, *value);
    }
    b.key(ccs, u"Hardware Profiles\\Current\\Software");
    b.key(ccs, u"Hardware Profiles\\Current\\System");

    KeyNode& services = b.key(ccs, u"Services");
    const bool controller = (m.servers.info.type & 0x18) != 0;  // SV_TYPE_DOMAIN_CTRL, _BAKCTRL
    for (const ServiceKey& s : kServices) {
        KeyNode& k = b.key(services, s.name);
        Builder::dword(k, u"Type", s.type);
        // A controller's logon service starts with it; elsewhere on demand.
        Builder::dword(k, u"Start", controller && s.name == u"Netlogon" ? 2 : s.start);
        Builder::dword(k, u"ErrorControl", s.error_control);
        if (!s.image_path.empty()) Builder::sz(k, u"ImagePath", s.image_path, reg::kExpandSz);
        Builder::sz(k, u"DisplayName", s.display_name);
        if (!s.object_name.empty()) Builder::sz(k, u"ObjectName", s.object_name);
        if (!s.group.empty()) Builder::sz(k, u"Group", s.group);
        if (s.tag) Builder::dword(k, u"Tag", s.tag);
        if (s.depend_on_service.size()) Builder::multi(k, u"DependOnService", s.depend_on_service);
        if (s.depend_on_group.size()) Builder::multi(k, u"DependOnGroup", s.depend_on_group);
    }
    KeyNode& logs = b.key(services, u"EventLog");
    for (const EventLogKey& log : kEventLogs) {
        KeyNode& k = b.key(logs, log.name);
        Builder::sz(k, u"File", u"%SystemRoot%\\system32\\config\\" + String(log.file) + u".Evt",
                    reg::kExpandSz);
        Builder::dword(k, u"MaxSize", log.max_size);
        Builder::dword(k, u"Retention", log.retention);
        String sources;
        for (const EventSource& e : kEventSources) {
            if (e.log != log.name) continue;
            KeyNode& src = b.key(k, e.source);
            Builder::sz(src, u"EventMessageFile", e.message_file, reg::kExpandSz);
            if (e.categories) {
                Builder::sz(src, u"CategoryMessageFile", e.message_file, reg::kExpandSz);
                Builder::dword(src, u"CategoryCount", e.categories);
            }
            if (!e.parameter_file.empty())
                Builder::sz(src, u"ParameterMessageFile", e.parameter_file, reg::kExpandSz);
            Builder::dword(src, u"TypesSupported", 7);
            sources += e.source;
            sources.push_back(u'\0');
        }
        sources.push_back(u'\0');
        k.set_value(u"Sources", reg::kMultiSz, utf16_bytes(sources));
    }
    b.key(hklm, u"SYSTEM\\Select");
    Builder::dword(*hklm.child(u"SYSTEM")->child(u"Select"), u"Current", 1);
}

void user_hive(Builder& b, KeyNode& hive, Machine& m, StringView user) {
    KeyNode& intl = b.key(hive, u"Control Panel\\International");
    Builder::sz(intl, u"Locale", hex8(m.locale.user_lcid));
    Builder::sz(b.key(hive, u"Control Panel\\Desktop"), u"Wallpaper", u"(None)");
    KeyNode& env = b.key(hive, u"Environment");
    const String profile = String(u"%USERPROFILE%\\Local Settings\\Temp");
    Builder::sz(env, u"TEMP", profile, reg::kExpandSz);
    Builder::sz(env, u"TMP", profile, reg::kExpandSz);
    KeyNode& explorer = b.key(hive, u"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer");
    Builder::sz(explorer, u"Logon User Name", user);
}

}  // namespace

uint32_t dword_of(const RegistryValue& v, uint32_t fallback) {
    if (v.type != reg::kDword || v.data.size() < 4) return fallback;
    return uint32_t{v.data[0]} | uint32_t{v.data[1]} << 8 | uint32_t{v.data[2]} << 16 |
           uint32_t{v.data[3]} << 24;
}

String text_of(const RegistryValue& v) {
    if (!reg::is_string(v.type)) return {};
    String text = utf16_text(v.data);
    if (v.type != reg::kMultiSz) text = text.substr(0, text.find(u'\0'));
    return text;
}

RegistryState& registry_state(Network& net, Machine& m) {
    RegistryState& r = m.registry;
    r.used = true;
    if (r.built) return r;
    r.built = true;
    Builder b(m.time.clock);
    r.local_machine = std::make_shared<KeyNode>(u"HKEY_LOCAL_MACHINE");
    r.users = std::make_shared<KeyNode>(u"HKEY_USERS");
    r.performance = std::make_shared<KeyNode>(u"HKEY_PERFORMANCE_DATA");
    for (auto* root : {r.local_machine.get(), r.users.get(), r.performance.get()}) {
        root->security = hive_descriptor(false, false);
        root->write_time = m.time.clock;
    }
    struct Hive {
        StringView name;
        bool secret;
        bool audited;
    };
    for (const Hive& h : {Hive{u"SOFTWARE", false, true}, Hive{u"SYSTEM", false, false},
                          Hive{u"SAM", true, false}, Hive{u"SECURITY", true, false}}) {
        KeyNode& k = r.local_machine->add_child(h.name);
        k.security = hive_descriptor(h.secret, h.audited);
        k.write_time = m.time.clock;
    }
    software(b, *r.local_machine, m);
    system_hive(b, *r.local_machine, m);
    b.key(*r.local_machine, u"SAM\\SAM\\Domains\\Account");
    b.key(*r.local_machine, u"SECURITY\\Policy");

    KeyNode& def = r.users->add_child(u".DEFAULT");
    def.security = hive_descriptor(false, false);
    def.write_time = m.time.clock;
    user_hive(b, def, m, u"");
    // The caller's profile is loaded: its hive is HKU\<SID>, which HKCU shows.
    if (auto account = resolve_name(net, m, m.security.user)) {
        KeyNode& hive = r.users->add_child(account->sid.text());
        SecurityDescriptor sd = *hive_descriptor(false, false);
        sd.owner = account->sid;
        sd.dacl->aces.push_back(allow(account->sid, kFull));
        hive.security = std::make_shared<const SecurityDescriptor>(std::move(sd));
        hive.write_time = m.time.clock;
        user_hive(b, hive, m, account->name);
    }
    return r;
}

std::shared_ptr<KeyNode> predefined_key(Network& net, Machine& m, platform::RegKey root) {
    RegistryState& r = registry_state(net, m);
    namespace hk = platform::hkey;
    auto below = [](const std::shared_ptr<KeyNode>& from,
                    std::initializer_list<StringView> parts) -> std::shared_ptr<KeyNode> {
        std::shared_ptr<KeyNode> node = from;
        for (StringView p : parts) {
            if (!node) break;
            node = node->child_ref(p);
        }
        return node;
    };
    switch (root) {
        case hk::kLocalMachine:
            return r.local_machine;
        case hk::kUsers:
            return r.users;
        case hk::kPerformanceData:
            return r.performance;
        case hk::kClassesRoot:
            return below(r.local_machine, {u"SOFTWARE", u"Classes"});
        case hk::kCurrentConfig:
            return below(r.local_machine,
                         {u"SYSTEM", u"CurrentControlSet", u"Hardware Profiles", u"Current"});
        case hk::kCurrentUser: {
            auto account = resolve_name(net, m, m.security.user);
            std::shared_ptr<KeyNode> hive =
                account ? r.users->child_ref(account->sid.text()) : nullptr;
            return hive ? hive : r.users->child_ref(u".DEFAULT");
        }
        default:
            return nullptr;
    }
}

}  // namespace vorlek::sim
