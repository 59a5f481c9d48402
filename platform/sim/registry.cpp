// The registry operations of the simulated machines.
#include "platform/sim/registry.h"

#include <algorithm>

#include "platform/sim/areas.h"
#include "platform/sim/codepages.h"
#include "platform/sim/hive_file.h"
#include "platform/sim/network.h"

namespace vorlek::sim {

namespace {

namespace st = platform::status;
namespace reg = platform::reg;
namespace hk = platform::hkey;
using platform::RegKey;
using platform::Result;
using platform::Status;

constexpr Status kBadPathname = 161;     // ERROR_BAD_PATHNAME
constexpr uint32_t kForceRestore = 0x8;  // REG_FORCE_RESTORE
constexpr size_t kMaxDepth = 512;

// What an open handle stands for: a key of one machine and the access it
// was opened with.
struct OpenKey {
    String machine;  // the machine's name
    std::shared_ptr<KeyNode> node;
    uint32_t access = 0;
};

// The privileges the hive-file calls need.
constexpr StringView kBackupPrivilege = u"SeBackupPrivilege";
constexpr StringView kRestorePrivilege = u"SeRestorePrivilege";
constexpr StringView kSecurityPrivilege = u"SeSecurityPrivilege";

// What the generic rights mean for a key.
constexpr platform::GenericMapping kKeyMapping{reg::kRead, reg::kWrite, reg::kRead,
                                               reg::kAllAccess};

// The one place where an open, a create and every privileged call meet the
// caller's token: the rights `desired` asks for against the key's
// descriptor (5 when any is denied), giving what the handle may do.
Result<uint32_t> check_access(Network& net, const KeyNode& node, uint32_t desired) {
    const auto who = caller_token(net).identity();
    std::optional<uint32_t> granted;
    if (node.security)
        granted = platform::access_check(*node.security, who, desired, kKeyMapping);
    else
        granted = platform::access_check({}, who, desired, kKeyMapping);
    if (!granted) return Result<uint32_t>::failure(st::kAccessDenied);
    return {st::kSuccess, *granted | (desired & reg::kAccessSystemSecurity)};
}
// The privileges are those enabled in the caller's token (1314 otherwise).
Status check_privilege(Network& net, StringView privilege) {
    return caller_token(net).enabled(privilege) ? st::kSuccess : st::kPrivilegeNotHeld;
}

// The owner and group of a key the caller creates: an administrator's keys
// belong to Administrators, anybody else's to the user; the group is the
// token's first group that is not a logon id, as the default primary group.
std::pair<platform::Sid, platform::Sid> creator(Network& net) {
    const SimToken& t = caller_token(net);
    const platform::Sid admins = platform::sid::builtin_alias(platform::sid::rid::kAdmins);
    const auto who = t.identity();
    const platform::Sid owner = who.has(admins) ? admins : t.user;
    const platform::Sid group = t.user == platform::sid::local_system() || who.groups.empty()
                                    ? platform::sid::local_system()
                                    : who.groups.front();
    return {owner, group};
}

// The parts of a key path; doubled and trailing separators are tolerated,
// a leading one is not.
Result<std::vector<StringView>> split(StringView path) {
    std::vector<StringView> parts;
    if (!path.empty() && path.front() == u'\\')
        return Result<std::vector<StringView>>::failure(kBadPathname);
    while (!path.empty()) {
        const size_t sep = path.find(u'\\');
        const StringView part = path.substr(0, sep);
        if (!part.empty()) parts.push_back(part);
        path = sep == StringView::npos ? StringView() : path.substr(sep + 1);
    }
    return {st::kSuccess, std::move(parts)};
}

bool contains(const KeyNode& ancestor, const KeyNode* node) {
    for (; node; node = node->parent()) {
        if (node == &ancestor) return true;
    }
    return false;
}

class SimRegistry final : public platform::Registry {
  public:
    explicit SimRegistry(Network& net) : net_(net), keys_(net.handles(), HandleKind::RegistryKey) {}

