// The remote accounts area without a server: the SAM and LSA requests as the
// protocol lays them out, replies taken apart (cut short or lying about
// their counts included), and the statuses Windows gives where the library
// answers differently.
#include <gtest/gtest.h>

#include <algorithm>

#include "platform/remote/accounts_detail.h"
#include "platform/remote/samr.h"
#include "tests/remote/wire.h"

namespace vorlek::platform::remote {
namespace {

using wire::handle_of;

// The 20 bytes of a handle, then the rest (copied into place: GCC's -O3
// warns falsely about an insert behind them).
Bytes with_handle(uint8_t fill, const Bytes& rest) {
    Bytes out(20 + rest.size(), fill);
    std::copy(rest.begin(), rest.end(), out.begin() + 20);
    return out;
}

// SetUserInfo level 21 with only the expiry present: every other field
// zero, the field bit and the flag near the end.
Bytes expiry_request(uint8_t fill, bool expired) {
    Bytes b(200, 0);
    b[0] = b[2] = 21;
    b[4 + 175] = 0x08;  // USER_ALL_PASSWORDEXPIRED
    b[4 + 194] = expired ? 1 : 0;
    return with_handle(fill, b);
}

const Sid kAlice(5, {21, 1, 2, 3, 1105});
const Sid kEveryone(1, {0});

TEST(RemoteAccounts, FlagsBecomeControlBitsAndBack) {
    struct Case {
        uint32_t uf, acb;
    } cases[] = {
        {uf::kScript | uf::kNormalAccount, 0x10},  // what the library stored as disabled
        {uf::kNormalAccount | uf::kAccountDisable, 0x11},
        {uf::kNormalAccount | uf::kDontExpirePassword | uf::kPasswordNotRequired, 0x214},
        {uf::kWorkstationTrustAccount, 0x80},
        {uf::kLockout | uf::kHomeDirRequired, 0x402},
        {uf::kPasswordCantChange, 0},  // a security descriptor, not a control bit
    };
    for (const auto& c : cases) {
        EXPECT_EQ(sam::acb_from_uf(c.uf), c.acb) << std::hex << c.uf;
        EXPECT_EQ(sam::uf_from_acb(c.acb), c.uf & ~(uf::kScript | uf::kPasswordCantChange))
            << std::hex << c.acb;
    }
}

TEST(RemoteAccounts, RequestsAsTheProtocolLaysThemOut) {
    struct Case {
        const char* what;
        Bytes got, want;
    } cases[] = {
        {"SetUserInfo, control bits", sam::set_control_request(handle_of(0xAA), 0x211),
         with_handle(0xAA, {0x10, 0, 0x10, 0, 0x11, 0x02, 0, 0})},
        {"SetUserInfo, expired", sam::set_expired_request(handle_of(0xAA), true),
         expiry_request(0xAA, true)},
        {"SetUserInfo, not expired", sam::set_expired_request(handle_of(0xAA), false),
         expiry_request(0xAA, false)},
        {"OpenAlias", sam::open_rid_request(handle_of(1), 544),
         with_handle(1, {0, 0, 0, 2, 0x20, 0x02, 0, 0})},
        {"AddMemberToAlias", sam::sid_request(handle_of(2), kEveryone),
         with_handle(2, {1, 0, 0, 0, 1, 1, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0})},
        {"LookupNamesInDomain", sam::lookup_names_request(handle_of(3), {u"ab"}),
         with_handle(3,
                     {1, 0, 0, 0, 0xE8, 3, 0, 0, 0, 0, 0, 0, 1,   0, 0,   0,  // count, 1000, 0, 1
                      4, 0, 4, 0, 0,    0, 2, 0,                              // the counted string
                      2, 0, 0, 0, 0,    0, 0, 0, 2, 0, 0, 0, 'a', 0, 'b', 0})},
        {"GetAliasMembership", sam::alias_membership_request(handle_of(4), {kEveryone}),
         with_handle(4, {1, 0, 0, 0, 0, 0, 2, 0,  // count, pointer
                         1, 0, 0, 0, 4, 0, 2, 0,  // array: one pointer
                         1, 0, 0, 0, 1, 1, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0})},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.got, c.want) << c.what;
}

// GetMembersInAlias's reply with the SIDs given.
Bytes members_reply(const std::vector<Sid>& sids, uint32_t declared, uint32_t nt = 0) {
    NdrWriter w;
    w.u32(declared);
    w.pointer(true);
    w.defer([&](NdrWriter& a) {
        a.u32(declared);
        for (const Sid& s : sids) {
            a.pointer(true);
            a.defer([&s](NdrWriter& b) { b.sid(s); });
        }
    });
    w.flush();
    w.u32(nt);
    return w.bytes();
}

TEST(RemoteAccounts, RepliesTakenApartOrRefused) {
    auto ok = sam::sids_reply(members_reply({kAlice, kEveryone}, 2));
    ASSERT_EQ(ok.status, 0u);
    EXPECT_EQ(ok.value, (std::vector<Sid>{kAlice, kEveryone}));
    EXPECT_EQ(sam::sids_reply(members_reply({kAlice}, 1, 0xC0000022)).status, 5u);
    EXPECT_EQ(sam::sids_reply(members_reply({kAlice}, 1, 0xC0000151)).status, 1376u);
    // A count that says more than the reply holds, and every cut.
    EXPECT_EQ(sam::sids_reply(members_reply({kAlice}, 3)).status, sam::kBadStubData);
    const Bytes whole = members_reply({kAlice, kEveryone}, 2);
    for (size_t n = 0; n < whole.size(); ++n)
        EXPECT_EQ(sam::sids_reply(Bytes(whole.begin(), whole.begin() + n)).status,
                  sam::kBadStubData)
            << n;
    Bytes longer = whole;
    longer.push_back(0);
    EXPECT_EQ(sam::sids_reply(longer).status, sam::kBadStubData);
}

TEST(RemoteAccounts, MembersNamedFromTheLookup) {
    const sam::Translated alice{SidUsage::User, u"CORP", u"alice", kAlice};
    LocalGroupMember m = detail::member_of(kAlice, alice);
    EXPECT_EQ(m.domain_and_name, u"CORP\\alice");
    EXPECT_EQ(m.usage, SidUsage::User);
    // One the server could not name is named by its SID.
    EXPECT_EQ(detail::member_of(kAlice, sam::Translated{}).domain_and_name, kAlice.text());
}

TEST(RemoteAccounts, StatusesAsWindowsGivesThem) {
    using detail::Absent;
    struct Case {
        uint32_t library;
        Absent absent;
        Status windows;
    } cases[] = {
        {1332, Absent::User, 2221},        // NetUserDel, NetUserGetInfo of a missing user
        {1332, Absent::Group, 2220},       // NetGroupGetInfo
        {1332, Absent::LocalGroup, 2220},  // NetLocalGroupGetInfo
        {1332, Absent::Keep, 1332},       {2224, Absent::User, 2224},
        {0xC0000022, Absent::Keep, 5},    {0xC000006D, Absent::User, 1326},
    };
    for (const auto& c : cases)
        EXPECT_EQ(detail::library_status(c.library, c.absent), c.windows) << c.library;

    EXPECT_EQ(detail::member_refusal(SidUsage::User), 0u);
    EXPECT_EQ(detail::member_refusal(SidUsage::WellKnownGroup), 0u);
    EXPECT_EQ(detail::member_refusal(SidUsage::Unknown), 1387u);
    EXPECT_EQ(detail::member_refusal(SidUsage::Alias), 1388u);
    EXPECT_EQ(detail::member_refusal(SidUsage::Domain), 1388u);
    EXPECT_EQ(detail::membership_conflict({kAlice}, {kEveryone, kAlice}, true), 1378u);
    EXPECT_EQ(detail::membership_conflict({kAlice}, {kAlice, kEveryone}, false), 1377u);
    EXPECT_EQ(detail::membership_conflict({kAlice}, {kEveryone}, true), 0u);
}

TEST(RemoteAccounts, MembersInBatches) {
    std::vector<LocalGroupMember> all;
    for (int i = 0; i < 3; ++i)
        all.push_back({kAlice, SidUsage::User, u"CORP\\user" + String(1, u'0' + i)});
    uint32_t resume = 0;
    std::vector<String> seen;
    std::vector<uint32_t> totals;
    Status rc;
    do {
        auto batch = detail::slice(all, 1, resume);  // one byte: one entry each
        rc = batch.status;
        totals.push_back(batch.value.total_entries);
        for (auto& m : batch.value.entries)
            seen.push_back(m.domain_and_name);
    } while (rc == status::kMoreData);
    EXPECT_EQ(rc, 0u);
    EXPECT_EQ(seen, (std::vector<String>{u"CORP\\user0", u"CORP\\user1", u"CORP\\user2"}));
    EXPECT_EQ(totals, (std::vector<uint32_t>{3, 2, 1}));
    resume = 0;
    EXPECT_EQ(detail::slice(all, kMaxPreferredLength, resume).value.entries.size(), 3u);
    EXPECT_EQ(detail::slice({}, 100, resume).status, 0u);
}

}  // namespace
}  // namespace vorlek::platform::remote
