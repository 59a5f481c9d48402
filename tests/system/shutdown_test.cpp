// DllClass's administrator test and shutdown on the default network: the
// script host runs as WS0001's Administrator, SRV01 answers, SRV03 does not.
#include <gtest/gtest.h>

#include "tests/support/simulated.h"

#include "library/client.h"
#include "platform/sim/network.h"
#include "platform/sim/processes.h"

namespace vorlek {
namespace {

class ShutdownTest : public testing_support::SimulatedTest {
  protected:
    client::Dispatch d = client::create(u"Vorlek.DllClass");
    sim::ProcessesState& local() { return sim::process_table(*net, net->local()); }
    sim::ProcessesState& of(StringView name) { return sim::process_table(*net, *net->find(name)); }
};

TEST_F(ShutdownTest, AdministratorTestReadsTheToken) {
    EXPECT_TRUE(d.call(u"IAmAdmin").to_bool());
    EXPECT_EQ(d.get(u"LastError").to_long(), 0);
    auto& token = *local().current().token;
    const auto admins = platform::sid::builtin_alias(platform::sid::rid::kAdmins);
    // Administrators beyond the 21st group still counts.
    std::vector<platform::TokenGroup> many(30, {platform::sid::everyone(), 7});
    many.push_back({admins, 7});
    token.groups = many;
    EXPECT_TRUE(d.call(u"IAmAdmin").to_bool());
    EXPECT_EQ(d.get(u"LastError").to_long(), 0);
    std::erase_if(token.groups, [&](const auto& g) { return g.sid == admins; });
    EXPECT_FALSE(d.call(u"IAmAdmin").to_bool());
    EXPECT_EQ(d.get(u"LastError").to_long(), 0);
    // The thread's token cannot be opened: the process's is asked.
    net->faults().fail(sim::op::OpenThreadToken, 5);
    token.groups.push_back({admins, 7});
    EXPECT_TRUE(d.call(u"IAmAdmin").to_bool());
    std::erase_if(token.groups, [&](const auto& g) { return g.sid == admins; });
    // An impersonated token is the one asked.
    local().impersonation = sim::make_token(*net, net->local(), platform::sid::local_system());
    local().impersonation->groups.push_back({admins, 7});
    EXPECT_TRUE(d.call(u"IAmAdmin").to_bool());
    local().impersonation.reset();

    namespace op = sim::op;
    const struct {
        const sim::Operation* operation;
        uint32_t after;
        int32_t last_error;
    } cases[] = {
        {&op::OpenProcessToken, 0, 0},     // no thread token either: nothing to ask
        {&op::GetTokenInformation, 0, 0},  // the size query
        {&op::GetTokenInformation, 1, 5},  // the read
    };
    token.groups.push_back({admins, 7});
    for (const auto& c : cases) {
        net->faults().fail(*c.operation, 5, 1, c.after);
        EXPECT_FALSE(d.call(u"IAmAdmin").to_bool());
        EXPECT_EQ(d.get(u"LastError").to_long(), c.last_error);
        EXPECT_EQ(net->handles().open_count(), 0u);
    }
}

TEST_F(ShutdownTest, EndWindowsAddressesTheMachineAndRecordsTheRequest) {
    const struct {
        const char16_t* machine;
        const char16_t* reaches;  // "" the local machine
    } cases[] = {
        {u"SRV01", u"SRV01"},
        {u"\\\\SRV02", u"SRV02"},
        {u"\\\\\\\\WS0002", u"WS0002"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(d.call(u"EndWindows", {c.machine, u"Maintenance", 30, true, true}).to_long(), 0)
            << to_utf8(c.machine);
        const auto& asked = of(c.reaches).shutdowns;
        ASSERT_EQ(asked.size(), 1u);
        EXPECT_EQ(asked[0].message, u"Maintenance");
        EXPECT_EQ(asked[0].timeout, 30u);
        EXPECT_TRUE(asked[0].force && asked[0].reboot && asked[0].remote);
        // Down until it comes back.
        EXPECT_EQ(d.call(u"EndWindows", {c.machine}).to_long(), 53);
        sim::power_on(*net, *net->find(c.reaches));
        EXPECT_EQ(d.call(u"EndWindows", {c.machine}).to_long(), 0);
    }
    EXPECT_EQ(d.call(u"EndWindows", {u"SRV03"}).to_long(), 53);
    EXPECT_EQ(d.call(u"EndWindows", {u"NOSUCHHOST"}).to_long(), 53);
    EXPECT_EQ(d.call(u"EndWindows", {u"\\\\"}).to_long(), 123);
    EXPECT_EQ(d.call(u"EndWindows", {String(5000, u'A')}).to_long(), 53);
    EXPECT_EQ(d.get(u"LastError").to_long(), 0);
    EXPECT_EQ(net->handles().open_count(), 0u);
}

TEST_F(ShutdownTest, EndWindowsDefaultsAndTheLocalMachine) {
    EXPECT_EQ(d.call(u"EndWindows").to_long(), 0);
    ASSERT_EQ(local().shutdowns.size(), 1u);
    const auto& r = local().shutdowns[0];
    EXPECT_EQ(r.timeout, 20u);
    EXPECT_FALSE(r.force || r.reboot || r.remote);
    EXPECT_EQ(r.message, u"");
    EXPECT_EQ(d.call(u"EndWindows").to_long(), 1115);  // one is already under way
    // The privilege is enabled by the member itself.
    EXPECT_TRUE(local().current().token->enabled(u"SeShutdownPrivilege"));
}

TEST_F(ShutdownTest, ALogOffIsNoShutdown) {
    EXPECT_EQ(d.call(u"EndWindowsLocal", {u"LOGOFF"}).to_long(), 0);
    EXPECT_EQ(d.call(u"EndWindowsLocal", {u"LOGOFF"}).to_long(), 0);
    EXPECT_EQ(d.call(u"EndWindows").to_long(), 0);
    EXPECT_EQ(d.call(u"EndWindows").to_long(), 1115);
    local().shutdowns.clear();
    EXPECT_EQ(d.call(u"EndWindowsLocal", {u"SHUTDOWN"}).to_long(), 0);
    EXPECT_EQ(d.call(u"EndWindows").to_long(), 1115);
}

// A restart answers again once its countdown and a boot of a minute have
// passed on the machine clock, which a script moves by sleeping or waiting;
// the boot starts it afresh. A plain shutdown stays down.
TEST_F(ShutdownTest, ARestartedMachineAnswersAgainAfterItsTime) {
    auto service = client::create(u"Vorlek.Service");
    ASSERT_EQ(service.call(u"RemoveService", {u"Spooler", u"SRV01"}).to_long(), 1);
    ASSERT_EQ(service.call(u"GetServiceInfo", {u"Spooler", u"SRV01"}).to_long(), 1);
    ASSERT_EQ(d.call(u"EndWindows", {u"SRV01", u"Restart", 30, false, true}).to_long(), 0);
    d.call(u"Sleeping", {89'999});
    EXPECT_EQ(d.call(u"EndWindows", {u"SRV01"}).to_long(), 53);
    auto p = client::create(u"Vorlek.Process");
    EXPECT_EQ(p.call(u"StartProcess", {u"ping -n 2 127.0.0.1", -1, false}).to_long(), 0);
    EXPECT_TRUE(of(u"SRV01").shutdowns.empty());
    EXPECT_TRUE(net->find(u"SRV01")->reachable);
    // The service marked for deletion went with the old boot.
    EXPECT_EQ(service.call(u"GetServiceInfo", {u"Spooler", u"SRV01"}).to_long(), 0);
    EXPECT_EQ(service.get(u"LastError").to_long(), 1060);
    EXPECT_EQ(service.call(u"GetServiceInfo", {u"RpcSs", u"SRV01"}).to_long(), 1);
    EXPECT_EQ(service.get(u"CurrentState").to_string(), u"SERVICE_RUNNING");

    EXPECT_EQ(d.call(u"EndWindows", {u"SRV01", u"", 0, false, false}).to_long(), 0);
    d.call(u"Sleeping", {86'400'000});
    EXPECT_EQ(d.call(u"EndWindows", {u"SRV01"}).to_long(), 53);
    EXPECT_EQ(net->handles().open_count(), 0u);
}

TEST_F(ShutdownTest, WithoutThePrivilegeNothingShutsDown) {
    auto& token = *local().current().token;
    std::erase_if(token.privileges, [](const platform::PrivilegeState& p) {
        return p.luid.low == 19 || p.luid.low == 24;
    });
    EXPECT_EQ(d.call(u"EndWindows").to_long(), 1314);
    EXPECT_EQ(d.call(u"EndWindows", {u"SRV01"}).to_long(), 1314);
    EXPECT_EQ(d.call(u"EndWindowsLocal", {u"REBOOT"}).to_long(), 1314);
    EXPECT_TRUE(local().shutdowns.empty());
    EXPECT_TRUE(net->find(u"SRV01")->reachable);
    EXPECT_EQ(d.call(u"EndWindowsLocal", {u"logoff"}).to_long(), 0);  // needs none
}

TEST_F(ShutdownTest, EndWindowsLocalFlags) {
    const struct {
        const char16_t* how;
        bool force;
        int32_t result;
        uint32_t flags;
    } cases[] = {
        {u"LOGOFF", false, 0, 0},    {u"reboot", false, 0, 2},      {u"Shutdown", true, 0, 5},
        {u"POWEROFF", false, 0, 8},  {u"HIBERNATE", false, -87, 0}, {u"", true, -87, 0},
        {u" REBOOT", false, -87, 0},
    };
    for (const auto& c : cases) {
        local().shutdowns.clear();
        EXPECT_EQ(d.call(u"EndWindowsLocal", {c.how, c.force}).to_long(), c.result)
            << to_utf8(c.how);
        if (c.result == 0) {
            ASSERT_EQ(local().shutdowns.size(), 1u);
            EXPECT_EQ(local().shutdowns[0].exit_windows_flags, c.flags);
        } else {
            EXPECT_TRUE(local().shutdowns.empty());
        }
    }
    net->faults().fail(sim::op::InitiateSystemShutdown, 5);
    EXPECT_EQ(d.call(u"EndWindows", {u"SRV01"}).to_long(), 5);
    net->faults().fail(sim::op::ExitWindowsEx, 5);
    EXPECT_EQ(d.call(u"EndWindowsLocal", {u"REBOOT"}).to_long(), 5);
    EXPECT_EQ(net->handles().open_count(), 0u);
}

}  // namespace
}  // namespace vorlek
