// Process environment and machine identity of the real system.
#include <windows.h>

#include "platform/system.h"
#include "platform/win32/areas.h"
#include "platform/win32/status.h"
#include "platform/win32/text.h"

namespace vorlek::platform::win32 {

namespace {

class Win32System : public System {
  public:
    Result<std::optional<String>> environment_variable(StringView name) override {
        CStrings c;
        const LPCWSTR key = c.wide(name);
        if (c.status()) return Result<std::optional<String>>::failure(c.status());
        std::wstring buffer(256, L'\0');
        // The answer is the length without the NUL when it fits, the size
        // needed with the NUL when it does not; the value can change between
        // calls, so grow until it fits.
        for (;;) {
            ::SetLastError(ERROR_SUCCESS);
            DWORD n =
                ::GetEnvironmentVariableW(key, buffer.data(), static_cast<DWORD>(buffer.size()));
            if (n == 0) {
                const Status s = last_error();
                if (s == ERROR_ENVVAR_NOT_FOUND) return {status::kSuccess, std::nullopt};
                // A variable set to the empty text answers 0 and no error.
                if (s == ERROR_SUCCESS) return {status::kSuccess, String()};
                return Result<std::optional<String>>::failure(s);
            }
            if (n < buffer.size()) return {status::kSuccess, from_wide(buffer.data(), n)};
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

}  // namespace

std::shared_ptr<System> make_system() {
    return std::make_shared<Win32System>();
}

}  // namespace vorlek::platform::win32
