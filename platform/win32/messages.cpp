// Message texts of the real system: FormatMessage over the system's tables
// and over message files loaded as data.
#include <windows.h>

#include <map>
#include <mutex>

#include "platform/messages.h"
#include "platform/win32/areas.h"
#include "platform/win32/handle.h"
#include "platform/win32/status.h"
#include "platform/win32/text.h"

namespace vorlek::platform::win32 {

namespace {

class Win32Messages : public Messages {
  public:
    Result<ModuleHandle> load_data_file(StringView path) override {
        CStrings c;
        const LPCWSTR name = c.wide(path);
        if (c.status()) return Result<ModuleHandle>::failure(c.status());
        Module module(::LoadLibraryExW(name, nullptr, LOAD_LIBRARY_AS_DATAFILE));
        if (!module) return Result<ModuleHandle>::failure(last_error());
        const auto handle = reinterpret_cast<ModuleHandle>(module.get());
        // The module stays loaded, owned here, until free_module. The one
        // platform serves every apartment of the process.
        std::lock_guard lock(mutex_);
        loaded_[handle] = std::move(module);
        return {status::kSuccess, handle};
    }

    Status free_module(ModuleHandle module) override {
        Module owned;
        {
            std::lock_guard lock(mutex_);
            auto it = loaded_.find(module);
            if (it == loaded_.end()) return status::kInvalidHandle;
            owned = std::move(it->second);
            loaded_.erase(it);
        }
        return status_from_bool(::FreeLibrary(owned.release()));
    }

    Result<String> format_message(ModuleHandle module, uint32_t message_id, uint32_t lang_id,
                                  uint32_t buffer_chars) override {
        // Held for the call, so another apartment cannot free the module
        // while its table is read.
        std::lock_guard lock(mutex_);
        if (module != 0 && loaded_.find(module) == loaded_.end())
            return Result<String>::failure(status::kInvalidHandle);
        const DWORD flags =
            FORMAT_MESSAGE_IGNORE_INSERTS |
            (module != 0 ? FORMAT_MESSAGE_FROM_HMODULE : FORMAT_MESSAGE_FROM_SYSTEM);
        std::wstring buffer(buffer_chars == 0 ? 1 : buffer_chars, L'\0');
        const DWORD length =
            ::FormatMessageW(flags, reinterpret_cast<LPCVOID>(module), message_id, lang_id,
                             buffer.data(), static_cast<DWORD>(buffer.size()), nullptr);
        if (length == 0) return Result<String>::failure(last_error());
        return {status::kSuccess, from_wide(buffer.data(), length)};
    }

  private:
    std::mutex mutex_;
    std::map<ModuleHandle, Module> loaded_;
};

}  // namespace

std::shared_ptr<Messages> make_messages() {
    return std::make_shared<Win32Messages>();
}

}  // namespace vorlek::platform::win32
