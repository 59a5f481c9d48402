// The text forms of account fields: flag words to names, the workstation
// list, and logon hours between the stored bitmap and local-time digits.
#include <gtest/gtest.h>

#include <random>

#include "tests/support/simulated.h"
#include "users/account_text.h"

namespace vorlek::users {
namespace {

TEST(AccountText, FlagWordsToNames) {
    EXPECT_EQ(authority_text(0), u"AF_OP_NONE");
    EXPECT_EQ(authority_text(12), u"AF_OP_ACCOUNTS;AF_OP_SERVER");
    EXPECT_EQ(authority_text(15), u"AF_OP_ACCOUNTS;AF_OP_SERVER;AF_OP_COMM;AF_OP_PRINT");
    EXPECT_EQ(authority_text(16), u"");  // no operator bit

    const struct {
        uint32_t flags;
        int32_t bit;
        StringView name;
    } types[] = {
        {0x0201, 0x200, u"UF_NORMAL_ACCOUNT"},
        {0x2000, 0x2000, u"UF_SERVER_TRUST_ACCOUNT"},
        {0x1000 | 0x0800, 0x800, u"UF_INTERDOMAIN_TRUST_ACCOUNT"},  // the lowest bit wins
        {0x2100, 0x100, u"UF_TEMP_DUPLICATE_ACCOUNT"},
        {0x0013, 0, u""},
    };
    for (const auto& t : types) {
        auto got = account_type(t.flags);
        EXPECT_EQ(got.bit, t.bit) << std::hex << t.flags;
        EXPECT_EQ(got.name, t.name) << std::hex << t.flags;
    }
    EXPECT_EQ(first_type_bit(0x2201), 0x200u);
    EXPECT_EQ(first_type_bit(0x0003), 0u);
    EXPECT_EQ(privilege_text(2), u"USER_PRIV_ADMIN");
    EXPECT_EQ(privilege_text(3), u"USER_PRIV_MASK");
    EXPECT_EQ(privilege_text(4), u"");
}

TEST(AccountText, WorkstationListKeepsEightNamesAsGiven) {
    auto ten = split_workstations(u"W1,W2,W3,W4,W5,W6,W7,W8,W9,W10");
    EXPECT_EQ(ten.list, u"W1,W2,W3,W4,W5,W6,W7,W8");
    EXPECT_EQ(ten.names[7], u"W8");
    auto odd = split_workstations(u" a ,,b,");
    EXPECT_EQ(odd.names[0], u" a ");
    EXPECT_EQ(odd.names[1], u"");
    EXPECT_EQ(odd.names[2], u"b");
    EXPECT_EQ(odd.names[3], u"");
    EXPECT_EQ(odd.list, u" a ,,b");
    EXPECT_EQ(split_workstations(u"").list, u"");
}

TEST(AccountText, DayTextAsHourRanges) {
    const auto day = [](std::initializer_list<int> hours) {  // 1-based digits set
        String d(24, u'0');
        for (int h : hours)
            d[h - 1] = u'1';
        return day_text(d, u"Error");
    };
    EXPECT_EQ(day({}), u"0-0");
    EXPECT_EQ(day_text(String(24, u'1'), u"Error"), u"0-24");
    EXPECT_EQ(day({9, 10, 11, 12, 13, 14, 15, 16, 17}), u"8-17");
    EXPECT_EQ(day({24}), u"23-24");
    EXPECT_EQ(day({1, 10, 11, 12}), u"0-1;9-12");
    EXPECT_EQ(day({1, 2}), u"0-2");
    EXPECT_EQ(day({23, 24}), u"22-24");
    EXPECT_EQ(day({2, 4}), u"1-2;3-4");
    EXPECT_EQ(day_text(u"0101", u"Error"), u"Error");  // not a day
}

TEST(AccountText, ShiftRoundsHalvesToEven) {
    const std::pair<int32_t, int32_t> cases[] = {{-60, -1}, {0, 0},    {30, 0},  {90, 2},
                                                 {150, 2},  {-90, -2}, {300, 5}, {-570, -10}};
    for (auto [bias, shift] : cases)
        EXPECT_EQ(hours_shift(bias), shift) << bias;
}

class LogonHoursTest : public testing_support::SimulatedTest {};

TEST_F(LogonHoursTest, BitmapToLocalDigitsAndDays) {
    HoursBitmap all;
    all.fill(0xFF);
    WeekHours w;
    ASSERT_EQ(hours_from_bitmap(all, -1, false, w), 0);
    EXPECT_EQ(w.week, String(168, u'1'));
    for (const auto& d : w.days)
        EXPECT_EQ(d, u"0-24");

    HoursBitmap none{};
    ASSERT_EQ(hours_from_bitmap(none, 0, false, w), 0);
    EXPECT_EQ(w.week, String(168, u'0'));
    for (const auto& d : w.days)
        EXPECT_EQ(d, u"0-0");

    // Sunday 00:00-01:00 universal time, one hour east of it: 01:00-02:00.
    HoursBitmap first{};
    first[0] = 0x01;
    ASSERT_EQ(hours_from_bitmap(first, hours_shift(-60), true, w), 0);
    EXPECT_EQ(w.week.find(u'1'), 1u);
    EXPECT_EQ(w.days[0], u"01" + String(22, u'0'));
    ASSERT_EQ(hours_from_bitmap(first, hours_shift(-60), false, w), 0);
    EXPECT_EQ(w.days[0], u"1-2");
    EXPECT_EQ(w.week.find(u'1'), 1u);  // the week stays digits

    // West of universal time the hour wraps back into Saturday; bit 7 of the
    // last byte is Saturday 23:00 universal time.
    ASSERT_EQ(hours_from_bitmap(first, 1, false, w), 0);
    EXPECT_EQ(w.days[6], u"23-24");
    EXPECT_EQ(w.days[0], u"0-0");
    HoursBitmap last{};
    last[20] = 0x80;
    ASSERT_EQ(hours_from_bitmap(last, -1, false, w), 0);
    EXPECT_EQ(w.days[0], u"0-1");
}

TEST_F(LogonHoursTest, DigitsBackToTheSameBitmapAtAnyShift) {
    std::mt19937 random(7);
    for (int32_t shift : {-13, -1, 0, 1, 2, 12, 167, -170}) {
        HoursBitmap bitmap;
        for (auto& b : bitmap)
            b = static_cast<uint8_t>(random());
        WeekHours w;
        ASSERT_EQ(hours_from_bitmap(bitmap, shift, true, w), 0);
        HoursBitmap back{};
        String shown;
        ASSERT_EQ(bitmap_from_hours(w.week, shift, back, shown), 0);
        EXPECT_EQ(back, bitmap) << shift;
        EXPECT_EQ(shown, w.week);
    }
    // Anything but "0" is an hour allowed; a wrong length is refused.
    HoursBitmap back{};
    String shown;
    ASSERT_EQ(bitmap_from_hours(String(168, u'x'), 0, back, shown), 0);
    EXPECT_EQ(shown, String(168, u'1'));
    EXPECT_EQ(back[20], 0xFF);
    back.fill(0x5A);
    EXPECT_EQ(bitmap_from_hours(String(167, u'1'), 0, back, shown), kHoursLength);
    EXPECT_EQ(back[0], 0x5A);  // untouched
}

}  // namespace
}  // namespace vorlek::users
