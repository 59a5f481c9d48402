// Dial-up connections of the simulated local machine.
#include "platform/sim/ras.h"

#include "platform/ras.h"
#include "platform/sim/areas.h"
#include "platform/sim/network.h"

namespace vorlek::sim {

namespace {

class SimRas : public platform::Ras {
  public:
    explicit SimRas(Network& net) : net_(net) {}

    platform::Result<std::vector<String>> enum_connections(uint32_t capacity) override {
        auto call = net_.enter(op::RasEnumConnections);
        if (!call) return call.failure<std::vector<String>>();
        const auto& c = call.machine().ras.connections;
        if (c.size() > capacity)
            return platform::Result<std::vector<String>>::failure(
                platform::status::kRasBufferTooSmall);
        return {platform::status::kSuccess, c};
    }

  private:
    Network& net_;
};

}  // namespace

std::shared_ptr<platform::Ras> make_ras(Network& net) {
    return std::make_shared<SimRas>(net);
}

}  // namespace vorlek::sim
