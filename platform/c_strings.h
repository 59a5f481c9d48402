// Caller's texts that the platform hands to the system as C strings: names
// of services, accounts, groups, machines, keys, values and files, command
// lines, record fields.
#pragma once

#include <initializer_list>

#include "automation/string.h"
#include "platform/status.h"

namespace vorlek::platform {

// A C string ends at its first NUL, so a text with one inside would reach
// the system cut short and act on another object ("BITS" & Chr(0) & "x" on
// BITS). Both backends refuse such a text with 123 before any call is made.
// Data that holds NULs by its format (value data, a run of dependency
// names) does not pass through here.
constexpr bool fits_c_string(StringView text) noexcept {
    return text.find(u'\0') == StringView::npos;
}

// 0 when every text fits, else 123.
template <class Texts>
constexpr Status c_strings_status(const Texts& texts) noexcept {
    for (const auto& text : texts) {
        if (!fits_c_string(text)) return status::kInvalidName;
    }
    return status::kSuccess;
}
constexpr Status c_strings_status(std::initializer_list<StringView> texts) noexcept {
    return c_strings_status<std::initializer_list<StringView>>(texts);
}

}  // namespace vorlek::platform
