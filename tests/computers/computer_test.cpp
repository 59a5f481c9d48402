// Computer through late-bound calls, as a script uses it, on the default
// network: domain CORP (DC01 primary, DC02 backup, SRV01-SRV03 of which SRV03
// does not answer, WS0001-WS0003 with WS0001 local) and workgroup LAB.
#include <gtest/gtest.h>

#include "tests/support/simulated.h"

#include "bench/heap.h"

#include "computers/computer.h"
#include "library/client.h"
#include "platform/sim/network.h"
#include "platform/sim/sim_platform.h"

namespace vorlek {
namespace {

class ComputerTest : public testing_support::SimulatedTest {
  protected:
    client::Dispatch c = client::create(u"Vorlek.Computer");

    int32_t init(std::vector<Variant> args) {
        return c.call(u"InitComputerInfo", std::move(args)).to_long();
    }
    client::Dispatch computers() const { return client::Dispatch(c.get(u"Computers")); }
    std::vector<String> names() const {
        std::vector<String> out;
        for (const auto& item : computers().each())
            out.push_back(client::Dispatch(item).get(u"CompName").to_string());
        return out;
    }
    client::Dispatch item(const char16_t* key) const {
        return client::Dispatch(computers().call(u"Item", {key}));
    }
    String text(const client::Dispatch& o, const char16_t* member) const {
        return o.get(member).to_string();
    }
    int32_t number(const client::Dispatch& o, const char16_t* member) const {
        return o.get(member).to_long();
    }
};

TEST_F(ComputerTest, NoArgumentsLoadsTheLocalMachineItself) {
    EXPECT_EQ(init({}), 0);
    EXPECT_EQ(text(c, u"CompName"), u"WS0001");
    EXPECT_EQ(text(c, u"CompLangroup"), u"CORP");
    EXPECT_EQ(text(c, u"CompLanroot"), u"C:\\WINNT");
    EXPECT_EQ(text(c, u"CompType"), u"SV_TYPE_POTENTIAL_BROWSER;SV_TYPE_NT;SV_TYPE_WORKSTATION");
    EXPECT_EQ(text(c, u"CompComment"), u"unknown");  // empty in the record
    EXPECT_EQ(number(c, u"CompPlatformID"), 500);
    EXPECT_EQ(number(c, u"CompVerMajor"), 5);
    EXPECT_EQ(number(c, u"CompLoggedOnUsers"), 1);
    EXPECT_EQ(number(c, u"CompUsers"), 10);
    EXPECT_EQ(number(c, u"CompAutoDisconnect"), 15);
    EXPECT_EQ(number(c, u"CompAnnounceRate"), 240);
    EXPECT_EQ(number(c, u"CompAnnounceDelta"), 3000);
    EXPECT_EQ(text(c, u"CompUserPath"), u"c:\\");
    EXPECT_EQ(number(c, u"CompEntriesRead"), -9999);
    EXPECT_TRUE(c.get(u"CompAvailable").to_bool());
    EXPECT_FALSE(c.get(u"CompHidden").to_bool());
    EXPECT_EQ(computers().get(u"Count").to_long(), 0);
}

TEST_F(ComputerTest, SingleNameLoadsDetailsAndReportsAMachineThatDoesNotAnswer) {
    EXPECT_EQ(init({u" srv01 ", -1, u"n/a"}), 0);
    EXPECT_EQ(text(c, u"CompName"), u"SRV01");
    EXPECT_EQ(text(c, u"CompComment"), u"File server");
    EXPECT_EQ(number(c, u"CompUsers"), -1);  // unlimited: all bits set
    EXPECT_EQ(
        text(c, u"CompType"),
        u"SV_TYPE_SERVER_NT;SV_TYPE_NT;SV_TYPE_DOMAIN_MEMBER;SV_TYPE_SERVER;SV_TYPE_WORKSTATION");

    EXPECT_EQ(init({u"srv03", -1, u"n/a"}), 53);
    EXPECT_EQ(text(c, u"CompName"), u"SRV03");
    EXPECT_FALSE(c.get(u"CompAvailable").to_bool());
    EXPECT_EQ(text(c, u"CompComment"), u"n/a");
    EXPECT_EQ(number(c, u"CompUsers"), -9999);
    EXPECT_EQ(number(c, u"CompPlatformID"), -9999);

    // The server record answers, the workstation one does not: what was read stays.
    net->faults().fail(sim::op::NetWkstaGetInfo, 5);
    EXPECT_EQ(init({u"DC02"}), 5);
    EXPECT_FALSE(c.get(u"CompAvailable").to_bool());
    EXPECT_EQ(text(c, u"CompComment"), u"Backup domain controller");
    EXPECT_EQ(text(c, u"CompLangroup"), u"unknown");
    EXPECT_EQ(computers().get(u"Count").to_long(), 0);
}

TEST_F(ComputerTest, PatternAtEnumOnlyLevelOverSeveralBatches) {
    EXPECT_EQ(init({u"*"}), 0);
    const std::vector<String> all = {u"DC01",  u"DC02",   u"SRV01",  u"SRV02",
                                     u"SRV03", u"WS0001", u"WS0002", u"WS0003"};
    EXPECT_EQ(names(), all);
    auto first = item(u"dc01");
    EXPECT_EQ(number(first, u"CompTotalEntries"), 8);
    const int32_t batch = number(first, u"CompEntriesRead");
    EXPECT_GE(batch, 1);
    EXPECT_LT(batch, 8);  // the small preferred size gives several batches
    auto last = item(u"WS0003");
    EXPECT_EQ(number(last, u"CompEntriesRead"), number(last, u"CompTotalEntries"));
    auto srv = item(u"SRV03");  // listed although it does not answer
    EXPECT_EQ(text(srv, u"CompComment"), u"Old application server");
    EXPECT_EQ(number(srv, u"CompVerMajor"), 5);
    EXPECT_FALSE(srv.get(u"CompAvailable").to_bool());
    EXPECT_EQ(text(srv, u"CompLangroup"), u"unknown");
    EXPECT_EQ(number(srv, u"CompUsers"), -9999);
    EXPECT_EQ(text(item(u"WS0001"), u"CompComment"), u"unknown");
    EXPECT_EQ(srv.get(u"LastError").to_string(), u"0");

    // A second identical call adds nothing and reports the duplicate key.
    EXPECT_EQ(init({u"*"}), 457);
    EXPECT_EQ(names(), all);
    // Any level other than 1234 is the enumeration-only level.
    c.set(u"Computers", Variant(make<Collection>()));
    EXPECT_EQ(init({u"WS*", -1, u"unknown", 7}), 0);
    EXPECT_EQ(names(), (std::vector<String>{u"WS0001", u"WS0002", u"WS0003"}));
    EXPECT_FALSE(item(u"WS0002").get(u"CompAvailable").to_bool());
}

TEST_F(ComputerTest, PatternWithInfoLoadsEachMachine) {
    // SRV03 does not answer, but later batches follow: the status is that of
    // the last network call, the enumeration's.
    EXPECT_EQ(init({u"SRV*", -1, u"unknown", 1234}), 0);
    EXPECT_EQ(names(), (std::vector<String>{u"SRV01", u"SRV02", u"SRV03"}));
    auto srv2 = item(u"SRV02");
    EXPECT_TRUE(srv2.get(u"CompAvailable").to_bool());
    EXPECT_EQ(text(srv2, u"CompLangroup"), u"CORP");
    EXPECT_EQ(number(srv2, u"CompAutoDisconnect"), 15);
    EXPECT_EQ(number(srv2, u"CompEntriesRead"), 0);
    auto srv3 = item(u"SRV03");
    EXPECT_FALSE(srv3.get(u"CompAvailable").to_bool());
    EXPECT_EQ(text(srv3, u"CompComment"), u"");

    EXPECT_EQ(init({u"DC*", -1, u"unknown", 1234}), 0);
    EXPECT_EQ(computers().get(u"Count").to_long(), 5);
    // In the last batch a machine that does not answer, or a duplicate, is
    // what the call reports.
    net->find(u"WS0003")->reachable = false;
    EXPECT_EQ(init({u"WS*", -1, u"unknown", 1234}), 53);
    EXPECT_EQ(computers().get(u"Count").to_long(), 8);
    net->find(u"WS0003")->reachable = true;
    EXPECT_EQ(init({u"WS*", -1, u"unknown", 1234}), 457);
    EXPECT_EQ(computers().get(u"Count").to_long(), 8);
}

// What an item was not told shows what its listing gives: the default of
// its own call at the enumeration-only level, nothing with details (a
// machine that does not answer).
TEST_F(ComputerTest, UnreadTextsShowWhatTheirListingGave) {
    EXPECT_EQ(init({u"SRV*", -1, u"first"}), 0);
    auto srv1 = item(u"SRV01");
    c.set(u"Computers", Variant(make<Collection>()));
    EXPECT_EQ(init({u"SRV*", -1, u"second"}), 0);
    for (const char16_t* member : {u"CompLangroup", u"CompLanroot", u"CompUserPath"})
        EXPECT_EQ(text(srv1, member), u"first") << to_utf8(member);
    EXPECT_EQ(text(item(u"SRV01"), u"CompLanroot"), u"second");
    EXPECT_EQ(text(srv1, u"CompType"),
              u"SV_TYPE_SERVER_NT;SV_TYPE_NT;SV_TYPE_DOMAIN_MEMBER;SV_TYPE_SERVER;"
              u"SV_TYPE_WORKSTATION");

    c.set(u"Computers", Variant(make<Collection>()));
    EXPECT_EQ(init({u"SRV*", -1, u"n/a", 1234}), 0);
    EXPECT_EQ(text(item(u"SRV01"), u"CompUserPath"), u"c:\\");
    auto silent = item(u"SRV03");
    for (const char16_t* member : {u"CompType", u"CompLangroup", u"CompUserPath"})
        EXPECT_EQ(text(silent, member), u"") << to_utf8(member);
}

// A listed machine costs at most 300 bytes beyond its texts (its name, the
// collection's copy of it and its comment) at the enumeration-only level.
TEST_F(ComputerTest, ListedItemsStaySmall) {
    if (!bench::kHeapCounted) GTEST_SKIP() << "the heap is not counted here";
    constexpr int kItems = 3000;
    auto big = sim::make_network(u"empty");
    sim::join(big->local(), u"BIG", platform::sv_type::kWorkstation | platform::sv_type::kNt);
    for (int i = 1; i < kItems; ++i) {
        const String name = u"PC" + String(6 - decimal(i).size(), u'0') + decimal(i);
        sim::join(big->add_machine(name), u"BIG",
                  platform::sv_type::kWorkstation | platform::sv_type::kNt, u"Workstation");
    }
    platform::ScopedPlatform here{std::make_shared<sim::SimPlatform>(big)};
    auto d = client::create(u"Vorlek.Computer");
    const double per_item = bench::heap_per_item(kItems, [&](auto held) {
        ASSERT_EQ(d.call(u"InitComputerInfo", {u"*", -1, u"unknown"}).to_long(), 0);
        ASSERT_EQ(client::Dispatch(d.get(u"Computers")).get(u"Count").to_long(), kItems);
        held();
    });
    EXPECT_LE(per_item, 300 + 2 * (8 + 8 + 11));
}

TEST_F(ComputerTest, TypeMaskDomainAndAnsweringServer) {
    EXPECT_EQ(init({u"*", c.get(u"SV_TYPE_DOMAIN_BAKCTRL")}), 0);
    EXPECT_EQ(names(), std::vector<String>{u"DC02"});
    EXPECT_EQ(init({u"*", c.get(u"SV_TYPE_PRINTQ_SERVER")}), 0);
    EXPECT_EQ(names(), (std::vector<String>{u"DC02", u"SRV02"}));
    EXPECT_EQ(init({u"*", -1, u"unknown", 4711, u"dc01", u"lab"}), 0);
    EXPECT_EQ(names().back(), u"LABPC1");
    // Domains themselves.
    c.set(u"Computers", Variant(make<Collection>()));
    EXPECT_EQ(init({u"*", c.get(u"SV_TYPE_DOMAIN_ENUM")}), 0);
    EXPECT_EQ(names(), (std::vector<String>{u"CORP", u"LAB"}));
    EXPECT_EQ(text(item(u"CORP"), u"CompType"), u"SV_TYPE_DOMAIN_ENUM;SV_TYPE_NT");
    // Failures of the enumeration end the call with nothing added.
    c.set(u"Computers", Variant(make<Collection>()));
    EXPECT_EQ(init({u"*", -1, u"unknown", 4711, u"nosuch"}), 53);
    EXPECT_EQ(init({u"*", -1, u"unknown", 4711, u"", u"NOWHERE"}), 6118);
    net->faults().fail(sim::op::NetServerEnum, 5);
    EXPECT_EQ(init({u"*"}), 5);
    EXPECT_EQ(computers().get(u"Count").to_long(), 0);
}

TEST_F(ComputerTest, CollectionReplacedOrClearedByItsSet) {
    auto mine = make<Collection>();
    c.set(u"Computers", Variant(mine));
    init({u"WS000?"});
    EXPECT_EQ(mine->size(), 3u);
    c.set(u"Computers", Variant(Ref<Object>()));
    EXPECT_EQ(computers().get(u"Count").to_long(), 0);  // made again on first use
}

TEST_F(ComputerTest, CommentAndHiddenWriteThrough) {
    init({u"SRV01"});
    c.let(u"CompComment", u"Files and more");
    EXPECT_EQ(text(c, u"CompComment"), u"Files and more");
    EXPECT_EQ(net->find(u"SRV01")->servers.info.comment, u"Files and more");
    EXPECT_EQ(text(c, u"LastError"), u"0");

    // Refused: the field keeps its value, LastError holds the status.
    net->faults().fail(sim::op::NetServerSetInfo, 5);
    c.let(u"CompComment", u"Nope");
    EXPECT_EQ(text(c, u"CompComment"), u"Files and more");
    EXPECT_EQ(text(c, u"LastError"), u"5");
    net->faults().fail(sim::op::NetServerSetInfo, 5);
    c.let(u"CompHidden", true);
    EXPECT_FALSE(c.get(u"CompHidden").to_bool());
    // Success leaves LastError alone.
    c.let(u"CompHidden", true);
    EXPECT_TRUE(c.get(u"CompHidden").to_bool());
    EXPECT_EQ(text(c, u"LastError"), u"5");
    // A hidden server leaves the browse list.
    init({u"SRV*"});
    EXPECT_EQ(names(), (std::vector<String>{u"SRV02", u"SRV03"}));

    // An item writes through to its own machine only.
    auto srv2 = item(u"SRV02");
    srv2.let(u"CompComment", u"Printers");
    EXPECT_EQ(net->find(u"SRV02")->servers.info.comment, u"Printers");
    EXPECT_EQ(text(c, u"CompComment"), u"Files and more");
    // A machine that does not answer, and an object that names none.
    auto srv3 = item(u"SRV03");
    srv3.let(u"CompComment", u"x");
    EXPECT_EQ(text(srv3, u"LastError"), u"53");
    EXPECT_EQ(text(srv3, u"CompComment"), u"Old application server");
    auto blank = client::create(u"Vorlek.Computer");
    blank.let(u"CompHidden", true);
    EXPECT_EQ(text(blank, u"LastError"), u"53");
}

TEST_F(ComputerTest, WriteThroughRecognisesTheLocalMachine) {
    init({});
    // The local machine is addressed without a name, which reaches it even
    // when the network cannot.
    net->local().reachable = false;
    c.let(u"CompComment", u"My desk");
    EXPECT_EQ(net->local().servers.info.comment, u"My desk");
    // Recognised by COMPUTERNAME even when the computer name cannot be read.
    net->faults().fail(sim::op::GetComputerName, 5);
    c.let(u"CompComment", u"Still mine");
    EXPECT_EQ(net->local().servers.info.comment, u"Still mine");
}

TEST_F(ComputerTest, MachineAndControllerNames) {
    EXPECT_EQ(c.call(u"GetMachineName", {u"x"}).to_string(), u"WS0001");
    net->faults().fail(sim::op::GetComputerName, 5);
    EXPECT_EQ(c.call(u"GetMachineName", {42}).to_string(), u"42");
    net->faults().fail(sim::op::GetComputerName, 5);
    EXPECT_EQ(c.call(u"GetMachineName", {Variant::byte_array({1})}).to_string(), u"");

    EXPECT_EQ(c.call(u"GetPDCName").to_string(), u"DC01");
    EXPECT_EQ(c.call(u"GetDCName").to_string(), u"DC01");
    EXPECT_EQ(c.call(u"GetPDCName", {u"SRV01", u"corp"}).to_string(), u"DC01");
    EXPECT_EQ(text(c, u"LastError"), u"0");
    // The primary controller is down: any controller still answers.
    net->find(u"DC01")->reachable = false;
    EXPECT_EQ(c.call(u"GetPDCName").to_string(), u"ERROR");
    EXPECT_EQ(text(c, u"LastError"), u"2453");
    EXPECT_EQ(c.call(u"GetDCName").to_string(), u"DC02");
    EXPECT_EQ(text(c, u"LastError"), u"0");
    net->find(u"DC02")->reachable = false;
    EXPECT_EQ(c.call(u"GetDCName", {u"", u"", u"none"}).to_string(), u"none");
    EXPECT_EQ(text(c, u"LastError"), u"1311");
    // A workgroup machine has no controller.
    EXPECT_EQ(c.call(u"GetPDCName", {u"LABPC1"}).to_string(), u"ERROR");
    EXPECT_EQ(text(c, u"LastError"), u"2453");
    EXPECT_EQ(c.call(u"GetDCName", {u"LABPC1"}).to_string(), u"");
    EXPECT_EQ(text(c, u"LastError"), u"1355");
    // Backslashes are not removed from the machine name.
    EXPECT_EQ(c.call(u"GetPDCName", {u"\\\\SRV01"}).to_string(), u"ERROR");
    EXPECT_EQ(text(c, u"LastError"), u"53");
    net->faults().fail(sim::op::NetGetDCName, 1722);
    EXPECT_EQ(c.call(u"GetPDCName").to_string(), u"ERROR");
    EXPECT_EQ(text(c, u"LastError"), u"1722");
}

}  // namespace
}  // namespace vorlek
