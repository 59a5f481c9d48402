// The simulated processes area's contract: buffer sizes, the statuses the
// classes rely on, privileges applied in part, the token behind GetUserName
// and the handle ledger by kind.
#include <gtest/gtest.h>

#include "tests/support/simulated.h"

#include "platform/processes.h"
#include "platform/security.h"
#include "platform/sim/handles.h"
#include "platform/sim/network.h"
#include "platform/sim/processes.h"

namespace vorlek {
namespace {

namespace pa = platform::process_access;
using sim::HandleKind;

class ProcessesTest : public testing_support::SimulatedTest {
  protected:
    platform::Processes& ps = platform::current().processes();
    sim::ProcessesState& table() { return sim::process_table(*net, net->local()); }
};

TEST_F(ProcessesTest, EnumerationFillsWhatTheBufferHolds) {
    const size_t running = table().processes.size();
    for (uint32_t bytes : {0u, 3u, 4u, 17u, 1024u}) {
        auto r = ps.enum_processes(bytes);
        ASSERT_TRUE(r.ok());
        EXPECT_EQ(r.value.size(), std::min<size_t>(bytes / 4, running)) << bytes;
    }
    auto h = ps.open_process(pa::kQueryInformation | pa::kVmRead, false, 952);
    ASSERT_TRUE(h.ok());
    EXPECT_EQ(ps.enum_process_modules(h.value, 8).value.size(), 1u);
    EXPECT_EQ(ps.enum_process_modules(h.value, 15).value.size(), 1u);
    const auto all = ps.enum_process_modules(h.value, 512).value;
    EXPECT_EQ(all.size(), 7u);  // the program and the six system modules
    EXPECT_EQ(ps.module_base_name(h.value, all[0], 7).value, u"cscrip");
    EXPECT_EQ(ps.module_file_name(h.value, all[1], 260).value, u"C:\\WINNT\\system32\\ntdll.dll");
    EXPECT_EQ(ps.module_base_name(h.value, 0x1234, 260).status, 6u);
    EXPECT_EQ(ps.close_handle(h.value), 0u);
    EXPECT_EQ(ps.close_handle(h.value), 6u);
    // Access the handle was not opened with.
    auto weak = ps.open_process(pa::kSynchronize, false, 952);
    EXPECT_EQ(ps.memory_info(weak.value).status, 5u);
    EXPECT_EQ(ps.terminate(weak.value, 1), 5u);
    ps.close_handle(weak.value);
    EXPECT_EQ(net->handles().open_count(HandleKind::Process), 0u);
}

TEST_F(ProcessesTest, PrivilegesApplyInPartWith1300) {
    auto token = ps.open_process_token(platform::token_access::kAdjustPrivileges);
    ASSERT_TRUE(token.ok());
    const auto shutdown = ps.lookup_privilege_value(u"", u"SESHUTDOWNPRIVILEGE").value;
    const auto tcb = ps.lookup_privilege_value(u"\\\\DC01", u"SeTcbPrivilege").value;
    EXPECT_EQ(ps.lookup_privilege_value(u"\\\\SRV03", u"SeTcbPrivilege").status, 53u);
    auto r = ps.adjust_token_privileges(token.value, {{tcb, 2}, {shutdown, 2}});
    EXPECT_EQ(r.status, 1300u);
    ASSERT_EQ(r.value.size(), 1u);  // the previous state of what changed
    EXPECT_EQ(r.value[0].luid, shutdown);
    EXPECT_EQ(r.value[0].attributes, 0u);
    EXPECT_TRUE(table().current().token->enabled(u"SeShutdownPrivilege"));
    // A query-only handle may not adjust.
    auto query = ps.open_process_token(platform::token_access::kQuery);
    EXPECT_EQ(ps.adjust_token_privileges(query.value, {{shutdown, 0}}).status, 5u);
    EXPECT_EQ(ps.token_groups(query.value, ps.token_groups_size(query.value) - 1).status, 122u);
    ps.close_handle(query.value);
    ps.close_handle(token.value);
    EXPECT_EQ(net->handles().open_count(HandleKind::Token), 0u);
}

TEST_F(ProcessesTest, GetUserNameFollowsTheThreadsToken) {
    auto& security = platform::current().security();
    EXPECT_EQ(security.user_name().value, u"Administrator");
    auto logon = ps.logon_user(u"jsmith", u"CORP", u"Secret#jsmith", 2, 0);
    ASSERT_TRUE(logon.ok());
    ASSERT_EQ(ps.impersonate(logon.value), 0u);
    EXPECT_EQ(security.user_name().value, u"jsmith");
    auto thread = ps.open_thread_token(platform::token_access::kQuery, true);
    EXPECT_TRUE(thread.ok());
    ps.close_handle(thread.value);
    ASSERT_EQ(ps.revert_to_self(), 0u);
    EXPECT_EQ(security.user_name().value, u"Administrator");
    EXPECT_EQ(ps.open_thread_token(platform::token_access::kQuery, true).status, 1008u);
    EXPECT_EQ(ps.logon_user(u"jsmith", u"CORP", u"Secret#jsmith", 9, 0).status, 87u);
    ps.close_handle(logon.value);
    EXPECT_EQ(net->handles().open_count(), 0u);
}

TEST_F(ProcessesTest, WindowObjectsNeedTheirAccessRights) {
    auto borrowed = ps.process_window_station();
    ASSERT_TRUE(borrowed.ok());
    EXPECT_EQ(ps.window_object_access(borrowed.value).status, 5u);  // not opened for reading it
    EXPECT_EQ(ps.open_window_station(u"Service-0x0-3e7$", 0x60000).status, 2u);
    auto read_only = ps.open_desktop(u"DEFAULT", 0x20000);
    ASSERT_TRUE(read_only.ok());
    auto list = ps.window_object_access(read_only.value);
    ASSERT_TRUE(list.ok());
    EXPECT_EQ(ps.set_window_object_access(read_only.value, list.value), 5u);
    EXPECT_EQ(ps.close_desktop(read_only.value), 0u);
    EXPECT_EQ(ps.close_window_station(read_only.value), 6u);
    // Granting twice merges into the trustee's one entry.
    const auto everyone = platform::sid::everyone();
    auto once = platform::grant_access({}, everyone, 0x1);
    auto twice = platform::grant_access(once, everyone, 0x2);
    ASSERT_EQ(twice.size(), 1u);
    EXPECT_EQ(twice[0].mask, 0x3u);
    EXPECT_EQ(net->handles().open_count(), 0u);
}

}  // namespace
}  // namespace vorlek
