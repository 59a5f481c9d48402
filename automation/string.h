// Text as the automation layer carries it: UTF-16 code units, where an empty
// string and an absent one are the same value.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace vorlek {

using String = std::u16string;
using StringView = std::u16string_view;

// UTF-8 <-> UTF-16 for the edges of the library (tests, the script host, the
// demo). Malformed input is replaced by U+FFFD, never rejected.
String from_utf8(std::string_view text);
std::string to_utf8(StringView text);

// Decimal text of a 64-bit integer, as the automation coercion writes it.
String decimal(int64_t value);

}  // namespace vorlek
