// Starting processes (also as a user of CORP or of WS0001), waiting for them,
// ending them by id, title and path; every handle closed on every path.
#include <gtest/gtest.h>

#include "tests/support/simulated.h"

#include "library/client.h"
#include "platform/sim/accounts.h"
#include "platform/sim/network.h"
#include "platform/sim/processes.h"

namespace vorlek {
namespace {

class StartEndTest : public testing_support::SimulatedTest {
  protected:
    client::Dispatch p = client::create(u"Vorlek.Process");

    sim::ProcessesState& table() { return sim::process_table(*net, net->local()); }
    int32_t start(std::vector<Variant> args) {
        return p.call(u"StartProcess", std::move(args)).to_long();
    }
    int32_t end(std::vector<Variant> args) {
        return p.call(u"EndProcess", std::move(args)).to_long();
    }
    // The newest process (the one a StartProcess made).
    sim::SimProcess& newest() { return std::prev(table().processes.end())->second; }
    size_t count_running(StringView path) {
        size_t n = 0;
        for (const auto& [pid, proc] : table().processes)
            n += proc.running() && proc.path == path;
        return n;
    }
    void expect_no_handles() {
        EXPECT_EQ(net->handles().open_count(), 0u);
        EXPECT_FALSE(table().impersonation);
        EXPECT_TRUE(table().profiles_loaded.empty());
    }
};

TEST_F(StartEndTest, WaitsAndExitCodes) {
    static const String huge(40000, u'x');
    const struct {
        const char16_t* line;
        int32_t wait;
        int32_t result;
        int32_t exit_code;
        bool running;
    } cases[] = {
        {u"notepad.exe", 0, 0, 0, true},
        {u"cmd.exe /c exit 7", -1, 0, 7, false},
        {u"C:\\WINNT\\system32\\cmd.exe /c exit 300", 100, 0, 300, false},
        // cmd reads its exit code as a signed 32-bit number; the process's
        // code is that value's DWORD, which ExitCode shows as the Long again.
        {u"cmd /c exit -1", -1, 0, -1, false},
        {u"cmd /C EXIT /b -2147483648", -1, 0, INT32_MIN, false},
        {u"cmd /c exit 4294967296", -1, 0, INT32_MAX, false},  // held to the range
        {u"cmd /c exit +12abc", -1, 0, 12, false},
        {u"cmd /c exit", -1, 0, 0, false},
        {u"\"C:\\WINNT\\system32\\ping.exe\" -n 3 127.0.0.1", 5000, 0, 0, false},
        {u"ping -n 3 127.0.0.1", 1000, 258, 0, true},  // timed out, keeps running
        {u"notepad.exe", -1, 258, 0, true},  // nobody closes it; the simulation does not block
        {u"no-such-program.exe", 0, 2, 0, false},
        {u"C:\\elsewhere\\notepad.exe", 0, 2, 0, false},
        {u"", 0, 2, 0, false},
        {huge.c_str(), 0, 87, 0, false},
        {u"notepad.exe", -2, 87, 0, false},  // a wait of about 49 days is refused
    };
    for (const auto& c : cases) {
        const size_t before = table().processes.size();
        EXPECT_EQ(start({c.line, c.wait}), c.result) << to_utf8(c.line);
        EXPECT_EQ(p.get(u"ExitCode").to_long(), c.exit_code) << to_utf8(c.line);
        if (c.result == 0 || c.result == 258) {
            EXPECT_EQ(newest().running(), c.running) << to_utf8(c.line);
            EXPECT_EQ(newest().parent, 952u);
        } else {
            EXPECT_EQ(table().processes.size(), before) << to_utf8(c.line);
        }
        expect_no_handles();
    }
}

TEST_F(StartEndTest, LogonFailuresStartNothing) {
    sim::AccountDatabase& corp = *sim::domain_database(*net, u"CORP");
    corp.user(u"lchen")->info.flags |= platform::uf::kAccountDisable;
    corp.user(u"hwagner")->info.logon_hours.assign(platform::kLogonHoursBytes, 0);
    const struct {
        const char16_t* user;
        const char16_t* password;
        const char16_t* domain;
        int32_t result;
    } cases[] = {
        {u"jsmith", u"wrong", u"CORP", 1326},
        {u"nobody", u"x", u"CORP", 1326},
        {u"lchen", u"Secret#lchen", u"CORP", 1331},
        {u"kwilliams", u"Secret#kwilliams", u"CORP", 1331},
        {u"dbrown", u"Secret#dbrown", u"CORP", 1909},
        {u"dbrown", u"wrong", u"CORP", 1909},
        {u"contractor1", u"Secret#contractor1", u"CORP", 1793},
        {u"reception", u"Secret#reception", u"CORP", 1329},  // only from WS0002
        {u"hwagner", u"Secret#hwagner", u"CORP", 1328},
        {u"pdubois", u"Secret#pdubois", u"CORP", 1907},
        {u"jsmith", u"Secret#jsmith", u"NOWHERE", 1355},
        {u"test", u"", u".", 1331},
    };
    for (const auto& c : cases) {
        const size_t before = table().processes.size();
        EXPECT_EQ(start({u"notepad.exe", 0, true, c.user, c.password, c.domain}), c.result)
            << to_utf8(c.user);
        EXPECT_EQ(table().processes.size(), before);
        expect_no_handles();
    }
}

TEST_F(StartEndTest, AsAUserWithProfileAndDesktopAccess) {
    ASSERT_EQ(start({u"cmd.exe /c exit 4", -1, true, u"jsmith", u"Secret#jsmith", u"CORP", true,
                     u"C:\\Profiles\\jsmith"}),
              0);
    EXPECT_EQ(p.get(u"ExitCode").to_long(), 4);
    const auto& proc = newest();
    sim::AccountDatabase& corp = *sim::domain_database(*net, u"CORP");
    const auto jsmith = corp.domain_sid.with_rid(corp.user(u"jsmith")->info.user_id);
    EXPECT_EQ(proc.token->user, jsmith);
    // A domain administrator: the local Administrators (through Domain Admins) are in his token.
    const auto admins = platform::sid::builtin_alias(platform::sid::rid::kAdmins);
    EXPECT_TRUE(std::any_of(proc.token->groups.begin(), proc.token->groups.end(),
                            [&](const auto& g) { return g.sid == admins; }));
    auto granted = [&](const platform::AccessList& list) {
        for (const auto& e : list)
            if (e.trustee == jsmith && e.allow) return e.mask;
        return 0u;
    };
    EXPECT_EQ(granted(table().window_station.access), 0xF00F037Fu);
    EXPECT_EQ(granted(table().desktop.access), 0xF01FFu);
    // A second start grants again without a second entry.
    const size_t entries = table().desktop.access.size();
    ASSERT_EQ(start({u"notepad.exe", 0, false, u"jsmith", u"Secret#jsmith", u"CORP"}), 0);
    EXPECT_EQ(table().desktop.access.size(), entries);
    expect_no_handles();
    // A local account of WS0001.
    EXPECT_EQ(start({u"notepad.exe", 0, true, u"support", u"Secret#support", u"."}), 1326);
    sim::account_database(*net, net->local()).user(u"support")->password = u"pw";
    EXPECT_EQ(start({u"notepad.exe", 0, true, u"support", u"pw"}), 0);
    expect_no_handles();
}

TEST_F(StartEndTest, EveryFailingStepOfAUserStartCleansUp) {
    namespace op = sim::op;
    const struct {
        const sim::Operation* operation;
        int32_t result;
    } cases[] = {
        {&op::LogonUser, 5},
        {&op::LoadUserProfile, 5},
        {&op::LookupAccountName, -533},
        {&op::GetProcessWindowStation, 5},
        {&op::GetThreadDesktop, 5},
        {&op::OpenWindowStation, 5},
        {&op::SetProcessWindowStation, 5},
        {&op::GetSecurityInfo, -535},
        {&op::SetSecurityInfo, 5},
        {&op::OpenDesktop, 5},
        {&op::SetThreadDesktop, 5},
        {&op::ImpersonateLoggedOnUser, 5},
        {&op::CreateProcessAsUser, 5},
        {&op::WaitForSingleObject, 5},
        {&op::GetExitCodeProcess, 5},
    };
    for (const auto& c : cases) {
        net->faults().clear();
        net->faults().fail(*c.operation, 5);
        const size_t before = count_running(u"C:\\WINNT\\system32\\ping.exe");
        EXPECT_EQ(start({u"ping -n 2 x", -1, true, u"jsmith", u"Secret#jsmith", u"CORP", true}),
                  c.result)
            << to_utf8(c.operation->name);
        // Nothing half-started stays behind.
        if (c.operation != &op::WaitForSingleObject && c.operation != &op::GetExitCodeProcess) {
            EXPECT_EQ(count_running(u"C:\\WINNT\\system32\\ping.exe"), before);
        }
        EXPECT_EQ(table().process_station, u"WinSta0");
        expect_no_handles();
    }
    // A domain whose controller cannot be found.
    EXPECT_EQ(start({u"notepad.exe", 0, true, u"jsmith", u"Secret#jsmith", u"LAB"}), 1355);
    net->domains()[u"GHOST"] = sim::Domain{u"NOBODY", {}};
    sim::account_database(*net, net->local());
    expect_no_handles();
}

TEST_F(StartEndTest, EndingByTitleClosesTheFirstMatchingWindow) {
    auto token = table().current().token;
    auto& a = table().start(u"C:\\WINNT\\system32\\notepad.exe", 952, token,
                            {.window = u"report.txt - Notepad"});
    auto& b = table().start(u"C:\\WINNT\\system32\\notepad.exe", 952, token,
                            {.window = u"notes.txt - Notepad"});
    EXPECT_EQ(end({0, u"*notepad"}), 0);  // both match: the first one in z-order goes
    EXPECT_FALSE(a.running());
    EXPECT_TRUE(b.running());
    EXPECT_EQ(end({0, u"NOTES.TXT - NOTEPAD"}), 0);
    EXPECT_FALSE(b.running());
    EXPECT_EQ(end({0, u"*notepad"}), 1400);
    EXPECT_EQ(end({0, String(100000, u'x')}), 1400);
    EXPECT_EQ(end({}), 87);
    EXPECT_EQ(end({0, u"", u""}), 87);
    expect_no_handles();
}

TEST_F(StartEndTest, AProgramThatAsksFirstNeedsForce) {
    auto token = table().current().token;
    const struct {
        bool force;
        int32_t wait;
        int32_t result;
        bool running;
    } cases[] = {
        {false, 0, 0, true},      // the close message is posted, nothing waited for
        {false, 500, 258, true},  // its dialog keeps it running
        {true, 500, 0, false},    // asked from inside, then ended
    };
    for (const auto& c : cases) {
        auto& proc = table().start(u"C:\\WINNT\\system32\\notepad.exe", 952, token,
                                   {.window = u"draft - Notepad", .closes_on_request = false});
        EXPECT_EQ(end({static_cast<int32_t>(proc.pid), u"", u"", c.force, c.wait}), c.result);
        EXPECT_EQ(proc.running(), c.running);
        expect_no_handles();
    }
    // It refuses the remote exit too: terminated.
    auto& stubborn =
        table().start(u"C:\\WINNT\\system32\\notepad.exe", 952, token,
                      {.window = u"x", .closes_on_request = false, .remote_exit = false});
    EXPECT_EQ(end({static_cast<int32_t>(stubborn.pid), u"", u"", true, 100}), 0);
    EXPECT_EQ(stubborn.exit_code, 0xFFFFFFFFu);
}

TEST_F(StartEndTest, WindowlessProcessesExitFromInside) {
    auto token = table().current().token;
    auto& quiet = table().start(u"C:\\WINNT\\system32\\ping.exe", 952, token);
    EXPECT_EQ(end({static_cast<int32_t>(quiet.pid)}), 0);
    EXPECT_EQ(quiet.exit_code, 0xFFFFFFFFu);
    // Already ended: the remote exit says so.
    EXPECT_EQ(end({static_cast<int32_t>(quiet.pid)}), 87);  // its id is no longer open to anyone
    auto& forced = table().start(u"C:\\WINNT\\system32\\ping.exe", 952, token);
    EXPECT_EQ(end({static_cast<int32_t>(forced.pid), u"", u"", true, 1000}), 0);
    EXPECT_FALSE(forced.running());
    // Ids no process has, the idle and system processes, negative ids.
    const struct {
        int32_t pid;
        int32_t result;
    } bad[] = {{4, 5}, {212, 5}, {-1, 87}, {123456, 87}};
    for (const auto& c : bad)
        EXPECT_EQ(end({c.pid, u"", u"", true, 0}), c.result) << c.pid;
    EXPECT_EQ(end({952, u"", u"", false, -7}), 87);
    expect_no_handles();
}

TEST_F(StartEndTest, EndingByPathOrName) {
    auto token = table().current().token;
    auto& calc =
        table().start(u"C:\\WINNT\\system32\\calc.exe", 952, token, {.window = u"Calculator"});
    EXPECT_EQ(end({0, u"", u"CALC.EXE"}), 0);
    EXPECT_FALSE(calc.running());
    auto& again =
        table().start(u"C:\\WINNT\\system32\\calc.exe", 952, token, {.window = u"Calculator"});
    EXPECT_EQ(end({0, u"", u"c:\\winnt\\*\\calc.exe"}), 0);
    EXPECT_FALSE(again.running());
    EXPECT_EQ(end({0, u"", u"calc.exe"}), 3);
    EXPECT_EQ(end({0, u"", u"C:\\nowhere\\*"}), 3);
    EXPECT_EQ(end({0, u"", String(70000, u'\\')}), 3);
    expect_no_handles();
}

TEST_F(StartEndTest, EveryFailingStepOfAnEndCleansUp) {
    namespace op = sim::op;
    const sim::Operation* steps[] = {&op::OpenProcess,        &op::DuplicateHandle,
                                     &op::GetExitCodeProcess, &op::GetProcAddress,
                                     &op::CreateRemoteThread, &op::WaitForSingleObject};
    auto token = table().current().token;
    for (const auto* step : steps) {
        net->faults().clear();
        auto& proc = table().start(u"C:\\WINNT\\system32\\ping.exe", 952, token);
        net->faults().fail(*step, 5);
        EXPECT_EQ(end({static_cast<int32_t>(proc.pid), u"", u"", true, 100}), 5)
            << to_utf8(step->name);
        expect_no_handles();
    }
}

TEST_F(StartEndTest, FailuresAroundWindowsAndTheUsersSession) {
    namespace op = sim::op;
    auto token = table().current().token;
    const struct {
        const sim::Operation* operation;
        int32_t result;
    } ending[] = {
        {&op::EnumWindows, 1400},  // no window can be found by title
        {&op::PostMessage, 5},
        {&op::TerminateProcess, 5},
    };
    for (const auto& c : ending) {
        net->faults().clear();
        table().start(u"C:\\WINNT\\system32\\notepad.exe", 952, token,
                      {.window = u"stuck", .closes_on_request = false, .remote_exit = false});
        net->faults().fail(*c.operation, 5);
        EXPECT_EQ(end({0, u"stuck", u"", true, 100}), c.result) << to_utf8(c.operation->name);
        expect_no_handles();
    }
    net->faults().clear();
    net->faults().fail(op::CreateProcess, 8);
    EXPECT_EQ(start({u"notepad.exe"}), 8);
    // A failing clean-up step does not turn a start into a failure.
    for (const auto* step : {&op::RevertToSelf, &op::UnloadUserProfile, &op::SetThreadDesktop}) {
        net->faults().clear();
        net->faults().fail(*step, 5, 1, step == &op::SetThreadDesktop ? 1 : 0);
        EXPECT_EQ(start({u"cmd /c exit 2", -1, true, u"jsmith", u"Secret#jsmith", u"CORP", true}),
                  0)
            << to_utf8(step->name);
        EXPECT_EQ(p.get(u"ExitCode").to_long(), 2);
    }
}

}  // namespace
}  // namespace vorlek
