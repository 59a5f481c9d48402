// The simulated local security authority's contract: what a policy may be
// opened for, the statuses of the three right calls, a change that is
// refused in part changing nothing, and the tokens of logons that take
// their privileges from it.
#include <gtest/gtest.h>

#include "tests/support/simulated.h"

#include "platform/lsa.h"
#include "platform/platform.h"
#include "platform/processes.h"
#include "platform/sim/accounts.h"
#include "platform/sim/lsa.h"

namespace vorlek {
namespace {

namespace pol = platform::policy_access;
using platform::Sid;

class LsaTest : public testing_support::SimulatedTest {
  protected:
    platform::Lsa& lsa = platform::current().lsa();
    Sid users = platform::sid::builtin_alias(platform::sid::rid::kUsers);

    std::vector<String> token_privileges(const sim::SimToken& t) {
        std::vector<String> out;
        for (const auto& p : t.privileges)
            out.emplace_back(*platform::privilege_name(p.luid));
        return out;
    }
};

TEST_F(LsaTest, LogonTokensTakeTheirPrivilegesFromTheAuthority) {
    // The script host runs as WS0001's Administrator.
    const auto& admin = sim::caller_token(*net);
    EXPECT_EQ(token_privileges(admin),
              (std::vector<String>{
                  u"SeIncreaseQuotaPrivilege", u"SeSecurityPrivilege", u"SeTakeOwnershipPrivilege",
                  u"SeLoadDriverPrivilege", u"SeSystemProfilePrivilege", u"SeSystemtimePrivilege",
                  u"SeProfileSingleProcessPrivilege", u"SeIncreaseBasePriorityPrivilege",
                  u"SeCreatePagefilePrivilege", u"SeBackupPrivilege", u"SeRestorePrivilege",
                  u"SeShutdownPrivilege", u"SeDebugPrivilege", u"SeSystemEnvironmentPrivilege",
                  u"SeChangeNotifyPrivilege", u"SeRemoteShutdownPrivilege", u"SeUndockPrivilege"}));
    EXPECT_TRUE(admin.enabled(u"SeChangeNotifyPrivilege"));
    EXPECT_FALSE(admin.enabled(u"SeBackupPrivilege"));
    auto& db = sim::account_database(*net, net->local());
    const Sid kiosk = db.domain_sid.with_rid(db.find(u"kiosk")->second);
    auto plain = sim::make_token(*net, net->local(), kiosk);
    EXPECT_EQ(token_privileges(*plain),
              (std::vector<String>{u"SeShutdownPrivilege", u"SeChangeNotifyPrivilege",
                                   u"SeUndockPrivilege"}));
    // A right of one of its groups reaches the next token made.
    auto policy = lsa.open_policy(u"", pol::kLookupNames | pol::kCreateAccount);
    ASSERT_EQ(policy.status, 0u);
    ASSERT_EQ(lsa.add_account_rights(policy.value, users, {u"SeDebugPrivilege"}), 0u);
    EXPECT_EQ(token_privileges(*plain).size(), 3u);
    EXPECT_EQ(token_privileges(*sim::make_token(*net, net->local(), kiosk)).size(), 4u);
    EXPECT_EQ(lsa.close(policy.value), 0u);
}

TEST_F(LsaTest, StatusesOfTheRightCalls) {
    auto policy = lsa.open_policy(
        u"\\\\WS0001", pol::kLookupNames | pol::kViewLocalInformation | pol::kCreateAccount);
    ASSERT_EQ(policy.status, 0u);
    const auto h = policy.value;
    EXPECT_EQ(lsa.accounts_with_right(h, u"SeTcbPrivilege").status, 259u);
    EXPECT_EQ(lsa.accounts_with_right(h + 1, u"SeTcbPrivilege").status, 6u);
    // One name that is no right refuses the whole change.
    EXPECT_EQ(lsa.add_account_rights(h, users, {u"SeTcbPrivilege", u"SeNoSuchRight"}), 1313u);
    EXPECT_EQ(lsa.accounts_with_right(h, u"SeTcbPrivilege").status, 259u);
    EXPECT_EQ(lsa.add_account_rights(h, Sid(5, {32}, 0), {u"SeTcbPrivilege"}), 1337u);
    EXPECT_EQ(lsa.add_account_rights(h, users, {u"setcbprivilege", u"SeBatchLogonRight"}), 0u);
    EXPECT_EQ(lsa.accounts_with_right(h, u"SeTcbPrivilege").value, std::vector<Sid>{users});
    // Taking every right leaves the account object, without rights.
    EXPECT_EQ(lsa.remove_account_rights(h, users, true, {}), 0u);
    EXPECT_EQ(lsa.accounts_with_right(h, u"SeBatchLogonRight").status, 259u);
    EXPECT_EQ(lsa.close(h), 0u);
    EXPECT_EQ(lsa.close(h), 6u);
    EXPECT_EQ(net->handles().open_count(), 0u);
}

}  // namespace
}  // namespace vorlek
