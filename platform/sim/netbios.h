// NetBIOS on a simulated machine: whether it is installed; the adapters are
// the machine's network adapters (sim/sockets.h).
#pragma once

#include "platform/sim/faults.h"

namespace vorlek::sim {

struct NetBiosState {
    bool installed = true;
};

namespace op {
// A fault injected here is the NetBIOS return code the command answers.
inline constexpr Operation NetbiosReset{u"Netbios(NCBRESET)"};
inline constexpr Operation NetbiosAdapterStatus{u"Netbios(NCBASTAT)"};
}  // namespace op

}  // namespace vorlek::sim
