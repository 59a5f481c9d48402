// The simulated account store's contract: statuses, batches, the records
// the reads give and what each write changes, on the default network
// (CORP's database on DC01, shared by its backup DC02; WS0001's own).
#include <gtest/gtest.h>

#include <chrono>
#include <map>
#include <optional>

#include "tests/support/simulated.h"

#include "platform/accounts.h"
#include "platform/sim/accounts.h"
#include "platform/sim/network.h"
#include "platform/sim/security.h"

namespace vorlek {
namespace {

namespace uf = platform::uf;
using platform::Batch;
using platform::SidUsage;
using platform::UserInfo;

class AccountsTest : public testing_support::SimulatedTest {
  protected:
    platform::Accounts& acc = platform::current().accounts();
    uint32_t parm_err = 0;

    UserInfo user(StringView server, StringView name) {
        auto r = acc.user_info(server, name, 3);
        EXPECT_EQ(r.status, 0u) << to_utf8(name);
        return r.value;
    }
    // Every name of an enumeration, in batches of about `bytes`; checks that
    // each batch reports the entries left from its start.
    template <class Enumerate>
    std::vector<String> walk(Enumerate&& enumerate, uint32_t bytes, size_t* calls = nullptr) {
        std::vector<String> out;
        uint32_t resume = 0;
        std::optional<uint32_t> left;  // what the previous batch said was left after it
        for (size_t n = 1;; ++n) {
            auto r = enumerate(bytes, resume);
            const uint32_t read = static_cast<uint32_t>(r.value.entries.size());
            EXPECT_TRUE(r.status == 0 || r.status == 234) << r.status;
            if (left) {
                EXPECT_EQ(r.value.total_entries, *left);
            }
            left = r.value.total_entries - read;
            out.insert(out.end(), r.value.entries.begin(), r.value.entries.end());
            if (r.status != 234) {
                EXPECT_EQ(read, r.value.total_entries);
                EXPECT_EQ(resume, 0u);
                if (calls) *calls = n;
                return out;
            }
            EXPECT_GT(r.value.total_entries, read);
        }
    }
    std::vector<String> users(StringView server, uint32_t filter, uint32_t bytes = 0xFFFFFFFF) {
        return walk(
            [&](uint32_t b, uint32_t& resume) { return acc.enum_users(server, filter, b, resume); },
            bytes);
    }
    std::vector<String> members(StringView server, StringView group) {
        std::vector<String> out;
        uint32_t resume = 0;
        for (const auto& m :
             acc.local_group_members(server, group, 0xFFFFFFFF, resume).value.entries)
            out.push_back(m.domain_and_name);
        return out;
    }
};

TEST_F(AccountsTest, EnumerationComesInBatchesAndFiltersByAccountType) {
    const auto all = users(u"DC01", 0);
    ASSERT_EQ(all.size(), 2u + 17 + 8);  // built-in, people (one removed), machines
    EXPECT_EQ(all[0], u"Administrator");
    size_t calls = 0;
    auto batched =
        walk([&](uint32_t b, uint32_t& resume) { return acc.enum_users(u"DC01", 0, b, resume); },
             100, &calls);
    EXPECT_EQ(batched, all);
    EXPECT_GT(calls, 5u);
    // The backup answers from the same database.
    EXPECT_EQ(users(u"DC02", 0), all);

    const struct {
        uint32_t filter;
        std::vector<String> names;
    } filters[] = {
        {0x08, {u"PARTNER$"}},
        {0x10, {u"SRV01$", u"SRV02$", u"SRV03$", u"WS0001$", u"WS0002$", u"WS0003$"}},
        {0x20, {u"DC02$"}},
        {0x28, {u"DC02$", u"PARTNER$"}},
    };
    for (const auto& f : filters)
        EXPECT_EQ(users(u"DC01", f.filter), f.names) << f.filter;
    EXPECT_EQ(users(u"DC01", platform::filter::kNormalAccount).size(), 2u + 17);
    uint32_t resume = 0;
    EXPECT_EQ(acc.enum_users(u"DC01", 0x04, 0xFFFFFFFF, resume).status, 87u);
    EXPECT_EQ(acc.enum_users(u"LABPC1", 0, 0xFFFFFFFF, resume).status, 5u);  // stand-alone
    EXPECT_EQ(acc.enum_users(u"SRV03", 0, 0xFFFFFFFF, resume).status, 53u);
    EXPECT_EQ(acc.enum_users(u"", 0, 0xFFFFFFFF, resume = 12345).status, 87u);  // no such walk
}

TEST_F(AccountsTest, EnumeratingAHundredThousandUsersIsLinear) {
    sim::AccountDatabase& db = sim::account_database(*net, net->local());
    for (uint32_t i = 0; i < 100000; ++i)
        db.add_user(u"user" + decimal(i), db.next_rid, uf::kScript | uf::kNormalAccount);
    const auto start = std::chrono::steady_clock::now();
    size_t calls = 0;
    auto names =
        walk([&](uint32_t b, uint32_t& resume) { return acc.enum_users(u"", 0, b, resume); }, 4096,
             &calls);
    EXPECT_EQ(acc.user_info(u"", u"USER99999", 3).value.user_id, db.next_rid - 1);
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(names.size(), 100000u + 2 + 3);
    EXPECT_GT(calls, 100u);
    // Linear takes well under a second even under the sanitizers; a
    // quadratic walk takes minutes. The margin is for a loaded machine.
    EXPECT_LT(took, std::chrono::seconds(5));
}

TEST_F(AccountsTest, UserRecordsDeriveWhatTheSystemComputes) {
    const UserInfo j = user(u"DC01", u"JSMITH");
    EXPECT_EQ(j.name, u"jsmith");
    EXPECT_EQ(j.priv, platform::kUserPrivAdmin);  // Domain Admins is one of the Administrators
    EXPECT_EQ(j.password_age, 12u * 86400);
    EXPECT_EQ(j.password, u"");
    EXPECT_EQ(j.acct_expires, platform::kTimeqForever);
    EXPECT_EQ(j.units_per_week, 168u);
    EXPECT_EQ(j.logon_hours, std::vector<uint8_t>(21, 0xFF));
    EXPECT_EQ(j.primary_group_id, 513u);
    EXPECT_EQ(j.logon_server, u"\\\\*");
    EXPECT_EQ(j.password_expired, 0u);
    // Each controller keeps its own counters.
    EXPECT_EQ(j.num_logons, 412u);
    EXPECT_EQ(user(u"DC02", u"jsmith").num_logons, 97u);

    EXPECT_EQ(user(u"DC01", u"Guest").priv, platform::kUserPrivGuest);
    EXPECT_EQ(user(u"DC01", u"bjohnson").auth_flags, platform::kAfOpAccounts);  // via Helpdesk
    EXPECT_EQ(user(u"DC01", u"printadmin").auth_flags, platform::kAfOpPrint);
    EXPECT_EQ(user(u"DC01", u"pdubois").password_expired, 1u);     // set to change it
    EXPECT_EQ(user(u"DC01", u"mmueller").password_expired, 0u);    // 30 of 90 days
    EXPECT_EQ(user(u"DC01", u"svc_backup").password_expired, 0u);  // never expires
    EXPECT_EQ(user(u"DC01", u"kwilliams").password_expired, 1u);   // 200 of 90 days
    EXPECT_NE(user(u"DC01", u"reception").logon_hours, std::vector<uint8_t>(21, 0xFF));
    EXPECT_EQ(user(u"DC01", u"dbrown").flags & uf::kLockout, uf::kLockout);
    EXPECT_EQ(user(u"DC01", u"WS0001$").flags, uf::kScript | uf::kWorkstationTrustAccount);

    auto two = acc.user_info(u"DC01", u"jsmith", 2);
    EXPECT_EQ(two.value.user_id, 0u);  // level 2 ends at the code page
    EXPECT_EQ(two.value.full_name, u"John Smith");
    EXPECT_EQ(acc.user_info(u"DC01", u"jsmith", 1).status, 124u);
    EXPECT_EQ(acc.user_info(u"DC01", u"nosuch", 3).status, 2221u);
    net->faults().fail(sim::op::NetUserGetInfo, 5);
    EXPECT_EQ(acc.user_info(u"DC01", u"jsmith", 3).status, 5u);
}

TEST_F(AccountsTest, EachSingleFieldLevelWritesItsField) {
    UserInfo in;
    in.home_dir = u"\\\\SRV01\\new";
    in.comment = u"desc";
    in.flags = uf::kScript | uf::kAccountDisable;  // no type: the account keeps its own
    in.script_path = u"new.cmd";
    in.full_name = u"Maria Mueller";
    in.usr_comment = u"user comment";
    in.parms = u"p";
    in.workstations = u"WS0001,WS0002";
    in.acct_expires = 1800000000;
    in.max_storage = 1000;
    in.logon_hours.assign(21, 0x0F);
    in.country_code = 49;
    in.code_page = 850;
    in.primary_group_id = 1001;  // Sales
    in.profile = u"\\\\SRV01\\p";
    in.home_dir_drive = u"P:";
    for (uint32_t level : {1006u, 1007u, 1008u, 1009u, 1011u, 1012u, 1013u, 1014u, 1017u, 1018u,
                           1020u, 1024u, 1025u, 1051u, 1052u, 1053u})
        EXPECT_EQ(acc.set_user_info(u"DC01", u"mmueller", level, in, parm_err), 0u) << level;
    UserInfo out = user(u"DC01", u"mmueller");
    EXPECT_EQ(out.home_dir, in.home_dir);
    EXPECT_EQ(out.comment, in.comment);
    EXPECT_EQ(out.flags, uf::kScript | uf::kAccountDisable | uf::kNormalAccount);
    EXPECT_EQ(out.script_path, in.script_path);
    EXPECT_EQ(out.full_name, in.full_name);
    EXPECT_EQ(out.usr_comment, in.usr_comment);
    EXPECT_EQ(out.parms, in.parms);
    EXPECT_EQ(out.workstations, in.workstations);
    EXPECT_EQ(out.acct_expires, in.acct_expires);
    EXPECT_EQ(out.max_storage, in.max_storage);
    EXPECT_EQ(out.logon_hours, in.logon_hours);
    EXPECT_EQ(out.country_code, in.country_code);
    EXPECT_EQ(out.code_page, in.code_page);
    EXPECT_EQ(out.primary_group_id, in.primary_group_id);
    EXPECT_EQ(out.profile, in.profile);
    EXPECT_EQ(out.home_dir_drive, in.home_dir_drive);

    // Level 1 (how an account changes its type): an empty text is none.
    UserInfo one;
    one.name = u"mmueller";
    one.flags = uf::kScript | uf::kTempDuplicateAccount;
    EXPECT_EQ(acc.set_user_info(u"DC01", u"mmueller", 1, one, parm_err), 0u);
    out = user(u"DC01", u"mmueller");
    EXPECT_EQ(out.flags & uf::kAccountTypeMask, uf::kTempDuplicateAccount);
    EXPECT_EQ(out.script_path, u"new.cmd");

    // Level 3 writes the record back whole, and password_expired with it.
    out.password_expired = 1;
    out.comment = u"via level 3";
    EXPECT_EQ(acc.set_user_info(u"DC01", u"mmueller", 3, out, parm_err), 0u);
    EXPECT_EQ(user(u"DC01", u"mmueller").comment, u"via level 3");
    EXPECT_EQ(user(u"DC01", u"mmueller").password_expired, 1u);
    EXPECT_EQ(acc.set_user_info(u"DC01", u"mmueller", 2, out, parm_err), 124u);
    EXPECT_EQ(acc.set_user_info(u"DC01", u"nosuch", 1007, out, parm_err), 2221u);
}

TEST_F(AccountsTest, RefusedWritesNameTheFieldAndChangeNothing) {
    const UserInfo before = user(u"DC01", u"tnguyen");
    const struct {
        uint32_t level;
        void (*change)(UserInfo&);
        uint32_t status;
        uint32_t field;
    } cases[] = {
        {1014, [](UserInfo& u) { u.workstations = u"A,B,C,D,E,F,G,H,I"; }, 87, 14},
        {1008, [](UserInfo& u) { u.flags = uf::kNormalAccount | uf::kServerTrustAccount; }, 87, 8},
        {1008, [](UserInfo& u) { u.flags = uf::kNormalAccount | uf::kLockout; }, 87, 8},
        {1020, [](UserInfo& u) { u.logon_hours.assign(20, 0); }, 87, 20},
        {1020, [](UserInfo& u) { u.units_per_week = 24; }, 87, 19},
        {1007, [](UserInfo& u) { u.comment.assign(257, u'x'); }, 87, 7},
        {1003, [](UserInfo& u) { u.password = u"short"; }, 2245, 0},
        {1003, [](UserInfo& u) { u.password.assign(257, u'x'); }, 87, 3},
        {1003, [](UserInfo& u) { u.password = u"Secret#tnguyen"; }, 2245, 0},  // the current one
        {1051, [](UserInfo& u) { u.primary_group_id = 1001; }, 1321, 0},       // not in Sales
        {0, [](UserInfo& u) { u.name = u"JSMITH"; }, 2224, 0},
        {0, [](UserInfo& u) { u.name = u"sales"; }, 2223, 0},
        {0, [](UserInfo& u) { u.name = u"a/b"; }, 2202, 0},
        {0, [](UserInfo& u) { u.name = u"averyveryverylongname1"; }, 2202, 0},
        // Level 3 is checked whole: a bad field anywhere keeps every other one.
        {3,
         [](UserInfo& u) {
             u.comment = u"changed";
             u.workstations = u"1,2,3,4,5,6,7,8,9";
         },
         87, 14},
    };
    for (const auto& c : cases) {
        UserInfo in = before;
        c.change(in);
        parm_err = 0;
        EXPECT_EQ(acc.set_user_info(u"DC01", u"tnguyen", c.level, in, parm_err), c.status)
            << c.level;
        if (c.field) {
            EXPECT_EQ(parm_err, c.field) << c.level;
        }
    }
    const UserInfo after = user(u"DC01", u"tnguyen");
    EXPECT_EQ(after.comment, before.comment);
    EXPECT_EQ(after.flags, before.flags);
    EXPECT_EQ(after.password_age, before.password_age);

    // A backup controller refuses every write.
    EXPECT_EQ(acc.set_user_info(u"DC02", u"tnguyen", 1007, before, parm_err), 2226u);
    EXPECT_EQ(acc.add_user(u"DC02", 1, before, parm_err), 2226u);
    EXPECT_EQ(acc.delete_user(u"DC02", u"tnguyen"), 2226u);
    EXPECT_EQ(acc.add_group_user(u"DC02", u"Sales", u"tnguyen"), 2226u);
}

TEST_F(AccountsTest, PasswordsFollowTheDomainPolicy) {
    UserInfo in;
    // The history remembers five: the current and four before it.
    const String used[] = {u"Password1", u"Password2", u"Password3", u"Password4"};
    for (const String& p : used) {
        in.password = p;
        ASSERT_EQ(acc.set_user_info(u"DC01", u"lchen", 1003, in, parm_err), 0u);
    }
    EXPECT_EQ(user(u"DC01", u"lchen").password_age, 0u);
    for (StringView again : {u"Password1", u"Password4", u"Secret#lchen"}) {
        in.password = String(again);
        EXPECT_EQ(acc.set_user_info(u"DC01", u"lchen", 1003, in, parm_err), 2245u)
            << to_utf8(again);
    }
    in.password = u"Password5";
    EXPECT_EQ(acc.set_user_info(u"DC01", u"lchen", 1003, in, parm_err), 0u);
    in.password = u"Secret#lchen";  // six back: forgotten
    EXPECT_EQ(acc.set_user_info(u"DC01", u"lchen", 1003, in, parm_err), 0u);

    // Unlocking clears the bit; a new password ends "must change".
    in.flags = uf::kScript | uf::kNormalAccount;
    EXPECT_EQ(acc.set_user_info(u"DC01", u"dbrown", 1008, in, parm_err), 0u);
    EXPECT_EQ(user(u"DC01", u"dbrown").flags & uf::kLockout, 0u);
    in.password = u"NewPassword";
    EXPECT_EQ(acc.set_user_info(u"DC01", u"pdubois", 1003, in, parm_err), 0u);
    EXPECT_EQ(user(u"DC01", u"pdubois").password_expired, 0u);
}

TEST_F(AccountsTest, AddingAndDeletingUsers) {
    UserInfo in;
    in.name = u"newbie";
    in.password = u"LongEnough1";
    in.comment = u"New hire";
    in.flags = uf::kScript;
    EXPECT_EQ(acc.add_user(u"DC01", 2, in, parm_err), 124u);
    for (const auto& [name, status] : std::vector<std::pair<String, uint32_t>>{
             {u"ADMINISTRATOR", 2224}, {u"Domain Users", 2223}, {u"bad:name", 2202}, {u"", 2202}}) {
        UserInfo taken = in;
        taken.name = name;
        EXPECT_EQ(acc.add_user(u"DC01", 1, taken, parm_err), status) << to_utf8(name);
    }
    UserInfo admin = in;
    admin.priv = platform::kUserPrivAdmin;
    EXPECT_EQ(acc.add_user(u"DC01", 1, admin, parm_err), 87u);
    EXPECT_EQ(parm_err, 5u);
    UserInfo weak = in;
    weak.password = u"short";
    EXPECT_EQ(acc.add_user(u"DC01", 1, weak, parm_err), 2245u);

    ASSERT_EQ(acc.add_user(u"DC01", 1, in, parm_err), 0u);
    const UserInfo made = user(u"DC01", u"newbie");
    EXPECT_EQ(made.user_id, 1032u);  // after every RID handed out, the removed one included
    EXPECT_EQ(made.flags, uf::kScript | uf::kNormalAccount);
    EXPECT_EQ(made.comment, u"New hire");
    EXPECT_EQ(made.password_age, 0u);
    EXPECT_EQ(acc.user_groups(u"DC01", u"newbie", 0xFFFFFFFF).value.entries,
              std::vector<String>{u"Domain Users"});

    EXPECT_EQ(acc.delete_user(u"DC01", u"Administrator"), 1371u);
    EXPECT_EQ(acc.delete_user(u"DC01", u"newbie"), 0u);
    EXPECT_EQ(acc.delete_user(u"DC01", u"newbie"), 2221u);
    uint32_t resume = 0;
    auto domain_users = acc.group_users(u"DC01", u"Domain Users", 0xFFFFFFFF, resume).value.entries;
    EXPECT_EQ(std::count(domain_users.begin(), domain_users.end(), u"newbie"), 0);

    // On a workstation a new user is one of its Users.
    in.password.clear();
    in.name = u"visitor";
    ASSERT_EQ(acc.add_user(u"", 1, in, parm_err), 0u);
    auto local = acc.user_local_groups(u"", u"visitor", 0, 0xFFFFFFFF).value.entries;
    EXPECT_EQ(local, std::vector<String>{u"Users"});
}

TEST_F(AccountsTest, GlobalGroupMembership) {
    EXPECT_EQ(acc.add_group_user(u"DC01", u"Sales", u"tnguyen"), 0u);
    EXPECT_EQ(acc.add_group_user(u"DC01", u"sales", u"TNGUYEN"), 2236u);
    EXPECT_EQ(acc.add_group_user(u"DC01", u"nosuch", u"tnguyen"), 2220u);
    EXPECT_EQ(acc.add_group_user(u"DC01", u"Sales", u"nosuch"), 2221u);
    EXPECT_EQ(acc.add_group_user(u"DC01", u"Administrators", u"tnguyen"), 2220u);  // an alias
    EXPECT_EQ(acc.user_groups(u"DC01", u"tnguyen", 0xFFFFFFFF).value.entries,
              (std::vector<String>{u"Domain Users", u"Sales", u"Engineering"}));  // by RID
    // A small buffer: what fits, 234, and the number there is.
    auto part = acc.user_groups(u"DC01", u"tnguyen", 10);
    EXPECT_EQ(part.status, 234u);
    EXPECT_EQ(part.value.entries.size(), 1u);
    EXPECT_EQ(part.value.total_entries, 3u);

    EXPECT_EQ(acc.delete_group_user(u"DC01", u"Sales", u"tnguyen"), 0u);
    EXPECT_EQ(acc.delete_group_user(u"DC01", u"Sales", u"tnguyen"), 2237u);
    EXPECT_EQ(acc.delete_group_user(u"DC01", u"Domain Users", u"tnguyen"), 1374u);  // primary

    platform::GroupInfo g{u"Project X", u"Temporary"};
    EXPECT_EQ(acc.add_group(u"DC01", 1, g, parm_err), 0u);
    EXPECT_EQ(acc.add_group(u"DC01", 1, g, parm_err), 2223u);
    EXPECT_EQ(acc.add_group(u"", 1, g, parm_err), 50u);  // a workstation keeps "None" alone
    auto info = acc.group_info(u"DC01", u"project x", 2).value;
    EXPECT_EQ(info.name, u"Project X");
    EXPECT_EQ(info.attributes, 7u);
    EXPECT_EQ(acc.set_group_info(u"DC01", u"Project X", 0, {u"Project Y"}, parm_err), 0u);
    EXPECT_EQ(acc.set_group_info(u"DC01", u"Project Y", 1002, {u"", u"Renamed"}, parm_err), 0u);
    EXPECT_EQ(acc.group_info(u"DC01", u"Project Y", 1).value.comment, u"Renamed");
    EXPECT_EQ(acc.group_info(u"DC01", u"Project X", 0).status, 2220u);
    EXPECT_EQ(acc.delete_group(u"DC01", u"Domain Admins"), 2234u);
    EXPECT_EQ(acc.delete_group(u"DC01", u"Project Y"), 0u);
    uint32_t resume = 0;
    EXPECT_EQ(acc.enum_groups(u"", 0xFFFFFFFF, resume).value.entries, std::vector<String>{u"None"});
}

TEST_F(AccountsTest, LocalGroupsHoldAccountsOfAnyDomain) {
    // WS0001's Administrators: its own, CORP's group and user, a removed
    // CORP account and an account of a domain nobody knows.
    uint32_t resume = 0;
    auto admins = acc.local_group_members(u"", u"administrators", 0xFFFFFFFF, resume).value.entries;
    ASSERT_EQ(admins.size(), 5u);
    const std::pair<const char16_t*, SidUsage> expected[] = {
        {u"WS0001\\Administrator", SidUsage::User},
        {u"CORP\\Domain Admins", SidUsage::Group},
        {u"CORP\\jsmith", SidUsage::User},
        {nullptr, SidUsage::DeletedAccount},
        {nullptr, SidUsage::Unknown},
    };
    for (size_t i = 0; i < admins.size(); ++i) {
        EXPECT_EQ(admins[i].usage, expected[i].second) << i;
        EXPECT_EQ(admins[i].domain_and_name,
                  expected[i].first ? String(expected[i].first) : admins[i].sid.text());
    }
    EXPECT_EQ(admins[1].sid, sim::account_domain_sid(u"CORP").with_rid(512));

    EXPECT_EQ(acc.add_local_group_members(u"", u"Power Users", {u"CORP\\Sales", u"kiosk"}), 0u);
    EXPECT_EQ(members(u"", u"Power Users"),
              (std::vector<String>{u"WS0001\\support", u"CORP\\Helpdesk", u"CORP\\Sales",
                                   u"WS0001\\kiosk"}));
    const struct {
        std::vector<String> names;
        uint32_t status;
    } refused[] = {
        {{u"CORP\\Sales"}, 1378},
        {{u"CORP\\Engineering", u"CORP\\Engineering"}, 1378},
        {{u"CORP\\Engineering", u"nosuch"}, 1387},  // nothing added, also not the first
        {{u"Users"}, 1388},
        {{u"CORP"}, 1388},
    };
    for (const auto& r : refused)
        EXPECT_EQ(acc.add_local_group_members(u"", u"Power Users", r.names), r.status)
            << to_utf8(r.names[0]);
    EXPECT_EQ(members(u"", u"Power Users").size(), 4u);
    EXPECT_EQ(acc.add_local_group_members(u"", u"nosuch", {u"kiosk"}), 2220u);
    EXPECT_EQ(acc.delete_local_group_members(u"", u"Power Users", {u"CORP\\Engineering"}), 1377u);
    EXPECT_EQ(acc.delete_local_group_members(u"", u"Power Users", {u"CORP\\Sales"}), 0u);

    // A user's local groups, directly and through CORP's global groups.
    EXPECT_EQ(acc.user_local_groups(u"", u"CORP\\bjohnson", 0, 0xFFFFFFFF).value.entries,
              std::vector<String>{});
    EXPECT_EQ(acc.user_local_groups(u"", u"CORP\\bjohnson", 1, 0xFFFFFFFF).value.entries,
              (std::vector<String>{u"Users", u"Power Users"}));
    EXPECT_EQ(acc.user_local_groups(u"", u"CORP\\jsmith", 0, 0xFFFFFFFF).value.entries,
              std::vector<String>{u"Administrators"});
    EXPECT_EQ(acc.user_local_groups(u"", u"CORP\\Sales", 0, 0xFFFFFFFF).status, 2221u);

    // Local groups of their own; BUILTIN ones cannot go.
    platform::GroupInfo g{u"Kiosk Users", u"Display accounts"};
    EXPECT_EQ(acc.add_local_group(u"", 1, g, parm_err), 0u);
    EXPECT_EQ(acc.add_local_group(u"", 1, g, parm_err), 1379u);
    EXPECT_EQ(acc.local_group_info(u"", u"kiosk users", 1).value.comment, u"Display accounts");
    EXPECT_EQ(acc.delete_local_group(u"", u"Administrators"), 2234u);
    EXPECT_EQ(acc.delete_local_group(u"", u"Kiosk Users"), 0u);
    EXPECT_EQ(acc.local_group_info(u"", u"Kiosk Users", 1).status, 2220u);
}

TEST_F(AccountsTest, PolicyLevelsAndTheirChecks) {
    const struct {
        const char16_t* server;
        uint32_t role;
        const char16_t* primary;
    } roles[] = {{u"DC01", 3, u"DC01"}, {u"DC02", 2, u"DC01"}, {u"SRV01", 1, u"DC01"}};
    for (const auto& r : roles) {
        auto one = acc.user_modals(r.server, 1).value;
        EXPECT_EQ(one.role, r.role) << to_utf8(r.server);
        EXPECT_EQ(one.primary, r.primary);
    }
    EXPECT_EQ(acc.user_modals(u"DC02", 2).value.domain_id, sim::account_domain_sid(u"CORP"));
    EXPECT_EQ(acc.user_modals(u"", 4).status, 124u);

    platform::ModalsInfo in = acc.user_modals(u"DC01", 0).value;
    const struct {
        uint32_t level;
        void (*change)(platform::ModalsInfo&);
        uint32_t field;
    } refused[] = {
        {1001, [](platform::ModalsInfo& m) { m.min_passwd_len = 257; }, 1},
        {1002, [](platform::ModalsInfo& m) { m.max_passwd_age = 3600; }, 2},
        {1003, [](platform::ModalsInfo& m) { m.min_passwd_age = 100 * 86400; }, 3},
        {1005, [](platform::ModalsInfo& m) { m.password_hist_len = 25; }, 5},
        {3,
         [](platform::ModalsInfo& m) {
             m.lockout_duration = 60;
             m.lockout_observation_window = 120;
         },
         2},
    };
    for (const auto& r : refused) {
        platform::ModalsInfo bad = in;
        r.change(bad);
        EXPECT_EQ(acc.set_user_modals(u"DC01", r.level, bad, parm_err), 87u) << r.level;
        EXPECT_EQ(parm_err, r.field) << r.level;
    }
    EXPECT_EQ(acc.set_user_modals(u"DC01", 1, in, parm_err), 124u);
    EXPECT_EQ(acc.user_modals(u"DC01", 0).value.min_passwd_len, 8u);
    in.min_passwd_len = 0;
    in.max_passwd_age = platform::kTimeqForever;
    EXPECT_EQ(acc.set_user_modals(u"DC01", 0, in, parm_err), 0u);
    EXPECT_EQ(acc.user_modals(u"DC02", 0).value.max_passwd_age, platform::kTimeqForever);
}

// Logons of a CORP account from WS0001 against a policy of three bad
// passwords in five minutes and a lockout of ten: DC01 checks and counts.
TEST_F(AccountsTest, LogonsCountOnTheirControllerAndLockOutAsThePolicySays) {
    platform::ModalsInfo policy = acc.user_modals(u"DC01", 3).value;
    policy.lockout_threshold = 3;
    policy.lockout_observation_window = 300;
    policy.lockout_duration = 600;
    ASSERT_EQ(acc.set_user_modals(u"DC01", 3, policy, parm_err), 0u);
    auto& ps = platform::current().processes();
    auto& clock = platform::current().time();
    const uint32_t logons = user(u"DC01", u"lchen").num_logons;
    const struct {
        uint32_t wait_s;  // machine time that passes first
        const char16_t* password;
        uint32_t result;
        uint32_t bad;  // the count DC01 then reads
        bool locked;
    } steps[] = {
        {0, u"wrong", 1326, 1, false},       {0, u"wrong", 1326, 2, false},
        {301, u"wrong", 1326, 1, false},  // the window passed: counting starts again
        {0, u"Secret#lchen", 0, 0, false},   {0, u"wrong", 1326, 1, false},
        {0, u"wrong", 1326, 2, false},       {10, u"wrong", 1326, 3, true},
        {0, u"wrong", 1909, 3, true},  // locked: neither checked nor counted
        {0, u"Secret#lchen", 1909, 3, true}, {599, u"Secret#lchen", 1909, 3, true},
        {1, u"Secret#lchen", 0, 0, false},  // ten minutes after the lockout
        {0, u"wrong", 1326, 1, false},
    };
    for (size_t i = 0; i < std::size(steps); ++i) {
        const auto& s = steps[i];
        SCOPED_TRACE(i);
        clock.sleep(s.wait_s * 1000);
        auto logon = ps.logon_user(u"lchen", u"CORP", s.password, 2, 0);
        EXPECT_EQ(logon.status, s.result);
        if (logon.ok()) ps.close_handle(logon.value);
        const UserInfo now = user(u"DC01", u"lchen");
        EXPECT_EQ(now.bad_pw_count, s.bad);
        EXPECT_EQ((now.flags & uf::kLockout) != 0, s.locked);
    }
    const UserInfo l = user(u"DC01", u"lchen");
    EXPECT_EQ(l.num_logons, logons + 2);
    // 2024-07-15 08:30 plus the 911 seconds waited.
    EXPECT_EQ(l.last_logon, 1721032200u + 911);
    // DC02 counted none of it, but shares the lockout; while DC01 is down it checks.
    EXPECT_EQ(user(u"DC02", u"lchen").bad_pw_count, 0u);
    net->find(u"DC01")->reachable = false;
    EXPECT_EQ(ps.logon_user(u"lchen", u"CORP", u"wrong", 2, 0).status, 1326u);
    EXPECT_EQ(user(u"DC02", u"lchen").bad_pw_count, 1u);
    net->find(u"DC01")->reachable = true;

    // Locked out again, then unlocked by an administrator: the count on the
    // controller that took the change starts again too.
    for (int i = 0; i < 2; ++i)
        ps.logon_user(u"lchen", u"CORP", u"wrong", 2, 0);
    ASSERT_NE(user(u"DC01", u"lchen").flags & uf::kLockout, 0u);
    UserInfo unlock;
    unlock.flags = uf::kScript | uf::kNormalAccount;
    ASSERT_EQ(acc.set_user_info(u"DC01", u"lchen", 1008, unlock, parm_err), 0u);
    EXPECT_EQ(user(u"DC01", u"lchen").bad_pw_count, 0u);
    EXPECT_EQ(ps.logon_user(u"lchen", u"CORP", u"wrong", 2, 0).status, 1326u);
    EXPECT_EQ(user(u"DC01", u"lchen").flags & uf::kLockout, 0u);

    // No threshold, no lockout; a lockout for ever lasts until it is cleared.
    policy.lockout_threshold = 0;
    ASSERT_EQ(acc.set_user_modals(u"DC01", 3, policy, parm_err), 0u);
    for (int i = 0; i < 10; ++i)
        ps.logon_user(u"hwagner", u"CORP", u"wrong", 2, 0);
    EXPECT_EQ(user(u"DC01", u"hwagner").flags & uf::kLockout, 0u);
    policy.lockout_duration = platform::kTimeqForever;
    ASSERT_EQ(acc.set_user_modals(u"DC01", 3, policy, parm_err), 0u);
    clock.sleep(86'400'000);
    EXPECT_EQ(ps.logon_user(u"dbrown", u"CORP", u"Secret#dbrown", 2, 0).status, 1909u);
    EXPECT_EQ(net->handles().open_count(), 0u);
}

TEST(AccountsAlone, AStandAloneMachineHasItsOwnDatabaseAndNoRole) {
    auto net = sim::make_network(u"empty");
    platform::ScopedPlatform scope(std::make_shared<sim::SimPlatform>(net));
    auto& acc = platform::current().accounts();
    EXPECT_EQ(acc.user_modals(u"", 1).value.role, 0u);
    EXPECT_EQ(acc.user_modals(u"", 1).value.primary, u"");
    EXPECT_EQ(acc.user_modals(u"", 2).value.domain_name, u"LONELY");
    uint32_t resume = 0;
    auto admins = acc.local_group_members(u"", u"Administrators", 0xFFFFFFFF, resume).value.entries;
    ASSERT_EQ(admins.size(), 1u);
    EXPECT_EQ(admins[0].domain_and_name, u"LONELY\\Administrator");
}

// The name index against a plain map, over adds, renames and removals that
// leave runs of colliding slots behind: every live name is found in any case,
// and no removed or former name is.
TEST(AccountNamesAlone, FollowAddsRenamesAndRemovalsOfEveryKind) {
    sim::AccountDatabase db;
    std::map<String, std::pair<sim::AccountKind, uint32_t>> live;  // by upper-case name
    std::vector<String> gone;
    uint32_t seed = 12345;
    const auto next = [&](uint32_t n) { return (seed = seed * 1103515245u + 12345u) / 65536 % n; };
    for (int step = 0; step < 3000; ++step) {
        const uint32_t rid = db.next_rid;
        const String name = u"Acct" + decimal(step);
        const uint32_t op = live.empty() ? 0 : next(4);
        if (op <= 1) {
            const auto kind = static_cast<sim::AccountKind>(next(3));
            if (kind == sim::AccountKind::User) db.add_user(name, rid, 0x201);
            if (kind == sim::AccountKind::Group) db.add_group(name, rid, u"");
            if (kind == sim::AccountKind::Alias) db.add_alias(name, rid, u"", false);
            live[to_upper(name)] = {kind, rid};
            continue;
        }
        auto it = std::next(live.begin(), next(static_cast<uint32_t>(live.size())));
        const auto [kind, id] = it->second;
        gone.push_back(it->first);
        live.erase(it);
        if (op == 2 && kind == sim::AccountKind::User) {  // a rename, as the record changes
            db.drop_name(db.users.at(id).info.name);
            db.users.at(id).info.name = name;
            db.add_name(name, kind, id);
            live[to_upper(name)] = {kind, id};
        } else if (kind == sim::AccountKind::User) {
            db.remove_user(id);
        } else if (kind == sim::AccountKind::Group) {
            db.remove_group(id);
        } else {
            db.remove_alias(id);
        }
    }
    for (const auto& [name, entry] : live) {
        String lower = name;
        for (char16_t& c : lower)
            if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c + 32);
        EXPECT_EQ(db.find(lower), entry) << to_utf8(name);
    }
    for (const String& name : gone) {
        if (live.count(name)) continue;  // a name given again
        EXPECT_EQ(db.find(name), std::nullopt) << to_utf8(name);
    }
}

}  // namespace
}  // namespace vorlek
