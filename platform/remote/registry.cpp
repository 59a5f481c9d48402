// The registry of a remote server, over the remote registry's RPC interface
// (winreg). Keys the classes keep are numbers of this area, each standing
// for a context handle of one server; the predefined roots are those of the
// target server, opened on first use and kept. Names go out as the server
// keeps them (UTF-16); string data is converted from and to the system code
// page, as the single-byte calls convert it. When the pipe to a server
// fails, that server's keys answer 6.
#include "platform/registry.h"

#include <map>

#include "platform/c_strings.h"
#include "platform/locale.h"
#include "platform/remote/areas.h"
#include "platform/remote/connection.h"
#include "platform/remote/winreg.h"

namespace vorlek::platform::remote {

namespace {

constexpr Status kBadPathname = 161;              // ERROR_BAD_PATHNAME
constexpr uint32_t kMaximumAllowed = 0x02000000;  // MAXIMUM_ALLOWED
// The first buffers offered: names of any length a key can hold, data of
// most values (a larger value is asked for again with the size it needs).
constexpr uint32_t kKeyNameBytes = 2 * (reg::kMaxKeyName + 1);
constexpr uint32_t kClassBytes = 2 * 2048;
constexpr uint32_t kValueNameBytes = 2 * (reg::kMaxValueName + 1);
constexpr uint32_t kDataBytes = 64 * 1024;
constexpr uint32_t kSecurityBytes = 4 * 1024;

struct OpenKey {
    std::string host;
    ContextHandle remote;
    uint64_t generation = 0;
    RegKey root = 0;      // the predefined root this handle is, if it is one
    uint32_t access = 0;  // the rights asked for when it was opened
};

// A key path with its doubled and trailing separators dropped, as the
// system tolerates them; 161 for one that starts with a separator.
Result<String> normalized(StringView path) {
    if (!path.empty() && path.front() == u'\\') return Result<String>::failure(kBadPathname);
    String out;
    size_t at = 0;
    while (at < path.size()) {
        const size_t end = std::min(path.find(u'\\', at), path.size());
        if (end > at) {
            if (!out.empty()) out.push_back(u'\\');
            out.append(path.substr(at, end - at));
        }
        at = end + 1;
    }
    if (out.size() + 1 > winreg::kMaxCounted)
        return Result<String>::failure(status::kInvalidParameter);
    return {status::kSuccess, std::move(out)};
}

Bytes utf16_bytes(StringView text) {
    Bytes out;
    out.reserve(text.size() * 2);
    for (char16_t c : text) {
        out.push_back(static_cast<uint8_t>(c));
        out.push_back(static_cast<uint8_t>(c >> 8));
    }
    return out;
}

String utf16_text(const Bytes& data) {
    String out;
    out.reserve(data.size() / 2);
    for (size_t i = 0; i + 1 < data.size(); i += 2)
        out.push_back(static_cast<char16_t>(data[i] | data[i + 1] << 8));
    return out;
}

class RemoteRegistry final : public platform::Registry {
  public:
    explicit RemoteRegistry(const Context& context)
        : session_(context.session), local_(context.local) {}

    ~RemoteRegistry() override {
        std::lock_guard g(session_->library_lock());
        for (auto* table : {&keys_, &roots_})
            for (auto& [k, open] : *table)
                if (!stale(open))
                    call(open.host, winreg::op::kCloseKey, winreg::handle_only(open.remote));
    }

    Result<RegKey> connect(StringView machine, RegKey root) override {
        std::lock_guard g(session_->library_lock());
        auto host = session_->host(machine);
        if (!host.ok()) return Result<RegKey>::failure(host.status);
        StringView name = machine;
        if (name.starts_with(u"\\\\")) name.remove_prefix(2);
        // Another machine's registry offers only these roots.
        const bool remote = !name.empty();
        const auto opnum = winreg::root_opnum(root);
        if (!opnum || (remote && root != hkey::kLocalMachine && root != hkey::kUsers &&
                       root != hkey::kPerformanceData))
            return Result<RegKey>::failure(status::kInvalidHandle);
        bool answered = true;
        auto opened = open_root(host.value, *opnum, &answered);
        // A machine that does not answer is a network path not found.
        if (!answered) return Result<RegKey>::failure(status::kBadNetPath);
        if (!opened.ok()) return Result<RegKey>::failure(opened.status);
        opened.value.root = root;
        return {status::kSuccess, keep(std::move(opened.value))};
    }

