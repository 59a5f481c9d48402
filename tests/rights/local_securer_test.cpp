// LocalSecurer on the default network: the right names, the holders of a
// right on WS0001 (the local machine) and on DC01, rights granted and
// revoked and seen in the next logon's token, accounts the machine can no
// longer name, and every failure path with each policy closed.
#include <gtest/gtest.h>

#include "tests/support/simulated.h"

#include "bench/heap.h"

#include "library/client.h"
#include "platform/lsa.h"
#include "platform/platform.h"
#include "platform/sim/accounts.h"
#include "platform/sim/lsa.h"
#include "platform/sim/processes.h"
#include "platform/sim/security.h"
#include "platform/sim/servers.h"

namespace vorlek {
namespace {

constexpr StringView kPassword = u"Tester#2026";

class LocalSecurerTest : public testing_support::SimulatedTest {
  protected:
    client::Dispatch ls = client::create(u"Vorlek.LocalSecurer");

    void SetUp() override {
        auto& db = sim::account_database(*net, net->local());
        for (StringView name : {u"tester", u"spare"}) {
            auto& u = db.add_user(name, db.next_rid,
                                  platform::uf::kScript | platform::uf::kNormalAccount);
            u.password = String(kPassword);
            u.password_set = net->local().time.clock;
        }
    }

