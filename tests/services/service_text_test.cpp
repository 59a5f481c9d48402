// The service control manager's codes as names and back.
#include <gtest/gtest.h>

#include "services/service_text.h"

namespace vorlek::services {
namespace {

TEST(ServiceText, CodesToNamesWithTheCallersDefault) {
    EXPECT_EQ(type_text(0x120, u"d"), u"SERVICE_WIN32_SHARE_PROCESS_INTERACTIVE");
    EXPECT_EQ(type_text(0x30, u"d"), u"d");  // a mask is no single type
    EXPECT_EQ(state_text(4, u"d"), u"SERVICE_RUNNING");
    EXPECT_EQ(state_text(0, u"d"), u"d");
    EXPECT_EQ(start_type_text(4, u"d"), u"SERVICE_DISABLED");
    EXPECT_EQ(error_control_text(3, u"d"), u"SERVICE_ERROR_CRITICAL");
    EXPECT_EQ(error_control_text(4, u"d"), u"d");
    EXPECT_EQ(flags_text(0), u"SERVICE_STOPPED");
    EXPECT_EQ(flags_text(1), u"SERVICE_RUNS_IN_SYSTEM_PROCESS");

    EXPECT_EQ(controls_text(0x5, u"d"), u"SERVICE_ACCEPT_SHUTDOWN;SERVICE_ACCEPT_STOP");
    EXPECT_EQ(controls_text(0x1F, u"d"),
              u"SERVICE_ACCEPT_NETBINDCHANGE;SERVICE_ACCEPT_PARAMCHANGE;SERVICE_ACCEPT_SHUTDOWN;"
              u"SERVICE_ACCEPT_PAUSE_CONTINUE;SERVICE_ACCEPT_STOP");
    EXPECT_EQ(controls_text(0, u"d"), u"d");
    EXPECT_EQ(controls_text(0x20 | 0x80, u"d"), u"d");  // bits without a name add nothing
}

TEST(ServiceText, DependencyListsAsTheSystemGivesThem) {
    using namespace std::literals;
    EXPECT_EQ(dependencies_text(u"RpcSs\0+NetworkProvider\0LanmanWorkstation\0\0"sv, u"d"),
              u"RpcSs;+NetworkProvider;LanmanWorkstation");
    EXPECT_EQ(dependencies_text(u"\0\0"sv, u"d"), u"d");
    EXPECT_EQ(dependencies_text(u""sv, u"d"), u"d");
    EXPECT_EQ(dependencies_text(u"Tcpip"sv, u"d"), u"Tcpip");  // no closing NULs
    EXPECT_EQ(dependencies_text(u"  \0\0"sv, u"d"), u"d");
}

TEST(ServiceText, LetTextsBackToCodes) {
    EXPECT_EQ(type_code(u"service_win32_own_process"), 0x10u);
    EXPECT_EQ(type_code(u"SERVICE_INTERACTIVE_PROCESS"), 0x100u);
    EXPECT_EQ(type_code(u"SERVICE_WIN32"), std::nullopt);
    EXPECT_EQ(start_type_code(u"service_demand_start"), 3u);
    EXPECT_EQ(start_type_code(u"3"), std::nullopt);
    for (uint32_t code : {0u, 1u, 2u, 3u, 4u})
        EXPECT_EQ(start_type_code(start_type_text(code, u"")), code);

    auto stop = transition(u"Service_Stop_Pending");
    ASSERT_TRUE(stop);
    EXPECT_EQ(stop->access, 0x20u);
    EXPECT_EQ(stop->control, 1u);
    EXPECT_EQ(transition(u"SERVICE_CONTINUE_PENDING")->control, 3u);
    EXPECT_EQ(transition(u"SERVICE_START_PENDING")->access, 0x10u);
    EXPECT_FALSE(transition(u"SERVICE_RUNNING"));  // a state, not a transition
    EXPECT_FALSE(transition(u"SERVICE_STOPPED"));
}

}  // namespace
}  // namespace vorlek::services
