// The local security authority's calls as the remote backend makes them:
// requests byte for byte, replies taken apart, and replies cut short or
// with counts that lie refused with 1783 and nothing half read.
#include <gtest/gtest.h>

#include "platform/remote/lsarpc.h"
#include "platform/tokens.h"

namespace vorlek::platform::remote {
namespace {

ContextHandle policy_handle() {
    ContextHandle h;
    h.bytes.fill(0x11);
    return h;
}

Bytes hex(std::initializer_list<uint32_t> words) {
    Bytes out;
    for (uint32_t w : words)
        for (int i = 0; i < 4; ++i)
            out.push_back(static_cast<uint8_t>(w >> (8 * i)));
    return out;
}

Bytes concat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& p : parts)
        out.insert(out.end(), p.begin(), p.end());
    return out;
}

// Characters as they go on the wire, padded to the next word when more follows.
Bytes utf16(StringView text, bool nul, bool pad = true) {
    Bytes out;
    for (char16_t c : text) {
        out.push_back(static_cast<uint8_t>(c));
        out.push_back(static_cast<uint8_t>(c >> 8));
    }
    if (nul) out.insert(out.end(), {0, 0});
    while (pad && out.size() % 4)
        out.push_back(0);
    return out;
}

const Sid kAdmins = sid::builtin_alias(sid::rid::kAdmins);

TEST(RemoteLsaWire, RequestsAreTheCallsInParameters) {
    const Bytes handle(20, 0x11);
    // LsarOpenPolicy2: the server's name, empty object attributes, the access.
    EXPECT_EQ(lsarpc::open_policy2(u"DC1", 0x801),
              concat({hex({0x20000, 6, 0, 6}), utf16(u"\\\\DC1", true), hex({24, 0, 0, 0, 0, 0}),
                      hex({0x801})}));
    // LsarEnumerateAccountsWithUserRight: a unique pointer to a counted string.
    EXPECT_EQ(lsarpc::enum_accounts_with_right(policy_handle(), u"SeTcbPrivilege"),
              concat({handle, hex({0x20000, 28u << 16 | 28, 0x20004, 14, 0, 14}),
                      utf16(u"SeTcbPrivilege", false)}));
    // LsarRemoveAccountRights: the SID in place, the flag, the right set.
    const Bytes sid = {1, 2, 0, 0, 0, 0, 0, 5, 32, 0, 0, 0, 0x20, 2, 0, 0};
    EXPECT_EQ(
        lsarpc::remove_account_rights(policy_handle(), kAdmins, false, {u"SeBackupPrivilege"}),
        concat({handle, hex({2}), sid, hex({0, 1, 0x20000, 1, 34u << 16 | 34, 0x20004, 17, 0, 17}),
                utf16(u"SeBackupPrivilege", false, false)}));
}

// An enumeration reply: the SID array, then the status.
Bytes sids_reply(const std::vector<Sid>& sids, uint32_t ntstatus) {
    NdrWriter w;
    w.u32(static_cast<uint32_t>(sids.size()));
    w.pointer(!sids.empty());
    if (!sids.empty()) {
        w.u32(static_cast<uint32_t>(sids.size()));
        for (size_t i = 0; i < sids.size(); ++i)
            w.pointer(true);
        for (const Sid& s : sids)
            w.sid(s);
    }
    w.u32(ntstatus);
    return w.bytes();
}

TEST(RemoteLsaWire, EnumerationRepliesAndTheirStatuses) {
    const std::vector<Sid> holders{kAdmins, sid::everyone()};
    std::vector<Sid> read;
    EXPECT_EQ(lsarpc::read_enum_accounts_with_right(sids_reply(holders, 0), read), 0u);
    EXPECT_EQ(read, holders);

    struct Case {
        uint32_t ntstatus;
        Status expected;
    };
    for (const Case& c :
         {Case{0x8000001A, status::kNoMoreItems},  // nobody holds it
          Case{0xC0000060, status::kNoSuchPrivilege}, Case{0xC0000022, status::kAccessDenied},
          Case{0xC0000034, status::kFileNotFound}}) {
        read.clear();
        EXPECT_EQ(lsarpc::read_enum_accounts_with_right(sids_reply({}, c.ntstatus), read),
                  c.expected)
            << std::hex << c.ntstatus;
        EXPECT_TRUE(read.empty());
    }
}

TEST(RemoteLsaWire, AnAccountsRightsOrNone) {
    NdrWriter w;
    w.u32(1);
    w.pointer(true);
    w.u32(1);
    w.counted_string(u"SeUndockPrivilege");
    w.flush();
    w.u32(0);
    std::vector<String> rights;
    ASSERT_EQ(lsarpc::read_enum_account_rights(w.bytes(), rights), 0u);
    EXPECT_EQ(rights, std::vector<String>{u"SeUndockPrivilege"});
    // An account that holds nothing: no set, and the status Windows answers 2 for.
    EXPECT_EQ(lsarpc::read_enum_account_rights(hex({0, 0, 0xC0000034}), rights), 2u);
    const Bytes cut(w.bytes().begin(), w.bytes().end() - 4);
    EXPECT_EQ(lsarpc::read_enum_account_rights(cut, rights), lsarpc::kBadReply);
}

