// DllClass's SID members on the default network: the library's SID text,
// the SID as Longs, and names back from text, on the local machine (WS0001,
// whose own domain SID has sub-authorities past 2^31) and on DC01 (CORP).
#include <gtest/gtest.h>

#include "tests/support/simulated.h"

#include "library/client.h"
#include "platform/sim/network.h"

namespace vorlek {
namespace {

class SidsTest : public testing_support::SimulatedTest {
  protected:
    client::Dispatch d = client::create(u"Vorlek.DllClass");

    String sid(const char16_t* machine, const char16_t* object) {
        return d.call(u"GetDomSID", {machine, object, u"none"}).to_string();
    }
    String name(const char16_t* machine, const String& text) {
        return d.call(u"GetDomName", {machine, text, u"none"}).to_string();
    }
    int32_t error() const { return d.get(u"LastError").to_long(); }
};

TEST_F(SidsTest, TextOfWellKnownAndDomainAccountsAndBack) {
    EXPECT_EQ(sid(u"", u"Administrators"), u"S-1-5-32-544");
    EXPECT_EQ(sid(u"", u"Everyone"), u"S-1-1-0");
    EXPECT_EQ(sid(u"", u"nobody"), u"none");
    EXPECT_EQ(sid(u"SRV03", u"Everyone"), u"none");
    // Sub-authorities past 2^31 are written signed, and read back so.
    const String local = sid(u"", u"support");
    ASSERT_NE(local, u"none");
    EXPECT_NE(local.find(u"--"), String::npos) << to_utf8(local);
    const struct {
        const char16_t* machine;
        const char16_t* account;
    } accounts[] = {{u"", u"Administrators"}, {u"", u"Everyone"},   {u"", u"support"},
                    {u"", u"SYSTEM"},         {u"DC01", u"jsmith"}, {u"DC01", u"Domain Admins"}};
    for (const auto& a : accounts) {
        EXPECT_EQ(name(a.machine, sid(a.machine, a.account)), a.account) << to_utf8(a.account);
        EXPECT_EQ(error(), 0);
    }
    EXPECT_EQ(name(u"", u"S-1-0x000000000005-32-544"), u"Administrators");
    EXPECT_EQ(name(u"", u"s-1-5-32-544-"), u"Administrators");
}

TEST_F(SidsTest, NameFailuresSayWhyInLastError) {
    // The unsigned form of a sub-authority is out of a Long's range.
    String unsigned_form = u"S-1-5-21-4021309901-1-2-3";
    const struct {
        String text;
        int32_t error;
    } cases[] = {
        {u"", 87},
        {u"S-1-0x5-32-544", -1332},
        {unsigned_form, 6},
        {u"S-1-99999999999", 6},
        {u"S-1-5-1-2-3-4-5-6-7-8-9", 9},
        {u"S-1-5-1-2-3-4-5-6-7-8-9-10-11-12-13-14-15-16", 9},
        {u"S-1-5-abc", 13},
        {u"S-1-5-32-999", 1332},  // no such alias
        {u"S-1", 1332},           // a SID of nothing
    };
    for (const auto& c : cases) {
        EXPECT_EQ(name(u"", c.text), u"none") << to_utf8(c.text);
        EXPECT_EQ(error(), c.error) << to_utf8(c.text);
    }
    // A SID whose account is gone is just not mapped.
    const String jsmith = sid(u"DC01", u"jsmith");
    const String orphan = jsmith.substr(0, jsmith.rfind(u'-')) + u"-99999";
    EXPECT_EQ(name(u"DC01", orphan), u"none");
    EXPECT_EQ(error(), 1332);
    EXPECT_EQ(name(u"SRV03", u"S-1-1-0"), u"none");
    EXPECT_EQ(error(), 53);
}

TEST_F(SidsTest, SidAsLongs) {
    Variant everyone = d.call(u"GetDomSIDArray", {u"", u"Everyone"});
    ASSERT_TRUE(everyone.is_array());
    const Array& a = *everyone.if_array();
    ASSERT_EQ(a.size(), 3u);
    EXPECT_EQ(std::get<std::vector<int32_t>>(a.elements)[0],
              0x00000101);  // revision 1, one sub-authority
    EXPECT_EQ(std::get<std::vector<int32_t>>(a.elements)[1],
              0x01000000);  // authority 1, big-endian
    EXPECT_EQ(std::get<std::vector<int32_t>>(a.elements)[2], 0);
    EXPECT_EQ(error(), 0);
    EXPECT_EQ(d.call(u"GetDomSIDArray", {u"", u"nobody"}), Variant());
    EXPECT_EQ(error(), 1332);
    EXPECT_EQ(d.call(u"GetDomSIDArray", {u"SRV03", u"Everyone"}), Variant());
    EXPECT_EQ(error(), 53);
}

}  // namespace
}  // namespace vorlek
