// UTF-16 strings and the system's wide-character calls: the two share code
// units, so the library's String passes through without conversion.
#pragma once

#include <windows.h>

#include <climits>
#include <cstring>
#include <string>

#include "automation/string.h"

namespace vorlek::platform::win32 {

static_assert(sizeof(wchar_t) == sizeof(char16_t));

// A NUL-terminated copy for calls that take a C string.
inline std::wstring wide(StringView text) {
    return std::wstring(text.begin(), text.end());
}
inline const wchar_t* wide_ptr(const String& text) {
    return reinterpret_cast<const wchar_t*>(text.c_str());
}
inline String from_wide(const wchar_t* text, size_t length) {
    return String(reinterpret_cast<const char16_t*>(text), length);
}
// A NUL-terminated text the system handed out (null reads as empty).
inline String from_wide(const wchar_t* text) {
    return text ? String(reinterpret_cast<const char16_t*>(text)) : String();
}
// Null for an empty text: the system reads that as "the local machine" or
// "the primary domain".
inline const wchar_t* wide_or_null(const std::wstring& text) {
    return text.empty() ? nullptr : text.c_str();
}
// Lengths passed as int: anything longer than the system accepts is refused
// before the call.
inline bool fits_int(size_t n) {
    return n <= static_cast<size_t>(INT_MAX);
}

// Text in the system code page for the single-byte ("A") calls, the whole
// of it (the NULs of a list of names kept) ...
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
// ... or as a C string, which ends at its first NUL, as the A calls read it.
inline std::string ansi(StringView text) {
    return ansi_all(text.substr(0, text.find(u'\0')));
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

}  // namespace vorlek::platform::win32
