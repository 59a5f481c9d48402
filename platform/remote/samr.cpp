#include "platform/remote/samr.h"

#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <memory>
#include <utility>

#include "automation/text.h"
#include "platform/lsa.h"
#include "platform/remote/lsarpc.h"

namespace vorlek::platform::remote::sam {

namespace {

// The USER_ACCOUNT bits of the SAM and the usri_flags bit of each.
struct ControlBit {
    uint32_t acb;
    uint32_t uf;
};
constexpr std::array kControlBits{
    ControlBit{0x00000001, 0x00000002},  // ACCOUNT_DISABLED        UF_ACCOUNTDISABLE
    ControlBit{0x00000002, 0x00000008},  // HOME_DIRECTORY_REQUIRED UF_HOMEDIR_REQUIRED
    ControlBit{0x00000004, 0x00000020},  // PASSWORD_NOT_REQUIRED   UF_PASSWD_NOTREQD
    ControlBit{0x00000008, 0x00000100},  // TEMP_DUPLICATE_ACCOUNT  UF_TEMP_DUPLICATE_ACCOUNT
    ControlBit{0x00000010, 0x00000200},  // NORMAL_ACCOUNT          UF_NORMAL_ACCOUNT
    ControlBit{0x00000020, 0x00020000},  // MNS_LOGON_ACCOUNT       UF_MNS_LOGON_ACCOUNT
    ControlBit{0x00000040, 0x00000800},  // INTERDOMAIN_TRUST       UF_INTERDOMAIN_TRUST_ACCOUNT
    ControlBit{0x00000080, 0x00001000},  // WORKSTATION_TRUST       UF_WORKSTATION_TRUST_ACCOUNT
    ControlBit{0x00000100, 0x00002000},  // SERVER_TRUST            UF_SERVER_TRUST_ACCOUNT
    ControlBit{0x00000200, 0x00010000},  // DONT_EXPIRE_PASSWORD    UF_DONT_EXPIRE_PASSWD
    ControlBit{0x00000400, 0x00000010},  // AUTO_LOCKED             UF_LOCKOUT
    ControlBit{0x00000800,
               0x00000080},  // ENCRYPTED_TEXT_PASSWORD UF_ENCRYPTED_TEXT_PASSWORD_ALLOWED
    ControlBit{0x00001000, 0x00040000},  // SMARTCARD_REQUIRED      UF_SMARTCARD_REQUIRED
    ControlBit{0x00002000, 0x00080000},  // TRUSTED_FOR_DELEGATION  UF_TRUSTED_FOR_DELEGATION
    ControlBit{0x00004000, 0x00100000},  // NOT_DELEGATED           UF_NOT_DELEGATED
    ControlBit{0x00008000, 0x00200000},  // USE_DES_KEY_ONLY        UF_USE_DES_KEY_ONLY
    ControlBit{0x00010000, 0x00400000},  // DONT_REQUIRE_PREAUTH    UF_DONT_REQUIRE_PREAUTH
    ControlBit{0x00020000, 0x00800000},  // PASSWORD_EXPIRED        UF_PASSWORD_EXPIRED
    ControlBit{0x00040000, 0x01000000},  // TRUSTED_TO_AUTH...      UF_TRUSTED_TO_AUTHENTICATE_...
    ControlBit{0x00080000, 0x02000000},  // NO_AUTH_DATA_REQUIRED   UF_NO_AUTH_DATA_REQUIRED
    ControlBit{0x00100000, 0x04000000},  // PARTIAL_SECRETS_ACCOUNT UF_PARTIAL_SECRETS_ACCOUNT
};

constexpr uint32_t kMoreEntries = 0x00000105;  // STATUS_MORE_ENTRIES
constexpr uint32_t kSomeNotMapped = 0x00000107;
constexpr uint32_t kMaxNames = 1000;  // what LookupNamesInDomain takes at once

Bytes done(NdrWriter& w) {
    w.flush();
    return w.bytes();
}

// The NTSTATUS that ends every reply, after everything else was read.
Status tail(NdrReader& r) {
    r.flush();
    const uint32_t nt = r.u32();
    if (!r.ok() || r.remaining() != 0) return kBadStubData;
    return win32_from_ntstatus(nt);
}

// An array of unique SID pointers with its count first, the SIDs deferred.
void write_sid_array(NdrWriter& w, const std::vector<Sid>& sids) {
    w.u32(static_cast<uint32_t>(sids.size()));
    w.pointer(!sids.empty());
    if (sids.empty()) return;
    w.defer([&sids](NdrWriter& a) {
        a.u32(static_cast<uint32_t>(sids.size()));
        for (const Sid& s : sids) {
            a.pointer(true);
            a.defer([&s](NdrWriter& b) { b.sid(s); });
        }
    });
}

// The same read back: count, pointer, the array of pointers, the SIDs.
void read_sid_array(NdrReader& r, std::vector<Sid>& out) {
    const uint32_t count = r.u32();
    if (!r.pointer()) return;
    r.defer([&out, count](NdrReader& a) {
        const uint32_t n = a.count(4);
        if (n != count) return a.fail();
        out.resize(n);
        for (Sid& s : out) {
            if (a.pointer()) a.defer([&s](NdrReader& b) { s = b.sid(); });
        }
    });
}

// SAMPR_ULONG_ARRAY: count and a unique pointer to the values.
void read_ulongs(NdrReader& r, std::vector<uint32_t>& out) {
    const uint32_t count = r.u32();
    if (!r.pointer()) return;
    r.defer([&out, count](NdrReader& a) {
        const uint32_t n = a.count(4);
        if (n != count) return a.fail();
        out.resize(n);
        for (uint32_t& v : out)
            v = a.u32();
    });
}

// RPC_UNICODE_STRING array elements: the counted strings, deferred characters.
void write_names(NdrWriter& w, const std::vector<String>& names) {
    for (const String& n : names)
        w.counted_string(n);
}

}  // namespace

uint32_t acb_from_uf(uint32_t uf) {
    uint32_t acb = 0;
    for (const auto& b : kControlBits)
        if (uf & b.uf) acb |= b.acb;
    return acb;
}

uint32_t uf_from_acb(uint32_t acb) {
    uint32_t uf = 0;
    for (const auto& b : kControlBits)
        if (acb & b.acb) uf |= b.uf;
    return uf;
}

// --- Requests

Bytes connect_request(StringView) {
    NdrWriter w;
    w.pointer(false);  // the server's name: every server ignores it
    w.u32(kMaximumAllowed);
    return w.bytes();
}

Bytes handle_request(const ContextHandle& h) {
    NdrWriter w;
    w.handle(h);
    return w.bytes();
}

Bytes enum_request(const ContextHandle& h, uint32_t context) {
    NdrWriter w;
    w.handle(h);
    w.u32(context);
    w.u32(0xFFFFFFFF);
    return w.bytes();
}

Bytes lookup_domain_request(const ContextHandle& h, StringView name) {
    NdrWriter w;
    w.handle(h);
    w.counted_string(name);
    return done(w);
}

Bytes open_domain_request(const ContextHandle& h, const Sid& domain) {
    NdrWriter w;
    w.handle(h);
    w.u32(kMaximumAllowed);
    w.sid(domain);
    return w.bytes();
}

Bytes open_rid_request(const ContextHandle& h, uint32_t rid) {
    NdrWriter w;
    w.handle(h);
    w.u32(kMaximumAllowed);
    w.u32(rid);
    return w.bytes();
}

Bytes lookup_names_request(const ContextHandle& h, const std::vector<String>& names) {
    NdrWriter w;
    w.handle(h);
    const auto count = static_cast<uint32_t>(names.size());
    w.u32(count);
    w.u32(kMaxNames);  // [size_is(1000), length_is(Count)]
    w.u32(0);
    w.u32(count);
    write_names(w, names);
    return done(w);
}

Bytes sid_request(const ContextHandle& h, const Sid& sid) {
    NdrWriter w;
    w.handle(h);
    w.sid(sid);
    return w.bytes();
}

Bytes alias_membership_request(const ContextHandle& h, const std::vector<Sid>& sids) {
    NdrWriter w;
    w.handle(h);
    write_sid_array(w, sids);
    return done(w);
}

Bytes set_control_request(const ContextHandle& h, uint32_t acb) {
    NdrWriter w;
    w.handle(h);
    w.u16(kUserControlInformation);
    w.u16(kUserControlInformation);  // the union's discriminant, unaligned
    w.u32(acb);
    return w.bytes();
}

Bytes set_expired_request(const ContextHandle& h, bool expired) {
    NdrWriter w;
    w.handle(h);
    w.u16(kUserAllInformation);
    w.u16(kUserAllInformation);
    for (int i = 0; i < 6; ++i)  // the times
        w.u64(0);
    for (int i = 0; i < 13; ++i)  // ten texts, two password blobs, private data: none
        w.counted_string({});
    w.u32(0);  // no security descriptor
    w.pointer(false);
    w.u32(0);  // user id, primary group, control bits
    w.u32(0);
    w.u32(0);
    w.u32(kFieldPasswordExpired);
    w.u16(0);  // no logon hours
    w.pointer(false);
    for (int i = 0; i < 4; ++i)  // bad passwords, logons, country, code page
        w.u16(0);
    w.u8(0);  // LM and NT password present
    w.u8(0);
    w.u8(expired ? 1 : 0);
    w.u8(0);
    return w.bytes();
}

// --- Replies

Status status_reply(const Bytes& reply) {
    NdrReader r(reply);
    return tail(r);
}

Result<ContextHandle> handle_reply(const Bytes& reply) {
    NdrReader r(reply);
    ContextHandle h = r.handle();
    const Status status = tail(r);
    if (status != 0) return {status, {}};
    return {status::kSuccess, h};
}

Result<Sid> sid_reply(const Bytes& reply) {
    NdrReader r(reply);
    Sid sid;
    const bool present = r.pointer() != 0;
    if (present) sid = r.sid();
    const Status status = tail(r);
    if (status != 0) return {status, {}};
    if (!present) return {kBadStubData, {}};
    return {status::kSuccess, std::move(sid)};
}

Result<std::vector<RidName>> enum_reply(const Bytes& reply, uint32_t& context, bool& more) {
    NdrReader r(reply);
    const uint32_t next = r.u32();
    std::vector<RidName> out;
    if (r.pointer()) {
        const uint32_t entries = r.u32();
        if (r.pointer()) {
            r.defer([&out, entries](NdrReader& a) {
                const uint32_t n = a.count(12);
                if (n != entries) return a.fail();
                out.resize(n);
                for (RidName& e : out) {
                    e.rid = a.u32();
                    a.counted_string(e.name);
                }
            });
        }
        r.flush();
    }
    r.u32();  // CountReturned
    r.flush();
    const uint32_t nt = r.u32();
    if (!r.ok() || r.remaining() != 0) return {kBadStubData, {}};
    more = nt == kMoreEntries;
    if (!more && nt != 0) return {win32_from_ntstatus(nt), {}};
    context = next;
    return {status::kSuccess, std::move(out)};
}

Result<std::vector<RidUse>> lookup_names_reply(const Bytes& reply) {
    NdrReader r(reply);
    std::vector<uint32_t> rids, uses;
    read_ulongs(r, rids);
    r.flush();
    read_ulongs(r, uses);
    r.flush();
    const uint32_t nt = reply.size() >= 4 ? reply[reply.size() - 4] | reply[reply.size() - 3] << 8 |
                                                reply[reply.size() - 2] << 16 |
                                                uint32_t{reply[reply.size() - 1]} << 24
                                          : 0;
    const Status status = tail(r);
    if (status == kBadStubData || rids.size() != uses.size()) return {kBadStubData, {}};
    if (status != 0 && nt != kSomeNotMapped) return {status, {}};
    std::vector<RidUse> out(rids.size());
    for (size_t i = 0; i < rids.size(); ++i) {
        out[i].rid = rids[i];
        out[i].use =
            uses[i] >= 1 && uses[i] <= 9 ? static_cast<SidUsage>(uses[i]) : SidUsage::Unknown;
    }
    return {status::kSuccess, std::move(out)};
}

Result<std::vector<Sid>> sids_reply(const Bytes& reply) {
    NdrReader r(reply);
    std::vector<Sid> out;
    read_sid_array(r, out);
    const Status status = tail(r);
    if (status != 0) return {status, {}};
    return {status::kSuccess, std::move(out)};
}

Result<std::vector<uint32_t>> ulongs_reply(const Bytes& reply) {
    NdrReader r(reply);
    std::vector<uint32_t> out;
    read_ulongs(r, out);
    const Status status = tail(r);
    if (status != 0) return {status, {}};
    return {status::kSuccess, std::move(out)};
}

Result<std::vector<uint32_t>> groups_reply(const Bytes& reply) {
    NdrReader r(reply);
    std::vector<uint32_t> out;
    if (r.pointer()) {
        const uint32_t count = r.u32();
        if (r.pointer()) {
            r.defer([&out, count](NdrReader& a) {
                const uint32_t n = a.count(8);
                if (n != count) return a.fail();
                out.resize(n);
                for (uint32_t& rid : out) {
                    rid = a.u32();
                    a.u32();  // attributes
                }
            });
        }
        r.flush();
    }
    const Status status = tail(r);
    if (status != 0) return {status, {}};
    return {status::kSuccess, std::move(out)};
}

// --- Calls

Handle::~Handle() {
    if (!h.empty()) session_.call(host_, pipe_, close_op_, handle_request(h));
}

SamClient::SamClient(Session& session, std::string host)
    : session_(session),
      host_(std::move(host)),
      connect_(session, host_, Pipe::Samr, op::kClose),
      account_(session, host_, Pipe::Samr, op::kClose),
      builtin_(session, host_, Pipe::Samr, op::kClose) {}

Result<Bytes> SamClient::call(uint32_t opnum, const Bytes& request) {
    auto reply = session_.call(host_, Pipe::Samr, opnum, request);
    if (reply.status == kCannotComplete) reply.status = connection_failure(host_);
    return reply;
}

Result<Sid> SamClient::domain_sid(bool builtin) {
    if (builtin) return {status::kSuccess, Sid(sid::kNtAuthority, {sid::kBuiltinDomainRid})};
    auto d = domain(false);
    if (!d.ok()) return {d.status, {}};
    return {status::kSuccess, account_sid_};
}

Result<const ContextHandle*> SamClient::domain(bool builtin) {
    Handle& slot = builtin ? builtin_ : account_;
    if (!slot.h.empty()) return {status::kSuccess, &slot.h};
    if (connect_.h.empty()) {
        auto reply = call(op::kConnect2, connect_request({}));
        if (!reply.ok()) return {reply.status, nullptr};
        auto h = handle_reply(reply.value);
        if (!h.ok()) return {h.status, nullptr};
        connect_.h = h.value;
    }
    Sid sid(sid::kNtAuthority, {sid::kBuiltinDomainRid});
    if (!builtin) {
        // The account domain is the one that is not BUILTIN.
        uint32_t context = 0;
        bool more = true;
        String name;
        while (more && name.empty()) {
            auto reply = call(op::kEnumDomains, enum_request(connect_.h, context));
            if (!reply.ok()) return {reply.status, nullptr};
            auto list = enum_reply(reply.value, context, more);
            if (!list.ok()) return {list.status, nullptr};
            for (const RidName& d : list.value)
                if (!equal_ignore_case(d.name, u"Builtin")) name = d.name;
            if (list.value.empty()) break;
        }
        if (name.empty()) return {status::kNoSuchDomain, nullptr};
        auto reply = call(op::kLookupDomain, lookup_domain_request(connect_.h, name));
        if (!reply.ok()) return {reply.status, nullptr};
        auto found = sid_reply(reply.value);
        if (!found.ok()) return {found.status, nullptr};
        sid = found.value;
        account_sid_ = sid;
    }
    auto reply = call(op::kOpenDomain, open_domain_request(connect_.h, sid));
    if (!reply.ok()) return {reply.status, nullptr};
    auto h = handle_reply(reply.value);
    if (!h.ok()) return {h.status, nullptr};
    slot.h = h.value;
    return {status::kSuccess, &slot.h};
}

Result<SamClient::Found> SamClient::find(StringView name, bool alias) {
    for (bool builtin : {false, true}) {
        auto d = domain(builtin);
        if (!d.ok()) return {d.status, {}};
        auto reply = call(op::kLookupNames, lookup_names_request(*d.value, {String(name)}));
        if (!reply.ok()) return {reply.status, {}};
        auto found = lookup_names_reply(reply.value);
        if (found.status == 1332) continue;
        if (!found.ok()) return {found.status, {}};
        if (found.value.size() != 1) return {kBadStubData, {}};
        const RidUse& r = found.value[0];
        if (alias && r.use != SidUsage::Alias) continue;
        return {status::kSuccess, Found{builtin, r.rid, r.use}};
    }
    return {2220, {}};  // NERR_GroupNotFound
}

Status SamClient::open(bool builtin, uint32_t open_op, uint32_t rid, Handle& out) {
    auto d = domain(builtin);
    if (!d.ok()) return d.status;
    auto reply = call(open_op, open_rid_request(*d.value, rid));
    if (!reply.ok()) return reply.status;
    auto h = handle_reply(reply.value);
    if (!h.ok()) return h.status;
    out.h = h.value;
    return status::kSuccess;
}

namespace {

// One translation on a policy of its own, through the LSA calls the rights
// and look-ups of the other areas make: an entry per name or SID asked,
// `use` Unknown for those the server does not know (also when it knows none).
template <class Ask, class Read>
Result<std::vector<Translated>> translate(Session& session, const std::string& host, size_t asked,
                                          uint32_t opnum, Ask&& ask, Read&& read) {
    Handle policy(session, host, Pipe::Lsa, lsarpc::kClose);
    auto opened = session.call(host, Pipe::Lsa, lsarpc::kOpenPolicy2,
                               lsarpc::open_policy2(from_utf8(host), policy_access::kLookupNames));
    if (!opened.ok()) return {opened.status, {}};
    if (Status s = lsarpc::read_open_policy2(opened.value, policy.h)) return {s, {}};
    auto reply = session.call(host, Pipe::Lsa, opnum, ask(policy.h));
    if (!reply.ok()) return {reply.status, {}};
    std::vector<Account> accounts;
    Status s = read(reply.value, accounts);
    if (s == status::kNoneMapped) {
        if (accounts.empty()) accounts.resize(asked);
        if (accounts.size() == asked) s = status::kSuccess;
    }
    if (s != status::kSuccess) return {s, {}};
    if (accounts.size() != asked) return {kBadStubData, {}};
    std::vector<Translated> out(asked);
    for (size_t i = 0; i < asked; ++i) {
        out[i].use = accounts[i].usage;
        out[i].domain = std::move(accounts[i].domain);
        out[i].name = std::move(accounts[i].name);
        out[i].sid = std::move(accounts[i].sid);
    }
    return {status::kSuccess, std::move(out)};
}

}  // namespace

Result<std::vector<Translated>> lookup_sids(Session& session, const std::string& host,
                                            const std::vector<Sid>& sids) {
    if (sids.empty()) return {status::kSuccess, {}};
    return translate(
        session, host, sids.size(), lsarpc::kLookupSids,
        [&](const ContextHandle& h) { return lsarpc::lookup_sids(h, sids); },
        [](const Bytes& b, std::vector<Account>& a) { return lsarpc::read_lookup_sids(b, a); });
}

Result<std::vector<Translated>> lookup_names(Session& session, const std::string& host,
                                             const std::vector<String>& names) {
    if (names.empty()) return {status::kSuccess, {}};
    return translate(
        session, host, names.size(), lsarpc::kLookupNames,
        [&](const ContextHandle& h) { return lsarpc::lookup_names(h, names); },
        [](const Bytes& b, std::vector<Account>& a) { return lsarpc::read_lookup_names(b, a); });
}

}  // namespace vorlek::platform::remote::sam