    Result<RegKey> open_key(RegKey parent, StringView path, uint32_t access) override {
        std::lock_guard g(session_->library_lock());
        if (!fits_c_string(path)) return Result<RegKey>::failure(status::kInvalidName);
        Found p = find(parent);
        if (!p.open) return Result<RegKey>::failure(p.status);
        auto name = normalized(path);
        if (!name.ok()) return Result<RegKey>::failure(name.status);
        const std::string host = p.open->host;
        auto reply =
            call(host, winreg::op::kOpenKey, winreg::open_key(p.open->remote, name.value, access));
        if (!reply.ok()) return Result<RegKey>::failure(reply.status);
        auto h = winreg::read_handle(reply.value);
        if (!h.ok()) return Result<RegKey>::failure(h.status);
        return {status::kSuccess, keep({host, h.value, generations_[host], 0, access})};
    }

    Result<CreatedKey> create_key(RegKey parent, StringView path, StringView class_name,
                                  uint32_t options, uint32_t access) override {
        using R = Result<CreatedKey>;
        std::lock_guard g(session_->library_lock());
        if (Status s = c_strings_status({path, class_name})) return R::failure(s);
        Found p = find(parent);
        if (!p.open) return R::failure(p.status);
        auto name = normalized(path);
        if (!name.ok()) return R::failure(name.status);
        for (size_t at = 0, end; at <= name.value.size(); at = end + 1) {
            end = std::min(name.value.find(u'\\', at), name.value.size());
            if (end - at > reg::kMaxKeyName) return R::failure(status::kInvalidParameter);
        }
        forget_value();
        const std::string host = p.open->host;
        auto reply =
            call(host, winreg::op::kCreateKey,
                 winreg::create_key(p.open->remote, name.value, class_name, options, access));
        if (!reply.ok()) return R::failure(reply.status);
        ContextHandle h;
        auto made = winreg::read_created(reply.value, h);
        if (!made.ok()) return made;
        made.value.key = keep({host, h, generations_[host], 0, access});
        return made;
    }

    Status close_key(RegKey key) override {
        std::lock_guard g(session_->library_lock());
        if (hkey::predefined(key)) return status::kSuccess;
        auto it = keys_.find(key);
        if (it == keys_.end()) return status::kInvalidHandle;
        const OpenKey open = it->second;
        keys_.erase(it);
        if (cached_.key == key) forget_value();
        if (stale(open)) return status::kInvalidHandle;
        auto reply = call(open.host, winreg::op::kCloseKey, winreg::handle_only(open.remote));
        if (!reply.ok()) return reply.status;
        return winreg::read_closed(reply.value);
    }

    Result<KeyInfo> query_info(RegKey key, uint32_t class_capacity) override {
        using R = Result<KeyInfo>;
        std::lock_guard g(session_->library_lock());
        Found k = find(key);
        if (!k.open) return R::failure(k.status);
        auto reply = call(k.open->host, winreg::op::kQueryInfoKey,
                          winreg::query_info(k.open->remote, winreg::kMaxCounted));
        if (!reply.ok()) return R::failure(reply.status);
        auto info = winreg::read_info(reply.value);
        if (!info.ok()) return info;
        if (class_capacity > 0 && info.value.class_name.size() + 1 > class_capacity)
            return R{status::kMoreData, std::move(info.value)};
        return info;
    }

