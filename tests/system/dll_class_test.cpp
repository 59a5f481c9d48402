// DllClass through late-bound calls, as a script uses it.
#include <gtest/gtest.h>

#include "tests/support/simulated.h"

#include <cmath>

#include "library/client.h"
#include "platform/sim/time.h"

namespace vorlek {
namespace {

class DllClassTest : public testing_support::SimulatedTest {
  protected:
    client::Dispatch d = client::create(u"Vorlek.DllClass");

    static double date(const char16_t* text) { return Variant(text).to_date().serial; }
    // The file time of a UTC date, split as a script passes it.
    static std::pair<int32_t, int32_t> halves(platform::FileTime t) {
        return {static_cast<int32_t>(static_cast<uint32_t>(t)),
                static_cast<int32_t>(static_cast<uint32_t>(t >> 32))};
    }
    static platform::FileTime file_time(uint16_t y, uint16_t mo, uint16_t d, uint16_t h,
                                        uint16_t mi, uint16_t s) {
        platform::SystemTime t;
        t.year = y, t.month = mo, t.day = d, t.hour = h, t.minute = mi, t.second = s;
        return sim::calendar::to_file_time(t);
    }
    double call_date(StringView member, std::vector<Variant> args) {
        return d.call(member, std::move(args)).to_date().serial;
    }
};

struct CBaseCase {
    int32_t number, base, length;
    const char16_t* expected;
};

TEST_F(DllClassTest, CBaseDigitsPaddingAndRefusals) {
    const CBaseCase cases[] = {
        {255, 16, 4, u"00FF"},
        {5, 2, 0, u"101"},
        {0, 16, 2, u"00"},
        {0, 2, 0, u"0"},
        {35, 36, 0, u"Z"},
        {1295, 36, 1, u"ZZ"},  // a longer text is not cut
        {2147483647, 2, 0, u"1111111111111111111111111111111"},
        {2147483647, 36, 0, u"ZIK0ZJ"},
        {37, 37, 0, u"10"},
        {36, 37, 3, u"000"},  // a digit beyond "z" is left out
        {10, 10, -5, u"10"},
        // Refused: no base, bases that never reach 0, negative numbers, absurd padding.
        {10, 0, 0, u"dflt"},
        {10, 1, 0, u"dflt"},
        {10, -1, 0, u"dflt"},
        {10, -2, 0, u"dflt"},
        {-1, 2, 0, u"dflt"},
        {-2147483647 - 1, 16, 0, u"dflt"},
        {1, 2, 2147483647, u"dflt"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(d.call(u"CBase", {c.number, c.base, c.length, u"dflt"}).to_string(), c.expected)
            << c.number << " base " << c.base << " len " << c.length;
    }
}

struct CBaseToNumCase {
    const char16_t* text;
    const char16_t* base;
    double expected;
};

TEST_F(DllClassTest, CBaseToNumCaseRulesAndFailures) {
    const CBaseToNumCase cases[] = {
        {u"ff", u"F", 255},
        {u"FF", u"F", 255},
        {u"101", u"1", 5},
        {u"12", u"1", -9999},
        {u"0000", u"9", 0},
        {u"", u"9", -9999},
        {u"10", u"f", -9999},
        {u"10", u"F", 16},
        {u"zz", u"Z", 1295},
        {u"10", u"FF", -9999},
        {u"10", u"", -9999},
        {u"1G", u"F", -9999},
        {u"1-", u"9", -9999},
        {u"000", u"0", 0},
        {u"1", u"0", -9999},
        {u"7fffffff", u"F", 2147483647.0},
        {u"100000000", u"F", 4294967296.0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(d.call(u"CBaseToNum", {c.text, c.base}).to_double(), c.expected)
            << to_utf8(c.text) << " / " << to_utf8(c.base);
    }
    // A value beyond the double range is refused rather than infinite.
    EXPECT_EQ(d.call(u"CBaseToNum", {String(300, u'Z'), u"Z"}).to_double(), -9999);
    // Round trip with CBase.
    for (int32_t n : {0, 1, 35, 36, 4711, 2147483647}) {
        for (auto [base, top] : {std::pair{2, u"1"}, {16, u"F"}, {36, u"Z"}}) {
            String text = d.call(u"CBase", {n, base, 0, u""}).to_string();
            EXPECT_EQ(d.call(u"CBaseToNum", {text, top}).to_double(), n) << n << " base " << base;
        }
    }
}

TEST_F(DllClassTest, FileTimeToDateTimeStaysInUtcAndDropsMilliseconds) {
    EXPECT_EQ(call_date(u"FileTimeToDateTime", {0, 0}), date(u"1601-01-01"));
    auto [low, high] = halves(file_time(2024, 7, 15, 8, 30, 5) + 9'990'000);  // .999 s
    EXPECT_EQ(call_date(u"FileTimeToDateTime", {low, high}), date(u"2024-07-15 08:30:05"));
    auto [l2, h2] = halves(file_time(1899, 12, 29, 18, 0, 0));
    EXPECT_EQ(call_date(u"FileTimeToDateTime", {l2, h2}), -1.75);
    // Beyond the range of file times: the documented fallback 1900-01-01.
    EXPECT_EQ(call_date(u"FileTimeToDateTime", {0, -1}), 2);
    net->faults().fail(sim::op::FileTimeToSystemTime, 87);
    EXPECT_EQ(call_date(u"FileTimeToDateTime", {low, high}), 2);
}

TEST_F(DllClassTest, FileTimeToLocFileTimeAppliesTheBiasInForceNow) {
    // The preset clock is in July: daylight time, two hours east of UTC,
    // even for a January date.
    EXPECT_EQ(call_date(u"FileTimeToLocFileTime", {Date{date(u"2024-01-10 12:00:00")}}),
              date(u"2024-01-10 14:00:00"));
    net->local().time.clock = file_time(2024, 12, 1, 0, 0, 0);
    EXPECT_EQ(call_date(u"FileTimeToLocFileTime", {Date{date(u"2024-07-10 12:00:00")}}),
              date(u"2024-07-10 13:00:00"));
    // A numeric argument is taken as a date serial (what JScript passes).
    EXPECT_EQ(call_date(u"FileTimeToLocFileTime", {date(u"2024-07-10 23:30:00")}),
              date(u"2024-07-11 00:30:00"));
    // Not a valid date, or before file times begin: 1970-01-01.
    EXPECT_EQ(call_date(u"FileTimeToLocFileTime", {Date{3e6}}), 25569);
    EXPECT_EQ(call_date(u"FileTimeToLocFileTime", {Date{std::nan("")}}), 25569);
    EXPECT_EQ(call_date(u"FileTimeToLocFileTime", {Date{date(u"1500-06-01")}}), 25569);
    for (auto* op : {&sim::op::SystemTimeToFileTime, &sim::op::FileTimeToLocalFileTime,
                     &sim::op::FileTimeToSystemTime}) {
        net->faults().fail(*op, 87);
        EXPECT_EQ(call_date(u"FileTimeToLocFileTime", {Date{45000}}), 25569) << to_utf8(op->name);
    }
}

struct ZoneCase {
    const char* zone;
    const char16_t* utc;
    const char16_t* local;
};

TEST_F(DllClassTest, SysTimeToTzLocTimeAroundBothDaylightSwitches) {
    const ZoneCase cases[] = {
        // Central Europe, bias -60: daylight from 2024-03-31 01:00 to 2024-10-27 01:00 UTC.
        {"cet", u"2024-03-31 00:59:59", u"2024-03-31 01:59:59"},
        {"cet", u"2024-03-31 01:00:00", u"2024-03-31 03:00:00"},
        {"cet", u"2024-10-27 00:59:59", u"2024-10-27 02:59:59"},
        {"cet", u"2024-10-27 01:00:00", u"2024-10-27 02:00:00"},
        {"cet", u"2024-12-31 23:30:00", u"2025-01-01 00:30:00"},
        {"cet", u"1601-01-01", u"1601-01-01 01:00:00"},
        // US Eastern, bias 300: daylight from 2024-03-10 07:00 to 2024-11-03 06:00 UTC.
        {"us", u"2024-03-10 06:59:59", u"2024-03-10 01:59:59"},
        {"us", u"2024-03-10 07:00:00", u"2024-03-10 03:00:00"},
        {"us", u"2024-11-03 05:59:59", u"2024-11-03 01:59:59"},
        {"us", u"2024-11-03 06:00:00", u"2024-11-03 01:00:00"},
        {"us", u"2025-03-09 07:00:00", u"2025-03-09 03:00:00"},
        {"us", u"2024-01-01 03:00:00", u"2023-12-31 22:00:00"},
        // West of UTC, the first instants of file time have no local time.
        {"us", u"1601-01-01", u"1970-01-01"},
    };
    for (const auto& c : cases) {
        net->local().time.zone =
            std::string(c.zone) == "cet" ? sim::central_european_zone() : sim::us_eastern_zone();
        EXPECT_EQ(call_date(u"SysTimeToTzLocTime", {Date{date(c.utc)}}), date(c.local))
            << c.zone << " " << to_utf8(c.utc);
    }
    // A zone without daylight rules.
    net->local().time.zone = platform::TimeZone{-330};
    EXPECT_EQ(call_date(u"SysTimeToTzLocTime", {Date{date(u"2024-07-01 00:00:00")}}),
              date(u"2024-07-01 05:30:00"));
    EXPECT_EQ(call_date(u"SysTimeToTzLocTime", {Date{-1e7}}), 25569);
}

TEST_F(DllClassTest, BiasLocaleIdsAndSleeping) {
    EXPECT_EQ(d.call(u"GetBias").to_long(), -60);
    net->local().time.zone = sim::us_eastern_zone();
    EXPECT_EQ(d.call(u"GetBias").to_long(), 300);
    net->faults().fail(sim::op::GetTimeZoneInformation, 5, 2);
    EXPECT_EQ(d.call(u"GetBias").to_long(), -9999);
    EXPECT_EQ(call_date(u"SysTimeToTzLocTime", {Date{45000}}), 25569);

    EXPECT_EQ(d.get(u"UserDefaultLCID").to_long(), 1033);
    net->local().locale.user_lcid = 1031;
    EXPECT_EQ(d.get(u"UserDefaultLCID").to_long(), 1031);
    EXPECT_EQ(d.get(u"SystemDefaultLCID").to_long(), 1033);

    const auto before = net->local().time.clock;
    d.call(u"Sleeping", {250});
    EXPECT_EQ(net->local().time.clock - before, 2'500'000u);
    d.call(u"Sleeping", {-1});  // would be INFINITE: returns at once
    EXPECT_EQ(net->local().time.clock - before, 2'500'000u);
    EXPECT_EQ(d.get(u"LastError").to_long(), 0);
}

}  // namespace
}  // namespace vorlek
