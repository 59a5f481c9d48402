// Conversions between the script engine's representation of values and the
// automation values: text encodings, numbers and dates.
#pragma once

#include <string>
#include <string_view>

#include "automation/variant.h"

namespace vorlek::host {

// The engine keeps text as CESU-8: UTF-8 where each UTF-16 code unit, a
// surrogate too, is encoded on its own. JScript strings are UTF-16, so this
// keeps lengths and indexes as a script under cscript sees them.
void encode_cesu8(StringView text, std::string& out);
// Reads CESU-8 and plain UTF-8 (a 4-byte sequence becomes a surrogate pair);
// malformed bytes become U+FFFD.
void decode_cesu8(std::string_view bytes, String& out);

// A script file's text: UTF-8 with or without a byte order mark, or UTF-16LE
// with one (cscript's "Unicode" scripts).
String decode_source(std::string_view bytes);

// A JScript number as cscript passes it: a Long when it is integral and fits,
// a Double otherwise.
Variant number_variant(double value);

// Local calendar time of a Date serial, as the parts `new Date(y, m, ...)`
// takes (month from 0).
struct LocalTime {
    double year, month, day, hour, minute, second, millisecond;
};
LocalTime local_time_from_serial(double serial);

}  // namespace vorlek::host