    // One call per sub-key: the interface has no call that lists several.
    Result<SubKey> enum_key(RegKey key, uint32_t index, Buffers buffers) override {
        using R = Result<SubKey>;
        std::lock_guard g(session_->library_lock());
        Found k = find(key);
        if (!k.open) return R::failure(k.status);
        Result<SubKey> r;
        for (uint32_t room : {kClassBytes, uint32_t{0xFFFE}}) {
            auto reply = call(k.open->host, winreg::op::kEnumKey,
                              winreg::enum_key(k.open->remote, index, kKeyNameBytes, room));
            if (!reply.ok()) return R::failure(reply.status);
            r = winreg::read_enum_key(reply.value);
            if (r.status != status::kMoreData) break;
        }
        if (!r.ok()) return R::failure(r.status);
        SubKey& sub = r.value;
        if (sub.name.size() + 1 > buffers.name ||
            (buffers.class_name > 0 && sub.class_name.size() + 1 > buffers.class_name)) {
            sub.needed =
                static_cast<uint32_t>(std::max(sub.name.size(), sub.class_name.size()) + 1);
            return R{status::kMoreData, std::move(sub)};
        }
        return r;
    }

    Result<Value> enum_value(RegKey key, uint32_t index, Buffers buffers) override {
        using R = Result<Value>;
        std::lock_guard g(session_->library_lock());
        Found k = find(key);
        if (!k.open) return R::failure(k.status);
        auto v = fetched(key, index, {}, [&](uint32_t room) {
            return std::pair{winreg::op::kEnumValue,
                             winreg::enum_value(k.open->remote, index, kValueNameBytes, room)};
        });
        if (!v.ok()) return v;
        Value out = std::move(v.value);
        if (out.name.size() + 1 > buffers.name) {
            out.data.clear();
            out.name_needed = static_cast<uint32_t>(out.name.size() + 1);
            return R{status::kMoreData, std::move(out)};
        }
        return limited(std::move(out), buffers.data, key);
    }

    Result<Value> query_value(RegKey key, StringView name,
                              std::optional<uint32_t> data_capacity) override {
        using R = Result<Value>;
        std::lock_guard g(session_->library_lock());
        if (!fits_c_string(name)) return R::failure(status::kInvalidName);
        Found k = find(key);
        if (!k.open) return R::failure(k.status);
        auto v = fetched(key, std::nullopt, name, [&](uint32_t room) {
            return std::pair{winreg::op::kQueryValue,
                             winreg::query_value(k.open->remote, name, room)};
        });
        if (!v.ok()) return v;
        v.value.name = String(name);
        return limited(std::move(v.value), data_capacity, key);
    }

    Status set_value(RegKey key, StringView name, uint32_t type,
                     const std::vector<uint8_t>& data) override {
        std::lock_guard g(session_->library_lock());
        if (!fits_c_string(name)) return status::kInvalidName;
        Found k = find(key);
        if (!k.open) return k.status;
        if (name.size() > reg::kMaxValueName) return status::kInvalidParameter;
        Bytes stored = data;
        if (reg::is_string(type)) {
            auto text = local_->locale().multibyte_to_wide(kCodePageAnsi, data);
            if (!text.ok()) return text.status;
            stored = utf16_bytes(text.value);
        }
        forget_value();
        return simple(*k.open, winreg::op::kSetValue,
                      winreg::set_value(k.open->remote, name, type, stored));
    }

    Status delete_key(RegKey key, StringView sub_key) override {
        std::lock_guard g(session_->library_lock());
        if (!fits_c_string(sub_key)) return status::kInvalidName;
        Found k = find(key);
        if (!k.open) return k.status;
        auto name = normalized(sub_key);
        if (!name.ok()) return name.status;
        forget_value();
        return simple(*k.open, winreg::op::kDeleteKey, winreg::named(k.open->remote, name.value));
    }

    Status delete_value(RegKey key, StringView name) override {
        std::lock_guard g(session_->library_lock());
        if (!fits_c_string(name)) return status::kInvalidName;
        Found k = find(key);
        if (!k.open) return k.status;
        forget_value();
        return simple(*k.open, winreg::op::kDeleteValue, winreg::named(k.open->remote, name));
    }

