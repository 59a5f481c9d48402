#include "automation/text.h"

namespace vorlek {

namespace {

// Pairs of ranges where upper and lower case differ by a fixed offset, or
// alternate (even upper, odd lower) within a block.
struct Span {
    char16_t first_upper;
    char16_t last_upper;
    int16_t delta;     // lower - upper, for offset blocks
    bool alternating;  // upper at even, lower at odd code points
};

constexpr Span kSpans[] = {
    {0x0041, 0x005A, 32, false}, {0x00C0, 0x00D6, 32, false}, {0x00D8, 0x00DE, 32, false},
    {0x0100, 0x012F, 1, true},   {0x0132, 0x0137, 1, true},   {0x014A, 0x0177, 1, true},
    {0x0182, 0x0185, 1, true},   {0x01A0, 0x01A5, 1, true},   {0x01DE, 0x01EF, 1, true},
    {0x01F8, 0x021F, 1, true},   {0x0391, 0x03A1, 32, false}, {0x03A3, 0x03AB, 32, false},
    {0x0400, 0x040F, 80, false}, {0x0410, 0x042F, 32, false}, {0x0460, 0x0481, 1, true},
    {0x048A, 0x04BF, 1, true},   {0x04D0, 0x04FF, 1, true},   {0xFF21, 0xFF3A, 32, false},
};

// Odd-indexed alternating blocks (upper at odd code points).
struct OddSpan {
    char16_t first_upper;
    char16_t last_upper;
};
constexpr OddSpan kOddSpans[] = {{0x0139, 0x0148}, {0x0179, 0x017E}, {0x01CD, 0x01DC}};

}  // namespace

char16_t detail::to_upper_beyond_ascii(char16_t c) {
    if (c == 0x00FF) return 0x0178;
    for (const auto& s : kSpans) {
        if (s.alternating) {
            if (c >= s.first_upper && c <= s.last_upper + 1 && ((c - s.first_upper) & 1) == 1)
                return static_cast<char16_t>(c - 1);
        } else if (c >= s.first_upper + s.delta && c <= s.last_upper + s.delta) {
            return static_cast<char16_t>(c - s.delta);
        }
    }
    for (const auto& s : kOddSpans) {
        if (c > s.first_upper && c <= s.last_upper + 1 && ((c - s.first_upper) & 1) == 1)
            return static_cast<char16_t>(c - 1);
    }
    if (c == 0x03C2) return 0x03A3;  // final sigma
    return c;
}

char16_t to_lower(char16_t c) {
    if (c < 0x80) return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c + 32) : c;
    if (c == 0x0178) return 0x00FF;
    for (const auto& s : kSpans) {
        if (c < s.first_upper || c > s.last_upper) continue;
        if (!s.alternating) return static_cast<char16_t>(c + s.delta);
        if (((c - s.first_upper) & 1) == 0) return static_cast<char16_t>(c + 1);
    }
    for (const auto& s : kOddSpans) {
        if (c >= s.first_upper && c <= s.last_upper && ((c - s.first_upper) & 1) == 0)
            return static_cast<char16_t>(c + 1);
    }
    return c;
}

String to_upper(StringView text) {
    String out(text);
    for (auto& c : out)
        c = to_upper(c);
    return out;
}

String to_lower(StringView text) {
    String out(text);
    for (auto& c : out)
        c = to_lower(c);
    return out;
}

String trim_spaces(StringView text) {
    const size_t first = text.find_first_not_of(u' ');
    if (first == StringView::npos) return {};
    return String(text.substr(first, text.find_last_not_of(u' ') - first + 1));
}

}  // namespace vorlek
