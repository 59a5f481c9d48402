// Dial-up connections of the real system.
#include <windows.h>
// The remote-access records and calls.
#include <ras.h>

#include <vector>

#include "platform/ras.h"
#include "platform/win32/areas.h"
#include "platform/win32/text.h"

namespace vorlek::platform::win32 {

namespace {

class Win32Ras : public Ras {
  public:
    Result<std::vector<String>> enum_connections(uint32_t capacity) override {
        using R = Result<std::vector<String>>;
        std::vector<RASCONNA> entries(capacity == 0 ? 1 : capacity);
        entries[0].dwSize = sizeof(RASCONNA);
        DWORD bytes = static_cast<DWORD>(entries.size() * sizeof(RASCONNA));
        DWORD count = 0;
        const DWORD e = ::RasEnumConnectionsA(entries.data(), &bytes, &count);
        if (e != ERROR_SUCCESS) return R::failure(static_cast<Status>(e));
        std::vector<String> out;
        for (DWORD i = 0; i < count && i < entries.size(); ++i) {
            const char* name = entries[i].szEntryName;
            out.push_back(unicode(name, strnlen(name, sizeof(entries[i].szEntryName))));
        }
        return {status::kSuccess, std::move(out)};
    }
};

}  // namespace

std::shared_ptr<Ras> make_ras() {
    return std::make_shared<Win32Ras>();
}

}  // namespace vorlek::platform::win32
