#include "strings/stringer.h"

#include <algorithm>

#include "automation/checked.h"
#include "platform/locale.h"
#include "platform/platform.h"
#include "platform/system.h"

namespace vorlek {

const ClassInfo& Stringer::info() {
    static constexpr StringView kSepStringsHelp =
        u"Collection of with a specific seperator delimited strings";
    static constexpr StringView kReplaceHelp = u"Property (read only) for replace functions";
    static const ClassInfo info =
        ClassBuilder<Stringer>(u"Stringer")
            .get<&Stringer::SepStrings>(u"SepStrings", {}, kSepStringsHelp)
            .set<&Stringer::SetSepStrings>(u"SepStrings", kSepStringsHelp)
            .get<&Stringer::LastError>(
                u"LastError", {},
                u"Returns the last error occured after calling a function in this class")
            .method<&Stringer::StringToANSIByteArray>(
                u"StringToANSIByteArray", {param(u"strString")},
                u"Converts a string to an array of bytes but only one byte per character")
            .method<&Stringer::ByteArrayToHexString>(
                u"ByteArrayToHexString",
                {param(u"bteArray"), param(u"strSeperator"), param(u"intSectionLen"),
                 param(u"strLineSeperator")},
                u"Converts an array of bytes to a formatted string")
            .method<&Stringer::ReplaceEnvVars>(
                u"ReplaceEnvVars", {param(u"strString"), param(u"strDefault")},
                u"Replaces the expressions within a string, which are enclosed by '%' with the "
                u"environment variables")
            .constant(u"CASE_SENSITIVE", kCaseSensitive,
                      u"Searching in strings will be CaseSensitive")
            .constant(u"NOT_CASE_SENSITIVE", kNotCaseSensitive,
                      u"Searching in strings will be not  CaseSensitive")
            .constant(u"REPLACE_ALL", kReplaceAll, kReplaceHelp)
            .constant(u"REPLACE_LAST", kReplaceLast, kReplaceHelp)
            .method<&Stringer::ReplaceString>(
                u"ReplaceString",
                {param(u"strString"), param(u"strReplaceString"),
                 optional(u"strToReplace", String(kRangeMode)), optional(u"lngPosition", 0),
                 optional(u"lngCaseSens", 1), optional(u"lngStart", kNoBound),
                 optional(u"lngStop", kNoBound)},
                u"Replaces as string within another string by using parameters")
            .method<&Stringer::ReverseString>(
                u"ReverseString",
                {param(u"strString"), param(u"strDefault"), optional(u"lngLength", 1)},
                u"Turns over a string in specific steps")
            .get<&Stringer::SepString>(u"SepString")
            .method<&Stringer::InitSeperator>(
                u"InitSeperator",
                {param(u"strString"), param(u"strSeperator"), optional(u"booEmptyStrings", true)},
                u"Inits the collection SepStrings")
            .method<&Stringer::GetCharEx>(u"GetCharEx", {param(u"bteKeyCode")},
                                          u"Returns a string corresponding to a special keycode")
            .build();
    return info;
}

// ---------------------------------------------------------------------------
// ReplaceString

namespace {

// The locale's upper case, or the text as it is when the locale cannot map it.
String upper(platform::Locale& locale, StringView text, uint32_t lcid) {
    auto folded = locale.upper_case(text, lcid);
    return folded.ok() ? std::move(folded.value) : String(text);
}

// Occurrences of `needle` in `haystack` under a comparison mode. Case-blind
// search compares the user locale's upper case of both, which keeps positions.
class Finder {
  public:
    Finder(StringView haystack, StringView needle, bool ignore_case) {
        if (ignore_case) {
            auto& locale = platform::current().locale();
            uint32_t lcid = locale.user_default_lcid();
            folded_haystack_ = upper(locale, haystack, lcid);
            folded_needle_ = upper(locale, needle, lcid);
            haystack_ = folded_haystack_;
            needle_ = folded_needle_;
        } else {
            haystack_ = haystack;
            needle_ = needle;
        }
    }
    size_t find(size_t from) const { return haystack_.find(needle_, from); }
    size_t rfind() const { return haystack_.rfind(needle_); }