    Result<RegKey> connect(StringView machine, RegKey root) override {
        auto call = net_.enter(op::RegConnectRegistry, machine);
        if (!call) return call.failure<RegKey>();
        Machine& m = call.machine();
        const bool remote = &m != &net_.local();
        if (!hk::predefined(root) || (remote && root != hk::kLocalMachine && root != hk::kUsers &&
                                      root != hk::kPerformanceData))
            return Result<RegKey>::failure(st::kInvalidHandle);
        auto node = predefined_key(net_, m, root);
        if (!node) return Result<RegKey>::failure(st::kFileNotFound);
        return {st::kSuccess, handle(OpenKey{m.name, std::move(node), kMaximumAllowed})};
    }

    Result<RegKey> open_key(RegKey parent, StringView path, uint32_t access) override {
        Target t = enter(op::RegOpenKeyEx, parent, {path});
        if (t.status) return Result<RegKey>::failure(t.status);
        auto parts = split(path);
        if (!parts.ok()) return Result<RegKey>::failure(parts.status);
        std::shared_ptr<KeyNode> node = t.key->node;
        for (StringView part : parts.value) {
            node = node->child_ref(part);
            if (!node) return Result<RegKey>::failure(st::kFileNotFound);
        }
        auto granted = check_access(net_, *node, access);
        if (!granted.ok()) return Result<RegKey>::failure(granted.status);
        if (access & reg::kAccessSystemSecurity) {
            if (Status s = check_privilege(net_, kSecurityPrivilege))
                return Result<RegKey>::failure(s);
        }
        return {st::kSuccess, handle(OpenKey{t.key->machine, std::move(node), granted.value})};
    }

    Result<platform::CreatedKey> create_key(RegKey parent, StringView path, StringView class_name,
                                            uint32_t options, uint32_t access) override {
        using R = Result<platform::CreatedKey>;
        Target t = enter(op::RegCreateKeyEx, parent, {path, class_name});
        if (t.status) return R::failure(t.status);
        auto parts = split(path);
        if (!parts.ok()) return R::failure(parts.status);
        for (StringView part : parts.value) {
            if (part.size() > reg::kMaxKeyName) return R::failure(st::kInvalidParameter);
        }
        // The system keeps keys at most 512 levels deep (and a hive file
        // holds no more); a deeper path is refused before anything is made.
        size_t depth = parts.value.size();
        for (const KeyNode* n = t.key->node.get(); n && depth <= kMaxDepth; n = n->parent())
            ++depth;
        if (depth > kMaxDepth) return R::failure(st::kInvalidParameter);
        Machine& m = *t.machine;
        RegistryState& r = registry_state(net_, m);
        const bool want_volatile = (options & reg::kOptionVolatile) != 0;
        std::shared_ptr<KeyNode> node = t.key->node;
        uint32_t disposition = reg::kOpenedExistingKey;
        for (size_t i = 0; i < parts.value.size(); ++i) {
            std::shared_ptr<KeyNode> next = node->child_ref(parts.value[i]);
            if (!next) {
                // A new hive cannot be made by creating a key at a root.
                if (node == r.local_machine || node == r.users || node == r.performance)
                    return R::failure(st::kAccessDenied);
                if (i == 0 && !(t.key->access & reg::kCreateSubKey))
                    return R::failure(st::kAccessDenied);
                if (auto g = check_access(net_, *node, reg::kCreateSubKey); !g.ok())
                    return R::failure(g.status);
                if (node->is_volatile && !want_volatile)
                    return R::failure(st::kChildMustBeVolatile);
                KeyNode& made = node->add_child(parts.value[i]);
                made.write_time = m.time.clock;
                made.is_volatile = want_volatile;
                made.security = inherited_security(*node);
                if (i + 1 == parts.value.size()) made.class_name = String(class_name);
                node->write_time = m.time.clock;
                next = node->child_ref(parts.value[i]);
                disposition = reg::kCreatedNewKey;
            }
            node = std::move(next);
        }
        auto granted = check_access(net_, *node, access);
        if (!granted.ok()) return R::failure(granted.status);
        if (access & reg::kAccessSystemSecurity) {
            if (Status s = check_privilege(net_, kSecurityPrivilege)) return R::failure(s);
        }
        const RegKey key = handle(OpenKey{t.key->machine, std::move(node), granted.value});
        return {st::kSuccess, {key, disposition}};
    }

