// Case mapping shared by collection keys and the simulated platform's
// locale-aware comparison. Simple (one code unit to one code unit) mapping for
// the Latin, Greek and Cyrillic blocks, which is what NT's default casing table
// does for the BMP characters scripts use in names and keys.
#pragma once

#include "automation/string.h"

namespace vorlek {

namespace detail {
char16_t to_upper_beyond_ascii(char16_t c);
}
// Inline for ASCII: every collection key and simulated name is hashed and
// compared through it.
inline char16_t to_upper(char16_t c) {
    if (c < 0x80) return (c >= u'a' && c <= u'z') ? static_cast<char16_t>(c - 32) : c;
    return detail::to_upper_beyond_ascii(c);
}
char16_t to_lower(char16_t c);
String to_upper(StringView text);
String to_lower(StringView text);
inline bool equal_ignore_case(StringView a, StringView b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (a[i] != b[i] && to_upper(a[i]) != to_upper(b[i])) return false;
    }
    return true;
}
// The text without the spaces (U+0020 only) at both ends.
String trim_spaces(StringView text);

// Hash and equality for containers keyed without regard to case.
struct CaseInsensitiveHash {
    using is_transparent = void;
    size_t operator()(StringView text) const noexcept {
        // FNV-1a over the upper-cased code units.
        uint64_t h = 1469598103934665603ull;
        for (char16_t c : text) {
            h ^= to_upper(c);
            h *= 1099511628211ull;
        }
        return static_cast<size_t>(h);
    }
};
struct CaseInsensitiveEqual {
    using is_transparent = void;
    bool operator()(StringView a, StringView b) const noexcept { return equal_ignore_case(a, b); }
};

}  // namespace vorlek
