// SIDs and the translation of names and SIDs as the simulated machines see
// them: WS0001 (a member of CORP) knows its own accounts, BUILTIN, the
// well-known names and CORP's accounts through a controller that answers.
#include <gtest/gtest.h>

#include "tests/support/simulated.h"

#include "platform/security.h"
#include "platform/sim/network.h"
#include "platform/sim/security.h"

namespace vorlek {
namespace {

using platform::Sid;
using platform::SidUsage;

TEST(Sid, TextFormsRoundTrip) {
    const struct {
        const char16_t* text;
        Sid sid;
    } cases[] = {
        {u"S-1-1-0", platform::sid::everyone()},
        {u"S-1-5-32-544", platform::sid::builtin_alias(544)},
        {u"S-1-5-21-1-2-4294967295-500",
         platform::sid::account_domain(1, 2, 0xFFFFFFFF).with_rid(500)},
        // Authorities of 2^32 and above are written in hexadecimal.
        {u"S-1-0x010000000000-7", Sid(uint64_t{1} << 40, {7})},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(to_utf8(c.text));
        EXPECT_EQ(c.sid.text(), c.text);
        EXPECT_EQ(Sid::parse(c.text), c.sid);
        const auto bytes = c.sid.bytes();
        EXPECT_EQ(bytes.size(), c.sid.byte_length());
        EXPECT_EQ(Sid::from_bytes(bytes.data(), bytes.size()), c.sid);
        EXPECT_EQ(platform::SidHash{}(*Sid::parse(c.text)), platform::SidHash{}(c.sid));
    }
    EXPECT_EQ(Sid::parse(u"s-1-5-0x20-544"), platform::sid::builtin_alias(544));
}

TEST(Sid, MalformedTextsAndBuffersAreRefused) {
    for (StringView bad : {u"", u"S-1", u"S-1-5", u"S-2-5-32", u"X-1-5-32", u"S-1-5-", u"S-1--5",
                           u"S-1-5-x", u"S-1-5-4294967296", u"S-1-0x1000000000000-1",
                           u"S-1-5-1-2-3-4-5-6-7-8-9-10-11-12-13-14-15-16"})
        EXPECT_EQ(Sid::parse(bad), std::nullopt) << to_utf8(bad);
    const auto bytes = platform::sid::builtin_alias(544).bytes();
    EXPECT_EQ(Sid::from_bytes(bytes.data(), bytes.size() - 1), std::nullopt);  // cut short
    std::vector<uint8_t> too_many = bytes;
    too_many[1] = 16;
    EXPECT_EQ(Sid::from_bytes(too_many.data(), too_many.size()), std::nullopt);
    // The domain of an account and the account of a domain.
    const Sid user = platform::sid::account_domain(1, 2, 3).with_rid(1105);
    EXPECT_TRUE(user.in_domain(platform::sid::account_domain(1, 2, 3)));
    EXPECT_FALSE(user.in_domain(platform::sid::account_domain(1, 2, 4)));
    EXPECT_EQ(user.domain(), platform::sid::account_domain(1, 2, 3));
    EXPECT_EQ(user.rid(), 1105u);
}

class LookupTest : public testing_support::SimulatedTest {
  protected:
    platform::Security& security = platform::current().security();
    const Sid corp = sim::account_domain_sid(u"CORP");
    const Sid ws0001 = sim::account_domain_sid(u"WS0001");
};

TEST_F(LookupTest, NamesResolveInTheOrderAMemberMachineSeesThem) {
    const struct {
        const char16_t* name;
        Sid sid;
        const char16_t* account;
        const char16_t* domain;
        SidUsage usage;
    } cases[] = {
        {u"everyone", platform::sid::everyone(), u"Everyone", u"", SidUsage::WellKnownGroup},
        {u"NT AUTHORITY\\system", platform::sid::local_system(), u"SYSTEM", u"NT AUTHORITY",
         SidUsage::WellKnownGroup},
        {u"Administrators", platform::sid::builtin_alias(544), u"Administrators", u"BUILTIN",
         SidUsage::Alias},
        {u"builtin", platform::sid::builtin(), u"BUILTIN", u"", SidUsage::Domain},
        // The machine's own accounts come before the domain's of the same name.
        {u"administrator", ws0001.with_rid(500), u"Administrator", u"WS0001", SidUsage::User},
        {u"corp\\Administrator", corp.with_rid(500), u"Administrator", u"CORP", SidUsage::User},
        {u"Domain Admins", corp.with_rid(512), u"Domain Admins", u"CORP", SidUsage::Group},
        {u"File Readers", corp.with_rid(1031), u"File Readers", u"CORP", SidUsage::Alias},
        {u"CORP", corp, u"CORP", u"", SidUsage::Domain},
        {u"None", ws0001.with_rid(513), u"None", u"WS0001", SidUsage::Group},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(to_utf8(c.name));
        auto byName = security.lookup_account_name(u"", c.name);
        ASSERT_EQ(byName.status, 0u);
        EXPECT_EQ(byName.value.sid, c.sid) << to_utf8(byName.value.sid.text());
        EXPECT_EQ(byName.value.domain, c.domain);
        EXPECT_EQ(byName.value.usage, c.usage);
        auto bySid = security.lookup_account_sid(u"", c.sid);
        ASSERT_EQ(bySid.status, 0u);
        EXPECT_EQ(bySid.value.name, c.account);
        EXPECT_EQ(bySid.value.domain, c.domain);
        EXPECT_EQ(bySid.value.usage, c.usage);
    }
    // BUILTIN is the machine's own: the domain's is not reached through CORP\.
    for (StringView unknown : {u"nosuch", u"CORP\\Administrators", u"WS0001\\jsmith", u"CORP\\"})
        EXPECT_EQ(security.lookup_account_name(u"", unknown).status, 1332u) << to_utf8(unknown);
    // A removed account and a domain nobody knows map to nothing.
    EXPECT_EQ(security.lookup_account_sid(u"", corp.with_rid(1022)).status, 1332u);  // olduser
    EXPECT_EQ(
        security.lookup_account_sid(u"", platform::sid::account_domain(1, 2, 3).with_rid(5)).status,
        1332u);
    EXPECT_EQ(security.lookup_account_sid(u"", Sid(5, {}, 2)).status, 1337u);
}

TEST_F(LookupTest, DomainAccountsNeedAControllerThatAnswers) {
    net->find(u"DC01")->reachable = false;
    EXPECT_EQ(security.lookup_account_name(u"", u"CORP\\jsmith").value.sid, corp.with_rid(1005));
    net->find(u"DC02")->reachable = false;
    EXPECT_EQ(security.lookup_account_name(u"", u"CORP\\jsmith").status, 1332u);
    EXPECT_EQ(security.lookup_account_sid(u"", corp.with_rid(512)).status, 1332u);
    // The local ones stay.
    EXPECT_EQ(security.lookup_account_name(u"", u"support").status, 0u);
    // Asked of a controller, CORP's accounts are its own.
    net->find(u"DC02")->reachable = true;
    EXPECT_EQ(security.lookup_account_name(u"DC02", u"jsmith").value.domain, u"CORP");
    EXPECT_EQ(security.lookup_account_name(u"SRV03", u"jsmith").status, 53u);
    net->faults().fail(sim::op::LookupAccountSid, 5);
    EXPECT_EQ(security.lookup_account_sid(u"", platform::sid::everyone()).status, 5u);
}

}  // namespace
}  // namespace vorlek
