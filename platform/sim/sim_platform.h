// The platform operations over a simulated network, seen from its local
// machine.
#pragma once

#include <memory>

#include "platform/platform.h"

namespace vorlek::sim {

class Network;

class SimPlatform : public platform::Platform {
  public:
    explicit SimPlatform(std::shared_ptr<Network> network);
    Network& network() const noexcept { return network_; }

  private:
    Network& network_;
};

}  // namespace vorlek::sim
