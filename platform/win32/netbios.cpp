// NetBIOS of the real system: reset and adapter status through Netbios().
#include <windows.h>
// The NCB and ADAPTER_STATUS records.
#include <nb30.h>

#include <cstring>

#include "platform/netbios.h"
#include "platform/win32/areas.h"
#include "platform/win32/handle.h"

namespace vorlek::platform::win32 {

namespace {

inline void free_heap_block(void* p) noexcept {
    ::HeapFree(::GetProcessHeap(), 0, p);
}
using HeapBlock = UniqueHandle<ReleasedBy<void*, free_heap_block>>;

// The adapter's status and the names it knows (up to 30 of them).
struct AdapterAnswer {
    ADAPTER_STATUS status;
    NAME_BUFFER names[30];
};

class Win32NetBios : public NetBios {
  public:
    uint8_t reset(uint8_t lana) override {
        NCB ncb{};
        ncb.ncb_command = ncb::kReset;
        ncb.ncb_lana_num = lana;
        return ::Netbios(&ncb);
    }

    AdapterStatus adapter_status(uint8_t lana, StringView call_name) override {
        AdapterStatus out;
        HeapBlock buffer(::HeapAlloc(::GetProcessHeap(), HEAP_ZERO_MEMORY, sizeof(AdapterAnswer)));
        if (!buffer) {
            out.return_code = NRC_NORES;
            return out;
        }
        NCB ncb{};
        ncb.ncb_command = ncb::kAdapterStatus;
        ncb.ncb_lana_num = lana;
        // The call name is 16 characters, padded with spaces.
        std::memset(ncb.ncb_callname, ' ', NCBNAMSZ);
        for (size_t i = 0; i < call_name.size() && i < NCBNAMSZ; ++i)
            ncb.ncb_callname[i] = static_cast<UCHAR>(call_name[i] < 0x80 ? call_name[i] : '?');
        ncb.ncb_buffer = static_cast<PUCHAR>(buffer.get());
        ncb.ncb_length = sizeof(AdapterAnswer);
        out.return_code = ::Netbios(&ncb);
        if (out.return_code == NRC_GOODRET) {
            const auto* answer = static_cast<const AdapterAnswer*>(buffer.get());
            std::memcpy(out.address.data(), answer->status.adapter_address, out.address.size());
        }
        return out;
    }
};

}  // namespace

std::shared_ptr<NetBios> make_netbios() {
    return std::make_shared<Win32NetBios>();
}

}  // namespace vorlek::platform::win32
