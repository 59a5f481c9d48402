#include <windows.h>

#include "platform/win32/areas.h"
#include "platform/win32/status.h"
#include "platform/win32/text.h"
#include "platform/win32/win32.h"

namespace vorlek::platform::win32 {

namespace {

class Win32System : public System {
  public:
    std::optional<String> environment_variable(StringView name) override {
        std::wstring key = wide(name);
        std::wstring buffer(256, L'\0');
        // The answer is the length without the NUL when it fits, the size
        // needed with the NUL when it does not; the value can change between
        // calls, so grow until it fits.
        for (;;) {
            SetLastError(ERROR_SUCCESS);
            DWORD n = GetEnvironmentVariableW(key.c_str(), buffer.data(),
                                              static_cast<DWORD>(buffer.size()));
            if (n == 0) {
                if (GetLastError() == ERROR_ENVVAR_NOT_FOUND) return std::nullopt;
                return String();
            }
            if (n < buffer.size()) return from_wide(buffer.data(), n);
            buffer.resize(n);
        }
    }

    Result<String> computer_name() override {
        std::wstring buffer(MAX_COMPUTERNAME_LENGTH + 1, L'\0');
        for (;;) {
            DWORD size = static_cast<DWORD>(buffer.size());
            if (GetComputerNameW(buffer.data(), &size))
                return {status::kSuccess, from_wide(buffer.data(), size)};
            Status s = last_error();
            if (s != ERROR_BUFFER_OVERFLOW || size <= buffer.size())
                return Result<String>::failure(s);
            buffer.resize(size);
        }
    }
};

class Win32Locale : public Locale {
  public:
    uint32_t ansi_code_page() override { return GetACP(); }
    uint32_t user_default_lcid() override { return GetUserDefaultLCID(); }
    uint32_t system_default_lcid() override { return GetSystemDefaultLCID(); }

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
            WideCharToMultiByte(code_page, 0, in, length, nullptr, 0, fallback_ptr, nullptr);
        if (needed <= 0) return R::failure(last_error());
        std::vector<uint8_t> out(static_cast<size_t>(needed));
        int written =
            WideCharToMultiByte(code_page, 0, in, length, reinterpret_cast<char*>(out.data()),
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
        int needed = MultiByteToWideChar(code_page, flags, in, length, nullptr, 0);
        if (needed <= 0) return Result<String>::failure(last_error());
        std::wstring out(static_cast<size_t>(needed), L'\0');
        int written = MultiByteToWideChar(code_page, flags, in, length, out.data(), needed);
        if (written <= 0) return Result<String>::failure(last_error());
        return {status::kSuccess, from_wide(out.data(), static_cast<size_t>(written))};
    }

    String upper_case(StringView text, uint32_t lcid) override {
        if (text.empty() || !fits_int(text.size())) return String(text);
        auto* in = reinterpret_cast<const wchar_t*>(text.data());
        int length = static_cast<int>(text.size());
        int needed = LCMapStringW(lcid, LCMAP_UPPERCASE, in, length, nullptr, 0);
        if (needed <= 0) return String(text);
        std::wstring out(static_cast<size_t>(needed), L'\0');
        int written = LCMapStringW(lcid, LCMAP_UPPERCASE, in, length, out.data(), needed);
        // Upper-casing maps one code unit to one; anything else would move
        // positions the callers rely on, so keep the input then.
        if (written != length) return String(text);
        return from_wide(out.data(), static_cast<size_t>(written));
    }
};

class Win32Platform : public Platform {
  public:
    System& system() override { return system_; }
    Locale& locale() override { return locale_; }
    Time& time() override { return *time_; }
    Messages& messages() override { return *messages_; }
    Servers& servers() override { return *servers_; }

  private:
    Win32System system_;
    Win32Locale locale_;
    std::unique_ptr<Time> time_ = make_time();
    std::unique_ptr<Messages> messages_ = make_messages();
    std::unique_ptr<Servers> servers_ = make_servers();
};

}  // namespace

std::unique_ptr<Platform> make_platform() {
    return std::make_unique<Win32Platform>();
}

}  // namespace vorlek::platform::win32
