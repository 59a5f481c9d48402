// Code pages, locale ids and locale-aware text comparison.
#pragma once

#include <optional>
#include <vector>

#include "automation/string.h"
#include "platform/status.h"

namespace vorlek::platform {

constexpr uint32_t kCodePageAnsi = 0;  // CP_ACP: the system ANSI code page

class Locale {
  public:
    virtual ~Locale() = default;
    // These three read settings and cannot fail.
    virtual uint32_t ansi_code_page() = 0;       // GetACP
    virtual uint32_t user_default_lcid() = 0;    // GetUserDefaultLCID
    virtual uint32_t system_default_lcid() = 0;  // GetSystemDefaultLCID
    // WideCharToMultiByte with no flags. Characters the code page cannot
    // represent become `default_char` (the code page's own default when none
    // is given). Fails with the system's status: 87 for an unknown code page,
    // and for UTF-8 when a default character is given.
    virtual Result<std::vector<uint8_t>> wide_to_multibyte(uint32_t code_page, StringView text,
                                                           std::optional<char> default_char) = 0;
    // MultiByteToWideChar with no flags; bytes that do not form a character
    // fail with 1113.
    virtual Result<String> multibyte_to_wide(uint32_t code_page,
                                             const std::vector<uint8_t>& bytes) = 0;
    // LCMapString(LCMAP_UPPERCASE) under the locale: one code unit in, one
    // out, so positions in the result are positions in the input. 87 for an
    // unknown locale.
    virtual Result<String> upper_case(StringView text, uint32_t lcid) = 0;
};

}  // namespace vorlek::platform
