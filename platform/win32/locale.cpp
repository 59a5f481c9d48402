// Code pages, locale ids and upper case of the real system.
#include <windows.h>

#include "platform/locale.h"
#include "platform/win32/areas.h"
#include "platform/win32/status.h"
#include "platform/win32/text.h"

namespace vorlek::platform::win32 {

namespace {

class Win32Locale : public Locale {
  public:
    uint32_t ansi_code_page() override { return ::GetACP(); }
    uint32_t user_default_lcid() override { return ::GetUserDefaultLCID(); }
    uint32_t system_default_lcid() override { return ::GetSystemDefaultLCID(); }

    Result<std::vector<uint8_t>> wide_to_multibyte(uint32_t code_page, StringView text,
                                                   std::optional<char> default_char) override {
        using R = Result<std::vector<uint8_t>>;
        if (text.empty()) return {status::kSuccess, {}};
        if (!fits_int(text.size())) return R::failure(status::kInvalidParameter);
        auto* in = reinterpret_cast<const wchar_t*>(text.data());
        int length = static_cast<int>(text.size());
        char fallback = default_char.value_or('\0');
        const char* fallback_ptr = default_char ? &fallback : nullptr;
        int needed =
            ::WideCharToMultiByte(code_page, 0, in, length, nullptr, 0, fallback_ptr, nullptr);
        if (needed <= 0) return R::failure(last_error());
        std::vector<uint8_t> out(static_cast<size_t>(needed));
        int written =
            ::WideCharToMultiByte(code_page, 0, in, length, reinterpret_cast<char*>(out.data()),
                                  needed, fallback_ptr, nullptr);
        if (written <= 0) return R::failure(last_error());
        out.resize(static_cast<size_t>(written));
        return {status::kSuccess, std::move(out)};
    }

    Result<String> multibyte_to_wide(uint32_t code_page,
                                     const std::vector<uint8_t>& bytes) override {
        if (bytes.empty()) return {status::kSuccess, {}};
        if (!fits_int(bytes.size())) return Result<String>::failure(status::kInvalidParameter);
        // UTF-8 replaces bad sequences with U+FFFD; other code pages refuse
        // bytes that form no character.
        DWORD flags = code_page == CP_UTF8 ? 0 : MB_ERR_INVALID_CHARS;
        auto* in = reinterpret_cast<const char*>(bytes.data());
        int length = static_cast<int>(bytes.size());
        int needed = ::MultiByteToWideChar(code_page, flags, in, length, nullptr, 0);
        if (needed <= 0) return Result<String>::failure(last_error());
        std::wstring out(static_cast<size_t>(needed), L'\0');
        int written = ::MultiByteToWideChar(code_page, flags, in, length, out.data(), needed);
        if (written <= 0) return Result<String>::failure(last_error());
        return {status::kSuccess, from_wide(out.data(), static_cast<size_t>(written))};
    }

    Result<String> upper_case(StringView text, uint32_t lcid) override {
        if (text.empty()) return {status::kSuccess, String()};
        if (!fits_int(text.size())) return Result<String>::failure(status::kInvalidParameter);
        auto* in = reinterpret_cast<const wchar_t*>(text.data());
        int length = static_cast<int>(text.size());
        int needed = ::LCMapStringW(lcid, LCMAP_UPPERCASE, in, length, nullptr, 0);
        if (needed <= 0) return Result<String>::failure(last_error());
        std::wstring out(static_cast<size_t>(needed), L'\0');
        int written = ::LCMapStringW(lcid, LCMAP_UPPERCASE, in, length, out.data(), needed);
        if (written <= 0) return Result<String>::failure(last_error());
        // Upper-casing maps one code unit to one; anything else would move
        // positions the callers rely on, so keep the input then.
        if (written != length) return {status::kSuccess, String(text)};
        return {status::kSuccess, from_wide(out.data(), static_cast<size_t>(written))};
    }
};

}  // namespace

std::shared_ptr<Locale> make_locale() {
    return std::make_shared<Win32Locale>();
}

}  // namespace vorlek::platform::win32
