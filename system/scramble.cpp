// DllClass: a reversible scrambling of texts. Each character's ANSI code is
// split into its high and low four bits; each half goes into the high bits
// of one output character whose low bits are random (never giving the codes
// 10, 13 or 26, which would break a line or end a text file).
#include <random>

#include "platform/locale.h"
#include "platform/platform.h"
#include "system/dll_class.h"

namespace vorlek {

namespace {

// A text's ANSI codes, one per character; none when a character has no
// single-byte code or the conversion fails.
std::optional<std::vector<uint8_t>> ansi_codes(platform::Locale& locale, StringView text) {
    auto bytes = locale.wide_to_multibyte(platform::kCodePageAnsi, text, std::nullopt);
    if (!bytes.ok()) return std::nullopt;
    if (bytes.value.size() == text.size()) return std::move(bytes.value);
    // A pair of surrogates gives one "?": convert character by character.
    std::vector<uint8_t> out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        auto one =
            locale.wide_to_multibyte(platform::kCodePageAnsi, text.substr(i, 1), std::nullopt);
        if (!one.ok() || one.value.size() != 1) return std::nullopt;
        out.push_back(one.value[0]);
    }
    return out;
}

uint8_t random_low_bits(uint8_t high) {
    thread_local std::minstd_rand engine{std::random_device{}()};
    std::uniform_int_distribution<int> draw(0, 15);
    for (;;) {
        const auto code = static_cast<uint8_t>(high + draw(engine));
        if (code != 10 && code != 13 && code != 26) return code;
    }
}

}  // namespace

String DllClass::GetCryptedString(String strString, String strDefault) {
    if (strString.size() > kMaxScrambled) return strDefault;
    auto& locale = platform::current().locale();
    auto codes = ansi_codes(locale, strString);
    if (!codes) return strDefault;
    std::vector<uint8_t> out;
    out.reserve(codes->size() * 2);
    for (uint8_t a : *codes) {
        const auto high = static_cast<uint8_t>(a & 0xF0);
        const auto low = static_cast<uint8_t>(a - high);
        out.push_back(random_low_bits(high));
        out.push_back(random_low_bits(static_cast<uint8_t>(low << 4)));
    }
    auto text = locale.multibyte_to_wide(platform::kCodePageAnsi, out);
    return text.ok() ? std::move(text.value) : strDefault;
}

String DllClass::GetDecryptedString(String strString, String strDefault) {
    if (strString.empty()) return String();
    auto& locale = platform::current().locale();
    auto codes = ansi_codes(locale, strString);
    if (!codes) return strDefault;
    const std::vector<uint8_t>& in = *codes;
    std::vector<uint8_t> out;
    out.reserve((in.size() + 1) / 2);
    for (size_t i = 0; i < in.size(); i += 2) {
        // An odd text's last pair is its last two characters; a text of one
        // character pairs it with itself.
        const size_t first = i + 1 < in.size() ? i : (in.size() == 1 ? 0 : in.size() - 2);
        const uint8_t a1 = in[first], a2 = in[first + (in.size() == 1 ? 0 : 1)];
        out.push_back(static_cast<uint8_t>((a1 & 0xF0) | (a2 >> 4)));
    }
    auto text = locale.multibyte_to_wide(platform::kCodePageAnsi, out);
    return text.ok() ? std::move(text.value) : strDefault;
}

}  // namespace vorlek
