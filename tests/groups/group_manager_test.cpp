// GroupManager through late-bound calls on the default network: CORP's
// global and local groups on DC01, WS0001's own local groups (the local
// machine), which hold accounts of CORP, one removed since and one of a
// domain nobody knows.
#include <gtest/gtest.h>

#include "tests/support/simulated.h"

#include "bench/heap.h"
#include "library/client.h"
#include "platform/sim/accounts.h"
#include "platform/sim/network.h"

namespace vorlek {
namespace {

class GroupManagerTest : public testing_support::SimulatedTest {
  protected:
    client::Dispatch g = client::create(u"Vorlek.GroupManager");

    int32_t info(const char16_t* group, const char16_t* computer = u"DC01") {
        return g.call(u"GetGroupInfo", {group, computer}).to_long();
    }
    int32_t init(std::vector<Variant> args) {
        return g.call(u"InitGroups", std::move(args)).to_long();
    }
    std::vector<String> keys() const {
        std::vector<String> out;
        client::Dispatch groups(g.get(u"Groups"));
        for (const auto& item : groups.each()) {
            client::Dispatch i(item);
            out.push_back((i.get(u"IsLocal").to_bool() ? u"local " : u"global ") +
                          i.get(u"DomainName").to_string() + u"\\" +
                          i.get(u"GroupName").to_string());
        }
        return out;
    }
    String text(const char16_t* member) const { return g.get(member).to_string(); }
    int32_t number(const char16_t* member) const { return g.get(member).to_long(); }
    sim::AccountDatabase& corp() { return *sim::domain_database(*net, u"CORP"); }
};

TEST_F(GroupManagerTest, GlobalThenLocalGroupInfo) {
    ASSERT_EQ(info(u"domain admins"), 0);
    EXPECT_EQ(text(u"GroupName"), u"Domain Admins");
    EXPECT_FALSE(g.get(u"IsLocal").to_bool());
    EXPECT_EQ(number(u"GroupID"), 512);
    EXPECT_TRUE(g.get(u"Manatory").to_bool());
    EXPECT_TRUE(g.get(u"Enabled").to_bool());
    EXPECT_TRUE(g.get(u"EnabledByDefault").to_bool());
    EXPECT_EQ(text(u"DomainName"), u"CORP");
    // Not a global group: read as a local one, with no id and no attributes.
    ASSERT_EQ(info(u"File Readers"), 0);
    EXPECT_TRUE(g.get(u"IsLocal").to_bool());
    EXPECT_EQ(number(u"GroupID"), 0);
    EXPECT_FALSE(g.get(u"Manatory").to_bool());
    EXPECT_EQ(text(u"GroupComment"), u"Read access to the file shares");
    EXPECT_EQ(info(u"nothing"), 2220);
    EXPECT_FALSE(g.get(u"Valid").to_bool());
    EXPECT_EQ(info(u""), 87);
}

TEST_F(GroupManagerTest, InitGroupsInEachMode) {
    ASSERT_EQ(init({u"DC01"}), 0);
    auto all = keys();
    ASSERT_EQ(all.size(), 17u);
    EXPECT_EQ(all.front(), u"global CORP\\Domain Admins");
    EXPECT_EQ(all.back(), u"local CORP\\File Readers");
    client::Dispatch listed(g.get(u"Groups"));
    EXPECT_EQ(client::Dispatch(listed.call(u"Item", {u"corp\\sales"})).get(u"GroupID").to_long(),
              static_cast<int32_t>(corp().find(u"Sales")->second));
    EXPECT_EQ(client::Dispatch(listed.call(u"Item", {u"backup operators"}))
                  .get(u"GroupComment")
                  .to_string(),
              u"Members can bypass file security to back up files");

    // A user's groups, with the local ones reached through its global groups.
    ASSERT_EQ(init({u"DC01", u"", u"hwagner"}), 0);
    EXPECT_EQ(keys(), (std::vector<String>{u"global CORP\\Domain Users", u"global CORP\\Accounting",
                                           u"local CORP\\File Readers"}));
    ASSERT_EQ(init({u"DC01", u"", u"tnguyen", false}), 0);
    EXPECT_EQ(keys().size(), 2u);
    ASSERT_EQ(init({u"DC01", u"", u"tnguyen", true}), 0);
    EXPECT_EQ(keys(),
              (std::vector<String>{u"global CORP\\Domain Users", u"global CORP\\Engineering",
                                   u"local CORP\\Users", u"local CORP\\File Readers"}));

    // The group members of a local group. A member without a domain
    // (Everyone) or without a name (a deleted account on WS0001) has nothing
    // to split and ends the list with 5.
    EXPECT_EQ(init({u"DC01", u"File Readers"}), 5);
    EXPECT_EQ(keys(), (std::vector<String>{u"global CORP\\Sales", u"global CORP\\Engineering"}));
    EXPECT_EQ(init({u"", u"Administrators"}), 5);
    ASSERT_EQ(keys(), std::vector<String>{u"global CORP\\Domain Admins"});
    client::Dispatch first(client::Dispatch(g.get(u"Groups")).call(u"Item", {1}));
    EXPECT_FALSE(first.get(u"Valid").to_bool());  // a group of the domain, not of WS0001

    EXPECT_EQ(init({u"SRV03"}), 53);
    EXPECT_EQ(client::Dispatch(g.get(u"Groups")).get(u"Count").to_long(), 0);
}

TEST_F(GroupManagerTest, LetsCreateAndDelete) {
    // Prepared on an unbound object, then created as a global group.
    g.let(u"Computer", u"DC01");
    g.let(u"GroupName", u"Project X");
    g.let(u"GroupComment", u"Secret project");
    ASSERT_EQ(g.call(u"Create").to_long(), 0);
    EXPECT_TRUE(g.get(u"Valid").to_bool());
    EXPECT_GE(number(u"GroupID"), 1000);
    g.let(u"IsLocal", true);  // bound: ignored, not an error
    EXPECT_FALSE(g.get(u"IsLocal").to_bool());
    EXPECT_EQ(number(u"LastError"), 0);

    g.let(u"GroupName", u"");
    EXPECT_EQ(number(u"LastError"), 87);
    EXPECT_EQ(text(u"GroupName"), u"Project X");
    g.let(u"GroupName", u"Project Y");
    EXPECT_EQ(number(u"LastError"), 0);
    EXPECT_TRUE(corp().find(u"Project Y"));
    g.let(u"GroupComment", u"Not so secret");
    EXPECT_EQ(text(u"GroupComment"), u"Not so secret");
    net->faults().fail(sim::op::NetGroupSetInfo, 5);
    g.let(u"GroupName", u"Project Z");
    EXPECT_EQ(number(u"LastError"), 5);
    EXPECT_EQ(text(u"GroupName"), u"Project Y");

    // Members: accounts of either class that describe something.
    auto user = client::create(u"Vorlek.UserManager");
    EXPECT_EQ(g.call(u"AddMember", {Variant(user.object())}).to_long(), 87);  // not valid
    ASSERT_EQ(user.call(u"GetUserInfo", {u"ssato", u"DC01"}).to_long(), 0);
    EXPECT_EQ(g.call(u"AddMember", {Variant(user.object())}).to_long(), 0);
    EXPECT_EQ(g.call(u"AddMember", {Variant(user.object())}).to_long(), 2236);
    auto s = client::create(u"Vorlek.Stringer");
    EXPECT_EQ(g.call(u"AddMember", {Variant(s.object())}).to_long(), 87);
    EXPECT_EQ(g.call(u"AddMember", {Variant(Ref<Object>())}).to_long(), 87);
    EXPECT_EQ(g.call(u"RemoveMember", {Variant(user.object())}).to_long(), 0);

    // A local group takes the domain's groups as members.
    auto readers = client::create(u"Vorlek.GroupManager");
    ASSERT_EQ(readers.call(u"GetGroupInfo", {u"File Readers", u"DC01"}).to_long(), 0);
    EXPECT_EQ(readers.call(u"AddMember", {Variant(g.object())}).to_long(), 0);
    auto unbound = client::create(u"Vorlek.GroupManager");
    EXPECT_EQ(unbound.call(u"AddMember", {Variant(user.object())}).to_long(), 425);

    EXPECT_EQ(g.call(u"DeleteGroup", {u"Project Y", u"DC01"}).to_long(), 0);
    EXPECT_EQ(text(u"GroupName"), u"Project Y");  // the object is left as it was
    EXPECT_EQ(g.call(u"DeleteGroup", {u"Project Y", u"DC01"}).to_long(), 2220);
    EXPECT_EQ(g.call(u"DeleteGroup", {u"File Readers", u"DC01"}).to_long(), 0);  // local
    EXPECT_EQ(g.call(u"DeleteGroup", {u""}).to_long(), 87);

    // A failed Create keeps the prepared fields.
    auto twin = client::create(u"Vorlek.GroupManager");
    twin.let(u"Computer", u"DC01");
    twin.let(u"GroupName", u"Sales");
    EXPECT_EQ(twin.call(u"Create").to_long(), 2223);
    EXPECT_EQ(twin.get(u"GroupName").to_string(), u"Sales");
}

TEST_F(GroupManagerTest, ListedItemsStaySmall) {
    if (!bench::kHeapCounted) GTEST_SKIP() << "the heap is not counted here";
    constexpr int kItems = 3000;
    auto& db = corp();
    for (int i = 0; i < kItems; ++i)
        db.add_group(u"group" + String(6 - decimal(i).size(), u'0') + decimal(i), db.next_rid, u"");
    int32_t count = 0;
    const double per_item = bench::heap_per_item(kItems, [&](auto held) {
        ASSERT_EQ(init({u"DC01"}), 0);
        count = client::Dispatch(g.get(u"Groups")).get(u"Count").to_long();
        held();
    });
    ASSERT_GT(count, kItems);
    // Beyond the name, in the item and in its key with the domain.
    EXPECT_LE(per_item, 300 + 2 * (11 + 16));
}

}  // namespace
}  // namespace vorlek
