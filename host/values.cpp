#include "host/values.h"

#include <cmath>
#include <limits>

#include "automation/calendar.h"

namespace vorlek::host {

void encode_cesu8(StringView text, std::string& out) {
    out.clear();
    out.reserve(text.size());
    for (char16_t c : text) {
        if (c < 0x80) {
            out.push_back(static_cast<char>(c));
        } else if (c < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (c >> 6)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xE0 | (c >> 12)));
            out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        }
    }
}

void decode_cesu8(std::string_view bytes, String& out) {
    out.clear();
    out.reserve(bytes.size());
    append_utf8(bytes, out, true);
}

String decode_source(std::string_view bytes) {
    if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
        static_cast<unsigned char>(bytes[1]) == 0xFE) {
        String text;
        text.reserve(bytes.size() / 2);
        for (size_t i = 2; i + 1 < bytes.size(); i += 2)
            text.push_back(static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                                 (static_cast<unsigned char>(bytes[i + 1]) << 8)));
        return text;
    }
    if (bytes.substr(0, 3) == "\xEF\xBB\xBF") bytes.remove_prefix(3);
    return from_utf8(bytes);
}

Variant number_variant(double value) {
    if (value >= -2147483648.0 && value <= 2147483647.0 && value == std::floor(value))
        return static_cast<int32_t>(value);
    return value;
}

LocalTime local_time_from_serial(double serial) {
    if (!calendar::in_date_range(serial)) {
        double nan = std::numeric_limits<double>::quiet_NaN();
        return {nan, nan, nan, nan, nan, nan, nan};
    }
    // The fraction is the time of day even below zero: -1.25 is 1899-12-29 06:00.
    double whole = std::trunc(serial);
    double ms_of_day = std::round(std::fabs(serial - whole) * 86400000.0);
    if (ms_of_day >= 86400000.0) {
        ms_of_day -= 86400000.0;
        whole += serial < 0 ? -1 : 1;
    }
    const calendar::Civil c =
        calendar::civil_from_days(calendar::kSerialEpoch + static_cast<int64_t>(whole));
    auto ms = static_cast<int64_t>(ms_of_day);
    return {static_cast<double>(c.year),          static_cast<double>(c.month - 1),
            static_cast<double>(c.day),           static_cast<double>(ms / 3600000),
            static_cast<double>(ms / 60000 % 60), static_cast<double>(ms / 1000 % 60),
            static_cast<double>(ms % 1000)};
}

}  // namespace vorlek::host
