// UserManager through late-bound calls on the default network: CORP's
// accounts on DC01 (DC02 its backup), WS0001's own as the local machine; the
// simulated zone is one hour east of universal time (two in July).
#include <gtest/gtest.h>

#include <cmath>

#include "tests/support/simulated.h"

#include "automation/calendar.h"
#include "bench/heap.h"
#include "library/client.h"
#include "platform/sim/accounts.h"
#include "platform/sim/network.h"
#include "platform/sim/security.h"

namespace vorlek {
namespace {

class UserManagerTest : public testing_support::SimulatedTest {
  protected:
    client::Dispatch u = client::create(u"Vorlek.UserManager");

    int32_t info(const char16_t* user, const char16_t* computer = u"DC01", bool binary = true) {
        return u.call(u"GetUserInfo", {user, computer, binary}).to_long();
    }
    String text(const char16_t* member) const { return u.get(member).to_string(); }
    int32_t number(const char16_t* member) const { return u.get(member).to_long(); }
    bool flag(const char16_t* member) const { return u.get(member).to_bool(); }
    String when(const char16_t* member) const { return stamp(u.get(member).to_date()); }
    static String stamp(Date d) {
        auto p = calendar::parts_from_serial(d.serial);
        char buf[32];
        std::snprintf(buf, sizeof buf, "%04lld-%02u-%02u %02u:%02u", static_cast<long long>(p.year),
                      p.month, p.day, p.hour, p.minute);
        return from_utf8(buf);
    }
    sim::AccountDatabase& corp() { return *sim::domain_database(*net, u"CORP"); }
    sim::UserAccount& stored(StringView name) { return *corp().user(name); }
    int32_t init(std::vector<Variant> args) {
        return u.call(u"InitUsers", std::move(args)).to_long();
    }
    std::vector<String> keys() const {
        std::vector<String> out;
        client::Dispatch users(u.get(u"Users"));
        for (const auto& item : users.each()) {
            client::Dispatch i(item);
            out.push_back(i.get(u"DomainName").to_string() + u"\\" +
                          i.get(u"UserName").to_string());
        }
        return out;
    }
};

TEST_F(UserManagerTest, LoadFillsEveryFieldFromTheRecord) {
    ASSERT_EQ(info(u"JSMITH"), 0);
    EXPECT_TRUE(flag(u"Valid"));
    EXPECT_EQ(text(u"UserName"), u"jsmith");  // as the store spells it
    EXPECT_EQ(text(u"Computer"), u"DC01");
    EXPECT_EQ(text(u"DomainName"), u"CORP");
    EXPECT_EQ(text(u"UserFullName"), u"John Smith");
    EXPECT_EQ(text(u"UserDescription"), u"IT manager");
    EXPECT_EQ(text(u"HomeDirectory"), u"\\\\SRV01\\home\\jsmith");
    EXPECT_EQ(text(u"HomeDirDrive"), u"H:");
    EXPECT_EQ(text(u"LogonScriptPath"), u"logon.cmd");
    EXPECT_EQ(text(u"Password"), u"**************");
    EXPECT_EQ(text(u"AccountTypeStr"), u"UF_NORMAL_ACCOUNT");
    EXPECT_EQ(number(u"AccountType"), 0x200);
    EXPECT_EQ(text(u"PrivilegeStr"), u"USER_PRIV_ADMIN");  // a domain administrator
    EXPECT_EQ(text(u"AuthorityStr"), u"AF_OP_NONE");
    EXPECT_TRUE(flag(u"LogonScriptExecuted"));
    EXPECT_FALSE(flag(u"AccountDisabled"));
    EXPECT_EQ(number(u"UnitsPerWeek"), 168);
    EXPECT_EQ(text(u"LogonHours"), String(168, u'1'));
    EXPECT_EQ(when(u"AccountExpires"), u"1970-01-01 00:00");  // never
    // DC01's own counters; 07:30 universal time is 09:30 in July.
    EXPECT_EQ(number(u"NumLogons"), 412);
    EXPECT_EQ(when(u"LastLogon"), u"2024-07-15 09:30");
    EXPECT_EQ(number(u"PasswordAge"), 12 * 86400);
    EXPECT_EQ(when(u"PasswordLastModified"), u"2024-07-03 10:30");
    EXPECT_EQ(number(u"UserID"), static_cast<int32_t>(stored(u"jsmith").info.user_id));

    // An account that expired two weeks ago, one with office hours on one
    // workstation, shown as hour ranges in local time.
    ASSERT_EQ(info(u"contractor1"), 0);
    EXPECT_EQ(when(u"AccountExpires"), u"2024-07-01 10:30");
    ASSERT_EQ(info(u"reception", u"DC01", false), 0);
    EXPECT_EQ(text(u"LogonHoursMon"), u"7-19");
    EXPECT_EQ(text(u"LogonHoursSun"), u"0-0");
    EXPECT_EQ(text(u"LogonHours").substr(24, 24), u"000000011111111111100000");
    EXPECT_EQ(text(u"Workstations"), u"WS0002");
    EXPECT_EQ(text(u"Workstation1"), u"WS0002");
    EXPECT_EQ(text(u"Workstation2"), u"");
    EXPECT_TRUE(flag(u"PasswordCannotChange"));
}

TEST_F(UserManagerTest, ReadFailuresAndTheirStatuses) {
    EXPECT_EQ(info(u"nobody"), 2221);
    EXPECT_FALSE(flag(u"Valid"));
    EXPECT_EQ(info(u""), 87);
    ASSERT_EQ(info(u"jsmith"), 0);
    // The policy read comes first: a failure leaves the object as it was.
    net->faults().fail(sim::op::NetUserModalsGet, 5);
    EXPECT_EQ(info(u"lchen"), 5);
    EXPECT_EQ(text(u"UserName"), u"jsmith");
    EXPECT_TRUE(flag(u"Valid"));
    EXPECT_EQ(info(u"jsmith", u"SRV03"), 53);
    // The account read itself fails: the reset object stays not valid.
    net->faults().fail(sim::op::NetUserGetInfo, 1722);
    EXPECT_EQ(info(u"jsmith"), 1722);
    EXPECT_FALSE(flag(u"Valid"));
}

TEST_F(UserManagerTest, InitUsersByFilterGroupAndLocalGroup) {
    client::Dispatch users(u.get(u"Users"));
    EXPECT_EQ(users.get(u"Count").to_long(), 0);
    ASSERT_EQ(init({u"DC01"}), 0);
    auto all = keys();
    EXPECT_EQ(all.size(), 19u);  // Administrator, Guest and the people still there
    EXPECT_EQ(all.front(), u"CORP\\Administrator");
    client::Dispatch listed(u.get(u"Users"));
    EXPECT_EQ(
        client::Dispatch(listed.call(u"Item", {u"corp\\JSMITH"})).get(u"UserFullName").to_string(),
        u"John Smith");

    ASSERT_EQ(init({u"DC01", 0x10}), 0);
    EXPECT_EQ(keys().size(), 6u);  // member servers and workstations
    ASSERT_EQ(init({u"DC01", 0x20}), 0);
    EXPECT_EQ(keys(), std::vector<String>{u"CORP\\DC02$"});
    ASSERT_EQ(init({u"DC01", 2, u"Helpdesk"}), 0);
    EXPECT_EQ(keys(), (std::vector<String>{u"CORP\\bjohnson", u"CORP\\lchen"}));
    EXPECT_EQ(init({u"DC01", 2, u"No Such Group"}), 2220);

    // A local group: its own account, a domain account (named, not read
    // here), a deleted one and one of a domain nobody knows; the domain's
    // administrators are a group and not listed.
    ASSERT_EQ(init({u"", 2, u"Administrators"}), 0);
    client::Dispatch admins(u.get(u"Users"));
    EXPECT_EQ(admins.get(u"Count").to_long(), 4);
    client::Dispatch local(admins.call(u"Item", {u"WS0001\\Administrator"}));
    EXPECT_TRUE(local.get(u"Valid").to_bool());
    client::Dispatch domain(admins.call(u"Item", {u"CORP\\jsmith"}));
    EXPECT_FALSE(domain.get(u"Valid").to_bool());
    EXPECT_EQ(domain.get(u"DomainName").to_string(), u"CORP");
    EXPECT_EQ(domain.get(u"UserName").to_string(), u"jsmith");

    // A failing read of one item ends the walk; what came before stays.
    net->faults().fail(sim::op::NetUserGetInfo, 5, 1, 3);
    EXPECT_EQ(init({u"DC01"}), 5);
    EXPECT_EQ(keys().size(), 3u);
}

TEST_F(UserManagerTest, LetsWriteThroughOrKeepTheField) {
    ASSERT_EQ(info(u"jsmith"), 0);
    u.let(u"UserComment", u"On call this week");
    EXPECT_EQ(number(u"LastError"), 0);
    EXPECT_EQ(stored(u"jsmith").info.usr_comment, u"On call this week");
    net->faults().fail(sim::op::NetUserSetInfo, 5);
    u.let(u"UserFullName", u"Nope");
    EXPECT_EQ(number(u"LastError"), 5);
    EXPECT_EQ(text(u"UserFullName"), u"John Smith");

    // Flags keep each other; clearing a flag that is not set writes nothing.
    u.let(u"AccountDisabled", true);
    u.let(u"PasswordDontExpire", true);
    const uint32_t flags = stored(u"jsmith").info.flags;
    EXPECT_TRUE(flags & 0x2);
    EXPECT_TRUE(flags & 0x10000);
    net->faults().fail(sim::op::NetUserSetInfo, 5);
    u.let(u"HomeDirRequired", false);
    EXPECT_EQ(number(u"LastError"), 0);
    net->faults().clear();
    u.let(u"AccountDisabled", false);
    EXPECT_FALSE(stored(u"jsmith").info.flags & 0x2);
    EXPECT_TRUE(stored(u"jsmith").info.flags & 0x10000);

    // The whole record goes with PasswordExpired: it carries the comment above.
    u.let(u"PasswordExpired", true);
    EXPECT_EQ(number(u"LastError"), 0);
    EXPECT_TRUE(stored(u"jsmith").must_change);
    EXPECT_EQ(stored(u"jsmith").info.usr_comment, u"On call this week");

    // Drives: a letter C to Z with a colon; the field shows what was given.
    u.let(u"HomeDirDrive", u"h");
    EXPECT_EQ(stored(u"jsmith").info.home_dir_drive, u"H:");
    EXPECT_EQ(text(u"HomeDirDrive"), u"h");
    u.let(u"HomeDirDrive", u"A");
    EXPECT_EQ(number(u"LastError"), 87);
    u.let(u"HomeDirDrive", u"");
    EXPECT_EQ(stored(u"jsmith").info.home_dir_drive, u"");

    u.let(u"Password", u"fifteen-letters");
    EXPECT_EQ(number(u"LastError"), -20);
    u.let(u"UserName", u"");
    EXPECT_EQ(number(u"LastError"), 87);
    u.let(u"UserName", u"john.smith");
    EXPECT_EQ(number(u"LastError"), 0);
    EXPECT_NE(corp().user(u"john.smith"), nullptr);
    u.let(u"UserComment", u"renamed");  // the new name addresses the account
    EXPECT_EQ(corp().user(u"john.smith")->info.usr_comment, u"renamed");

    // The start of the given day in local time, as universal time.
    u.let(u"AccountExpires", Variant(Date{45500.75}));                      // 2024-07-27 18:00
    EXPECT_EQ(corp().user(u"john.smith")->info.acct_expires, 1722031200u);  // 2024-07-26 22:00 UTC
    u.let(u"AccountExpires", Variant(Date{-1}));
    EXPECT_EQ(corp().user(u"john.smith")->info.acct_expires, 0xFFFFFFFFu);
    // Dates the account cannot hold overflow (6) and change nothing, the
    // ones past the Date's own range included.
    for (double serial : {100000.0, 1.7e307, -1e300, std::nan("")}) {
        u.let(u"AccountExpires", Variant(Date{serial}));
        EXPECT_EQ(number(u"LastError"), 6) << serial;
        EXPECT_EQ(corp().user(u"john.smith")->info.acct_expires, 0xFFFFFFFFu);
    }

    // Writes to the backup controller are refused there.
    ASSERT_EQ(info(u"lchen", u"DC02"), 0);
    u.let(u"UserComment", u"x");
    EXPECT_EQ(number(u"LastError"), 2226);
    EXPECT_EQ(text(u"UserComment"), u"");
}

TEST_F(UserManagerTest, LogonHoursRoundTripAcrossTheZone) {
    ASSERT_EQ(info(u"reception"), 0);
    const auto before = stored(u"reception").info.logon_hours;
    const String shown = text(u"LogonHours");
    u.let(u"LogonHours", shown);
    EXPECT_EQ(number(u"LastError"), 0);
    EXPECT_EQ(stored(u"reception").info.logon_hours, before);
    String marked = shown;
    for (auto& c : marked)
        if (c == u'1') c = u'x';
    u.let(u"LogonHours", marked);
    EXPECT_EQ(text(u"LogonHours"), shown);
    EXPECT_EQ(stored(u"reception").info.logon_hours, before);
    u.let(u"LogonHours", shown.substr(1));
    EXPECT_EQ(number(u"LastError"), -168);
}

// Items of one listing with the same logon hours share their texts: each
// still shows its own account's hours, and a change through one item shows
// on that item only.
TEST_F(UserManagerTest, ListedItemsKeepTheirOwnLogonHours) {
    ASSERT_EQ(init({u"DC01", 2, u"", false}), 0);
    client::Dispatch users(u.get(u"Users"));
    client::Dispatch reception(users.call(u"Item", {u"CORP\\reception"}));
    client::Dispatch smith(users.call(u"Item", {u"CORP\\jsmith"}));
    client::Dispatch admin(users.call(u"Item", {u"CORP\\Administrator"}));
    EXPECT_EQ(smith.get(u"LogonHoursMon").to_string(), u"0-24");
    EXPECT_NE(reception.get(u"LogonHoursMon").to_string(), u"0-24");
    const String all = admin.get(u"LogonHours").to_string();
    ASSERT_EQ(all, String(168, u'1'));
    String none(168, u'0');
    smith.let(u"LogonHours", none);
    EXPECT_EQ(smith.get(u"LastError").to_long(), 0);
    EXPECT_EQ(smith.get(u"LogonHours").to_string(), none);
    EXPECT_EQ(admin.get(u"LogonHours").to_string(), all);
    EXPECT_EQ(admin.get(u"LogonHoursMon").to_string(), u"0-24");
    // Texts asked for as digits are made apart from the formatted ones.
    ASSERT_EQ(init({u"DC01", 2, u"", true}), 0);
    client::Dispatch digits(client::Dispatch(u.get(u"Users")).call(u"Item", {u"CORP\\guest"}));
    EXPECT_EQ(digits.get(u"LogonHoursMon").to_string(), String(24, u'1'));
}

TEST_F(UserManagerTest, WholeRecordsCarryWhatEarlierLetsSent) {
    // Listed items keep each text once and make the record they send from
    // what they show and what they sent before.
    ASSERT_EQ(init({u"DC01", 2}), 0);
    client::Dispatch smith(client::Dispatch(u.get(u"Users")).call(u"Item", {u"CORP\\jsmith"}));
    smith.let(u"Workstations", u"A,B,C,D,E,F,G,H");
    smith.let(u"HomeDirDrive", u"k");
    // The type change sends the script path empty, which leaves it as it
    // is; a whole record sent afterwards clears it, whatever is shown.
    smith.let(u"AccountType", 0x1000);
    ASSERT_EQ(smith.get(u"LastError").to_long(), 0);
    EXPECT_EQ(stored(u"jsmith").info.script_path, u"logon.cmd");
    smith.let(u"PasswordExpired", true);
    ASSERT_EQ(smith.get(u"LastError").to_long(), 0);
    const auto& sent = stored(u"jsmith").info;
    EXPECT_EQ(sent.script_path, u"");
    EXPECT_EQ(sent.workstations, u"A,B,C,D,E,F,G,H");
    EXPECT_EQ(sent.home_dir_drive, u"K:");
    EXPECT_EQ(sent.full_name, u"John Smith");
    EXPECT_TRUE(sent.flags & 0x1000);
    smith.let(u"LogonScriptPath", u"new.cmd");
    smith.let(u"PasswordExpired", false);
    EXPECT_EQ(stored(u"jsmith").info.script_path, u"new.cmd");
}

TEST_F(UserManagerTest, ListedItemsStaySmall) {
    if (!bench::kHeapCounted) GTEST_SKIP() << "the heap is not counted here";
    constexpr int kItems = 3000;
    auto& db = corp();
    const int before = static_cast<int>(db.users.size());
    for (int i = 0; i < kItems - before; ++i)
        db.add_user(u"user" + String(6 - decimal(i).size(), u'0') + decimal(i), db.next_rid, 0x201);
    const double per_item = bench::heap_per_item(kItems, [&](auto held) {
        ASSERT_EQ(init({u"DC01", 0}), 0);
        ASSERT_EQ(client::Dispatch(u.get(u"Users")).get(u"Count").to_long(), kItems);
        held();
    });
    // Beyond the name (in the item and in its key with the domain) and the
    // logon server.
    EXPECT_LE(per_item, 300 + 2 * (10 + 15 + 3));
}

TEST_F(UserManagerTest, UnboundObjectsPrepareCreate) {
    u.let(u"UserComment", u"not kept");
    EXPECT_EQ(text(u"UserComment"), u"");
    EXPECT_EQ(number(u"LastError"), 0);
    u.let(u"Computer", u"DC01");
    u.let(u"UserName", u"PC01");
    u.let(u"AccountType", 0x1000);
    u.let(u"Password", u"pc01-machine");
    EXPECT_EQ(u.call(u"Create").to_long(), 0);
    EXPECT_EQ(text(u"UserName"), u"PC01$");
    EXPECT_TRUE(flag(u"Valid"));
    EXPECT_EQ(text(u"AccountTypeStr"), u"UF_WORKSTATION_TRUST_ACCOUNT");
    u.let(u"Computer", u"elsewhere");  // bound now: ignored
    EXPECT_EQ(text(u"Computer"), u"DC01");

    // A failed Create loses what was prepared.
    auto again = client::create(u"Vorlek.UserManager");
    again.let(u"Computer", u"DC01");
    again.let(u"UserName", u"jsmith");
    again.let(u"UserDescription", u"twin");
    EXPECT_EQ(again.call(u"Create").to_long(), 2224);
    EXPECT_EQ(again.get(u"UserName").to_string(), u"");
    EXPECT_EQ(again.get(u"Computer").to_string(), u"");
    again.let(u"Computer", u"DC01");
    again.let(u"UserName", u"newbie");
    again.let(u"Password", u"short");
    EXPECT_EQ(again.call(u"Create").to_long(), 2245);  // the domain's minimum length
    again.let(u"Computer", u"DC01");
    again.let(u"UserName", u"A-very-long-server-name");
    again.let(u"AccountType", 0x2000);
    EXPECT_EQ(again.call(u"Create").to_long(), 87);

    // Deleting leaves the object's fields alone.
    EXPECT_EQ(u.call(u"DeleteUser", {u"PC01$", u"DC01"}).to_long(), 0);
    EXPECT_EQ(text(u"UserName"), u"PC01$");
    EXPECT_EQ(u.call(u"DeleteUser", {u"PC01$", u"DC01"}).to_long(), 2221);
    EXPECT_EQ(u.call(u"DeleteUser", {u""}).to_long(), 87);
}

TEST_F(UserManagerTest, SeparateInfosPerController) {
    EXPECT_EQ(u.call(u"GetSeparateInfos", {u"DC02"}).to_long(), 380);
    ASSERT_EQ(info(u"jsmith"), 0);
    EXPECT_EQ(u.call(u"GetSeparateInfos", {u"DC02", true}).to_long(), 0);
    EXPECT_EQ(number(u"BadPasswordCount"), 1);
    EXPECT_EQ(number(u"NumLogons"), 412 + 97);
    EXPECT_EQ(when(u"LastLogon"), u"2024-07-15 09:30");  // DC01's is the later one
    EXPECT_EQ(u.call(u"GetSeparateInfos", {u"DC01", true}).to_long(), 0);
    EXPECT_EQ(number(u"NumLogons"), 412 + 97 + 412);
    EXPECT_EQ(u.call(u"GetSeparateInfos", {u"DC02", false}).to_long(), 0);
    EXPECT_EQ(number(u"NumLogons"), 97);
    EXPECT_EQ(when(u"LastLogon"), u"2024-07-14 09:30");
    EXPECT_EQ(u.call(u"GetSeparateInfos", {u"SRV03"}).to_long(), 53);
}

TEST_F(UserManagerTest, BadInputEndsInAStatus) {
    const String names[] = {String(1, u'\0'), String(300, u'x'), u"a\\b", u"a/b", u"\\\\DC01"};
    for (const auto& name : names) {
        EXPECT_NE(u.call(u"GetUserInfo", {name, u"DC01"}).to_long(), 0);
        EXPECT_FALSE(flag(u"Valid"));
        EXPECT_NE(init({u"DC01", 2, name}), 0);
    }
    for (const String& computer : {String(u"\\\\"), String(u"/"), String(300, u'x')})
        EXPECT_EQ(info(u"jsmith", computer.c_str()), 53);

    // The account goes away between the enumeration and a let.
    ASSERT_EQ(init({u"DC01"}), 0);
    client::Dispatch item(client::Dispatch(u.get(u"Users")).call(u"Item", {u"CORP\\ssato"}));
    EXPECT_EQ(u.call(u"DeleteUser", {u"ssato", u"DC01"}).to_long(), 0);
    item.let(u"UserComment", u"too late");
    EXPECT_EQ(item.get(u"LastError").to_long(), 2221);
    EXPECT_EQ(item.get(u"UserComment").to_string(), u"");
    EXPECT_EQ(corp().user(u"ssato"), nullptr);
}

TEST_F(UserManagerTest, CurrentUser) {
    EXPECT_EQ(u.call(u"GetCurrentUser").to_string(), u"Administrator");
    net->faults().fail(sim::op::GetUserName, 1326);
    EXPECT_EQ(u.call(u"GetCurrentUser", {u"nobody"}).to_string(), u"nobody");
    EXPECT_EQ(number(u"LastError"), 1326);
}

}  // namespace
}  // namespace vorlek
