// Server and workstation records of the simulated machines, the browse list
// and the domain controllers.
#pragma once

#include "platform/servers.h"
#include "platform/sim/faults.h"

namespace vorlek::sim {

struct Machine;

struct ServerState {
    // The domain or workgroup the machine belongs to, its server record (name
    // and hidden flag included) and workstation details. A machine is in its
    // domain's browse list unless hidden or `browsing` is false.
    String lan_group;
    platform::ServerInfo info;
    String lan_root = u"C:\\WINNT";
    uint32_t logged_on_users = 0;
    bool browsing = true;
};

namespace op {
inline constexpr Operation NetServerGetInfo{u"NetServerGetInfo"};
inline constexpr Operation NetWkstaGetInfo{u"NetWkstaGetInfo"};
inline constexpr Operation NetServerEnum{u"NetServerEnum"};
inline constexpr Operation NetServerSetInfo{u"NetServerSetInfo"};
inline constexpr Operation NetGetDCName{u"NetGetDCName"};
inline constexpr Operation NetGetAnyDCName{u"NetGetAnyDCName"};
}  // namespace op

// Puts a machine in a domain or workgroup with a server record of the given
// type bits (the name, platform and version are filled in).
void join(Machine& machine, StringView lan_group, uint32_t type, StringView comment = {});

}  // namespace vorlek::sim
