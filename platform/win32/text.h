// UTF-16 strings and the system's wide-character calls: the two share code
// units, so the library's String passes through without conversion.
#pragma once

#include <windows.h>

#include <climits>
#include <cstring>
#include <deque>
#include <string>

#include "automation/string.h"
#include "platform/c_strings.h"

namespace vorlek::platform::win32 {

static_assert(sizeof(wchar_t) == sizeof(char16_t));

inline String from_wide(const wchar_t* text, size_t length) {
    return String(reinterpret_cast<const char16_t*>(text), length);
}
// A NUL-terminated text the system handed out (null reads as empty).
inline String from_wide(const wchar_t* text) {
    return text ? String(reinterpret_cast<const char16_t*>(text)) : String();
}
// Lengths passed as int: anything longer than the system accepts is refused
// before the call.
inline bool fits_int(size_t n) {
    return n <= static_cast<size_t>(INT_MAX);
}

// Text in the system code page for the single-byte ("A") calls, the whole
// of it (the NULs of a list of names or of value data kept).
inline std::string ansi_all(StringView text) {
    if (text.empty() || !fits_int(text.size())) return {};
    const auto* w = reinterpret_cast<const wchar_t*>(text.data());
    const int n = ::WideCharToMultiByte(CP_ACP, 0, w, static_cast<int>(text.size()), nullptr, 0,
                                        nullptr, nullptr);
    std::string out(static_cast<size_t>(n > 0 ? n : 0), '\0');
    if (n > 0)
        ::WideCharToMultiByte(CP_ACP, 0, w, static_cast<int>(text.size()), out.data(), n, nullptr,
                              nullptr);
    return out;
}
// Text the A calls handed out, `length` bytes of it or up to its NUL (null
// reads as empty).
inline String unicode(const char* text, size_t length) {
    if (length == 0 || !fits_int(length)) return {};
    const int n = ::MultiByteToWideChar(CP_ACP, 0, text, static_cast<int>(length), nullptr, 0);
    std::wstring out(static_cast<size_t>(n > 0 ? n : 0), L'\0');
    if (n > 0) ::MultiByteToWideChar(CP_ACP, 0, text, static_cast<int>(length), out.data(), n);
    return String(out.begin(), out.end());
}
inline String unicode(const char* text) {
    return text ? unicode(text, std::strlen(text)) : String();
}

// The caller's texts of one call as the C strings the system reads, each
// copy living as long as this object. The only way a caller's text reaches
// a C-string parameter: one with a NUL inside is not handed on
// (fits_c_string), status() is then 123, and the call returns that before
// it is made.
class CStrings {
  public:
    CStrings() = default;
    CStrings(const CStrings&) = delete;
    CStrings& operator=(const CStrings&) = delete;

    wchar_t* wide(StringView text) {
        if (!accept(text)) text = {};
        return wide_.emplace_back(text.begin(), text.end()).data();
    }
    // Null for an empty text: "the local machine", "the primary domain",
    // "none" (no change, no password).
    wchar_t* wide_or_null(StringView text) { return text.empty() ? nullptr : wide(text); }
    // In the system code page, for the single-byte ("A") calls.
    char* ansi(StringView text) {
        if (!accept(text)) text = {};
        return ansi_.emplace_back(ansi_all(text)).data();
    }
    char* ansi_or_null(StringView text) { return text.empty() ? nullptr : ansi(text); }

    Status status() const noexcept { return status_; }

  private:
    bool accept(StringView text) {
        if (fits_c_string(text)) return true;
        status_ = status::kInvalidName;
        return false;
    }
    std::deque<std::wstring> wide_;
    std::deque<std::string> ansi_;
    Status status_ = status::kSuccess;
};

}  // namespace vorlek::platform::win32