TEST(RemoteLsaWire, MalformedRepliesAreRefusedWhole) {
    const Bytes good = sids_reply({kAdmins, sid::everyone()}, 0);
    for (size_t n = 0; n < good.size(); ++n) {
        std::vector<Sid> read;
        EXPECT_EQ(
            lsarpc::read_enum_accounts_with_right(Bytes(good.begin(), good.begin() + n), read),
            lsarpc::kBadReply)
            << n;
        EXPECT_TRUE(read.empty()) << n;
    }
    // An array count other than the structure's, and one no reply could hold.
    Bytes lying = good;
    lying[8] = 3;
    Bytes huge = good;
    huge[11] = 0x7F;
    for (const Bytes& bad : {lying, huge}) {
        std::vector<Sid> read;
        EXPECT_EQ(lsarpc::read_enum_accounts_with_right(bad, read), lsarpc::kBadReply);
        EXPECT_TRUE(read.empty());
    }
    ContextHandle h;
    EXPECT_EQ(lsarpc::read_open_policy2(Bytes(20, 0), h), lsarpc::kBadReply);
    EXPECT_EQ(lsarpc::read_open_policy2(concat({Bytes(20, 0), hex({0})}), h), lsarpc::kBadReply)
        << "a null handle is no policy";
}

// A lookup reply's referenced domains: BUILTIN and CORP.
void domains(NdrWriter& w) {
    const Sid corp = sid::account_domain(1, 2, 3);
    w.pointer(true);
    w.u32(2);
    w.pointer(true);
    w.u32(32);
    w.u32(2);
    w.counted_string(u"BUILTIN");
    w.pointer(true);
    w.defer([](NdrWriter& w) { w.sid(sid::builtin()); });
    w.counted_string(u"CORP");
    w.pointer(true);
    w.defer([corp](NdrWriter& w) { w.sid(corp); });
    w.flush();
}

TEST(RemoteLsaWire, LookupRepliesNameTheAccountAndItsDomain) {
    // LsarLookupSids: Administrators, and a SID nobody knows.
    NdrWriter w;
    domains(w);
    w.u32(2);
    w.pointer(true);
    w.u32(2);
    w.u16(4);
    w.align(4);
    w.counted_string(u"Administrators");
    w.u32(0);
    w.u16(8);
    w.align(4);
    w.counted_string(u"S-1-5-21-1-2-3-999");
    w.u32(0xFFFFFFFF);
    w.flush();
    w.u32(1);
    w.u32(0x107);  // some not mapped: a success
    std::vector<Account> accounts;
    ASSERT_EQ(lsarpc::read_lookup_sids(w.bytes(), accounts), 0u);
    ASSERT_EQ(accounts.size(), 2u);
    EXPECT_EQ(accounts[0].name, u"Administrators");
    EXPECT_EQ(accounts[0].domain, u"BUILTIN");
    EXPECT_EQ(accounts[0].usage, SidUsage::Alias);
    EXPECT_EQ(accounts[1].usage, SidUsage::Unknown);
    EXPECT_EQ(accounts[1].domain, u"") << "an index past the list names no domain";

    // LsarLookupNames3: the full SID comes back; none mapped is 1332.
    NdrWriter n;
    domains(n);
    n.u32(1);
    n.pointer(true);
    n.u32(1);
    n.u16(1);
    n.pointer(true);
    n.u32(1);
    n.u32(0);
    const Sid user = sid::account_domain(1, 2, 3).with_rid(1104);
    n.sid(user);
    n.u32(1);
    for (uint32_t ntstatus : {0u, 0xC0000073u}) {
        Bytes reply = n.bytes();
        const Bytes tail = hex({ntstatus});
        reply.insert(reply.end(), tail.begin(), tail.end());
        ASSERT_EQ(lsarpc::read_lookup_names3(reply, accounts), ntstatus ? 1332u : 0u);
        ASSERT_EQ(accounts.size(), 1u);
        EXPECT_EQ(accounts[0].sid, user);
        EXPECT_EQ(accounts[0].domain, u"CORP");
        EXPECT_EQ(accounts[0].usage, SidUsage::User);
        // Cut short anywhere, the reply is refused.
        for (size_t cut = 0; cut + 4 < reply.size(); cut += 3)
            EXPECT_EQ(
                lsarpc::read_lookup_names3(Bytes(reply.begin(), reply.begin() + cut), accounts),
                lsarpc::kBadReply)
                << cut;
    }
}

TEST(RemoteLsaWire, OlderServersNameAccountsByDomainAndRid) {
    NdrWriter w;
    domains(w);
    w.u32(2);
    w.pointer(true);
    w.u32(2);
    // A user of CORP (domain 1) by its RID, and CORP itself.
    w.u16(1);
    w.u32(1104);
    w.u32(1);
    w.u16(3);
    w.u32(0xFFFFFFFF);
    w.u32(1);
    w.u32(2);
    w.u32(0);
    std::vector<Account> accounts;
    ASSERT_EQ(lsarpc::read_lookup_names(w.bytes(), accounts), 0u);
    ASSERT_EQ(accounts.size(), 2u);
    EXPECT_EQ(accounts[0].sid, sid::account_domain(1, 2, 3).with_rid(1104));
    EXPECT_EQ(accounts[0].domain, u"CORP");
    EXPECT_EQ(accounts[1].usage, SidUsage::Domain);
    EXPECT_EQ(accounts[1].sid, sid::account_domain(1, 2, 3)) << "a domain is its own SID";
}

}  // namespace
}  // namespace vorlek::platform::remote