    Status close_key(RegKey key) override {
        auto held = net_.hold();
        auto call = net_.enter(op::RegCloseKey);
        if (!call) return call.status();
        if (hk::predefined(key)) return st::kSuccess;
        return keys_.close(key) ? st::kSuccess : st::kInvalidHandle;
    }

    Result<platform::KeyInfo> query_info(RegKey key, uint32_t class_capacity) override {
        using R = Result<platform::KeyInfo>;
        Target t = enter(op::RegQueryInfoKey, key, reg::kQueryValue);
        if (t.status) return R::failure(t.status);
        const KeyNode& n = *t.key->node;
        platform::KeyInfo info;
        info.class_name = n.class_name;
        if (class_capacity > 0 && n.class_name.size() + 1 > class_capacity)
            return R{st::kMoreData, info};
        info.sub_keys = static_cast<uint32_t>(n.child_count());
        for (const KeyNode* c : n.children()) {
            info.max_sub_key_len = std::max<uint32_t>(info.max_sub_key_len, length(c->name()));
            info.max_class_len = std::max<uint32_t>(info.max_class_len, length(c->class_name));
        }
        info.values = static_cast<uint32_t>(n.values().size());
        for (const RegistryValue& v : n.values()) {
            info.max_value_name_len = std::max<uint32_t>(info.max_value_name_len, length(v.name));
            info.max_value_len =
                std::max<uint32_t>(info.max_value_len, static_cast<uint32_t>(v.data.size()));
        }
        info.security_descriptor_size =
            n.security ? static_cast<uint32_t>(n.security->byte_length()) : 0;
        info.write_time = n.write_time;
        return {st::kSuccess, std::move(info)};
    }

    Result<platform::SubKey> enum_key(RegKey key, uint32_t index,
                                      platform::Buffers buffers) override {
        using R = Result<platform::SubKey>;
        Target t = enter(op::RegEnumKeyEx, key, reg::kEnumerateSubKeys);
        if (t.status) return R::failure(t.status);
        const auto& children = t.key->node->children();
        if (index >= children.size()) return R::failure(st::kNoMoreItems);
        const KeyNode& c = *children[index];
        platform::SubKey out{c.name(), c.class_name, c.write_time, 0};
        if (c.name().size() + 1 > buffers.name ||
            (buffers.class_name > 0 && c.class_name.size() + 1 > buffers.class_name)) {
            out.needed = static_cast<uint32_t>(std::max(c.name().size(), c.class_name.size()) + 1);
            return R{st::kMoreData, std::move(out)};
        }
        return {st::kSuccess, std::move(out)};
    }

    Result<platform::Value> enum_value(RegKey key, uint32_t index,
                                       platform::Buffers buffers) override {
        using R = Result<platform::Value>;
        Target t = enter(op::RegEnumValue, key, reg::kQueryValue);
        if (t.status) return R::failure(t.status);
        const auto& values = t.key->node->values();
        if (index >= values.size()) return R::failure(st::kNoMoreItems);
        const RegistryValue& v = values[index];
        platform::Value out = view(*t.machine, v, buffers.data);
        if (v.name.size() + 1 > buffers.name) {
            out.data.clear();
            out.name_needed = static_cast<uint32_t>(v.name.size() + 1);
            return R{st::kMoreData, std::move(out)};
        }
        const Status s = buffers.data && out.size > *buffers.data ? st::kMoreData : st::kSuccess;
        if (s) out.data.clear();
        return R{s, std::move(out)};
    }