    int32_t init(String right, String machine = u"(localhost)") {
        return ls.call(u"InitPolicies", {std::move(right), std::move(machine)}).to_long();
    }
    // The keys of Policies, each with its item's validity.
    std::vector<String> holders() {
        std::vector<String> out;
        for (const auto& item : client::Dispatch(ls.get(u"Policies")).each()) {
            client::Dispatch i(item);
            const String domain = i.get(u"PolicyAccountDomain").to_string();
            out.push_back((domain.empty() ? String() : domain + u"\\") +
                          i.get(u"PolicyAccount").to_string());
        }
        return out;
    }
    bool holds(StringView account, String right) {
        if (init(std::move(right)) != 0) return false;
        const auto all = holders();
        return std::find(all.begin(), all.end(), account) != all.end();
    }
    // On a new object: a loaded one keeps its fields and grants them again.
    Variant add(String right, String account, String domain = u"", String computer = u"") {
        ls = client::create(u"Vorlek.LocalSecurer");
        ls.let(u"PolicyString", {std::move(right)});
        ls.let(u"PolicyAccount", {std::move(account)});
        ls.let(u"PolicyAccountDomain", {std::move(domain)});
        ls.let(u"Computer", {std::move(computer)});
        return ls.call(u"AddPolicyRight");
    }
    int32_t remove(String right, String account, String domain = u"\\??\\",
                   String machine = u"(localhost)") {
        return ls
            .call(u"DeletePolicyRight",
                  {std::move(right), std::move(account), std::move(domain), std::move(machine)})
            .to_long();
    }
    // The privileges of a new logon of `user` at WS0001, as a process
    // started as that user runs with.
    std::vector<String> logon_privileges(StringView user) {
        client::Dispatch p = client::create(u"Vorlek.Process");
        const uint32_t before = table().next_pid;
        EXPECT_EQ(p.call(u"StartProcess",
                         {u"notepad.exe", 0, true, String(user), String(kPassword), u"."})
                      .to_long(),
                  0);
        std::vector<String> out;
        if (const sim::SimProcess* started = table().find(before)) {
            for (const auto& s : started->token->privileges)
                out.emplace_back(*platform::privilege_name(s.luid));
        }
        return out;
    }
    static bool contains(const std::vector<String>& list, StringView item) {
        return std::find(list.begin(), list.end(), item) != list.end();
    }
    sim::ProcessesState& table() { return sim::process_table(*net, net->local()); }
    size_t open_policies() { return net->handles().open_count(sim::HandleKind::LsaPolicy); }
};

TEST_F(LocalSecurerTest, PolicyStringsAreTheProcessConstantsJoined) {
    const String all = ls.call(u"GetPolicyStrings").to_string();
    EXPECT_TRUE(all.starts_with(u"SeAssignPrimaryTokenPrivilege;SeAuditPrivilege;"));
    EXPECT_TRUE(all.ends_with(u"SeTcbPrivilege;SeUnsolicitedInputPrivilege"));
    EXPECT_EQ(std::count(all.begin(), all.end(), u';'), 27);
    const String spaced = ls.call(u"GetPolicyStrings", {u", "}).to_string();
    EXPECT_EQ(spaced.size(), all.size() + 27);
}

TEST_F(LocalSecurerTest, HoldersOfTheStandardRights) {
    const struct {
        StringView right;
        StringView machine;
        std::vector<String> holders;
        StringView computer = u"WS0001";
    } cases[] = {
        {u"SeBackupPrivilege", u"", {u"BUILTIN\\Administrators", u"BUILTIN\\Backup Operators"}},
        {u"SeInteractiveLogonRight",
         u"\\\\\\ws0001",
         {u"BUILTIN\\Administrators", u"BUILTIN\\Backup Operators", u"BUILTIN\\Power Users",
          u"BUILTIN\\Users", u"BUILTIN\\Guests"}},
        // A server lets only administrators and operators shut it down.
        {u"SeShutdownPrivilege",
         u"\\\\SRV01",
         {u"BUILTIN\\Administrators", u"BUILTIN\\Backup Operators", u"BUILTIN\\Power Users"},
         u"\\\\SRV01"},
        {u"SeMachineAccountPrivilege",
         u"dc01",
         {u"NT AUTHORITY\\Authenticated Users"},
         u"\\\\DC01"},
        {u"SeTcbPrivilege", u"(localhost)", {}},
        {u"sebackupprivilege",
         u"DC02",
         {u"BUILTIN\\Administrators", u"BUILTIN\\Backup Operators", u"BUILTIN\\Server Operators"},
         u"\\\\DC02"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(to_utf8(c.right) + " on " + to_utf8(c.machine));
        ASSERT_EQ(init(String(c.right), String(c.machine)), 0);
        EXPECT_EQ(holders(), c.holders);
        for (const auto& item : client::Dispatch(ls.get(u"Policies")).each()) {
            client::Dispatch i(item);
            EXPECT_TRUE(i.get(u"Valid").to_bool());
            EXPECT_EQ(i.get(u"PolicyString").to_string(), c.right);
            EXPECT_EQ(i.get(u"Computer").to_string(), c.computer);
        }
        EXPECT_EQ(open_policies(), 0u);
    }
}

TEST_F(LocalSecurerTest, GrantedAndRevokedRightsShowInTheNextLogon) {
    EXPECT_FALSE(contains(logon_privileges(u"tester"), u"SeBackupPrivilege"));
    const Variant added = add(u"SeBackupPrivilege", u"tester");
    EXPECT_EQ(added.type(), VarType::Integer);
    EXPECT_EQ(added.to_long(), 0);
    EXPECT_TRUE(ls.get(u"Valid").to_bool());
    EXPECT_EQ(ls.get(u"PolicyAccountDomain").to_string(), u"WS0001");
    EXPECT_EQ(ls.get(u"PolicyAccountType").to_string(), u"AccTypeUser");
    EXPECT_EQ(ls.get(u"Computer").to_string(), u"WS0001");
    // Loaded: the lets change nothing until the next AddPolicyRight resets it.
    ls.let(u"PolicyAccount", {u"spare"});
    EXPECT_EQ(ls.get(u"PolicyAccount").to_string(), u"tester");

    const auto granted = logon_privileges(u"tester");
    EXPECT_TRUE(contains(granted, u"SeBackupPrivilege"));
    EXPECT_TRUE(holds(u"WS0001\\tester", u"SeBackupPrivilege"));
    EXPECT_EQ(add(u"SeServiceLogonRight", u"tester").to_long(), 0);
    EXPECT_TRUE(holds(u"WS0001\\tester", u"SeServiceLogonRight"));
    EXPECT_EQ(logon_privileges(u"tester").size(), granted.size());

    EXPECT_EQ(remove(u"SeBackupPrivilege", u"tester"), 0);
    EXPECT_FALSE(contains(logon_privileges(u"tester"), u"SeBackupPrivilege"));
    // Removing a right the account does not hold changes nothing; an account
    // that never held one is unknown to the authority.
    EXPECT_EQ(remove(u"SeBackupPrivilege", u"tester"), 0);
    EXPECT_EQ(remove(u"SeBackupPrivilege", u"spare"), 2);
    EXPECT_EQ(open_policies(), 0u);
}

TEST_F(LocalSecurerTest, DomainAccountsAreLookedUpOnThePrimaryController) {
    EXPECT_EQ(add(u"SeBatchLogonRight", u"jsmith", u"CORP", u"\\\\WS0001").to_long(), 0);
    EXPECT_EQ(ls.get(u"PolicyAccountDomain").to_string(), u"CORP");
    EXPECT_TRUE(holds(u"CORP\\jsmith", u"SeBatchLogonRight"));
    // The right granted on DC01 is DC01's.
    EXPECT_EQ(add(u"SeTcbPrivilege", u"jsmith", u"", u"DC01").to_long(), 0);
    EXPECT_EQ(ls.get(u"Computer").to_string(), u"\\\\DC01");
    ASSERT_EQ(init(u"SeTcbPrivilege", u"\\\\DC01"), 0);
    EXPECT_EQ(holders(), std::vector<String>{u"CORP\\jsmith"});
}

TEST_F(LocalSecurerTest, AccountsTheMachineCannotNameAreListedAsNoneMapped) {
    auto& db = sim::account_database(*net, net->local());
    for (StringView user : {u"tester", u"spare"})
        ASSERT_EQ(add(u"SeLockMemoryPrivilege", String(user)).to_long(), 0);
    db.remove_user(db.find(u"tester")->second);
    ASSERT_EQ(init(u"SeLockMemoryPrivilege"), 0);
    EXPECT_EQ(holders(), (std::vector<String>{u"NONE_MAPPED\\NONE_MAPPED", u"WS0001\\spare"}));
    client::Dispatch orphan(client::Dispatch(ls.get(u"Policies")).call(u"Item", {1}));
    EXPECT_FALSE(orphan.get(u"Valid").to_bool());
    EXPECT_EQ(orphan.get(u"PolicyAccountType").to_string(), u"AccTypeInvalid");
    // The deleted account still holds the right, and no new logon can use it.
    EXPECT_EQ(remove(u"SeLockMemoryPrivilege", u"tester"), 1332);
    // Two of them share one key: the second ends the listing with 457,
    // the first stays.
    db.remove_user(db.find(u"spare")->second);
    EXPECT_EQ(init(u"SeLockMemoryPrivilege"), 457);
    EXPECT_EQ(holders(), std::vector<String>{u"NONE_MAPPED\\NONE_MAPPED"});
    EXPECT_EQ(open_policies(), 0u);
}

TEST_F(LocalSecurerTest, ListedItemsStaySmall) {
    if (!bench::kHeapCounted) GTEST_SKIP() << "the heap is not counted here";
    constexpr int kItems = 2000;
    auto& db = sim::account_database(*net, net->local());
    auto& lsa = platform::current().lsa();
    const auto policy = lsa.open_policy(
        u"", platform::policy_access::kLookupNames | platform::policy_access::kCreateAccount);
    for (int i = 0; i < kItems; ++i) {
        const uint32_t id = db.next_rid;
        db.add_user(u"batch" + decimal(1000 + i), id, platform::uf::kNormalAccount);
        ASSERT_EQ(lsa.add_account_rights(policy.value, db.domain_sid.with_rid(id),
                                         {u"SeBatchLogonRight"}),
                  0u);
    }
    lsa.close(policy.value);
    const double per_item = bench::heap_per_item(kItems, [&](auto held) {
        ASSERT_EQ(init(u"SeBatchLogonRight"), 0);
        held();
    });
    // Beyond the account, domain, type, computer and right, and the key.
    EXPECT_LE(per_item, 300 + 2 * (9 + 6 + 4 + 0 + 17 + 16) + 2 * 5);
}

TEST_F(LocalSecurerTest, BadInputIsRefusedAndChangesNothing) {
    const String nul(u"SeBackup\0Privilege", 18), nul_machine(u"WS\0x", 4);
    const struct {
        StringView what;
        std::function<int32_t()> run;
        int32_t expected;
    } cases[] = {
        {u"no right", [&] { return init(u""); }, -541},
        {u"not a right", [&] { return init(u"SeBogusRight"); }, 1313},
        {u"over-long right", [&] { return init(String(40000, u'x')); }, 1313},
        {u"a constant the authority does not know",
         [&] { return init(u"SeUnsolicitedInputPrivilege"); }, 1313},
        {u"NUL in the right", [&] { return init(nul); }, 123},
        {u"NUL in the machine", [&] { return init(u"SeBackupPrivilege", nul_machine); }, 123},
        {u"machine that does not answer", [&] { return init(u"SeBackupPrivilege", u"SRV03"); }, 53},
        {u"add without an account", [&] { return add(u"SeBackupPrivilege", u"").to_long(); }, -545},
        {u"add a right that is none", [&] { return add(u"SeBogusRight", u"tester").to_long(); },
         1313},
        {u"add for nobody", [&] { return add(u"SeBackupPrivilege", u"nobody").to_long(); }, 1332},
        {u"add in a domain nobody knows",
         [&] { return add(u"SeBackupPrivilege", u"tester", u"NODOMAIN").to_long(); }, 2453},
        {u"add with NUL in the account",
         [&] { return add(u"SeBackupPrivilege", String(u"test\0er", 7)).to_long(); }, 123},
        {u"delete without an account", [&] { return remove(u"SeBackupPrivilege", u""); }, -545},
        {u"delete a right that is none", [&] { return remove(u"SeBogusRight", u"tester"); }, 1313},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(to_utf8(c.what));
        EXPECT_EQ(c.run(), c.expected);
        EXPECT_EQ(open_policies(), 0u);
        EXPECT_FALSE(ls.get(u"Valid").to_bool());
    }
    EXPECT_EQ(logon_privileges(u"tester"),
              (std::vector<String>{u"SeShutdownPrivilege", u"SeChangeNotifyPrivilege",
                                   u"SeUndockPrivilege"}));
    // A refused AddPolicyRight leaves the object reset.
    EXPECT_EQ(ls.get(u"PolicyAccount").to_string(), u"");
    EXPECT_EQ(ls.get(u"PolicyString").to_string(), u"");
}

TEST_F(LocalSecurerTest, ANonAdministratorIsRefused) {
    auto& ps = platform::current().processes();
    auto token = ps.logon_user(u"tester", u".", kPassword, 2, 0);
    ASSERT_TRUE(token.ok());
    ASSERT_EQ(ps.impersonate(token.value), 0u);
    EXPECT_EQ(init(u"SeBackupPrivilege"), 5);
    EXPECT_EQ(add(u"SeBackupPrivilege", u"tester").to_long(), 5);
    EXPECT_EQ(remove(u"SeShutdownPrivilege", u"Everyone"), 5);
    ps.revert_to_self();
    ps.close_handle(token.value);
    EXPECT_FALSE(holds(u"WS0001\\tester", u"SeBackupPrivilege"));
    EXPECT_EQ(open_policies(), 0u);
}

TEST_F(LocalSecurerTest, EveryFailingStepIsReportedAndThePolicyClosed) {
    namespace op = sim::op;
    const struct {
        const sim::Operation* step;
        std::function<int32_t()> run;
    } cases[] = {
        {&op::LsaOpenPolicy, [&] { return init(u"SeBackupPrivilege"); }},
        {&op::LsaEnumerateAccountsWithUserRight, [&] { return init(u"SeBackupPrivilege"); }},
        {&op::LookupAccountSid, [&] { return init(u"SeBackupPrivilege"); }},
        {&op::LsaOpenPolicy, [&] { return add(u"SeBackupPrivilege", u"tester").to_long(); }},
        {&op::LookupAccountName, [&] { return add(u"SeBackupPrivilege", u"tester").to_long(); }},
        {&op::NetGetDCName,
         [&] { return add(u"SeBackupPrivilege", u"jsmith", u"CORP").to_long(); }},
        {&op::LsaAddAccountRights, [&] { return add(u"SeBackupPrivilege", u"tester").to_long(); }},
        {&op::LsaOpenPolicy, [&] { return remove(u"SeShutdownPrivilege", u"Everyone"); }},
        {&op::LookupAccountName, [&] { return remove(u"SeShutdownPrivilege", u"Everyone"); }},
        {&op::NetGetDCName, [&] { return remove(u"SeShutdownPrivilege", u"jsmith", u"CORP"); }},
        {&op::LsaRemoveAccountRights, [&] { return remove(u"SeShutdownPrivilege", u"Everyone"); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(to_utf8(c.step->name));
        net->faults().fail(*c.step, 1722);
        EXPECT_EQ(c.run(), 1722);
        net->faults().clear();
        EXPECT_EQ(open_policies(), 0u);
        EXPECT_FALSE(ls.get(u"Valid").to_bool());
    }
    EXPECT_FALSE(holds(u"WS0001\\tester", u"SeBackupPrivilege"));
    EXPECT_TRUE(holds(u"Everyone", u"SeShutdownPrivilege"));
    // The close is the last step: its failure is the result.
    net->faults().fail(sim::op::LsaClose, 6);
    EXPECT_EQ(init(u"SeBackupPrivilege"), 6);
    EXPECT_EQ(holders().size(), 2u);
}

}  // namespace
}  // namespace vorlek
