// PackedTexts: every text comes back as set, whatever its length and place,
// and a change keeps the others, also when the new value is one of them.
#include <gtest/gtest.h>

#include "automation/packed_texts.h"

namespace vorlek {
namespace {

TEST(PackedTextsTest, TextsComeBackAsSet) {
    const String longer(0x1'0005, u'x');  // past what one code unit counts
    const String edge(0xFFFF, u'y');
    const String with_nul(u"a\0b", 3);
    struct Case {
        const char* name;
        StringView texts[4];
    };
    const Case cases[] = {
        {"none", {}},
        {"first only", {u"name"}},
        {"last only", {{}, {}, {}, u"last"}},
        {"gaps", {u"a", {}, u"c", {}}},
        {"long and at the edge", {longer, edge, u"", longer}},
        {"a NUL inside", {with_nul, u"z"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        PackedTexts<4> p;
        p.set({{0, c.texts[0]}, {1, c.texts[1]}, {2, c.texts[2]}, {3, c.texts[3]}});
        for (size_t i = 0; i < 4; ++i)
            EXPECT_EQ(p[i], c.texts[i]) << i;
        const PackedTexts<4> copy = p;
        for (size_t i = 0; i < 4; ++i)
            EXPECT_EQ(copy[i], c.texts[i]) << i;
    }
}

TEST(PackedTextsTest, ChangesKeepTheOthers) {
    PackedTexts<3> p;
    p.set({{1, u"middle"}});
    p.set({{0, u"first"}, {2, p[1]}});  // a value from the texts themselves
    EXPECT_EQ(p[0], u"first");
    EXPECT_EQ(p[1], u"middle");
    EXPECT_EQ(p[2], u"middle");
    p.set({{1, u""}, {2, u""}});
    EXPECT_EQ(p[0], u"first");
    EXPECT_EQ(p[2], u"");
    p.set({{0, u""}});
    EXPECT_EQ(p[0], u"");
    p.set({{2, String(70000, u'q')}});
    EXPECT_EQ(p[2].size(), 70000u);
    p.clear();
    EXPECT_EQ(p[2], u"");
}

}  // namespace
}  // namespace vorlek