    Result<platform::Value> query_value(RegKey key, StringView name,
                                        std::optional<uint32_t> data_capacity) override {
        using R = Result<platform::Value>;
        Target t = enter(op::RegQueryValueEx, key, {name}, reg::kQueryValue);
        if (t.status) return R::failure(t.status);
        const RegistryValue* v = t.key->node->value(name);
        if (!v) return R::failure(st::kFileNotFound);
        platform::Value out = view(*t.machine, *v, data_capacity);
        const Status s = data_capacity && out.size > *data_capacity ? st::kMoreData : st::kSuccess;
        if (s) out.data.clear();
        return R{s, std::move(out)};
    }

    Status set_value(RegKey key, StringView name, uint32_t type,
                     const std::vector<uint8_t>& data) override {
        Target t = enter(op::RegSetValueEx, key, {name}, reg::kSetValue);
        if (t.status) return t.status;
        if (name.size() > reg::kMaxValueName) return st::kInvalidParameter;
        std::vector<uint8_t> stored;
        if (reg::is_string(type)) {
            auto text = decode(t.machine->locale.ansi_code_page, data);
            if (!text.ok()) return text.status;
            stored = utf16_bytes(text.value);
        } else {
            stored = data;
        }
        t.key->node->set_value(name, type, std::move(stored));
        t.key->node->write_time = t.machine->time.clock;
        return st::kSuccess;
    }

    Status delete_key(RegKey key, StringView sub_key) override {
        Target t = enter(op::RegDeleteKey, key, {sub_key});
        if (t.status) return t.status;
        auto parts = split(sub_key);
        if (!parts.ok()) return parts.status;
        KeyNode* node = t.key->node.get();
        for (StringView part : parts.value) {
            node = node->child(part);
            if (!node) return st::kFileNotFound;
        }
        KeyNode* parent = node->parent();
        RegistryState& r = registry_state(net_, *t.machine);
        // Roots and hives go only by unloading.
        if (!parent || parent == r.local_machine.get() || parent == r.users.get())
            return st::kAccessDenied;
        if (node->child_count() > 0) return st::kAccessDenied;
        if (auto g = check_access(net_, *node, reg::kDelete); !g.ok()) return g.status;
        parent->write_time = t.machine->time.clock;
        parent->remove_child(String(node->name()));
        return st::kSuccess;
    }

    Status delete_value(RegKey key, StringView name) override {
        Target t = enter(op::RegDeleteValue, key, {name}, reg::kSetValue);
        if (t.status) return t.status;
        if (!t.key->node->remove_value(name)) return st::kFileNotFound;
        t.key->node->write_time = t.machine->time.clock;
        return st::kSuccess;
    }

    Result<platform::SecurityDescriptor> key_security(RegKey key, uint32_t information) override {
        using R = Result<platform::SecurityDescriptor>;
        namespace si = platform::security_info;
        uint32_t needed = 0;
        if (information & (si::kOwner | si::kGroup | si::kDacl)) needed |= reg::kReadControl;
        if (information & si::kSacl) needed |= reg::kAccessSystemSecurity;
        Target t = enter(op::RegGetKeySecurity, key, needed);
        if (t.status) return R::failure(t.status);
        const KeyNode& n = *t.key->node;
        if (!n.security) return {st::kSuccess, {}};
        return {st::kSuccess, n.security->part(information)};
    }

    Status save_key(RegKey key, StringView file) override {
        Target t = enter(op::RegSaveKey, key, {file});
        if (t.status) return t.status;
        if (Status s = check_privilege(net_, kBackupPrivilege)) return s;
        if (file.empty()) return st::kInvalidParameter;
        if (t.machine->files.count(String(file))) return st::kAlreadyExists;
        t.machine->files[String(file)] = write_hive(*t.key->node, t.machine->time.clock);
        return st::kSuccess;
    }

