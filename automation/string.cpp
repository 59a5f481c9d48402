#include "automation/string.h"

#include <array>

namespace vorlek {

void append_utf8(std::string_view text, String& out, bool engine_form) {
    constexpr char32_t kReplacement = 0xFFFD;
    size_t i = 0;
    while (i < text.size()) {
        auto byte = static_cast<unsigned char>(text[i]);
        char32_t cp = kReplacement;
        size_t len = 1;
        if (byte < 0x80) {
            cp = byte;
        } else {
            size_t need = (byte >> 5) == 0x6    ? 2
                          : (byte >> 4) == 0xE  ? 3
                          : (byte >> 3) == 0x1E ? 4
                                                : 0;
            if (need != 0 && i + need <= text.size()) {
                char32_t value = byte & (0x7F >> need);
                bool ok = true;
                for (size_t k = 1; k < need; ++k) {
                    auto cont = static_cast<unsigned char>(text[i + k]);
                    if ((cont & 0xC0) != 0x80) {
                        ok = false;
                        break;
                    }
                    value = (value << 6) | (cont & 0x3F);
                }
                static constexpr std::array<char32_t, 5> kMin{0, 0, 0x80, 0x800, 0x10000};
                if (ok && value <= 0x10FFFF &&
                    (engine_form ||
                     (value >= kMin[need] && !(value >= 0xD800 && value <= 0xDFFF)))) {
                    cp = value;
                    len = need;
                }
            }
        }
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(cp));
        }
        i += len;
    }
}

String from_utf8(std::string_view text) {
    String out;
    out.reserve(text.size());
    append_utf8(text, out, false);
    return out;
}

std::string to_utf8(StringView text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        char32_t cp = text[i];
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        } else if (cp >= 0xD800 && cp <= 0xDFFF) {
            cp = 0xFFFD;
        }
        if (cp < 0x80) {
            out.push_back(static_cast<char>(cp));
        } else if (cp < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else if (cp < 0x10000) {
            out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        }
    }
    return out;
}

String decimal(int64_t value) {
    char16_t buf[24];
    size_t pos = sizeof(buf) / sizeof(buf[0]);
    uint64_t magnitude =
        value < 0 ? 0 - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
    do {
        buf[--pos] = static_cast<char16_t>(u'0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude != 0);
    if (value < 0) buf[--pos] = u'-';
    return String(buf + pos, buf + sizeof(buf) / sizeof(buf[0]));
}

}  // namespace vorlek
