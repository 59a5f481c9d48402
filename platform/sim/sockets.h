// The network adapters of a simulated machine and the resolution of its name.
#pragma once

#include <vector>

#include "platform/netbios.h"
#include "platform/sim/faults.h"
#include "platform/sockets.h"

namespace vorlek::sim {

struct Adapter {
    platform::Ip4Address ip{};
    platform::MacAddress mac{};
};

struct SocketsState {
    // In binding order: the machine's name resolves to every address, the
    // first adapter's first; NetBIOS adapter 0 is the first adapter.
    std::vector<Adapter> adapters;
    // What a start of Windows Sockets reports as its socket limit.
    uint16_t max_sockets = 32767;
};

namespace op {
inline constexpr Operation WSAStartup{u"WSAStartup"};
inline constexpr Operation WSACleanup{u"WSACleanup"};
inline constexpr Operation gethostbyname{u"gethostbyname"};
}  // namespace op

}  // namespace vorlek::sim