    Status load_key(RegKey root, StringView sub_key, StringView file) override {
        Target t = enter(op::RegLoadKey, root, {sub_key, file});
        if (t.status) return t.status;
        Machine& m = *t.machine;
        KeyNode* under = hive_parent(m, *t.key);
        if (!under || sub_key.empty() || sub_key.find(u'\\') != StringView::npos ||
            sub_key.size() > reg::kMaxKeyName)
            return st::kInvalidParameter;
        if (Status s = check_privilege(net_, kRestorePrivilege)) return s;
        if (under->child(sub_key)) return st::kAlreadyExists;
        auto found = m.files.find(String(file));
        if (found == m.files.end()) return st::kFileNotFound;
        auto hive = read_hive(found->second);
        if (!hive.ok()) return hive.status;
        hive.value->rename(String(sub_key));
        under->attach(hive.value);
        registry_state(net_, m).loaded[loaded_name(*under, sub_key)] = found->first;
        return st::kSuccess;
    }

    Status unload_key(RegKey root, StringView sub_key) override {
        Target t = enter(op::RegUnLoadKey, root, {sub_key});
        if (t.status) return t.status;
        Machine& m = *t.machine;
        KeyNode* under = hive_parent(m, *t.key);
        if (!under) return st::kInvalidParameter;
        if (Status s = check_privilege(net_, kRestorePrivilege)) return s;
        KeyNode* hive = under->child(sub_key);
        if (!hive) return st::kFileNotFound;
        auto& loaded = registry_state(net_, m).loaded;
        auto it = loaded.find(loaded_name(*under, sub_key));
        if (it == loaded.end()) return st::kInvalidParameter;
        // A loaded hive lives in its file: what changed goes back there.
        m.files[it->second] = write_hive(*hive, m.time.clock);
        loaded.erase(it);
        under->remove_child(String(hive->name()));
        return st::kSuccess;
    }

    Status restore_key(RegKey key, StringView file, uint32_t flags) override {
        Target t = enter(op::RegRestoreKey, key, {file});
        if (t.status) return t.status;
        Machine& m = *t.machine;
        if (Status s = check_privilege(net_, kRestorePrivilege)) return s;
        auto found = m.files.find(String(file));
        if (found == m.files.end()) return st::kFileNotFound;
        auto hive = read_hive(found->second);
        if (!hive.ok()) return hive.status;
        KeyNode& target = *t.key->node;
        // Keys below the target that someone holds open stop a restore
        // unless it is forced.
        if (!(flags & kForceRestore)) {
            for (auto& [h, open] : keys_) {
                if (open.node.get() != &target && !open.node->deleted &&
                    contains(target, open.node.get()))
                    return st::kAccessDenied;
            }
        }
        if (flags & reg::kWholeHiveVolatile) {
            std::vector<KeyNode*> pending{hive.value.get()};
            while (!pending.empty()) {
                KeyNode* n = pending.back();
                pending.pop_back();
                n->is_volatile = true;
                for (KeyNode* c : n->children())
                    pending.push_back(c);
            }
        }
        target.take_contents(*hive.value);
        target.write_time = m.time.clock;
        return st::kSuccess;
    }

  private:
    // What a handle opened by the system itself (a predefined root, a
    // connection) may do.
    static constexpr uint32_t kMaximumAllowed = reg::kAllAccess;

    struct Target {
        Status status = st::kSuccess;
        Machine* machine = nullptr;
        OpenKey* key = nullptr;
        std::optional<Call> call;  // holds the network until the operation ends
    };

