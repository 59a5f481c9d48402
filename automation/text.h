// Case mapping shared by collection keys and the simulated platform's
// locale-aware comparison. Simple (one code unit to one code unit) mapping for
// the Latin, Greek and Cyrillic blocks, which is what NT's default casing table
// does for the BMP characters scripts use in names and keys.
#pragma once

#include "automation/string.h"

namespace vorlek {

char16_t to_upper(char16_t c);
char16_t to_lower(char16_t c);
String to_upper(StringView text);
String to_lower(StringView text);
bool equal_ignore_case(StringView a, StringView b);
// The text without the spaces (U+0020 only) at both ends.
String trim_spaces(StringView text);

// Hash and equality for containers keyed without regard to case.
struct CaseInsensitiveHash {
    using is_transparent = void;
    size_t operator()(StringView text) const noexcept;
};
struct CaseInsensitiveEqual {
    using is_transparent = void;
    bool operator()(StringView a, StringView b) const noexcept { return equal_ignore_case(a, b); }
};

}  // namespace vorlek
