// UTF-16 strings and the system's wide-character calls: the two share code
// units, so the library's String passes through without conversion.
#pragma once

#include <windows.h>

#include <climits>
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

}  // namespace vorlek::platform::win32
