// Stringer through late-bound calls, as a script uses it.
#include <gtest/gtest.h>

#include "strings/stringer.h"
#include "tests/support/simulated.h"

#include "library/client.h"
#include "platform/sim/network.h"

namespace vorlek {
namespace {

using client::arg;

class StringerTest : public testing_support::SimulatedTest {
  protected:
    client::Dispatch s = client::create(u"Vorlek.Stringer");

    String str(const Variant& v) { return v.to_string(); }
};

TEST_F(StringerTest, ReplaceStringDefaultsMatchExplicitArguments) {
    EXPECT_EQ(str(s.call(u"ReplaceString", {u"aXbXc", u"-", u"x"})), u"a-b-c");
    EXPECT_EQ(s.call(u"ReplaceString", {u"aXbXc", u"-", u"x"}),
              s.call(u"ReplaceString", {u"aXbXc", u"-", u"x", 0, 1, -9999999, -9999999}));
    EXPECT_EQ(str(s.call(u"ReplaceString", {u"aXbXc", u"-", u"x", 0, 0})), u"aXbXc");
    // Only the two required arguments: range mode without a start changes nothing.
    EXPECT_EQ(str(s.call(u"ReplaceString", {u"abc", u"Z"})), u"abc");
    EXPECT_EQ(str(s.call(u"ReplaceString", {u"abcdef", u"XY"},
                         {arg(u"lngStart", 2), arg(u"lngStop", 4)})),
              u"aXYef");
}

struct ReplaceCase {
    const char16_t* text;
    const char16_t* with;
    Variant to_replace;
    int32_t position;
    int32_t case_sens;
    int32_t start;
    int32_t stop;
    const char16_t* expected;
};

TEST_F(StringerTest, ReplaceStringModesAndLimits) {
    const Variant range(u"\u00B0^");
    const ReplaceCase cases[] = {
        // Range mode.
        {u"abcdef", u"XY", range, 0, 1, 2, 4, u"aXYef"},
        {u"abcdef", u"XY", range, 0, 1, 0, 99, u"XY"},
        {u"abcdef", u"XY", range, 0, 1, 5, 3, u"abcdef"},
        {u"abcdef", u"XY", range, 0, 1, 7, -9999999, u"abcdef"},
        {u"abcdef", u"XY", range, 0, 1, 4, -9999999, u"abcXY"},
        {u"abcdef", u"XY", range, 0, 1, 2, 0, u"abcdef"},
        {u"abcdef", u"", range, 0, 7, 6, 6, u"abcde"},  // no search, the mode is not used
        {u"abcdef", u"XY", range, -2, 1, 2, 4, u"abcdef"},
        // All: inserted text is not searched again.
        {u"aaa", u"aa", u"a", 0, 1, 0, 0, u"aaaaaa"},
        {u"abab", u"", u"AB", 0, 1, 0, 0, u""},
        // Nth and last walk overlapping matches.
        {u"aaa", u"b", u"aa", 2, 1, 0, 0, u"ab"},
        {u"aaa", u"b", u"aa", 3, 1, 0, 0, u"aaa"},
        {u"aaaa", u"b", u"aa", -1, 1, 0, 0, u"aab"},
        {u"hello", u"b", u"x", -1, 1, 0, 0, u"hello"},
        {u"xAxa", u"-", u"a", 1, 0, 0, 0, u"xAx-"},
        // Invalid combinations return the text unchanged.
        {u"", u"b", u"a", 0, 1, 0, 0, u""},
        {u"abc", u"b", u"", 0, 1, 0, 0, u"abc"},
        {u"abc", u"b", u"a", -2, 1, 0, 0, u"abc"},
        {u"abc", u"b", u"a", 4, 1, 0, 0, u"abc"},
        {u"abc", u"b", u"a", 0, 2, 0, 0, u"abc"},
    };
    const String nul(1, u'\0');
    EXPECT_EQ(str(s.call(u"ReplaceString", {nul, u"b", nul})), nul);
    for (const auto& c : cases) {
        EXPECT_EQ(str(s.call(u"ReplaceString", {c.text, c.with, c.to_replace, c.position,
                                                c.case_sens, c.start, c.stop})),
                  c.expected)
            << to_utf8(c.text) << " / " << to_utf8(c.to_replace.to_string()) << " pos "
            << c.position;
    }
}

TEST_F(StringerTest, CaseBlindSearchUsesTheLocaleNotJustAscii) {
    EXPECT_EQ(str(s.call(u"ReplaceString", {u"\u00C9t\u00E9", u"e", u"\u00E9"})), u"ete");
}

TEST_F(StringerTest, ReverseString) {
    EXPECT_EQ(str(s.call(u"ReverseString", {u"abcdefg", u"?", 3})), u"gdefabc");
    EXPECT_EQ(str(s.call(u"ReverseString", {u"abcdefg", u"?"})), u"gfedcba");
    EXPECT_EQ(str(s.call(u"ReverseString", {u"abc", u"?", 3})), u"abc");
    EXPECT_EQ(str(s.call(u"ReverseString", {u"abc", u"?", 0})), u"abc");
    EXPECT_EQ(str(s.call(u"ReverseString", {u"", u"?", 1})), u"");
    // The 16-bit position counter: 32767 characters work, one more overflows.
    String edge(32767, u'x');
    edge[0] = u'a';
    EXPECT_EQ(str(s.call(u"ReverseString", {edge, u"?", 1})).back(), u'a');
    EXPECT_EQ(str(s.call(u"ReverseString", {String(32768, u'x'), u"?", 1})), u"?");
}

TEST_F(StringerTest, InitSeperatorPiecesKeysAndGaps) {
    EXPECT_TRUE(s.get(u"SepStrings").object() == nullptr);
    EXPECT_EQ(s.call(u"InitSeperator", {u"a;b;", u";"}), Variant(0));
    client::Dispatch coll(s.get(u"SepStrings"));
    EXPECT_EQ(coll.get(u"Count"), Variant(3));
    EXPECT_EQ(client::Dispatch(coll.call(u"Item", {u"#3"})).get(u"SepString"), Variant(u""));

    EXPECT_EQ(s.call(u"InitSeperator", {u"a,,b", u",", false}), Variant(0));
    client::Dispatch gaps(s.get(u"SepStrings"));
    EXPECT_EQ(gaps.get(u"Count"), Variant(2));
    EXPECT_EQ(client::Dispatch(gaps.call(u"Item", {u"#3"})).get(u"SepString"), Variant(u"b"));
    // The earlier collection is a different one and kept what it had.
    EXPECT_EQ(coll.get(u"Count"), Variant(3));

    // An empty separator changes nothing.
    EXPECT_EQ(s.call(u"InitSeperator", {u"x", u""}), Variant(-9999));
    EXPECT_EQ(client::Dispatch(s.get(u"SepStrings")).object(), gaps.object());

    EXPECT_EQ(s.call(u"InitSeperator", {u"", u";"}), Variant(0));
    EXPECT_EQ(client::Dispatch(s.get(u"SepStrings")).get(u"Count"), Variant(1));
    EXPECT_EQ(s.call(u"InitSeperator", {u"", u";", false}), Variant(0));
    EXPECT_EQ(client::Dispatch(s.get(u"SepStrings")).get(u"Count"), Variant(0));

    // Items are Stringers with no collection and no error.
    client::Dispatch item(gaps.call(u"Item", {1}));
    EXPECT_TRUE(item.get(u"SepStrings").object() == nullptr);
    EXPECT_EQ(item.get(u"LastError"), Variant(0));
}

TEST_F(StringerTest, InitSeperatorStopsAtTheSixteenBitCounter) {
    String text;
    for (int i = 0; i < 32769; ++i)
        text += u"x,";  // 32770 pieces
    EXPECT_EQ(s.call(u"InitSeperator", {text, u","}), Variant(6));
    EXPECT_EQ(client::Dispatch(s.get(u"SepStrings")).get(u"Count"), Variant(32767));
    // Skipped empty pieces count too.
    String empties(40000, u',');
    EXPECT_EQ(s.call(u"InitSeperator", {empties, u",", false}), Variant(6));
    EXPECT_EQ(client::Dispatch(s.get(u"SepStrings")).get(u"Count"), Variant(0));
}

TEST_F(StringerTest, SepStringsCanBeReplacedAndWalked) {
    s.call(u"InitSeperator", {u"one two three", u" "});
    std::vector<String> seen;
    for (const Variant& v : client::Dispatch(s.get(u"SepStrings")).each())
        seen.push_back(client::Dispatch(v).get(u"SepString").to_string());
    EXPECT_EQ(seen, (std::vector<String>{u"one", u"two", u"three"}));
    client::Dispatch other = client::create(u"Vorlek.Stringer");
    other.call(u"InitSeperator", {u"z", u","});
    s.set(u"SepStrings", other.get(u"SepStrings"));
    EXPECT_EQ(client::Dispatch(s.get(u"SepStrings")).get(u"Count"), Variant(1));
}

TEST_F(StringerTest, StringToAnsiByteArray) {
    EXPECT_EQ(s.call(u"StringToANSIByteArray", {u"A\u00E9\u20AC\u4E00"}),
              Variant::byte_array({'A', 0xE9, 0x80, '0'}));
    EXPECT_EQ(s.get(u"LastError"), Variant(0));
    EXPECT_EQ(s.call(u"StringToANSIByteArray", {u""}), Variant::byte_array({0}));
    EXPECT_EQ(s.get(u"LastError"), Variant(9));
    net->faults().fail(sim::op::WideCharToMultiByte, 8);
    EXPECT_EQ(s.call(u"StringToANSIByteArray", {u"abc"}), Variant::byte_array({0}));
    EXPECT_EQ(s.get(u"LastError"), Variant(8));
    // A double-byte code page: the array holds every byte.
    net->local().locale.ansi_code_page = 932;
    EXPECT_EQ(s.call(u"StringToANSIByteArray", {u"a\u3042"}),
              Variant::byte_array({'a', 0x82, 0xA0}));
    EXPECT_EQ(s.get(u"LastError"), Variant(0));
    // UTF-8 as the system code page refuses the replacement character.
    net->local().locale.ansi_code_page = 65001;
    EXPECT_EQ(s.call(u"StringToANSIByteArray", {u"a"}), Variant::byte_array({0}));
    EXPECT_EQ(s.get(u"LastError"), Variant(87));
}

TEST_F(StringerTest, ByteArrayToHexString) {
    auto hex = [&](Variant a, const char16_t* sep, int16_t len, const char16_t* line) {
        return str(s.call(u"ByteArrayToHexString", {std::move(a), sep, len, line}));
    };
    EXPECT_EQ(hex(Variant::byte_array({1, 171, 255}), u" ", 2, u"|"), u"01 AB|FF");
    EXPECT_EQ(hex(Variant::byte_array({1, 171, 255, 16}), u" ", 2, u"|"), u"01 AB|FF 10");
    EXPECT_EQ(hex(Variant::byte_array({10}), u"--", 1, u"++"), u"0A");
    EXPECT_EQ(hex(Variant::byte_array({1, 2}), u"", 0, u";"), u"0102");
    EXPECT_EQ(hex(Variant::byte_array({}), u" ", 0, u""), u"");
    EXPECT_EQ(hex(Variant::long_array({-1, 300}), u" ", 0, u""), u"FFFFFFFF 12C");
    EXPECT_EQ(hex(Variant::variant_array({int16_t{-1}, u"12"}), u" ", 0, u""), u"FFFF 0C");
    EXPECT_EQ(s.get(u"LastError"), Variant(0));

    EXPECT_EQ(hex(u"not an array", u" ", 0, u""), u"");
    EXPECT_EQ(s.get(u"LastError"), Variant(13));
    EXPECT_EQ(hex(Variant::byte_array({1, 2}, 1), u" ", 0, u""), u"");
    EXPECT_EQ(s.get(u"LastError"), Variant(9));
    EXPECT_EQ(hex(Variant::variant_array({u"zz"}), u" ", 0, u""), u"");
    EXPECT_EQ(s.get(u"LastError"), Variant(13));
    // The section counter is 16-bit and never resets without a section length.
    EXPECT_EQ(hex(Variant::byte_array(std::vector<uint8_t>(32768, 1)), u"", 0, u""), u"");
    EXPECT_EQ(s.get(u"LastError"), Variant(6));
    EXPECT_EQ(hex(Variant::byte_array(std::vector<uint8_t>(40000, 1)), u"", 100, u"").size(),
              80000u);
}

TEST_F(StringerTest, ReplaceEnvVars) {
    net->local().system.set_env(u"Greeting", u"hello");
    net->local().system.set_env(u"Indirect", u"%greeting%!");
    net->local().system.set_env(u"Loop", u"<%LOOP%>");
    auto env = [&](const char16_t* text, const char16_t* def) {
        return str(s.call(u"ReplaceEnvVars", {text, def}));
    };
    EXPECT_EQ(env(u"%greeting% world", u"?"), u"HELLO world");
    EXPECT_EQ(env(u"abc%def", u"?"), u"?");
    EXPECT_EQ(env(u"%NOSUCHVAR%x", u""), u"x");
    EXPECT_EQ(env(u"a%%b", u"-"), u"a-b");
    // A value that holds a reference is expanded again.
    EXPECT_EQ(env(u"[%indirect%]", u"?"), u"[HELLO!]");
    EXPECT_EQ(env(u"%NOSUCHVAR%", u"%greeting%"), u"HELLO");
    // One that refers to itself ends with strDefault instead of hanging.
    EXPECT_EQ(env(u"%loop%", u"?"), u"?");
    EXPECT_EQ(env(u"no references", u"?"), u"no references");
    // A reference split between a value and the text after it.
    net->local().system.set_env(u"Half", u"%GREE");
    EXPECT_EQ(env(u"<%half%ting%>", u"?"), u"<HELLO>");
}

TEST_F(StringerTest, ReplaceEnvVarsRescansUpToItsBound) {
    // V1 holds "%V2%a", ..., the last one "end": one rescan per link.
    auto chain = [&](int links) {
        for (int i = 1; i < links; ++i)
            net->local().system.set_env(u"V" + decimal(i), u"%V" + decimal(i + 1) + u"%a");
        net->local().system.set_env(u"V" + decimal(links), u"end");
        return str(s.call(u"ReplaceEnvVars", {u"[%V1%]", u"?"}));
    };
    EXPECT_EQ(chain(Stringer::kMaxRescans + 1),
              u"[END" + String(Stringer::kMaxRescans, u'A') + u"]");
    EXPECT_EQ(chain(Stringer::kMaxRescans + 2), u"?");
    // A strDefault that brings itself in again ends at a bound with strDefault.
    const String fallback = u"%NOSUCHVAR%" + String(16 << 10, u'd');
    EXPECT_EQ(str(s.call(u"ReplaceEnvVars", {u"%NOSUCHVAR%", fallback})), fallback);
}

TEST_F(StringerTest, GetCharEx) {
    const std::pair<uint8_t, const char16_t*> cases[] = {
        {0, u"NULL"},      {2, u"RUGHT_MOUSE_BUTTON"},
        {96, u"NUMPAD_0"}, {105, u"NUMPAD_9"},
        {112, u"F1"},      {113, u"F2"},
        {135, u"F24"},     {65, u"A"},
        {136, u"\u02C6"},  {145, u"SCROLL"},
        {21, u"\u0015"},   {255, u"\u00FF"},
    };
    for (const auto& [code, text] : cases)
        EXPECT_EQ(str(s.call(u"GetCharEx", {code})), text) << int(code);
    EXPECT_EQ(str(s.call(u"GetCharEx", {u"13"})), u"ENTER");
}

TEST_F(StringerTest, ConstantsAndErrorsAtTheDispatchLayer) {
    EXPECT_EQ(s.get(u"REPLACE_LAST"), Variant(-1));
    EXPECT_EQ(s.get(u"not_case_sensitive"), Variant(1));
    try {
        s.call(u"ReverseString", {u"abc", u"", u"abc"});
        FAIL();
    } catch (const DispatchError& e) {
        EXPECT_EQ(e.script_number(), 13);
    }
    try {
        client::create(u"Vorlek.NoSuchClass");
        FAIL();
    } catch (const DispatchError& e) {
        EXPECT_EQ(e.script_number(), 429);
    }
}

}  // namespace
}  // namespace vorlek
