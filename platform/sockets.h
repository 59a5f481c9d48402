// Windows Sockets as far as the library uses it: the start and end of a
// session and the addresses of a host name.
#pragma once

#include <array>
#include <vector>

#include "automation/string.h"
#include "platform/status.h"

namespace vorlek::platform {

namespace status {
constexpr Status kHostNotFound = 11001;  // WSAHOST_NOT_FOUND
}  // namespace status

using Ip4Address = std::array<uint8_t, 4>;  // in network order

// WSADATA, the parts the library reads.
struct SocketsSession {
    uint16_t version = 0;      // granted: low byte major, high byte minor
    uint16_t max_sockets = 0;  // iMaxSockets
};

class Sockets {
  public:
    virtual ~Sockets() = default;
    // WSAStartup: every successful start is ended by one cleanup().
    virtual Result<SocketsSession> startup(uint16_t requested) = 0;
    // WSACleanup.
    virtual Status cleanup() = 0;
    // gethostbyname: the host's addresses in the order the resolver gives
    // them; 11001 for a name nobody answers to.
    virtual Result<std::vector<Ip4Address>> host_addresses(StringView name) = 0;
};

}  // namespace vorlek::platform
