// Process on the default network: WS0001's processes (the script host as
// the current one, a virtual DOS machine with two 16-bit tasks), memory
// counters, privileges of the current process's token.
#include <gtest/gtest.h>

#include "tests/support/simulated.h"

#include "library/client.h"
#include "platform/sim/network.h"
#include "platform/sim/processes.h"

namespace vorlek {
namespace {

class ProcessTest : public testing_support::SimulatedTest {
  protected:
    client::Dispatch p = client::create(u"Vorlek.Process");

    sim::ProcessesState& table() { return sim::process_table(*net, net->local()); }
    std::vector<String> names() {
        std::vector<String> out;
        Variant c = p.get(u"Processes");
        if (!c.is_object() || !c.object()) return out;
        for (const auto& item : client::Dispatch(c).each())
            out.push_back(client::Dispatch(item).get(u"ModuleBaseName").to_string());
        return out;
    }
    int32_t privilege(const char16_t* name, bool enable) {
        return p.call(u"SetMyTokenPrivileges", {name, enable}).to_long();
    }
    bool enabled(StringView name) { return table().current().token->enabled(name); }
};

TEST_F(ProcessTest, WildcardListsEveryProcessAndTheUnopenableAsNull) {
    p.let(u"SetBaseName", {u"*"});
    const auto all = names();
    size_t running = 0;
    for (const auto& [pid, proc] : table().processes)
        running += proc.running();
    ASSERT_EQ(all.size(), running);
    // Idle, System and csrss cannot be opened.
    EXPECT_EQ(std::count(all.begin(), all.end(), u"NULL"), 3);
    client::Dispatch c(p.get(u"Processes"));
    client::Dispatch host(c.call(u"Item", {u"952"}));
    EXPECT_EQ(host.get(u"ModuleBaseName").to_string(), u"cscript.exe");
    EXPECT_EQ(host.get(u"ModuleFileName").to_string(), u"C:\\WINNT\\system32\\cscript.exe");
    EXPECT_EQ(host.get(u"ProcessPID").to_long(), 952);
    EXPECT_GT(host.get(u"WorkingSetSize").to_long(), 0);
    EXPECT_GE(host.get(u"PeakWorkingSetSize").to_long(), host.get(u"WorkingSetSize").to_long());
    EXPECT_GE(host.get(u"PeakPagefileUsage").to_long(), host.get(u"PagefileUsage").to_long());
    client::Dispatch idle(c.call(u"Item", {u"0"}));
    EXPECT_EQ(idle.get(u"ModuleFileName").to_string(), u"");
    EXPECT_EQ(idle.get(u"PageFaultCount").to_long(), 0);
    // The debug privilege is off again afterwards; no handle stays open.
    EXPECT_FALSE(enabled(u"SeDebugPrivilege"));
    EXPECT_EQ(net->handles().open_count(), 0u);
}

TEST_F(ProcessTest, PatternsMatchWithoutRegardToCase) {
    const struct {
        const char16_t* pattern;
        std::vector<String> expected;
    } cases[] = {
        {u"svchost.exe", {u"svchost.exe", u"svchost.exe"}},
        {u"  EXPLORER.exe ", {u"Explorer.EXE"}},
        {u"cs*", {u"csrss.exe", u"cscript.exe"}},
        {u"?sass.exe", {u"lsass.exe"}},
        {u"[mn]*", {u"NULL", u"NULL", u"NULL", u"MSTask.exe", u"ntvdm.exe"}},
        {u"no such program", {}},
    };
    // csrss cannot be opened, so it is "NULL" and "cs*" finds the script host only.
    for (const auto& c : cases) {
        p.let(u"SetBaseName", {c.pattern});
        auto expected = c.expected;
        if (String(c.pattern) == u"cs*") expected = {u"cscript.exe"};
        EXPECT_EQ(names(), expected) << to_utf8(c.pattern);
    }
}

TEST_F(ProcessTest, EmptyPatternKeepsTheCollection) {
    EXPECT_FALSE(p.get(u"Processes").object());  // no object before the first fill
    p.let(u"SetBaseName", {u"lsass.exe"});
    Variant before = p.get(u"Processes");
    p.let(u"SetBaseName", {u""});
    EXPECT_EQ(p.get(u"Processes").object(), before.object());
    EXPECT_EQ(names(), std::vector<String>{u"lsass.exe"});
}

TEST_F(ProcessTest, CountersMoveBetweenEnumerations) {
    auto faults = [&] {
        p.let(u"SetBaseName", {u"cscript.exe"});
        client::Dispatch c(p.get(u"Processes"));
        return client::Dispatch(c.call(u"Item", {1})).get(u"PageFaultCount").to_long();
    };
    const int32_t first = faults();
    table().advance(60'000);
    EXPECT_GT(faults(), first);
}

TEST_F(ProcessTest, FailuresLeaveItemsOrAnEmptyCollection) {
    namespace op = sim::op;
    const struct {
        const sim::Operation* operation;
        uint32_t after;  // calls that still succeed
        size_t nulls;    // items named "NULL" (3 can never be opened)
        bool empty;
    } cases[] = {
        {&op::EnumProcesses, 0, 0, true},
        {&op::OpenProcess, 4, 4, false},  // the fifth process exits meanwhile
        {&op::EnumProcessModules, 0, 4, false},
        {&op::GetModuleBaseName, 2, 3, false},
        {&op::GetModuleFileNameEx, 2, 3, false},
        {&op::GetProcessMemoryInfo, 0, 3, false},
        {&op::OpenProcessToken, 0, 3, false},
        {&op::AdjustTokenPrivileges, 0, 3, false},
    };
    for (const auto& c : cases) {
        net->faults().clear();
        net->faults().fail(*c.operation, c.operation == &op::OpenProcess ? 87u : 5u, 1, c.after);
        p.let(u"SetBaseName", {u"*"});
        const auto all = names();
        SCOPED_TRACE(to_utf8(c.operation->name));
        EXPECT_EQ(all.empty(), c.empty);
        if (!c.empty) {
            EXPECT_EQ(static_cast<size_t>(std::count(all.begin(), all.end(), u"NULL")), c.nulls);
        }
        EXPECT_EQ(std::count(all.begin(), all.end(), u""),
                  c.operation == &op::GetModuleBaseName ? 1 : 0);
        EXPECT_EQ(net->handles().open_count(), 0u);
    }
}

TEST_F(ProcessTest, ManyProcessesAreAllListed) {
    auto token = table().current().token;
    for (int i = 0; i < 300; ++i)
        table().start(u"C:\\WINNT\\system32\\notepad.exe", 952, token);
    p.let(u"SetBaseName", {u"notepad.exe"});
    EXPECT_EQ(names().size(), 300u);
}

TEST_F(ProcessTest, SixteenBitTasksOfAVirtualDosMachine) {
    const auto tasks = [&](int32_t pid) {
        p.let(u"SetNtvdmID", {pid});
        std::vector<String> out;
        for (const auto& item : client::Dispatch(p.get(u"Processes")).each()) {
            client::Dispatch t(item);
            out.push_back(t.get(u"ModuleBaseName").to_string() + u"|" +
                          t.get(u"ModuleFileName").to_string() + u"|" +
                          decimal(t.get(u"ProcessPID").to_long()) + u"|" +
                          decimal(t.get(u"WorkingSetSize").to_long()));
        }
        return out;
    };
    const std::vector<String> vdm{u"WOWEXEC|C:\\WINNT\\system32\\WOWEXEC.EXE|936|0",
                                  u"SOL|C:\\WINNT\\SOL.EXE|944|0"};
    EXPECT_EQ(tasks(908), vdm);
    EXPECT_EQ(tasks(908), vdm);  // each once, however often asked
    client::Dispatch c(p.get(u"Processes"));
    EXPECT_EQ(client::Dispatch(c.call(u"Item", {u"944"})).get(u"ModuleBaseName").to_string(),
              u"SOL");
    // Not a virtual DOS machine, no such process, a machine without one.
    for (int32_t pid : {952, 0, 4, -1, 123456})
        EXPECT_TRUE(tasks(pid).empty()) << pid;
    sim::process_table(*net, net->local()).find(908)->vdm = false;
    EXPECT_TRUE(tasks(908).empty());
    net->faults().fail(sim::op::VDMEnumTaskWOWEx, 5);
    table().find(908)->vdm = true;
    EXPECT_TRUE(tasks(908).empty());
}

TEST_F(ProcessTest, PrivilegesSwitchOnAndOff) {
    const struct {
        const char16_t* name;
        bool enable;
        int32_t result;
        bool enabled_after;
    } cases[] = {
        {u"SeShutdownPrivilege", true, 0, true},
        {u"SeShutdownPrivilege", true, 0, true},  // already on
        {u"seshutdownprivilege", false, 0, false},
        {u"SeShutdownPrivilege", false, 0, false},  // already off
        {u"SeChangeNotifyPrivilege", false, 0, false},
        {u"SeChangeNotifyPrivilege", true, 0, true},
        {u"SeTcbPrivilege", true, 1300, false},           // not in the token
        {u"SeInteractiveLogonRight", true, 1313, false},  // a right, not a privilege
        {u"", true, 1313, false},
        {u"NoSuchPrivilege", false, 1313, false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(privilege(c.name, c.enable), c.result) << to_utf8(c.name);
        EXPECT_EQ(enabled(c.name), c.enabled_after) << to_utf8(c.name);
    }
    EXPECT_EQ(net->handles().open_count(), 0u);
}

TEST_F(ProcessTest, PrivilegeFailuresReportTheFailingStep) {
    namespace op = sim::op;
    const sim::Operation* steps[] = {&op::OpenProcessToken, &op::LookupPrivilegeValue,
                                     &op::AdjustTokenPrivileges};
    for (const auto* step : steps) {
        net->faults().fail(*step, 5);
        EXPECT_EQ(privilege(u"SeShutdownPrivilege", true), 5) << to_utf8(step->name);
        EXPECT_FALSE(enabled(u"SeShutdownPrivilege"));
        EXPECT_EQ(net->handles().open_count(), 0u);
    }
    // The second adjustment fails: the privilege stays off.
    net->faults().fail(op::AdjustTokenPrivileges, 6, 1, 1);
    EXPECT_EQ(privilege(u"SeShutdownPrivilege", true), 6);
    EXPECT_FALSE(enabled(u"SeShutdownPrivilege"));
}

TEST_F(ProcessTest, ConstantsCarryTheSystemsNames) {
    const std::pair<const char16_t*, const char16_t*> names[] = {
        {u"SE_INTERACTIVE_LOGON_NAME", u"SeInteractiveLogonRight"},
        {u"SE_UNSOLICITED_INPUT_NAME", u"SeUnsolicitedInputPrivilege"},
        {u"SE_SYSTEMTIME_NAME", u"SeSystemtimePrivilege"},
        {u"SE_REMOTE_SHUTDOWN_NAME", u"SeRemoteShutdownPrivilege"},
    };
    for (const auto& [member, value] : names)
        EXPECT_EQ(p.get(member).to_string(), value);
    EXPECT_EQ(p.get(u"INFINITE").to_long(), -1);
}

}  // namespace
}  // namespace vorlek
