#include "platform/remote/lsarpc.h"

namespace vorlek::platform::remote::lsarpc {

namespace {

constexpr uint32_t kSomeNotMapped = 0x00000107;  // STATUS_SOME_NOT_MAPPED: a success
constexpr uint32_t kNoneMapped = 0xC0000073;
constexpr uint16_t kLookupAll = 1;          // LsapLookupWksta: every domain the server knows
constexpr uint32_t kClientRevision = 2;     // LSA_CLIENT_REVISION_2
constexpr uint32_t kObjectAttributes = 24;  // the length of LSAPR_OBJECT_ATTRIBUTES

// The status word that ends every reply, read after the [out] parameters.
Status final_status(NdrReader& r) {
    const uint32_t nt = r.u32();
    if (!r.ok()) return kBadReply;
    return win32_from_ntstatus(nt);
}

// A counted string array (LSAPR_USER_RIGHT_SET, the names of a lookup):
// the count and, deferred, the strings.
void counted_strings(NdrWriter& w, const std::vector<String>& texts) {
    w.u32(static_cast<uint32_t>(texts.size()));
    for (const String& t : texts)
        w.counted_string(t);
}

// A SID array (LSAPR_ACCOUNT_ENUM_BUFFER / LSAPR_SID_ENUM_BUFFER) in place:
// its count and a pointer whose array of SID pointers is deferred. `out`
// receives the SIDs at the next flush.
void read_sid_array(NdrReader& r, std::vector<Sid>& out) {
    const uint32_t count = r.u32();
    if (!r.pointer()) {
        if (count != 0) r.fail();
        return;
    }
    r.defer([count, &out](NdrReader& r) {
        const uint32_t n = r.count(4);
        if (n != count) {
            r.fail();
            return;
        }
        std::vector<uint32_t> present(n);
        for (auto& p : present)
            p = r.pointer();
        out.reserve(n);
        for (uint32_t p : present) {
            if (!r.ok()) return;
            out.push_back(p ? r.sid() : Sid(0, {}, 0));
        }
    });
}

void write_sid_array(NdrWriter& w, const std::vector<Sid>& sids) {
    w.u32(static_cast<uint32_t>(sids.size()));
    w.pointer(!sids.empty());
    if (sids.empty()) return;
    w.defer([&sids](NdrWriter& w) {
        w.u32(static_cast<uint32_t>(sids.size()));
        for (size_t i = 0; i < sids.size(); ++i)
            w.pointer(true);
        for (const Sid& s : sids)
            w.sid(s);
    });
}

struct Domain {
    String name;
    Sid sid;
};

// The referenced domains (LSAPR_REFERENCED_DOMAIN_LIST), a top-level unique
// pointer with its referents.
void read_domains(NdrReader& r, std::vector<Domain>& domains) {
    if (!r.pointer()) return;
    const uint32_t count = r.u32();
    const uint32_t present = r.pointer();
    r.u32();  // the list's maximum size
    if (present) {
        r.defer([count, &domains](NdrReader& r) {
            const uint32_t n = r.count(12);
            if (n != count) {
                r.fail();
                return;
            }
            domains.resize(n);
            for (Domain& d : domains) {
                r.align(4);
                r.counted_string(d.name);
                if (r.pointer()) r.defer([&d](NdrReader& r) { d.sid = r.sid(); });
            }
        });
    } else if (count != 0) {
        r.fail();
    }
    r.flush();
}

String domain_name(const std::vector<Domain>& domains, uint32_t index) {
    return index < domains.size() ? domains[index].name : String();
}

// The status of a lookup: some names not mapped is a success, none a
// failure whose translations are read all the same.
Status lookup_status(NdrReader& r) {
    const uint32_t nt = r.u32();
    if (!r.ok()) return kBadReply;
    if (nt == kSomeNotMapped) return status::kSuccess;
    return win32_from_ntstatus(nt == kNoneMapped ? kNoneMapped : nt);
}

SidUsage usage_of(uint16_t type) {
    return type >= 1 && type <= 9 ? static_cast<SidUsage>(type) : SidUsage::Unknown;
}

}  // namespace

Bytes open_policy2(StringView system, uint32_t access) {
    NdrWriter w;
    const String unc = u"\\\\" + String(system);
    const StringView name = unc;
    w.unique_wide_string(system.empty() ? nullptr : &name);
    // The object attributes, unused by the server: their length and nulls.
    w.u32(kObjectAttributes);
    w.pointer(false);  // root directory
    w.pointer(false);  // object name
    w.u32(0);          // attributes
    w.pointer(false);  // security descriptor
    w.pointer(false);  // quality of service
    w.u32(access);
    return w.bytes();
}

Status read_open_policy2(const Bytes& reply, ContextHandle& handle) {
    NdrReader r(reply);
    handle = r.handle();
    const Status s = final_status(r);
    if (s == status::kSuccess && handle.empty()) return kBadReply;
    return s;
}

Bytes close(const ContextHandle& handle) {
    NdrWriter w;
    w.handle(handle);
    return w.bytes();
}

Status read_close(const Bytes& reply) {
    NdrReader r(reply);
    r.handle();
    return final_status(r);
}

Status read_status(const Bytes& reply) {
    NdrReader r(reply);
    return final_status(r);
}

Bytes enum_accounts_with_right(const ContextHandle& policy, StringView right) {
    NdrWriter w;
    w.handle(policy);
    w.pointer(true);
    w.counted_string(right);
    w.flush();
    return w.bytes();
}

Status read_enum_accounts_with_right(const Bytes& reply, std::vector<Sid>& sids) {
    NdrReader r(reply);
    read_sid_array(r, sids);
    r.flush();
    const Status s = final_status(r);
    if (!r.ok()) sids.clear();
    return s;
}

Bytes enum_account_rights(const ContextHandle& policy, const Sid& account) {
    NdrWriter w;
    w.handle(policy);
    w.sid(account);
    return w.bytes();
}

Status read_enum_account_rights(const Bytes& reply, std::vector<String>& rights) {
    NdrReader r(reply);
    std::vector<String> read;
    const uint32_t count = r.u32();
    if (r.pointer()) {
        const uint32_t n = r.count(8);
        if (n != count) r.fail();
        read.resize(r.ok() ? n : 0);
        for (String& right : read)
            r.counted_string(right);
    }
    r.flush();
    const Status s = final_status(r);
    if (!r.ok()) return kBadReply;
    rights = std::move(read);
    return s;
}

namespace {

Bytes rights_request(const ContextHandle& policy, const Sid& account, const bool* remove_all,
                     const std::vector<String>& rights) {
    NdrWriter w;
    w.handle(policy);
    w.sid(account);
    if (remove_all) w.u8(*remove_all ? 1 : 0);
    w.u32(static_cast<uint32_t>(rights.size()));
    w.pointer(!rights.empty());
    if (!rights.empty()) w.defer([&rights](NdrWriter& w) { counted_strings(w, rights); });
    w.flush();
    return w.bytes();
}

}  // namespace

Bytes add_account_rights(const ContextHandle& policy, const Sid& account,
                         const std::vector<String>& rights) {
    return rights_request(policy, account, nullptr, rights);
}

Bytes remove_account_rights(const ContextHandle& policy, const Sid& account, bool all,
                            const std::vector<String>& rights) {
    return rights_request(policy, account, &all, rights);
}

Bytes lookup_names3(const ContextHandle& policy, const std::vector<String>& names) {
    NdrWriter w;
    w.handle(policy);
    w.u32(static_cast<uint32_t>(names.size()));
    // The names: a conformant array of counted strings.
    counted_strings(w, names);
    w.flush();
    w.u32(0);  // no translations yet
    w.pointer(false);
    w.u16(kLookupAll);
    w.u32(0);  // mapped count
    w.u32(0);  // lookup options
    w.u32(kClientRevision);
    return w.bytes();
}

Status read_lookup_names3(const Bytes& reply, std::vector<Account>& accounts) {
    NdrReader r(reply);
    std::vector<Domain> domains;
    read_domains(r, domains);
    struct Translated {
        uint16_t type = 0;
        Sid sid;
        uint32_t index = 0;
    };
    std::vector<Translated> sids;
    const uint32_t count = r.u32();
    if (r.pointer()) {
        r.defer([count, &sids](NdrReader& r) {
            const uint32_t n = r.count(16);
            if (n != count) {
                r.fail();
                return;
            }
            sids.resize(n);
            for (Translated& t : sids) {
                t.type = r.u16();
                if (r.pointer()) r.defer([&t](NdrReader& r) { t.sid = r.sid(); });
                t.index = r.u32();
                r.u32();  // flags
            }
        });
    }
    r.flush();
    r.u32();  // mapped count
    const Status s = lookup_status(r);
    if (!r.ok()) return kBadReply;
    accounts.clear();
    accounts.reserve(sids.size());
    for (Translated& t : sids)
        accounts.push_back({std::move(t.sid), {}, domain_name(domains, t.index), usage_of(t.type)});
    return s;
}

Bytes lookup_names(const ContextHandle& policy, const std::vector<String>& names) {
    NdrWriter w;
    w.handle(policy);
    w.u32(static_cast<uint32_t>(names.size()));
    counted_strings(w, names);
    w.flush();
    w.u32(0);  // no translations yet
    w.pointer(false);
    w.u16(kLookupAll);
    w.u32(0);  // mapped count
    return w.bytes();
}

Status read_lookup_names(const Bytes& reply, std::vector<Account>& accounts) {
    NdrReader r(reply);
    std::vector<Domain> domains;
    read_domains(r, domains);
    struct Translated {
        uint16_t type = 0;
        uint32_t rid = 0, index = 0;
    };
    std::vector<Translated> sids;
    const uint32_t count = r.u32();
    if (r.pointer()) {
        const uint32_t n = r.count(12);
        if (n != count) r.fail();
        sids.resize(r.ok() ? n : 0);
        for (Translated& t : sids) {
            t.type = r.u16();
            t.rid = r.u32();
            t.index = r.u32();
        }
    }
    r.u32();  // mapped count
    const Status s = lookup_status(r);
    if (!r.ok()) return kBadReply;
    accounts.clear();
    accounts.reserve(sids.size());
    for (const Translated& t : sids) {
        const SidUsage usage = usage_of(t.type);
        Sid sid = t.index < domains.size() ? domains[t.index].sid : Sid();
        // A domain is its own SID; anything else is one of its accounts.
        if (usage != SidUsage::Domain && t.index < domains.size()) sid = sid.with_rid(t.rid);
        accounts.push_back({std::move(sid), {}, domain_name(domains, t.index), usage});
    }
    return s;
}

Bytes lookup_sids(const ContextHandle& policy, const std::vector<Sid>& sids) {
    NdrWriter w;
    w.handle(policy);
    write_sid_array(w, sids);
    w.flush();
    w.u32(0);  // no translations yet
    w.pointer(false);
    w.u16(kLookupAll);
    w.u32(0);  // mapped count
    return w.bytes();
}

Status read_lookup_sids(const Bytes& reply, std::vector<Account>& accounts) {
    NdrReader r(reply);
    std::vector<Domain> domains;
    read_domains(r, domains);
    struct Translated {
        uint16_t type = 0;
        String name;
        uint32_t index = 0;
    };
    std::vector<Translated> names;
    const uint32_t count = r.u32();
    if (r.pointer()) {
        r.defer([count, &names](NdrReader& r) {
            const uint32_t n = r.count(16);
            if (n != count) {
                r.fail();
                return;
            }
            names.resize(n);
            for (Translated& t : names) {
                t.type = r.u16();
                r.align(4);
                r.counted_string(t.name);
                t.index = r.u32();
            }
        });
    }
    r.flush();
    r.u32();  // mapped count
    const Status s = lookup_status(r);
    if (!r.ok()) return kBadReply;
    accounts.clear();
    accounts.reserve(names.size());
    for (Translated& t : names)
        accounts.push_back(
            {Sid(), std::move(t.name), domain_name(domains, t.index), usage_of(t.type)});
    return s;
}

}  // namespace vorlek::platform::remote::lsarpc
