// Remote access: the dial-up connections that are active now.
#pragma once

#include <vector>

#include "automation/string.h"
#include "platform/status.h"

namespace vorlek::platform {

namespace status {
constexpr Status kRasBufferTooSmall = 603;  // ERROR_BUFFER_TOO_SMALL
}  // namespace status

class Ras {
  public:
    virtual ~Ras() = default;
    // RasEnumConnectionsA into room for `capacity` entries: the entry
    // names, 603 when there are more connections than room.
    virtual Result<std::vector<String>> enum_connections(uint32_t capacity) = 0;
};

}  // namespace vorlek::platform
