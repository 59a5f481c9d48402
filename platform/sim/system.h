// Process environment and machine identity of a simulated machine.
#pragma once

#include <optional>
#include <unordered_map>

#include "automation/text.h"
#include "platform/sim/copy_on_write.h"
#include "platform/sim/faults.h"

namespace vorlek::sim {

struct SystemState {
    // Variables keyed by their name without regard to case; the value keeps
    // the name as it was set.
    using Environment = std::unordered_map<String, std::pair<String, String>, CaseInsensitiveHash,
                                           CaseInsensitiveEqual>;
    CopyOnWrite<Environment> environment;

    void set_env(StringView name, StringView value);
    std::optional<String> env(StringView name) const;
};

namespace op {
inline constexpr Operation GetEnvironmentVariable{u"GetEnvironmentVariable"};
inline constexpr Operation GetComputerName{u"GetComputerName"};
}  // namespace op

}  // namespace vorlek::sim
