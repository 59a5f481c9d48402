// Dial-up connections of a simulated machine.
#pragma once

#include <vector>

#include "automation/string.h"
#include "platform/sim/faults.h"

namespace vorlek::sim {

struct RasState {
    // Entry names of the active connections, in the order they were made.
    std::vector<String> connections;
};

namespace op {
inline constexpr Operation RasEnumConnections{u"RasEnumConnectionsA"};
}  // namespace op

}  // namespace vorlek::sim
