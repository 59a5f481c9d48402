// Process environment and machine identity of the simulated local machine.
#include "platform/sim/system.h"

#include "platform/sim/areas.h"
#include "platform/sim/network.h"
#include "platform/system.h"

namespace vorlek::sim {

void SystemState::set_env(StringView name, StringView value) {
    environment.write()[String(name)] = {String(name), String(value)};
}

std::optional<String> SystemState::env(StringView name) const {
    auto it = environment->find(name);
    if (it == environment->end()) return std::nullopt;
    return it->second.second;
}

namespace {

class SimSystem : public platform::System {
  public:
    explicit SimSystem(Network& net) : net_(net) {}

    platform::Result<std::optional<String>> environment_variable(StringView name) override {
        auto call = net_.enter(op::GetEnvironmentVariable, {name});
        if (!call) return call.failure<std::optional<String>>();
        return {platform::status::kSuccess, call.machine().system.env(name)};
    }

    platform::Result<String> computer_name() override {
        auto call = net_.enter(op::GetComputerName);
        if (!call) return call.failure<String>();
        return {platform::status::kSuccess, call.machine().name};
    }

  private:
    Network& net_;
};

}  // namespace

std::shared_ptr<platform::System> make_system(Network& net) {
    return std::make_shared<SimSystem>(net);
}

}  // namespace vorlek::sim
