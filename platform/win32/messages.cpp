// Message texts of the real system: FormatMessage over the system's tables
// and over message files loaded as data.
#include <windows.h>

#include <map>

#include "platform/win32/areas.h"
#include "platform/win32/text.h"

namespace vorlek::platform::win32 {

namespace {

struct ModuleFree {
    void operator()(HMODULE module) const noexcept {
        // Releasing never changes the thread's last error.
        const DWORD saved = ::GetLastError();
        ::FreeLibrary(module);
        ::SetLastError(saved);
    }
};
using UniqueModule = std::unique_ptr<std::remove_pointer_t<HMODULE>, ModuleFree>;

class Win32Messages : public Messages {
  public:
    Result<ModuleHandle> load_data_file(StringView path) override {
        const std::wstring name = wide(path);
        UniqueModule module(::LoadLibraryExW(name.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
        if (!module) return Result<ModuleHandle>::failure(::GetLastError());
        const auto handle = reinterpret_cast<ModuleHandle>(module.get());
        // The module stays loaded, owned here, until free_module.
        loaded_[handle] = std::move(module);
        return {status::kSuccess, handle};
    }

    Status free_module(ModuleHandle module) override {
        auto it = loaded_.find(module);
        if (it == loaded_.end()) return status::kInvalidHandle;
        HMODULE raw = it->second.release();
        loaded_.erase(it);
        return ::FreeLibrary(raw) ? status::kSuccess : ::GetLastError();
    }

    Result<String> format_message(ModuleHandle module, uint32_t message_id, uint32_t lang_id,
                                  uint32_t buffer_chars) override {
        if (module != 0 && loaded_.find(module) == loaded_.end())
            return Result<String>::failure(status::kInvalidHandle);
        const DWORD flags =
            FORMAT_MESSAGE_IGNORE_INSERTS |
            (module != 0 ? FORMAT_MESSAGE_FROM_HMODULE : FORMAT_MESSAGE_FROM_SYSTEM);
        std::wstring buffer(buffer_chars == 0 ? 1 : buffer_chars, L'\0');
        const DWORD length =
            ::FormatMessageW(flags, reinterpret_cast<LPCVOID>(module), message_id, lang_id,
                             buffer.data(), static_cast<DWORD>(buffer.size()), nullptr);
        if (length == 0) return Result<String>::failure(::GetLastError());
        String out(buffer.begin(), buffer.begin() + length);
        return {status::kSuccess, std::move(out)};
    }

  private:
    std::map<ModuleHandle, UniqueModule> loaded_;
};

}  // namespace

std::unique_ptr<Messages> make_messages() {
    return std::make_unique<Win32Messages>();
}

}  // namespace vorlek::platform::win32
