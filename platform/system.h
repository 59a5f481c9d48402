// Process environment and machine identity.
#pragma once

#include <optional>

#include "automation/string.h"
#include "platform/status.h"

namespace vorlek::platform {

class System {
  public:
    virtual ~System() = default;
    // GetEnvironmentVariable: names compare without regard to case; the
    // value is nullopt when the variable is not set (203 on the system, an
    // answer rather than a failure here).
    virtual Result<std::optional<String>> environment_variable(StringView name) = 0;
    // GetComputerName: the local machine's NetBIOS name.
    virtual Result<String> computer_name() = 0;
};

}  // namespace vorlek::platform
