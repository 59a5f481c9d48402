// Base of the tests that run against the default simulated network, installed
// as the platform of the test's thread for the test's scope.
#pragma once

#include <gtest/gtest.h>

#include <memory>

#include "platform/sim/machine.h"
#include "platform/sim/network.h"
#include "platform/sim/processes.h"
#include "platform/sim/sim_platform.h"

namespace vorlek::testing_support {

class SimulatedTest : public ::testing::Test {
  protected:
    std::shared_ptr<sim::Network> net = sim::make_network(u"default");
    platform::ScopedPlatform scope{std::make_shared<sim::SimPlatform>(net)};

    // Switches a privilege the script host's token holds on or off, as a
    // script would through its token.
    void set_privilege(StringView name, bool enabled) {
        sim::SimToken& t = *sim::process_table(*net, net->local()).current().token;
        for (auto& p : t.privileges) {
            if (platform::privilege_name(p.luid) != name) continue;
            if (enabled)
                p.attributes |= platform::se::kPrivilegeEnabled;
            else
                p.attributes &= ~platform::se::kPrivilegeEnabled;
        }
    }
};

}  // namespace vorlek::testing_support
