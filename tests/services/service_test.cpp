// Service on the default network: the listing, one service's load, the lets
// that write through, and every handle closed on the failure paths.
#include <gtest/gtest.h>

#include "tests/support/simulated.h"

#include "library/client.h"
#include "platform/sim/services.h"

namespace vorlek {
namespace {

class ServiceTest : public testing_support::SimulatedTest {
  protected:
    client::Dispatch s = client::create(u"Vorlek.Service");
    int32_t err() { return s.get(u"LastError").to_long(); }
};

TEST_F(ServiceTest, FailedCallsReportTheStatusAndCloseEveryHandle) {
    struct Case {
        const sim::Operation* op;
        bool list;  // InitServices, else GetServiceInfo
    };
    const Case cases[] = {
        {&sim::op::OpenSCManager, true},        {&sim::op::QueryServiceLockStatus, true},
        {&sim::op::EnumServicesStatusEx, true}, {&sim::op::OpenService, true},
        {&sim::op::QueryServiceConfig, true},   {&sim::op::OpenSCManager, false},
        {&sim::op::OpenService, false},         {&sim::op::QueryServiceStatusEx, false},
        {&sim::op::QueryServiceConfig, false},  {&sim::op::GetServiceDisplayName, false},
    };
    for (const Case& c : cases) {
        net->faults().fail(*c.op, 1234);
        const int32_t rc = c.list ? s.call(u"InitServices", {48}).to_long()
                                  : s.call(u"GetServiceInfo", {u"Spooler"}).to_long();
        EXPECT_EQ(rc, 0) << to_utf8(c.op->name);
        EXPECT_EQ(err(), 1234) << to_utf8(c.op->name);
        EXPECT_EQ(net->handles().open_count(), 0u) << to_utf8(c.op->name);
        s = client::create(u"Vorlek.Service");
    }
}

TEST_F(ServiceTest, LetsWriteThroughAndRefuseUnknownTexts) {
    ASSERT_EQ(s.call(u"GetServiceInfo", {u"Spooler"}).to_long(), 1);
    s.let(u"CurrentState", {u"SERVICE_RUNNING"});
    EXPECT_EQ(err(), 87);
    s.let(u"StartType", {u"service_demand_start"});
    EXPECT_EQ(err(), 0);
    EXPECT_EQ(s.get(u"StartType").to_string(), u"SERVICE_DEMAND_START");
    s.let(u"CurrentState", {u"SERVICE_STOP_PENDING"});
    EXPECT_EQ(s.get(u"CurrentState").to_string(), u"SERVICE_STOPPED");
    s.let(u"ServiceStartName", {u"LocalSystem"});
    EXPECT_EQ(err(), -8989);
    s.let(u"ServicePassword", {u""});
    EXPECT_EQ(err(), 0);
    EXPECT_EQ(s.get(u"ServicePassword").to_string(), u"***************");
    EXPECT_EQ(net->handles().open_count(), 0u);
}

}  // namespace
}  // namespace vorlek
