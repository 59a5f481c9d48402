// Process environment and machine identity of a simulated machine.
#pragma once

#include <optional>
#include <unordered_map>

#include "automation/text.h"
#include "platform/sim/faults.h"

namespace vorlek::sim {

struct SystemState {
    // Variables keyed by their name without regard to case; the value keeps
    // the name as it was set.
    std::unordered_map<String, std::pair<String, String>, CaseInsensitiveHash, CaseInsensitiveEqual>
        environment;

    void set_env(StringView name, StringView value);
    std::optional<String> env(StringView name) const;
};

namespace op {
inline constexpr Operation GetEnvironmentVariable{u"GetEnvironmentVariable"};
inline constexpr Operation GetComputerName{u"GetComputerName"};
}  // namespace op

}  // namespace vorlek::sim
