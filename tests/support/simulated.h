// Base of the tests that run against the default simulated network, installed
// as the platform of the test's thread for the test's scope.
#pragma once

#include <gtest/gtest.h>

#include <memory>

#include "platform/sim/network.h"
#include "platform/sim/sim_platform.h"

namespace vorlek::testing_support {

class SimulatedTest : public ::testing::Test {
  protected:
    std::shared_ptr<sim::Network> net = sim::make_network(u"default");
    platform::ScopedPlatform scope{std::make_shared<sim::SimPlatform>(net)};
};

}  // namespace vorlek::testing_support