    // The prologue of every operation on a handle: the network held, the
    // caller's texts it hands on as C strings first (123 for one with a NUL
    // inside), then the injected fault, then the handle (6 when unknown, 1018
    // when its key is gone, 5 when it was not opened for `needed`).
    Target enter(const Operation& operation, RegKey key, uint32_t needed = 0) {
        return enter(operation, key, {}, needed);
    }
    Target enter(const Operation& operation, RegKey key, std::initializer_list<StringView> texts,
                 uint32_t needed = 0) {
        Target t;
        auto held = net_.hold();
        if ((t.status = platform::c_strings_status(texts))) return t;
        OpenKey* open = nullptr;
        StringView machine;
        if (hk::predefined(key)) {
            machine = net_.local().name;
        } else if ((open = keys_.find(key))) {
            machine = open->machine;
        }
        t.call.emplace(net_.enter(operation, machine));
        if (!*t.call) {
            t.status = t.call->status();
            return t;
        }
        t.machine = &t.call->machine();
        if (hk::predefined(key)) {
            auto node = predefined_key(net_, *t.machine, key);
            if (!node) {
                t.status = st::kFileNotFound;
                return t;
            }
            predefined_ = OpenKey{String(machine), std::move(node), kMaximumAllowed};
            open = &predefined_;
        }
        if (!open) {
            t.status = st::kInvalidHandle;
        } else if (open->node->deleted) {
            t.status = st::kKeyDeleted;
        } else if ((open->access & needed) != needed) {
            t.status = st::kAccessDenied;
        }
        t.key = open;
        return t;
    }

    RegKey handle(OpenKey key) { return static_cast<RegKey>(keys_.open(std::move(key))); }

    static uint32_t length(const String& text) { return static_cast<uint32_t>(text.size()); }

    // A value as the A calls hand it out: string data in the code page.
    static platform::Value view(Machine& m, const RegistryValue& v,
                                std::optional<uint32_t> capacity) {
        platform::Value out{v.name, v.type, 0, {}, 0};
        if (reg::is_string(v.type)) {
            auto bytes = encode(m.locale.ansi_code_page, utf16_text(v.data), std::nullopt);
            out.data = bytes.ok() ? std::move(bytes.value) : std::vector<uint8_t>{};
        } else {
            out.data = v.data;
        }
        out.size = static_cast<uint32_t>(out.data.size());
        if (!capacity) out.data.clear();
        return out;
    }

    // New keys inherit from their parent; keys made below one parent share
    // the one descriptor that inheritance gives.
    std::shared_ptr<const platform::SecurityDescriptor> inherited_security(const KeyNode& parent) {
        if (!parent.security) return nullptr;
        auto [owner, group] = creator(net_);
        auto& cached = inherited_[parent.security.get()];
        if (!cached.second || cached.first != parent.security || cached.second->owner != owner ||
            cached.second->group != group) {
            cached.first = parent.security;
            cached.second = std::make_shared<const platform::SecurityDescriptor>(
                platform::inherit_descriptor(*parent.security, owner, group, true));
        }
        return cached.second;
    }

    // The key hives are loaded below: HKLM or HKU of the handle's machine.
    KeyNode* hive_parent(Machine& m, const OpenKey& key) {
        RegistryState& r = registry_state(net_, m);
        if (key.node == r.local_machine || key.node == r.users) return key.node.get();
        return nullptr;
    }
    static String loaded_name(const KeyNode& under, StringView sub_key) {
        return under.name() + u"\\" + String(sub_key);
    }

    Network& net_;
    HandleTable<OpenKey> keys_;
    OpenKey predefined_;
    std::unordered_map<const platform::SecurityDescriptor*,
                       std::pair<std::shared_ptr<const platform::SecurityDescriptor>,
                                 std::shared_ptr<const platform::SecurityDescriptor>>>
        inherited_;
};

}  // namespace

std::shared_ptr<platform::Registry> make_registry(Network& net) {
    return std::make_shared<SimRegistry>(net);
}

}  // namespace vorlek::sim
