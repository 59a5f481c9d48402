#include "automation/variant.h"

#include <gtest/gtest.h>

#include "tests/support/errors.h"

#include "automation/checked.h"
#include "automation/text.h"

namespace vorlek {
namespace {

using testing_support::error_of;

TEST(Coercion, NumericTextBecomesNumbers) {
    EXPECT_EQ(Variant(u"12").to_long(), 12);
    EXPECT_EQ(Variant(u"  -7 ").to_integer(), -7);
    EXPECT_EQ(Variant(u"&HFF").to_long(), 255);
    EXPECT_EQ(Variant(u"&HFFFFFFFF").to_long(), -1);
    EXPECT_DOUBLE_EQ(Variant(u"1.5e2").to_double(), 150.0);
    // Round half to even, as the automation coercion does.
    EXPECT_EQ(Variant(2.5).to_long(), 2);
    EXPECT_EQ(Variant(3.5).to_long(), 4);
    EXPECT_EQ(Variant(u"-2.5").to_integer(), -2);
}

TEST(Coercion, FailuresRaiseTypeMismatchOrOverflow) {
    EXPECT_EQ(error_of([] { Variant(u"abc").to_long(); }), err::kTypeMismatch);
    EXPECT_EQ(error_of([] { Variant(u"").to_long(); }), err::kTypeMismatch);
    EXPECT_EQ(error_of([] { Variant(u"1e").to_double(); }), err::kTypeMismatch);
    EXPECT_EQ(error_of([] { Variant(u"32768").to_integer(); }), err::kOverflow);
    EXPECT_EQ(error_of([] { Variant(256).to_byte(); }), err::kOverflow);
    EXPECT_EQ(error_of([] { Variant(-1).to_byte(); }), err::kOverflow);
    EXPECT_EQ(error_of([] { Variant(3e9).to_long(); }), err::kOverflow);
    EXPECT_EQ(error_of([] { Variant(Missing{}).to_string(); }), err::kTypeMismatch);
    EXPECT_EQ(error_of([] { Variant::byte_array({1}).to_string(); }), err::kTypeMismatch);
    EXPECT_EQ(error_of([] { Variant(Null{}).to_long(); }), err::kTypeMismatch);
}

TEST(Coercion, BooleansAreMinusOneAndAnyNonZeroIsTrue) {
    EXPECT_EQ(Variant(true).to_long(), -1);
    EXPECT_EQ(Variant(false).to_integer(), 0);
    EXPECT_TRUE(Variant(7).to_bool());
    EXPECT_TRUE(Variant(u"true").to_bool());
    EXPECT_FALSE(Variant(u"0").to_bool());
    EXPECT_EQ(Variant(true).to_string(), u"True");
    EXPECT_EQ(error_of([] { Variant(u"yes").to_bool(); }), err::kTypeMismatch);
}

TEST(Coercion, NumbersAndDatesAsText) {
    EXPECT_EQ(Variant(-42).to_string(), u"-42");
    EXPECT_EQ(Variant(uint8_t{255}).to_string(), u"255");
    EXPECT_EQ(Variant(0.1).to_string(), u"0.1");
    EXPECT_EQ(Variant(1e20).to_string(), u"1E+20");
    EXPECT_EQ(Variant(Date{0}).to_string(), u"12/30/1899");
    EXPECT_EQ(Variant(Date{45000.5}).to_string(), u"3/15/2023 12:00:00 PM");
    EXPECT_DOUBLE_EQ(Variant(u"2023-03-15 12:00").to_date().serial, 45000.5);
    EXPECT_DOUBLE_EQ(Variant(u"3/15/2023 6:00 PM").to_date().serial, 45000.75);
    EXPECT_EQ(error_of([] { Variant(u"2023-02-30").to_date(); }), err::kTypeMismatch);
    // Past the Date's range (a client can hand in any double as a date).
    EXPECT_EQ(error_of([] { Variant(Date{7.7e306}).to_string(); }), err::kOverflow);
    EXPECT_EQ(error_of([] { Variant(Date{-657435}).to_string(); }), err::kOverflow);
    EXPECT_EQ(error_of([] { Variant(1e300).to_date(); }), err::kOverflow);
    EXPECT_EQ(Variant(Date{2958465.5}).to_string(), u"12/31/9999 12:00:00 PM");
}

TEST(Arrays, BoundsAndElements) {
    Variant v = Variant::long_array({10, 20, 30}, 1);
    const Array* a = v.if_array();
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->upper_bound(), 3);
    EXPECT_EQ(a->at(2), Variant(20));
    EXPECT_EQ(error_of([&] { a->at(0); }), err::kSubscript);
    EXPECT_EQ(v, Variant::long_array({10, 20, 30}, 1));
    EXPECT_FALSE(v == Variant::long_array({10, 20, 30}, 0));
}

TEST(Checked, SixteenAndThirtyTwoBitArithmeticRaisesOverflow) {
    int16_t counter = 32766;
    checked::increment(counter);
    EXPECT_EQ(counter, 32767);
    EXPECT_EQ(error_of([&] { checked::increment(counter); }), err::kOverflow);
    EXPECT_EQ(counter, 32767);
    EXPECT_EQ(error_of([] { checked::mul<int32_t>(65536, 65536); }), err::kOverflow);
    EXPECT_EQ(error_of([] { checked::sub<int32_t>(INT32_MIN, 1); }), err::kOverflow);
    EXPECT_EQ(error_of([] { checked::narrow<int16_t>(40000.0); }), err::kOverflow);
}

TEST(Text, Utf8RoundTripAndCaseMapping) {
    EXPECT_EQ(to_utf8(from_utf8("a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80")),
              "a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80");
    EXPECT_EQ(from_utf8("\xC3"), u"\uFFFD");
    EXPECT_EQ(to_upper(u"straße éÿ ĳ ж"), u"STRAßE ÉŸ Ĳ Ж");
    EXPECT_EQ(to_lower(u"ÀŁŽ"), u"àłž");
    EXPECT_TRUE(equal_ignore_case(u"Ärger", u"äRGER"));
}

}  // namespace
}  // namespace vorlek
