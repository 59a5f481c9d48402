// The name patterns, the server-type text and the simulated browser's
// batches under the Computer class.
#include <gtest/gtest.h>

#include <algorithm>

#include "computers/computer.h"
#include "library/client.h"
#include "platform/sim/network.h"
#include "platform/sim/sim_platform.h"

namespace vorlek {
namespace {

struct PatternCase {
    const char16_t* name;
    const char16_t* pattern;
    bool expected;
};

TEST(ComputerPattern, WildcardsDigitsAndLists) {
    const PatternCase cases[] = {
        {u"WS0001", u"*", true},      {u"", u"*", true},
        {u"WS0001", u"WS000?", true}, {u"WS001", u"WS000?", false},
        {u"WS0001", u"WS#00#", true}, {u"WSX001", u"WS#*", false},
        {u"SRV01", u"S*0*", true},    {u"SRV01", u"*1", true},
        {u"SRV01", u"*2", false},     {u"DC02", u"DC0[12]", true},
        {u"DC03", u"DC0[12]", false}, {u"DC03", u"DC0[!12]", true},
        {u"DC01", u"[A-D]*", true},   {u"SRV01", u"[A-D]*", false},
        {u"SRV01", u"[!A-D]*", true}, {u"A-B", u"A[-]B", true},
        {u"A[B", u"A[B*", true},      {u"AAAB", u"*A*B", true},
        {u"ABAB", u"*AB", true},      {u"ABA", u"*AB", false},
        {u"X", u"?*?", false},        {u"XY", u"?*?", true},
        {u"WS0001", u"ws*", false},   {u"W*S", u"W[*]S", true},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(matches_pattern(c.name, c.pattern), c.expected)
            << to_utf8(c.name) << " ~ " << to_utf8(c.pattern);
    }
    // Many stars over a long name stay fast (no exponential backtracking).
    EXPECT_FALSE(matches_pattern(String(5000, u'A'), u"*A*A*A*A*A*A*A*A*B"));
}

TEST(ComputerTypeText, HighestBitFirstAndUnnamedBits) {
    EXPECT_EQ(server_type_text(0x00001003, u"x"), u"SV_TYPE_NT;SV_TYPE_SERVER;SV_TYPE_WORKSTATION");
    EXPECT_EQ(server_type_text(0x80000000, u"x"), u"SV_TYPE_DOMAIN_ENUM");
    EXPECT_EQ(server_type_text(0, u"x"), u"x");
    EXPECT_EQ(server_type_text(0x0E000000, u"x"), u"x");  // bits 25 to 27 have no name
    const String all = server_type_text(0xFFFFFFFF, u"x");
    EXPECT_EQ(std::count(all.begin(), all.end(), u';'), 28);
    EXPECT_TRUE(all.starts_with(u"SV_TYPE_DOMAIN_ENUM;SV_TYPE_LOCAL_LIST_ONLY;"));
}

// A domain of `count` workstations named PC00000, PC00001, ...
std::shared_ptr<sim::Network> big_network(int count) {
    auto net = sim::make_network(u"empty");
    sim::join(net->local(), u"BIG", 0x1001);
    for (int i = 0; i < count; ++i) {
        const String digits = decimal(i);
        const String n = u"PC" + String(5 - digits.size(), u'0') + digits;
        sim::join(net->add_machine(n), u"BIG", 0x1001, u"desk");
    }
    return net;
}

TEST(SimBrowser, BatchesWithResumeHandleCoverTheListOnce) {
    auto net = big_network(100);
    platform::ScopedPlatform scope(std::make_shared<sim::SimPlatform>(net));
    auto& servers = platform::current().servers();
    uint32_t resume = 0;
    std::vector<String> seen;
    uint32_t expected_total = 101;
    int calls = 0;
    for (;;) {
        auto batch = servers.enumerate(u"", 0xFFFFFFFF, u"", 255, resume);
        ++calls;
        ASSERT_TRUE(batch.status == 0 || batch.status == 234) << batch.status;
        EXPECT_EQ(batch.value.total_entries, expected_total);
        ASSERT_FALSE(batch.value.entries.empty());
        expected_total -= static_cast<uint32_t>(batch.value.entries.size());
        for (const auto& e : batch.value.entries)
            seen.push_back(e.name);
        if (batch.status == 0) {
            EXPECT_EQ(resume, 0u);
            break;
        }
        EXPECT_NE(resume, 0u);
    }
    EXPECT_EQ(seen.size(), 101u);
    EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end()));
    EXPECT_GT(calls, 10);
    uint32_t stale = 12345;
    EXPECT_EQ(servers.enumerate(u"", 0xFFFFFFFF, u"", 255, stale).status, 87u);
}

TEST(SimBrowser, LargeBrowseListIntoTheCollection) {
    auto net = big_network(2000);
    platform::ScopedPlatform scope(std::make_shared<sim::SimPlatform>(net));
    auto c = client::create(u"Vorlek.Computer");
    EXPECT_EQ(c.call(u"InitComputerInfo", {u"PC01*"}).to_long(), 0);
    EXPECT_EQ(client::Dispatch(c.get(u"Computers")).get(u"Count").to_long(), 1000);
    EXPECT_EQ(c.call(u"InitComputerInfo", {u"PC0199?", -1, u"", 1234}).to_long(), 457);
}

}  // namespace
}  // namespace vorlek
