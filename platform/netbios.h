// NetBIOS: the reset of an adapter and its status (the adapter address).
// Results are NetBIOS return codes (NRC_...), not system statuses.
#pragma once

#include <array>
#include <cstdint>

#include "automation/string.h"
#include "platform/status.h"

namespace vorlek::platform {

using MacAddress = std::array<uint8_t, 6>;

namespace nrc {
constexpr uint8_t kGoodReturn = 0x00;    // NRC_GOODRET
constexpr uint8_t kNameNotFound = 0x14;  // NRC_NOWILD: no such name
constexpr uint8_t kBridge = 0x23;        // NRC_BRIDGE: no such adapter
constexpr uint8_t kEnvironment = 0x34;   // NRC_ENVIRON: NetBIOS is not installed
}  // namespace nrc

// Commands the library sends.
namespace ncb {
constexpr uint8_t kReset = 0x32;          // NCBRESET
constexpr uint8_t kAdapterStatus = 0x33;  // NCBASTAT
}  // namespace ncb

// The call name that asks an adapter about itself: "*" and 15 spaces.
inline constexpr StringView kLocalAdapterName = u"*               ";

struct AdapterStatus {
    uint8_t return_code = nrc::kGoodReturn;
    MacAddress address{};
};

class NetBios {
  public:
    virtual ~NetBios() = default;
    // Netbios(NCBRESET) on adapter `lana`.
    virtual uint8_t reset(uint8_t lana) = 0;
    // Netbios(NCBASTAT) on adapter `lana` for `call_name` (16 characters),
    // into a buffer the caller took from the process heap.
    virtual AdapterStatus adapter_status(uint8_t lana, StringView call_name) = 0;
};

}  // namespace vorlek::platform
