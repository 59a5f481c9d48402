// NetBIOS on the simulated local machine: adapter 0 is its first network adapter.
#include "platform/sim/netbios.h"

#include "platform/netbios.h"
#include "platform/sim/areas.h"
#include "platform/sim/network.h"

namespace vorlek::sim {

namespace {

class SimNetBios : public platform::NetBios {
  public:
    explicit SimNetBios(Network& net) : net_(net) {}

    uint8_t reset(uint8_t lana) override {
        auto call = net_.enter(op::NetbiosReset);
        if (!call) return static_cast<uint8_t>(call.status());
        return check(call.machine(), lana);
    }

    platform::AdapterStatus adapter_status(uint8_t lana, StringView call_name) override {
        platform::AdapterStatus out;
        auto call = net_.enter(op::NetbiosAdapterStatus);
        if (!call) {
            out.return_code = static_cast<uint8_t>(call.status());
            return out;
        }
        Machine& m = call.machine();
        out.return_code = check(m, lana);
        if (out.return_code != platform::nrc::kGoodReturn) return out;
        // "*" asks the adapter itself; any other name is a remote name,
        // which the simulated adapters do not answer.
        if (call_name != platform::kLocalAdapterName) {
            out.return_code = platform::nrc::kNameNotFound;
            return out;
        }
        out.address = m.sockets.adapters[lana].mac;
        return out;
    }

  private:
    static uint8_t check(const Machine& m, uint8_t lana) {
        if (!m.netbios.installed) return platform::nrc::kEnvironment;
        if (lana >= m.sockets.adapters.size()) return platform::nrc::kBridge;
        return platform::nrc::kGoodReturn;
    }

    Network& net_;
};

}  // namespace

std::shared_ptr<platform::NetBios> make_netbios(Network& net) {
    return std::make_shared<SimNetBios>(net);
}

}  // namespace vorlek::sim
