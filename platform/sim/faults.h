// Fault injection: a test makes an operation of the simulation fail with a
// status, to drive a member through its failure paths.
#pragma once

#include <cstdint>
#include <optional>
#include <unordered_map>

#include "automation/string.h"
#include "platform/status.h"

namespace vorlek::sim {

// One simulated operation, named as the system's call it stands for. Each
// area declares its operations as `inline constexpr Operation` constants in
// its header (namespace sim::op); a constant's address is its identity, so a
// misspelt operation does not compile.
struct Operation {
    StringView name;
};

class Faults {
  public:
    // The next `times` calls of `operation` fail with `status` (0 = every call
    // from now on until cleared), after `after` calls that still succeed (to
    // reach the second or third call of a member).
    void fail(const Operation& operation, platform::Status status, uint32_t times = 1,
              uint32_t after = 0);
    void clear() noexcept { rules_.clear(); }
    // Consumed at the start of each operation (Network::enter).
    std::optional<platform::Status> take(const Operation& operation);

  private:
    struct Rule {
        platform::Status status;
        uint32_t remaining;  // 0: unlimited
        uint32_t passing;    // calls still to let through first
    };
    std::unordered_map<const Operation*, Rule> rules_;
};

}  // namespace vorlek::sim
