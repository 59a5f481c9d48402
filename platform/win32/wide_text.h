// Text between the library's UTF-16 strings and the system's wide strings
// (both 16-bit code units on Windows).
#pragma once

#include <string>

#include "automation/string.h"

namespace vorlek::platform::win32::text {

inline std::wstring wide(StringView text) {
    return std::wstring(text.begin(), text.end());
}

// Null for an empty text: the system reads that as "the local machine" or
// "the primary domain".
inline const wchar_t* wide_or_null(const std::wstring& text) {
    return text.empty() ? nullptr : text.c_str();
}

inline String from_wide(const wchar_t* text) {
    String out;
    if (text)
        for (; *text; ++text)
            out.push_back(static_cast<char16_t>(*text));
    return out;
}

}  // namespace vorlek::platform::win32::text
