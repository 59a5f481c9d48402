// ModalsManager through late-bound calls on the default network: CORP's
// policy on DC01 (kept for DC02, its backup), WS0001's own as the local
// machine, LABPC1 a stand-alone machine of another workgroup.
#include <gtest/gtest.h>

#include "tests/support/simulated.h"

#include "library/client.h"
#include "platform/accounts.h"
#include "platform/sim/accounts.h"

namespace vorlek {
namespace {

class ModalsTest : public testing_support::SimulatedTest {
  protected:
    client::Dispatch m = client::create(u"Vorlek.ModalsManager");

    int32_t read(const char16_t* computer) {
        return m.call(u"GetModalsInfo", {computer}).to_long();
    }
    int32_t number(const char16_t* member) const { return m.get(member).to_long(); }
    String text(const char16_t* member) const { return m.get(member).to_string(); }
    bool valid() const { return m.get(u"Valid").to_bool(); }
    platform::ModalsInfo on_machine(const char16_t* server, uint32_t level) {
        return platform::current().accounts().user_modals(server, level).value;
    }
};

TEST_F(ModalsTest, ReadsEachRoleAndPolicy) {
    EXPECT_EQ(read(u""), 0);
    EXPECT_TRUE(valid());
    EXPECT_EQ(text(u"Computer"), u"WS0001");
    EXPECT_EQ(text(u"DomainName"), u"WS0001");  // a member's accounts are its own
    EXPECT_EQ(text(u"LogonServerRoleStr"), u"UAS_ROLE_MEMBER");
    EXPECT_EQ(text(u"PDCName"), u"DC01");
    EXPECT_EQ(number(u"MaxPasswordAge"), 42 * 86400);
    EXPECT_EQ(number(u"ForceLogoff"), -1);

    EXPECT_EQ(read(u"dc02"), 0);
    EXPECT_EQ(text(u"Computer"), u"dc02");  // as given
    EXPECT_EQ(text(u"DomainName"), u"CORP");
    EXPECT_EQ(text(u"LogonServerRoleStr"), u"UAS_ROLE_BACKUP");
    EXPECT_EQ(number(u"MinPasswordLen"), 8);
    EXPECT_EQ(number(u"MaxPasswordAge"), 90 * 86400);
    EXPECT_EQ(number(u"MinPasswordAge"), 86400);
    EXPECT_EQ(number(u"PasswordHistLen"), 5);
    EXPECT_EQ(number(u"LockoutDuration"), 1800);
    EXPECT_EQ(number(u"LockoutObservationWindow"), 1800);
    EXPECT_EQ(number(u"LockoutThreshold"), 5);
    EXPECT_EQ(read(u"\\\\DC01"), 0);
    EXPECT_EQ(text(u"LogonServerRoleStr"), u"UAS_ROLE_PRIMARY");

    // The policy of a machine that refuses or does not answer: not valid.
    EXPECT_EQ(read(u"LABPC1"), 5);
    EXPECT_FALSE(valid());
    EXPECT_EQ(read(u"SRV03"), 53);
    EXPECT_EQ(text(u"Computer"), u"SRV03");
    EXPECT_EQ(number(u"MaxPasswordAge"), 0);
}

TEST_F(ModalsTest, AFailedReadKeepsWhatTheEarlierReadsFilledAndIsNotValid) {
    // The n-th of the four reads fails: the fields of the reads before it stay.
    for (uint32_t n = 0; n < 4; ++n) {
        SCOPED_TRACE(n);
        ASSERT_EQ(read(u"DC01"), 0);
        net->faults().fail(sim::op::NetUserModalsGet, 5, 1, n);
        EXPECT_EQ(read(u"DC01"), 5);
        EXPECT_FALSE(valid());
        EXPECT_EQ(number(u"MinPasswordLen"), n > 0 ? 8 : 0);
        EXPECT_EQ(text(u"PDCName"), n > 1 ? u"DC01" : u"");
        EXPECT_EQ(text(u"DomainName"), n > 2 ? u"CORP" : u"");
        EXPECT_EQ(number(u"LockoutThreshold"), 0);
        EXPECT_EQ(text(u"Computer"), u"DC01");
        // A let on the object that is not valid now writes nothing.
        m.let(u"MinPasswordLen", 12);
        EXPECT_EQ(number(u"LastError"), 0);
        EXPECT_EQ(on_machine(u"DC01", 0).min_passwd_len, 8u);
    }
}

TEST_F(ModalsTest, PasswordLetsWriteTheirLevelThrough) {
    ASSERT_EQ(read(u"DC01"), 0);
    const struct {
        const char16_t* property;
        int32_t value;
        uint32_t platform::ModalsInfo::*field;
    } cases[] = {
        {u"MaxPasswordAge", m.get(u"TIMEQ_FOREVER").to_long(),
         &platform::ModalsInfo::max_passwd_age},
        {u"MinPasswordAge", m.get(u"ONE_DAY").to_long(), &platform::ModalsInfo::min_passwd_age},
        {u"MinPasswordLen", 12, &platform::ModalsInfo::min_passwd_len},
        {u"PasswordHistLen", 24, &platform::ModalsInfo::password_hist_len},
        {u"ForceLogoff", 3600, &platform::ModalsInfo::force_logoff},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(to_utf8(c.property));
        m.let(c.property, c.value);
        EXPECT_EQ(number(u"LastError"), 0);
        EXPECT_EQ(number(c.property), c.value);
        EXPECT_EQ(on_machine(u"DC01", 0).*c.field, static_cast<uint32_t>(c.value));
    }
    EXPECT_EQ(on_machine(u"DC01", 0).max_passwd_age, 0xFFFFFFFFu);  // TIMEQ_FOREVER

    // The machine's checks decide; a refused value leaves the field as it was.
    m.let(u"MinPasswordLen", 300);
    EXPECT_EQ(number(u"LastError"), 87);
    EXPECT_EQ(number(u"MinPasswordLen"), 12);
    net->faults().fail(sim::op::NetUserModalsSet, 5);
    m.let(u"PasswordHistLen", 3);
    EXPECT_EQ(number(u"LastError"), 5);
    EXPECT_EQ(number(u"PasswordHistLen"), 24);
    m.let(u"PasswordHistLen", 3);
    EXPECT_EQ(number(u"LastError"), 0);  // cleared by the next let
}

TEST_F(ModalsTest, LockoutLetsKeepEachOther) {
    ASSERT_EQ(read(u""), 0);
    m.let(u"LockoutDuration", 3600);
    m.let(u"LockoutThreshold", 3);
    m.let(u"LockoutObservationWindow", 600);
    EXPECT_EQ(number(u"LastError"), 0);
    auto lockout = on_machine(u"", 3);
    EXPECT_EQ(lockout.lockout_duration, 3600u);
    EXPECT_EQ(lockout.lockout_observation_window, 600u);
    EXPECT_EQ(lockout.lockout_threshold, 3u);

    // A refused lockout let does not leak into the kept record: the next let
    // sends the window that is on the machine.
    m.let(u"LockoutObservationWindow", 7200);  // longer than the duration
    EXPECT_EQ(number(u"LastError"), 87);
    EXPECT_EQ(number(u"LockoutObservationWindow"), 600);
    m.let(u"LockoutThreshold", 4);
    EXPECT_EQ(number(u"LastError"), 0);
    EXPECT_EQ(on_machine(u"", 3).lockout_observation_window, 600u);
}

TEST_F(ModalsTest, LetsOnABackupControllerFailAndKeepTheField) {
    ASSERT_EQ(read(u"DC02"), 0);
    m.let(u"MinPasswordLen", 10);
    EXPECT_EQ(number(u"LastError"), 2226);
    EXPECT_EQ(number(u"MinPasswordLen"), 8);
    m.let(u"LockoutThreshold", 10);
    EXPECT_EQ(number(u"LastError"), 2226);
    EXPECT_EQ(number(u"LockoutThreshold"), 5);
    EXPECT_EQ(on_machine(u"DC01", 3).lockout_threshold, 5u);
}

TEST_F(ModalsTest, TheLocalMachineIsRecognisedByNameOrEnvironment) {
    // The local machine answers itself only when addressed as "" (its own
    // network name is switched off here).
    net->local().reachable = false;
    EXPECT_EQ(read(u"ws0001"), 0);
    EXPECT_EQ(text(u"Computer"), u"ws0001");
    m.let(u"MinPasswordLen", 6);
    EXPECT_EQ(number(u"LastError"), 0);
    net->local().system.set_env(u"COMPUTERNAME", u"Alias");
    EXPECT_EQ(read(u"ALIAS"), 0);
    EXPECT_EQ(read(u"\\\\WS0001"), 53);  // a "\\" name is passed as it is

    // Without the machine's name, the empty argument falls back to COMPUTERNAME.
    net->faults().fail(sim::op::GetComputerName, 8, 0);
    EXPECT_EQ(read(u""), 0);
    EXPECT_EQ(text(u"Computer"), u"Alias");
}

}  // namespace
}  // namespace vorlek