  private:
    String folded_haystack_, folded_needle_;
    StringView haystack_, needle_;
};

String splice(StringView text, size_t at, size_t length, StringView insert) {
    String out;
    out.reserve(text.size() - length + insert.size());
    out.append(text.substr(0, at)).append(insert).append(text.substr(at + length));
    return out;
}

}  // namespace

String Stringer::ReplaceString(String strString, String strReplaceString, String strToReplace,
                               int32_t lngPosition, int32_t lngCaseSens, int32_t lngStart,
                               int32_t lngStop) {
    const int64_t length = static_cast<int64_t>(strString.size());
    const bool range_mode = strToReplace == kRangeMode;
    if (strString.empty() || strString == StringView(u"\0", 1)) return strString;
    if (strToReplace.empty() || lngPosition < -1) return strString;
    if (!range_mode && lngPosition > length) return strString;

    if (range_mode) {
        if (lngStart == kNoBound) return strString;
        int64_t start = lngStart < 1 ? 1 : lngStart;
        int64_t stop = lngStop == kNoBound ? length : lngStop;
        if (start > length) return strString;
        if (stop > length) stop = length;
        if (stop < 1 || start > stop) return strString;
        return splice(strString, static_cast<size_t>(start - 1),
                      static_cast<size_t>(stop - start + 1), strReplaceString);
    }

    if (lngCaseSens != kCaseSensitive && lngCaseSens != kNotCaseSensitive) return strString;
    const Finder finder(strString, strToReplace, lngCaseSens == kNotCaseSensitive);
    const size_t needle = strToReplace.size();

    if (lngPosition == kReplaceAll) {
        // Inserted text is never searched again, so the search walks the
        // original text while the result is built alongside.
        String out;
        size_t from = 0;
        for (size_t at = finder.find(0); at != String::npos; at = finder.find(from)) {
            out.append(strString, from, at - from).append(strReplaceString);
            from = at + needle;
        }
        if (from == 0) return strString;
        out.append(strString, from, String::npos);
        return out;
    }

    size_t match = String::npos;
    if (lngPosition == kReplaceLast) {
        // Walking overlapping matches from the left ends at the rightmost one.
        match = finder.rfind();
    } else {
        size_t at = finder.find(0);
        for (int32_t n = 1; at != String::npos && n < lngPosition; ++n)
            at = finder.find(at + 1);
        match = at;
    }
    if (match == String::npos) return strString;
    return splice(strString, match, needle, strReplaceString);
}

// ---------------------------------------------------------------------------
// ReverseString

String Stringer::ReverseString(String strString, String strDefault, int32_t lngLength) {
    const size_t length = strString.size();
    if (length == 0 || lngLength < 1 || static_cast<size_t>(lngLength) >= length) return strString;
    // The chunk loop counts positions in a 16-bit counter, so a longer string
    // overflows it and the caller gets strDefault.
    if (attempt([&] { checked::narrow<int16_t>(length); }) != 0) return strDefault;
    const size_t step = static_cast<size_t>(lngLength);
    String out;
    out.reserve(length);
    for (size_t start = (length - 1) / step * step;; start -= step) {
        out.append(strString, start, step);
        if (start == 0) break;
    }
    return out;
}

// ---------------------------------------------------------------------------
// InitSeperator

int32_t Stringer::InitSeperator(String strString, String strSeperator, bool booEmptyStrings) {
    if (strSeperator.empty()) return err::kNotAvailable;
    sep_strings_ = make<Collection>();
    Collection& pieces = *sep_strings_;
    int16_t counter = 0;
    const auto add_piece = [&](StringView piece) {
        checked::increment(counter);
        if (!booEmptyStrings && piece.empty()) return;
        auto item = make<Stringer>();
        item->set_piece(String(piece));
        pieces.add(Variant(std::move(item)), String(u"#") + decimal(counter));
    };
    return attempt([&] {
        const StringView text = strString;
        size_t from = 0;
        for (size_t at = text.find(strSeperator); at != StringView::npos;
             at = text.find(strSeperator, from)) {
            add_piece(text.substr(from, at - from));
            from = at + strSeperator.size();
        }
        add_piece(text.substr(from));
    });
}

// ---------------------------------------------------------------------------
// StringToANSIByteArray

Variant Stringer::StringToANSIByteArray(String strString) {
    last_error_ = 0;
    Variant fallback = Variant::byte_array({0});
    if (strString.empty()) {
        // An array of zero elements cannot be sized.
        last_error_ = err::kSubscript;
        return fallback;
    }
    auto converted =
        platform::current().locale().wide_to_multibyte(platform::kCodePageAnsi, strString, '0');
    if (!converted.ok() || converted.value.empty()) {
        last_error_ = static_cast<int32_t>(converted.status);
        return fallback;
    }
    // A multi-byte code page can need more bytes than there are characters;
    // the array grows to hold them all rather than losing the tail.
    std::vector<uint8_t> bytes = std::move(converted.value);
    if (bytes.size() < strString.size()) bytes.resize(strString.size(), 0);
    return Variant::byte_array(std::move(bytes));
}

// ---------------------------------------------------------------------------
// ByteArrayToHexString

namespace {

// Hex text of one element, as the script run time's Hex() writes it: the
// two's complement pattern of its own width for negative numbers.
String hex_text(const Variant& element) {
    uint32_t value;
    switch (element.type()) {
        case VarType::Byte:
            value = element.to_byte();
            break;
        case VarType::Integer:
            value = static_cast<uint16_t>(element.to_integer());
            break;
        default:
            value = static_cast<uint32_t>(element.to_long());
    }
    static constexpr char16_t kDigits[] = u"0123456789ABCDEF";
    char16_t buf[8];
    size_t pos = 8;
    do {
        buf[--pos] = kDigits[value & 0xF];
        value >>= 4;
    } while (value != 0);
    if (8 - pos < 2) buf[--pos] = u'0';
    return String(buf + pos, buf + 8);
}

bool ends_with(StringView text, StringView suffix) {
    return text.size() >= suffix.size() && text.substr(text.size() - suffix.size()) == suffix;
}

}  // namespace

String Stringer::ByteArrayToHexString(const Variant& bteArray, String strSeperator,
                                      int16_t intSectionLen, String strLineSeperator) {
    last_error_ = 0;
    String out;
    int32_t rc = attempt([&] {
        const Array* array = bteArray.if_array();
        if (!array) raise(err::kTypeMismatch);
        if (array->lower_bound > 0) raise(err::kSubscript);
        int16_t section = 0;
        for (int32_t i = 0; i <= array->upper_bound(); ++i) {
            checked::increment(section);
            out += hex_text(array->at(i));
            if (section == intSectionLen) {
                out += strLineSeperator;
                section = 0;
            } else {
                out += strSeperator;
            }
        }
        if (!strSeperator.empty() && ends_with(out, strSeperator)) {
            out.resize(out.size() - strSeperator.size());
        } else if (!strLineSeperator.empty() && ends_with(out, strLineSeperator)) {
            out.resize(out.size() - strLineSeperator.size());
        }
    });
    if (rc != 0) {
        last_error_ = rc;
        return {};
    }
    return out;
}

// ---------------------------------------------------------------------------
// ReplaceEnvVars

String Stringer::ReplaceEnvVars(String strString, String strDefault) {
    // The text still to be scanned is kept back to front in `pending`: a value
    // that holds "%" is scanned again from its start, so it goes in front of
    // the rest, which on a reversed string is an append. Each character is
    // thus moved once when it comes in and once when it leaves, and the call
    // is linear in what it reads and writes, however often values re-expand.
    auto& system = platform::current().system();
    auto& locale = platform::current().locale();
    String out;
    String pending(strString.rbegin(), strString.rend());
    String name;
    int rescans = 0;
    for (;;) {
        const size_t open = pending.rfind(u'%');
        // What comes before the first "%" is final.
        out.append(pending.rbegin(),
                   pending.rbegin() + static_cast<ptrdiff_t>(open == String::npos
                                                                 ? pending.size()
                                                                 : pending.size() - open - 1));
        if (open == String::npos) break;
        const size_t close = open == 0 ? String::npos : pending.rfind(u'%', open - 1);
        if (close == String::npos) return strDefault;  // no name can be cut out
        name.assign(pending.rbegin() + static_cast<ptrdiff_t>(pending.size() - open),
                    pending.rbegin() + static_cast<ptrdiff_t>(pending.size() - close - 1));
        pending.resize(close);
        auto found = system.environment_variable(name);
        String value =
            found.value ? upper(locale, *found.value, locale.user_default_lcid()) : String();
        if (value.empty()) value = strDefault;
        if (value.find(u'%') == String::npos) {
            out += value;
        } else {
            if (++rescans > kMaxRescans) return strDefault;
            pending.append(value.rbegin(), value.rend());
        }
        if (out.size() + pending.size() > kMaxExpandedLength) return strDefault;
    }
    return out;
}

// ---------------------------------------------------------------------------
// GetCharEx

namespace {

struct KeyName {
    uint8_t code;
    StringView text;
};

constexpr KeyName kKeyNames[] = {
    {0, u"NULL"},
    {1, u"LEFT_MOUSE_BUTTON"},
    {2, u"RUGHT_MOUSE_BUTTON"},
    {3, u"CANCEL"},
    {4, u"MIDDLE_MOUSE_BUTTON"},
    {5, u"CTRL+E"},
    {6, u"CTRL+F"},
    {7, u"CTRL+G"},
    {8, u"BACKSPACE"},
    {9, u"TAB"},
    {10, u"LF"},
    {11, u"CTRL+K"},
    {12, u"CLEAR"},
    {13, u"ENTER"},
    {14, u"CTRL+N"},
    {15, u"CTRL+O"},
    {16, u"SHIFT"},
    {17, u"CTRL"},
    {18, u"ALT"},
    {19, u"PAUSE"},
    {20, u"CAPSLOCK"},
    {27, u"ESC"},
    {32, u"SPACEBAR"},
    {33, u"PAGE_UP"},
    {34, u"PAGE_DOWN"},
    {35, u"END"},
    {36, u"HOME"},
    {37, u"ARROW_LEFT"},
    {38, u"ARROW_UP"},
    {39, u"ARROW_RIGHT"},
    {40, u"ARROW_DOWN"},
    {41, u"SELECT"},
    {42, u"PRINT_SCREEN"},
    {43, u"EXECUTE"},
    {44, u"SNAPSHOT"},
    {45, u"INSERT"},
    {46, u"DEL"},
    {47, u"HELP"},
    {91, u"WIN95_LEFT"},
    {92, u"WIN95_RIGHT"},
    {106, u"NUMPAD_MULTIPLY"},
    {107, u"NUMPAD_ADD"},
    {108, u"NUMPAD_SEPERATOR"},
    {109, u"NUMPAD_SUBSTRACT"},
    {110, u"NUMPAD_DECIMAL"},
    {111, u"NUMPAD_DIVIDE"},
    {144, u"NUMLOCK"},
    {145, u"SCROLL"},
};

// Runs of codes named by a prefix and a number.
struct KeyRange {
    uint8_t first, last;
    StringView prefix;
    int base;  // number of the first code
};
constexpr KeyRange kKeyRanges[] = {{96, 105, u"NUMPAD_", 0}, {112, 135, u"F", 1}};

}  // namespace

String Stringer::GetCharEx(uint8_t bteKeyCode) {
    for (const auto& k : kKeyNames) {
        if (k.code == bteKeyCode) return String(k.text);
    }
    for (const auto& r : kKeyRanges) {
        if (bteKeyCode >= r.first && bteKeyCode <= r.last)
            return String(r.prefix) + decimal(r.base + (bteKeyCode - r.first));
    }
    auto ch = platform::current().locale().multibyte_to_wide(platform::kCodePageAnsi, {bteKeyCode});
    return ch.ok() ? ch.value : String();
}

}  // namespace vorlek