    Result<SecurityDescriptor> key_security(RegKey key, uint32_t information) override {
        using R = Result<SecurityDescriptor>;
        std::lock_guard g(session_->library_lock());
        Found k = find(key);
        if (!k.open) return R::failure(k.status);
        // The audit list is for a key opened to read it; Samba's registry
        // hands it to any handle, NT refuses.
        if ((information & security_info::kSacl) && !(k.open->access & reg::kAccessSystemSecurity))
            return R::failure(status::kAccessDenied);
        uint32_t room = kSecurityBytes;
        winreg::SecurityReply r;
        for (int tries = 0; tries < 2; ++tries) {
            auto reply = call(k.open->host, winreg::op::kGetKeySecurity,
                              winreg::key_security(k.open->remote, information, room));
            if (!reply.ok()) return R::failure(reply.status);
            r = winreg::read_security(reply.value);
            if (r.status != status::kInsufficientBuffer || r.size <= room) break;
            room = r.size;
        }
        if (r.status) return R::failure(r.status);
        auto sd = SecurityDescriptor::from_bytes(r.descriptor.data(), r.descriptor.size());
        if (!sd) return R::failure(winreg::kBadStubData);
        return {status::kSuccess, std::move(*sd)};
    }

    // The hive-file calls name files on the server, as the system's calls
    // on a connected registry do.
    Status save_key(RegKey key, StringView file) override {
        std::lock_guard g(session_->library_lock());
        if (!fits_c_string(file)) return status::kInvalidName;
        Found k = find(key);
        if (!k.open) return k.status;
        return simple(*k.open, winreg::op::kSaveKey, winreg::named(k.open->remote, file, true));
    }

    Status load_key(RegKey root, StringView sub_key, StringView file) override {
        std::lock_guard g(session_->library_lock());
        if (Status s = c_strings_status({sub_key, file})) return s;
        Found k = hive_root(root);
        if (!k.open) return k.status;
        forget_value();
        return simple(*k.open, winreg::op::kLoadKey,
                      winreg::load_key(k.open->remote, sub_key, file));
    }

    Status unload_key(RegKey root, StringView sub_key) override {
        std::lock_guard g(session_->library_lock());
        if (!fits_c_string(sub_key)) return status::kInvalidName;
        Found k = hive_root(root);
        if (!k.open) return k.status;
        forget_value();
        return simple(*k.open, winreg::op::kUnLoadKey, winreg::named(k.open->remote, sub_key));
    }

    Status restore_key(RegKey key, StringView file, uint32_t flags) override {
        std::lock_guard g(session_->library_lock());
        if (!fits_c_string(file)) return status::kInvalidName;
        Found k = find(key);
        if (!k.open) return k.status;
        forget_value();
        return simple(*k.open, winreg::op::kRestoreKey,
                      winreg::restore_key(k.open->remote, file, flags));
    }

  private:
    struct Found {
        OpenKey* open = nullptr;
        Status status = status::kSuccess;
    };

    // The last value read, kept for the read that follows it: the classes
    // read a value's type and size first and its data right after, which
    // one call answers.
    struct Cached {
        RegKey key = 0;
        std::optional<uint32_t> index;
        String name;
        Value value;
    };

    Result<Bytes> call(const std::string& host, uint32_t opnum, const Bytes& request) {
        auto r = session_->call(host, Pipe::Winreg, opnum, request);
        if (connection_lost(r.status)) {
            ++generations_[host];
            r.status = lost_status(r.status);
        }
        return r;
    }

    Status simple(const OpenKey& key, uint32_t opnum, const Bytes& request) {
        auto reply = call(key.host, opnum, request);
        if (!reply.ok()) return reply.status;
        return winreg::read_status(reply.value);
    }

    bool stale(const OpenKey& key) { return key.generation != generations_[key.host]; }

    Result<OpenKey> open_root(const std::string& host, uint32_t opnum, bool* answered = nullptr) {
        auto reply = call(host, opnum, winreg::open_root(kMaximumAllowed));
        if (answered) *answered = !did_not_answer(reply.status);
        if (!reply.ok()) return Result<OpenKey>::failure(reply.status);
        auto h = winreg::read_handle(reply.value);
        if (!h.ok()) return Result<OpenKey>::failure(h.status);
        return {status::kSuccess, {host, h.value, generations_[host], 0}};
    }

