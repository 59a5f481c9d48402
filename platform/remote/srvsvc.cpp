#include "platform/remote/srvsvc.h"

#include "automation/text.h"

namespace vorlek::platform::remote::srvsvc {

namespace {

constexpr uint32_t kShareNames = 0, kShareFull = 502, kShareFlags = 1005;
constexpr uint32_t kServerComment = 1005, kServerHidden = 1016, kWorkstation = 102;
constexpr uint32_t kPreferAll = 0xFFFFFFFF;  // MAX_PREFERRED_LENGTH
// The largest descriptor a share record carries (the services' own limit).
constexpr uint32_t kMaxDescriptor = 0x40000;

// An embedded [string] pointer: its id now, the string at the next flush.
void deferred_string(NdrWriter& w, const String* text) {
    w.pointer(text != nullptr);
    if (text) w.defer([copy = *text](NdrWriter& w) { w.wide_string(copy); });
}

void deferred_string(NdrReader& r, String& out) {
    if (r.pointer()) r.defer([&out](NdrReader& r) { out = r.wide_string(); });
}

void server_name(NdrWriter& w, const String& server) {
    const StringView name = server;
    w.unique_wide_string(server.empty() ? nullptr : &name);
}

// The status word that ends every reply: a Windows code.
Status final_status(NdrReader& r) {
    const uint32_t s = r.u32();
    return r.ok() ? s : kBadReply;
}

// SHARE_INFO_502 in place, its texts and descriptor deferred.
void write_share(NdrWriter& w, const ShareInfo& s) {
    deferred_string(w, s.name.empty() ? nullptr : &s.name);
    w.u32(s.type);
    deferred_string(w, &s.remark);
    w.u32(s.permissions);
    w.u32(static_cast<uint32_t>(s.max_uses));
    w.u32(0);  // current uses
    deferred_string(w, s.path.empty() ? nullptr : &s.path);
    // No password leaves the share's own.
    deferred_string(w, s.password.empty() ? nullptr : &s.password);
    std::vector<uint8_t> sd;
    if (s.security) sd = s.security->bytes();
    w.u32(static_cast<uint32_t>(sd.size()));
    w.pointer(!sd.empty());
    if (!sd.empty()) {
        w.defer([sd = std::move(sd)](NdrWriter& w) {
            w.u32(static_cast<uint32_t>(sd.size()));
            w.raw(sd.data(), sd.size());
        });
    }
}

void read_share(NdrReader& r, uint32_t level, ShareInfo& s) {
    deferred_string(r, s.name);
    if (level == kShareNames) return;
    s.type = r.u32();
    deferred_string(r, s.remark);
    s.permissions = r.u32();
    s.max_uses = static_cast<int32_t>(r.u32());
    s.current_uses = static_cast<int32_t>(r.u32());
    deferred_string(r, s.path);
    deferred_string(r, s.password);
    const uint32_t size = r.u32();
    if (r.pointer()) {
        r.defer([size, &s](NdrReader& r) {
            const uint32_t n = r.count(1);
            if (n != size || n > kMaxDescriptor) {
                r.fail();
                return;
            }
            const auto bytes = r.raw(n);
            if (r.ok()) s.security = SecurityDescriptor::from_bytes(bytes.data(), bytes.size());
        });
    }
}

// A union's arm: the discriminant, which must be the level asked for, and
// the pointer to the record; false (and the reader failed) otherwise.
bool read_arm(NdrReader& r, uint32_t level) {
    if (r.u32() != level) r.fail();
    return r.ok() && r.pointer() != 0;
}

void write_parm_error(NdrWriter& w) {
    w.pointer(true);
    w.u32(0);
}

// How a Samba server answers where Windows answers otherwise, per call.
struct StatusMapping {
    uint32_t opnum;
    Status server;
    Status windows;
};
constexpr StatusMapping kMappings[] = {
    // A name the server does not share is "invalid" to Samba.
    {kShareGetInfo, status::kInvalidName, status::kNetNameNotFound},
    {kShareSetInfo, status::kInvalidName, status::kNetNameNotFound},
    {kShareDel, status::kInvalidName, status::kNetNameNotFound},
    {kShareDel, status::kBadNetName, status::kNetNameNotFound},
    // A path the server does not have.
    {kShareAdd, status::kFileNotFound, status::kUnknownDevDir},
    {kShareAdd, 3, status::kUnknownDevDir},  // ERROR_PATH_NOT_FOUND
    // A name in use.
    {kShareAdd, 80, status::kDuplicateShare},   // ERROR_FILE_EXISTS
    {kShareAdd, 183, status::kDuplicateShare},  // ERROR_ALREADY_EXISTS
};

}  // namespace

Status windows_status(uint32_t opnum, Status server) {
    for (const StatusMapping& m : kMappings) {
        if (m.opnum == opnum && m.server == server) return m.windows;
    }
    return server;
}

String unc(const std::string& host) {
    return u"\\\\" + from_utf8(host);
}

Bytes share_enum(const String& server, uint32_t level, uint32_t resume_handle) {
    NdrWriter w;
    server_name(w, server);
    // SHARE_ENUM_STRUCT: the level and an empty container of that level.
    w.u32(level);
    w.u32(level);
    w.pointer(true);
    w.defer([](NdrWriter& w) {
        w.u32(0);
        w.pointer(false);
    });
    w.flush();
    w.u32(kPreferAll);
    w.pointer(true);
    w.u32(resume_handle);
    return w.bytes();
}

Status read_share_enum(const Bytes& reply, uint32_t level, std::vector<ShareInfo>& shares,
                       uint32_t& total_entries, uint32_t& resume_handle) {
    NdrReader r(reply);
    const size_t first = shares.size();
    if (r.u32() != level) r.fail();
    if (read_arm(r, level)) {
        const uint32_t count = r.u32();
        if (r.pointer()) {
            const size_t element = level == kShareNames ? 4 : 40;
            const uint32_t n = r.count(element);
            if (n != count) r.fail();
            shares.reserve(first + n);
            for (uint32_t i = 0; i < n && r.ok(); ++i) {
                shares.emplace_back();
                read_share(r, level, shares.back());
            }
        }
    }
    r.flush();
    total_entries = r.u32();
    if (r.pointer()) resume_handle = r.u32();
    const Status s = final_status(r);
    if (!r.ok()) {
        shares.resize(first);
        return kBadReply;
    }
    return s;
}

Bytes share_get_info(const String& server, StringView name, uint32_t level) {
    NdrWriter w;
    server_name(w, server);
    w.wide_string(name);
    w.u32(level);
    return w.bytes();
}

Status read_share_get_info(const Bytes& reply, uint32_t level, ShareInfo& share, uint32_t& flags) {
    NdrReader r(reply);
    const uint32_t discriminant = r.u32();
    const bool present = r.ok() && r.pointer() != 0;
    if (present && discriminant != level) r.fail();
    if (present && r.ok()) {
        if (level == kShareFlags) {
            flags = r.u32();
        } else {
            read_share(r, kShareFull, share);
        }
    }
    r.flush();
    const Status s = final_status(r);
    if (!r.ok()) return kBadReply;
    if (s == status::kSuccess && !present) return kBadReply;
    return s;
}

Bytes share_add(const String& server, const ShareInfo& record) {
    NdrWriter w;
    server_name(w, server);
    w.u32(kShareFull);
    w.u32(kShareFull);
    w.pointer(true);
    w.defer([&record](NdrWriter& w) { write_share(w, record); });
    w.flush();
    write_parm_error(w);
    return w.bytes();
}

Bytes share_set_info(const String& server, StringView name, const ShareInfo& record) {
    NdrWriter w;
    server_name(w, server);
    w.wide_string(name);
    w.u32(kShareFull);
    w.u32(kShareFull);
    w.pointer(true);
    w.defer([&record](NdrWriter& w) { write_share(w, record); });
    w.flush();
    write_parm_error(w);
    return w.bytes();
}

Status read_parm_error(const Bytes& reply, uint32_t& parm_error) {
    NdrReader r(reply);
    parm_error = r.pointer() ? r.u32() : 0;
    return final_status(r);
}

Bytes share_del(const String& server, StringView name) {
    NdrWriter w;
    server_name(w, server);
    w.wide_string(name);
    w.u32(0);  // reserved
    return w.bytes();
}

Status read_status(const Bytes& reply) {
    NdrReader r(reply);
    return final_status(r);
}

Bytes server_get_info(const String& server, uint32_t level) {
    NdrWriter w;
    server_name(w, server);
    w.u32(level);
    return w.bytes();
}

Status read_server_get_info(const Bytes& reply, uint32_t level, ServerInfo& info) {
    NdrReader r(reply);
    const uint32_t discriminant = r.u32();
    const bool present = r.ok() && r.pointer() != 0;
    if (present && discriminant != level) r.fail();
    if (present && r.ok()) {
        info.platform_id = r.u32();
        deferred_string(r, info.name);
        info.version_major = r.u32();
        info.version_minor = r.u32();
        info.type = r.u32();
        deferred_string(r, info.comment);
        if (level == 102) {
            info.users = r.u32();
            info.auto_disconnect = static_cast<int32_t>(r.u32());
            info.hidden = r.u32();
            info.announce = r.u32();
            info.announce_delta = r.u32();
            info.licenses = r.u32();
            deferred_string(r, info.user_path);
        }
    }
    r.flush();
    const Status s = final_status(r);
    if (!r.ok()) return kBadReply;
    if (s == status::kSuccess && !present) return kBadReply;
    return s;
}

Bytes server_set_comment(const String& server, StringView comment) {
    NdrWriter w;
    server_name(w, server);
    w.u32(kServerComment);
    w.u32(kServerComment);
    w.pointer(true);
    w.defer([text = String(comment)](NdrWriter& w) { deferred_string(w, &text); });
    w.flush();
    write_parm_error(w);
    return w.bytes();
}

Bytes server_set_hidden(const String& server, bool hidden) {
    NdrWriter w;
    server_name(w, server);
    w.u32(kServerHidden);
    w.u32(kServerHidden);
    w.pointer(true);
    w.defer([hidden](NdrWriter& w) { w.u32(hidden ? 1 : 0); });
    w.flush();
    write_parm_error(w);
    return w.bytes();
}

Bytes wksta_get_info(const String& server, uint32_t level) {
    NdrWriter w;
    server_name(w, server);
    w.u32(level);
    return w.bytes();
}

Status read_wksta_get_info(const Bytes& reply, uint32_t level, WorkstationInfo& info) {
    NdrReader r(reply);
    const uint32_t discriminant = r.u32();
    const bool present = r.ok() && r.pointer() != 0;
    if (present && discriminant != level) r.fail();
    if (present && r.ok()) {
        info.platform_id = r.u32();
        deferred_string(r, info.computer_name);
        deferred_string(r, info.lan_group);
        info.version_major = r.u32();
        info.version_minor = r.u32();
        deferred_string(r, info.lan_root);
        if (level == kWorkstation) info.logged_on_users = r.u32();
    }
    r.flush();
    const Status s = final_status(r);
    if (!r.ok()) return kBadReply;
    if (s == status::kSuccess && !present) return kBadReply;
    return s;
}

}  // namespace vorlek::platform::remote::srvsvc
