// Service on the default network: the listing, one service's load, the lets
// that write through, and every handle closed on the failure paths.
#include <gtest/gtest.h>

#include <functional>

#include "tests/support/simulated.h"

#include "bench/heap.h"

#include "automation/collection.h"
#include "library/client.h"
#include "platform/services.h"
#include "platform/sim/services.h"

namespace vorlek {
namespace {

class ServiceTest : public testing_support::SimulatedTest {
  protected:
    client::Dispatch s = client::create(u"Vorlek.Service");
    int32_t err() { return s.get(u"LastError").to_long(); }
};

// Every member through each call it makes, each on a network of its own:
// the result is 0 and LastError the call's code, the service is as it was,
// and only a lock the object still holds stays open.
TEST_F(ServiceTest, EveryMembersFailedCallLeavesTheServiceAsItWas) {
    using Act = std::function<Variant(client::Dispatch&)>;
    const auto call = [](StringView member, std::vector<Variant> args) -> Act {
        return [=](client::Dispatch& d) { return d.call(member, args); };
    };
    const auto let = [](StringView name, Variant value) -> Act {
        return [=](client::Dispatch& d) {
            d.let(name, value);
            return Variant();
        };
    };
    const auto then = [](Act first, Act second) -> Act {
        return [=](client::Dispatch& d) {
            first(d);
            return second(d);
        };
    };
    const Act list = call(u"InitServices", {48});
    const Act load = call(u"GetServiceInfo", {u"Spooler"});
    const Act open_db = call(u"InitServiceDB", {});
    const Act remove = call(u"RemoveService", {u"Spooler"});
    const Act lock = then(open_db, let(u"ServiceDBLocked", true));
    const Act stopped = then(load, let(u"CurrentState", u"SERVICE_STOP_PENDING"));
    const Act half_account = then(load, let(u"ServiceStartName", u".\\Administrator"));
    struct Case {
        const sim::Operation* op;
        Act prepare;
        Act act;
        size_t left_open = 0;  // the object's own lock
    };
    const Case cases[] = {
        {&sim::op::OpenSCManager, {}, list},
        {&sim::op::QueryServiceLockStatus, {}, list},
        {&sim::op::EnumServicesStatusEx, {}, list},
        {&sim::op::OpenService, {}, list},
        {&sim::op::QueryServiceConfig, {}, list},
        {&sim::op::OpenSCManager, {}, load},
        {&sim::op::OpenService, {}, load},
        {&sim::op::QueryServiceStatusEx, {}, load},
        {&sim::op::QueryServiceConfig, {}, load},
        {&sim::op::GetServiceDisplayName, {}, load},
        {&sim::op::OpenSCManager, load, let(u"DisplayName", u"Spooler Two")},
        {&sim::op::OpenService, load, let(u"BinaryPathName", u"C:\\spool.exe")},
        {&sim::op::ChangeServiceConfig, load, let(u"DisplayName", u"Spooler Two")},
        {&sim::op::ChangeServiceConfig, load, let(u"ServiceType", u"SERVICE_WIN32_SHARE_PROCESS")},
        {&sim::op::ChangeServiceConfig, load, let(u"StartType", u"SERVICE_DISABLED")},
        {&sim::op::ChangeServiceConfig, half_account, let(u"ServicePassword", u"secret")},
        {&sim::op::ControlService, load, let(u"CurrentState", u"SERVICE_STOP_PENDING")},
        {&sim::op::StartService, stopped, let(u"CurrentState", u"SERVICE_START_PENDING")},
        {&sim::op::OpenSCManager, {}, remove},
        {&sim::op::OpenService, {}, remove},
        {&sim::op::DeleteService, {}, remove},
        {&sim::op::GetServiceKeyName, {}, call(u"GetServiceName", {u"Print Spooler"})},
        {&sim::op::OpenSCManager, {}, open_db},
        {&sim::op::QueryServiceLockStatus, {}, open_db},
        {&sim::op::OpenSCManager, open_db, let(u"ServiceDBLocked", true)},
        {&sim::op::LockServiceDatabase, open_db, let(u"ServiceDBLocked", true)},
        {&sim::op::UnlockServiceDatabase, lock, let(u"ServiceDBLocked", false), 1},
    };
    const auto snapshot = [] {
        auto d = client::create(u"Vorlek.Service");
        String out = d.call(u"GetServiceInfo", {u"Spooler"}).to_string();
        for (StringView p : {u"DisplayName", u"BinaryPathName", u"ServiceType", u"StartType",
                             u"CurrentState", u"ServiceStartName"})
            out += u"|" + d.get(p).to_string();
        return out;
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(to_utf8(c.op->name));
        auto fresh = sim::make_network(u"default");
        platform::ScopedPlatform here{std::make_shared<sim::SimPlatform>(fresh)};
        auto d = client::create(u"Vorlek.Service");
        if (c.prepare) c.prepare(d);
        const String before = snapshot();
        fresh->faults().fail(*c.op, 1234);
        const Variant result = c.act(d);
        if (const String* text = result.if_string()) {
            EXPECT_EQ(*text, u"unknown");
        } else {
            EXPECT_EQ(result.to_long(), 0);
        }
        EXPECT_EQ(d.get(u"LastError").to_long(), 1234);
        EXPECT_EQ(snapshot(), before);
        EXPECT_EQ(fresh->handles().open_count(), c.left_open);
    }
}

TEST_F(ServiceTest, LetsWriteThroughAndRefuseUnknownTexts) {
    ASSERT_EQ(s.call(u"GetServiceInfo", {u"Spooler"}).to_long(), 1);
    s.let(u"CurrentState", {u"SERVICE_RUNNING"});
    EXPECT_EQ(err(), 87);
    s.let(u"StartType", {u"service_demand_start"});
    EXPECT_EQ(err(), 0);
    EXPECT_EQ(s.get(u"StartType").to_string(), u"SERVICE_DEMAND_START");
    s.let(u"CurrentState", {u"SERVICE_STOP_PENDING"});
    EXPECT_EQ(s.get(u"CurrentState").to_string(), u"SERVICE_STOPPED");
    s.let(u"ServiceStartName", {u"LocalSystem"});
    EXPECT_EQ(err(), -8989);
    s.let(u"ServicePassword", {u""});
    EXPECT_EQ(err(), 0);
    EXPECT_EQ(s.get(u"ServicePassword").to_string(), u"***************");
    EXPECT_EQ(net->handles().open_count(), 0u);
}

TEST_F(ServiceTest, ASecondListingIntoTheSameCollectionStopsAtItsFirstKey) {
    ASSERT_EQ(s.call(u"InitServices", {48}).to_long(), 1);
    client::Dispatch list(s.get(u"Services"));
    const int32_t count = list.get(u"Count").to_long();
    ASSERT_GT(count, 10);
    EXPECT_EQ(s.call(u"InitServices", {48}).to_long(), 0);
    EXPECT_EQ(err(), 457);
    EXPECT_EQ(list.get(u"Count").to_long(), count);
    EXPECT_EQ(net->handles().open_count(), 0u);
}

TEST_F(ServiceTest, TheLockShutsOutListingsAndASecondLocker) {
    ASSERT_EQ(s.call(u"InitServiceDB").to_long(), 1);
    s.let(u"ServiceDBLocked", {true});
    ASSERT_EQ(err(), 0);
    EXPECT_TRUE(s.get(u"ServiceDBLocked").to_bool());
    EXPECT_NE(s.get(u"ServiceDBLockOwner").to_string(), u"unknown");

    auto other = client::create(u"Vorlek.Service");
    EXPECT_EQ(other.call(u"InitServices", {48}).to_long(), 0);
    EXPECT_EQ(other.get(u"LastError").to_long(), 1055);
    EXPECT_EQ(client::Dispatch(other.get(u"Services")).get(u"Count").to_long(), 0);
    // Another object sees the lock as taken; its own attempt fails with the
    // manager's code, which the reload does not wipe out.
    ASSERT_EQ(other.call(u"InitServiceDB").to_long(), 1);
    ASSERT_TRUE(other.get(u"ServiceDBLocked").to_bool());
    other.let(u"ServiceDBLocked", {false});
    EXPECT_EQ(other.get(u"LastError").to_long(), 1071);
    ASSERT_EQ(other.call(u"GetServiceInfo", {u"Spooler"}).to_long(), 1);
    other.let(u"StartType", {u"SERVICE_DISABLED"});
    EXPECT_EQ(other.get(u"LastError").to_long(), 1055);
    EXPECT_EQ(other.get(u"StartType").to_string(), u"SERVICE_AUTO_START");

    s.let(u"ServiceDBLocked", {false});
    EXPECT_EQ(err(), 0);
    EXPECT_FALSE(s.get(u"ServiceDBLocked").to_bool());
    EXPECT_EQ(other.call(u"InitServices", {48}).to_long(), 1);
    EXPECT_EQ(net->handles().open_count(), 0u);
}

// Whatever the object loaded after taking the lock (the lock fields cleared
// or showing another machine), it gives the lock back, and the reload shows
// the machine it was taken on; it never holds a second one.
TEST_F(ServiceTest, TheLockIsGivenBackWhateverTheObjectLoadedSince) {
    const struct {
        std::vector<Variant> call;
        int32_t result;
    } since[] = {
        {{u"InitServices", 48}, 0},  // shut out by its own lock (1055)
        {{u"GetServiceInfo", u"Spooler"}, 1},
        {{u"InitServiceDB", u"SRV01"}, 1},
    };
    for (const auto& c : since) {
        SCOPED_TRACE(to_utf8(c.call[0].to_string()));
        auto d = client::create(u"Vorlek.Service");
        ASSERT_EQ(d.call(u"InitServiceDB").to_long(), 1);
        d.let(u"ServiceDBLocked", {true});
        ASSERT_EQ(d.get(u"LastError").to_long(), 0);
        const String where = d.get(u"Computer").to_string();
        const std::vector<Variant> args(c.call.begin() + 1, c.call.end());
        EXPECT_EQ(d.call(c.call[0].to_string(), args).to_long(), c.result);
        d.let(u"ServiceDBLocked", {true});  // no second lock (on SRV01 it would be one)
        EXPECT_EQ(net->handles().open_count(), 1u);
        d.let(u"ServiceDBLocked", {false});
        EXPECT_EQ(d.get(u"LastError").to_long(), 0);
        EXPECT_TRUE(d.get(u"ValidDB").to_bool());
        EXPECT_FALSE(d.get(u"ServiceDBLocked").to_bool());
        EXPECT_EQ(d.get(u"Computer").to_string(), where);
        EXPECT_EQ(net->handles().open_count(), 0u);
        EXPECT_EQ(s.call(u"InitServices", {48}).to_long(), 1);
        s = client::create(u"Vorlek.Service");
    }
}

TEST_F(ServiceTest, ALockIsGivenBackWithTheLastReferenceOnItsOwnPlatformOnly) {
    // Both networks start alike, so the two locks get the same handle number.
    auto second = sim::make_network(u"default");
    auto lock = [](client::Dispatch& d) {
        ASSERT_EQ(d.call(u"InitServiceDB").to_long(), 1);
        d.let(u"ServiceDBLocked", {true});
        ASSERT_EQ(d.get(u"LastError").to_long(), 0);
    };
    lock(s);
    {
        platform::ScopedPlatform there{std::make_shared<sim::SimPlatform>(second)};
        auto other = client::create(u"Vorlek.Service");
        lock(other);
        // Released while another network is current, the first lock is not
        // that network's to give back.
        s = client::create(u"Vorlek.Service");
        EXPECT_EQ(second->handles().open_count(), 1u);
        other = client::create(u"Vorlek.Service");
        EXPECT_EQ(second->handles().open_count(), 0u);
        ASSERT_EQ(other.call(u"InitServiceDB").to_long(), 1);
        EXPECT_FALSE(other.get(u"ServiceDBLocked").to_bool());
        lock(other);
    }
    EXPECT_EQ(net->handles().open_count(), 1u);
}

TEST_F(ServiceTest, AnItemOutlivesTheServiceItDescribes) {
    ASSERT_EQ(s.call(u"InitServices", {48}).to_long(), 1);
    client::Dispatch item(client::Dispatch(s.get(u"Services")).call(u"Item", {u"Spooler"}));
    auto remover = client::create(u"Vorlek.Service");
    EXPECT_EQ(remover.call(u"RemoveService", {u"Spooler"}).to_long(), 1);
    // Marked only: still running, so a second removal is refused.
    EXPECT_EQ(remover.call(u"RemoveService", {u"Spooler"}).to_long(), 0);
    EXPECT_EQ(remover.get(u"LastError").to_long(), 1072);
    // The stop goes through; the service, stopped and no longer held, goes
    // with it, so the reload finds nothing and the item is no longer valid.
    item.let(u"CurrentState", {u"SERVICE_STOP_PENDING"});
    EXPECT_EQ(item.get(u"LastError").to_long(), 1060);
    EXPECT_FALSE(item.get(u"Valid").to_bool());
    EXPECT_EQ(remover.call(u"GetServiceInfo", {u"Spooler"}).to_long(), 0);
    EXPECT_EQ(remover.get(u"LastError").to_long(), 1060);
    item.let(u"CurrentState", {u"SERVICE_START_PENDING"});
    EXPECT_EQ(item.get(u"LastError").to_long(), 1060);  // not valid: nothing happens
    EXPECT_EQ(net->handles().open_count(), 0u);
}

TEST_F(ServiceTest, BadInputGetsTheManagersAnswer) {
    const String nul(1, u'\0');
    const String long_name(300, u'x');
    struct Case {
        StringView member;
        Variant arg;
        int32_t error;
    };
    const Case cases[] = {
        {u"GetServiceInfo", Variant(u""), 87},
        {u"GetServiceInfo", Variant(nul), 123},
        {u"GetServiceInfo", Variant(long_name), 123},
        {u"GetServiceInfo", Variant(u"Print Spooler"), 1060},  // a display name
        {u"GetServiceInfo", Variant(u"NoSuchService"), 1060},
        {u"GetDisplayName", Variant(long_name), 123},
        {u"GetServiceName", Variant(u"Spooler"), 1060},  // a key name
        {u"RemoveService", Variant(u""), 123},
        {u"InitServices", Variant(-1), 87},
        {u"InitServices", Variant(0), 87},
        {u"InitServices", Variant(0x7FFFFFFF), 87},
    };
    for (const Case& c : cases) {
        const Variant rc = s.call(c.member, {c.arg});
        EXPECT_EQ(err(), c.error) << to_utf8(c.member);
        EXPECT_EQ(net->handles().open_count(), 0u) << to_utf8(c.member);
        if (const String* text = rc.if_string()) {
            EXPECT_EQ(*text, u"unknown") << to_utf8(c.member);
        }
        s = client::create(u"Vorlek.Service");
    }
    // Lets refuse what names no code, and change nothing.
    ASSERT_EQ(s.call(u"GetServiceInfo", {u"Spooler"}).to_long(), 1);
    const StringView refused[] = {u"ServiceType", u"StartType", u"CurrentState"};
    for (StringView member : refused) {
        const String before = s.get(member).to_string();
        s.let(member, {nul});
        EXPECT_EQ(err(), 87) << to_utf8(member);
        EXPECT_EQ(s.get(member).to_string(), before);
    }
    // Drivers cannot run as own-process services with a boot start.
    s.let(u"StartType", {u"SERVICE_BOOT_START"});
    EXPECT_EQ(err(), 87);
    s.let(u"DisplayName", {long_name});
    EXPECT_EQ(err(), 87);
    s.let(u"DisplayName", {u"Server"});  // another service's display name
    EXPECT_EQ(err(), 1078);
    EXPECT_EQ(s.get(u"DisplayName").to_string(), u"Print Spooler");
    EXPECT_EQ(net->handles().open_count(), 0u);
}

// The names and the caller's default are made when read: a code with no name
// and a text the configuration leaves empty show the default of the call that
// read them, and a load that fails half-way shows only the half it read.
TEST_F(ServiceTest, TextsShowTheDefaultOfTheCallThatReadThem) {
    ASSERT_EQ(s.call(u"InitServices", {48, u"", u"first"}).to_long(), 1);
    client::Dispatch item(client::Dispatch(s.get(u"Services")).call(u"Item", {u"RemoteRegistry"}));
    s.set(u"Services", Variant(make<Collection>()));
    ASSERT_EQ(s.call(u"InitServices", {48, u"", u"second"}).to_long(), 1);
    EXPECT_EQ(item.get(u"LoadOrderGroup").to_string(), u"first");
    EXPECT_EQ(item.get(u"ServiceType").to_string(), u"SERVICE_WIN32_OWN_PROCESS");
    EXPECT_EQ(item.get(u"ErrorControl").to_string(), u"SERVICE_ERROR_NORMAL");
    EXPECT_EQ(item.get(u"Dependencies").to_string(), u"RpcSs");
    EXPECT_NE(item.get(u"Computer").to_string(), u"");
    EXPECT_EQ(s.get(u"Computer").to_string(), u"");  // the listing's own object names none

    ASSERT_EQ(s.call(u"GetServiceInfo", {u"RemoteRegistry", u"", u"-"}).to_long(), 1);
    EXPECT_EQ(s.get(u"LoadOrderGroup").to_string(), u"-");
    const String state = s.get(u"CurrentState").to_string();
    const String type = s.get(u"ServiceType").to_string();
    net->faults().fail(sim::op::QueryServiceConfig, 1234);
    EXPECT_EQ(s.call(u"GetServiceInfo", {u"RemoteRegistry", u"", u"-"}).to_long(), 0);
    EXPECT_EQ(s.get(u"CurrentState").to_string(), state);
    EXPECT_EQ(s.get(u"ServiceType").to_string(), type);
    for (StringView p : {u"StartType", u"ErrorControl", u"LoadOrderGroup", u"BinaryPathName",
                         u"Dependencies", u"ServiceStartName", u"Computer", u"DisplayName"})
        EXPECT_EQ(s.get(p).to_string(), u"") << to_utf8(p);
    EXPECT_EQ(net->handles().open_count(), 0u);
}

// A listed service costs at most 300 bytes beyond its texts: the item, its
// place in the collection and its share of what the listing holds. Its texts
// are the display name, the binary path, the account and the name, kept
// once by the item and once by the collection.
TEST_F(ServiceTest, ListedItemsStaySmall) {
    if (!bench::kHeapCounted) GTEST_SKIP() << "the heap is not counted here";
    constexpr int kAdded = 3000;
    auto& sc = platform::current().services();
    const platform::ScHandle m = sc.open_manager(u"", platform::svc::kManagerAllAccess).value;
    for (int i = 0; i < kAdded; ++i) {
        platform::NewService n;
        n.name = u"S" + String(6 - decimal(i).size(), u'0') + decimal(i);
        n.display_name = u"Listed " + n.name;
        n.binary_path = u"C:\\s.exe";
        auto made = sc.create_service(m, n);
        ASSERT_TRUE(made.ok());
        sc.close(made.value);
    }
    sc.close(m);
    int32_t count = 0;
    const double per_item = bench::heap_per_item(kAdded, [&](auto held) {
        ASSERT_EQ(s.call(u"InitServices", {48}).to_long(), 1);
        count = client::Dispatch(s.get(u"Services")).get(u"Count").to_long();
        held();
    });
    ASSERT_GE(count, kAdded);
    // The services the machine starts with hold longer texts: a byte or two an item.
    constexpr double kTexts = 2 * (14 + 8 + 11 + 2 * 7) + 4;
    EXPECT_LE(per_item, 300 + kTexts);
}

}  // namespace
}  // namespace vorlek