    Found find(RegKey key) {
        if (hkey::predefined(key)) {
            auto it = roots_.find(key);
            if (it != roots_.end() && !stale(it->second)) return {&it->second, status::kSuccess};
            const auto opnum = winreg::root_opnum(key);
            if (!opnum) return {nullptr, status::kInvalidHandle};
            bool answered = true;
            auto opened = open_root(session_->credentials().server, *opnum, &answered);
            if (!answered) return {nullptr, status::kBadNetPath};
            if (!opened.ok()) return {nullptr, opened.status};
            opened.value.root = key;
            OpenKey& kept = roots_[key] = std::move(opened.value);
            return {&kept, status::kSuccess};
        }
        auto it = keys_.find(key);
        if (it == keys_.end() || stale(it->second)) return {nullptr, status::kInvalidHandle};
        return {&it->second, status::kSuccess};
    }

    // Hives are loaded below HKLM or HKU only (87 for another key).
    Found hive_root(RegKey key) {
        Found k = find(key);
        if (k.open && k.open->root != hkey::kLocalMachine && k.open->root != hkey::kUsers)
            return {nullptr, status::kInvalidParameter};
        return k;
    }

    RegKey keep(OpenKey key) {
        const RegKey k = next_;
        next_ += 4;
        keys_.emplace(k, std::move(key));
        return k;
    }

    void forget_value() { cached_ = {}; }

    // A value whole, as the server holds it (its data asked for again with
    // the room the server says it needs), with string data in the code
    // page; from the cache when it is the value read last.
    template <class Request>
    Result<Value> fetched(RegKey key, std::optional<uint32_t> index, StringView name,
                          Request&& request) {
        if (cached_.key == key && cached_.index == index && (index || cached_.name == name))
            return {status::kSuccess, cached_.value};
        forget_value();
        Found k = find(key);
        if (!k.open) return Result<Value>::failure(k.status);
        const std::string host = k.open->host;
        uint32_t room = kDataBytes;
        Result<Value> v;
        for (int tries = 0; tries < 3; ++tries) {
            auto [opnum, bytes] = request(room);
            auto reply = call(host, opnum, bytes);
            if (!reply.ok()) return Result<Value>::failure(reply.status);
            v = winreg::read_value(reply.value, index.has_value());
            if (v.status != status::kMoreData || v.value.size <= room) break;
            room = v.value.size;
        }
        if (!v.ok()) return Result<Value>::failure(v.status);
        if (reg::is_string(v.value.type)) {
            auto bytes = local_->locale().wide_to_multibyte(kCodePageAnsi, utf16_text(v.value.data),
                                                            std::nullopt);
            v.value.data = bytes.ok() ? std::move(bytes.value) : Bytes();
        }
        v.value.size = static_cast<uint32_t>(v.value.data.size());
        cached_ = {key, index, String(name), v.value};
        return v;
    }

    // What a caller's data buffer holds of a value: nothing when none was
    // given, 234 when it is too small. A read that handed the data out
    // ends the value's time in the cache.
    Result<Value> limited(Value v, std::optional<uint32_t> capacity, RegKey) {
        if (!capacity) {
            v.data.clear();
            return {status::kSuccess, std::move(v)};
        }
        if (v.size > *capacity) {
            v.data.clear();
            return {status::kMoreData, std::move(v)};
        }
        forget_value();
        return {status::kSuccess, std::move(v)};
    }

    std::shared_ptr<Session> session_;
    std::shared_ptr<Platform> local_;
    std::map<RegKey, OpenKey> keys_;
    std::map<RegKey, OpenKey> roots_;  // the target's predefined roots
    RegKey next_ = 0x1000;
    std::map<std::string, uint64_t> generations_;
    Cached cached_;
};

}  // namespace

std::shared_ptr<Registry> make_registry(const Context& context) {
    return std::make_shared<RemoteRegistry>(context);
}

}  // namespace vorlek::platform::remote
