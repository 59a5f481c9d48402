#include "platform/sim/codepages.h"

#include <array>

namespace vorlek::sim {

namespace {

using platform::Result;
namespace status = platform::status;

// Windows-1252 bytes 0x80-0x9F; 0 marks the five unassigned bytes, which map
// to the C1 control of the same value.
constexpr std::array<char16_t, 32> k1252High = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

std::optional<uint8_t> to_1252(char16_t c) {
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) return static_cast<uint8_t>(c);
    for (size_t i = 0; i < k1252High.size(); ++i) {
        if (k1252High[i] == c || (k1252High[i] == 0 && c == 0x80 + i)) return static_cast<uint8_t>(0x80 + i);
    }
    return std::nullopt;
}

std::optional<uint8_t> to_latin1(char16_t c) {
    if (c <= 0xFF) return static_cast<uint8_t>(c);
    return std::nullopt;
}

std::optional<uint8_t> to_ascii(char16_t c) {
    if (c < 0x80) return static_cast<uint8_t>(c);
    return std::nullopt;
}

// Appends the bytes of one character in code page 932, or returns false.
bool to_932(char16_t c, std::vector<uint8_t>& out) {
    if (c < 0x80) {
        out.push_back(static_cast<uint8_t>(c));
    } else if (c >= 0xFF61 && c <= 0xFF9F) {  // half-width katakana
        out.push_back(static_cast<uint8_t>(0xA1 + (c - 0xFF61)));
    } else if (c >= 0x3041 && c <= 0x3093) {  // hiragana
        out.push_back(0x82);
        out.push_back(static_cast<uint8_t>(0x9F + (c - 0x3041)));
    } else if (c >= 0x30A1 && c <= 0x30F6) {  // katakana, trail byte 0x7F unused
        unsigned trail = 0x40 + (c - 0x30A1);
        if (trail >= 0x7F) ++trail;
        out.push_back(0x83);
        out.push_back(static_cast<uint8_t>(trail));
    } else {
        return false;
    }
    return true;
}

void append_utf8(char32_t cp, std::vector<uint8_t>& out) {
    if (cp < 0x80) {
        out.push_back(static_cast<uint8_t>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<uint8_t>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<uint8_t>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(static_cast<uint8_t>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<uint8_t>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<uint8_t>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<uint8_t>(0xF0 | (cp >> 18)));
        out.push_back(static_cast<uint8_t>(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(static_cast<uint8_t>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<uint8_t>(0x80 | (cp & 0x3F)));
    }
}

std::optional<char16_t> from_932(const std::vector<uint8_t>& bytes, size_t& i) {
    uint8_t b = bytes[i++];
    if (b < 0x80) return b;
    if (b >= 0xA1 && b <= 0xDF) return static_cast<char16_t>(0xFF61 + (b - 0xA1));
    if ((b != 0x82 && b != 0x83) || i >= bytes.size()) return std::nullopt;
    uint8_t t = bytes[i++];
    if (b == 0x82 && t >= 0x9F && t <= 0xF1) return static_cast<char16_t>(0x3041 + (t - 0x9F));
    if (b == 0x83 && t >= 0x40 && t <= 0x96 && t != 0x7F)
        return static_cast<char16_t>(0x30A1 + (t - 0x40) - (t > 0x7F ? 1 : 0));
    return std::nullopt;
}

}  // namespace

Result<String> decode(uint32_t code_page, const std::vector<uint8_t>& bytes) {
    String out;
    out.reserve(bytes.size());
    if (code_page == 65001) {
        return {status::kSuccess, from_utf8(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()))};
    }
    if (code_page == 932) {
        for (size_t i = 0; i < bytes.size();) {
            auto c = from_932(bytes, i);
            if (!c) return Result<String>::failure(status::kNoUnicodeTranslation);
            out.push_back(*c);
        }
        return {status::kSuccess, std::move(out)};
    }
    for (uint8_t b : bytes) {
        if (code_page == 1252) {
            char16_t high = (b >= 0x80 && b < 0xA0) ? k1252High[b - 0x80] : 0;
            out.push_back(high ? high : static_cast<char16_t>(b));
        } else if (code_page == 28591 || (code_page == 20127 && b < 0x80)) {
            out.push_back(b);
        } else if (code_page == 20127) {
            return Result<String>::failure(status::kNoUnicodeTranslation);
        } else {
            return Result<String>::failure(status::kInvalidParameter);
        }
    }
    return {status::kSuccess, std::move(out)};
}

Result<std::vector<uint8_t>> encode(uint32_t code_page, StringView text, std::optional<char> default_char) {
    std::vector<uint8_t> out;
    out.reserve(text.size());
    const uint8_t fallback = static_cast<uint8_t>(default_char.value_or('?'));

    if (code_page == 65001) {
        if (default_char) return Result<std::vector<uint8_t>>::failure(status::kInvalidParameter);
        for (size_t i = 0; i < text.size(); ++i) {
            char32_t cp = text[i];
            if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
                text[i + 1] <= 0xDFFF) {
                cp = 0x10000 + ((cp - 0xD800) << 10) + (text[i + 1] - 0xDC00);
                ++i;
            } else if (cp >= 0xD800 && cp <= 0xDFFF) {
                cp = 0xFFFD;
            }
            append_utf8(cp, out);
        }
        return {status::kSuccess, std::move(out)};
    }
    if (code_page == 932) {
        for (char16_t c : text) {
            if (!to_932(c, out)) out.push_back(fallback);
        }
        return {status::kSuccess, std::move(out)};
    }

    std::optional<uint8_t> (*single)(char16_t) = code_page == 1252    ? to_1252
                                                 : code_page == 28591 ? to_latin1
                                                 : code_page == 20127 ? to_ascii
                                                                      : nullptr;
    if (!single) return Result<std::vector<uint8_t>>::failure(status::kInvalidParameter);
    for (char16_t c : text) out.push_back(single(c).value_or(fallback));
    return {status::kSuccess, std::move(out)};
}

}  // namespace vorlek::sim
