#include <gtest/gtest.h>

#include "platform/platform.h"
#include "platform/sim/network.h"

namespace vorlek {
namespace {

TEST(SimNetwork, MachinesByNameAndTheLocalOne) {
    auto net = sim::make_network(u"default");
    ASSERT_TRUE(net);
    EXPECT_EQ(net->find(u"")->name, net->local_name());
    EXPECT_EQ(net->find(u"\\\\" + net->local_name()), net->find(u""));
    EXPECT_EQ(net->find(u"nosuch"), nullptr);
    sim::Machine& added = net->add_machine(u"srv01");
    EXPECT_EQ(&added, net->find(u"\\\\SRV01"));
    EXPECT_EQ(sim::make_network(u"nosuch"), nullptr);
}

TEST(SimNetwork, EnvironmentNamesIgnoreCase) {
    auto net = sim::make_network(u"default");
    platform::ScopedPlatform scope(std::make_shared<sim::SimPlatform>(net));
    auto& system = platform::current().system();
    EXPECT_EQ(system.environment_variable(u"computername"), net->local_name());
    EXPECT_EQ(system.environment_variable(u"OS"), u"Windows_NT");
    EXPECT_EQ(system.environment_variable(u"NOSUCHVAR"), std::nullopt);
    EXPECT_EQ(system.computer_name().value, net->local_name());
}

TEST(SimNetwork, ScopedPlatformRestoresThePrevious) {
    platform::Platform* outer = &platform::current();
    {
        platform::ScopedPlatform scope(
            std::make_shared<sim::SimPlatform>(sim::make_network(u"empty")));
        EXPECT_NE(&platform::current(), outer);
    }
    EXPECT_EQ(&platform::current(), outer);
}

TEST(SimNetwork, FaultsAndHandleLedger) {
    sim::Network net(u"box");
    net.faults().fail(u"Op", 5, 2);
    EXPECT_EQ(net.faults().take(u"op"), 5u);
    EXPECT_EQ(net.faults().take(u"Op"), 5u);
    EXPECT_EQ(net.faults().take(u"Op"), std::nullopt);
    auto h = net.handles().open(u"key");
    auto g = net.handles().open(u"service");
    EXPECT_EQ(net.handles().open_count(u"key"), 1u);
    EXPECT_TRUE(net.handles().close(h));
    EXPECT_FALSE(net.handles().close(h));
    EXPECT_EQ(net.handles().open_count(), 1u);
    EXPECT_TRUE(net.handles().is_open(g));
}

struct CodePageCase {
    uint32_t code_page;
    std::u16string text;
    std::vector<uint8_t> bytes;
};

TEST(SimCodePages, WideToMultiByte) {
    const CodePageCase cases[] = {
        {1252, u"a\u00E9\u20AC\u0152\u0100", {'a', 0xE9, 0x80, 0x8C, '0'}},
        {1252, u"\u0081", {0x81}},
        {20127, u"a\u00E9", {'a', '0'}},
        {932, u"a\u3042\u30A2\uFF71\u4E00", {'a', 0x82, 0xA0, 0x83, 0x41, 0xB1, '0'}},
    };
    auto net = sim::make_network(u"default");
    platform::ScopedPlatform scope(std::make_shared<sim::SimPlatform>(net));
    for (const auto& c : cases) {
        auto r = platform::current().locale().wide_to_multibyte(c.code_page, c.text, '0');
        EXPECT_TRUE(r.ok());
        EXPECT_EQ(r.value, c.bytes) << c.code_page;
        auto back = platform::current().locale().multibyte_to_wide(c.code_page, r.value);
        if (c.code_page == 1252) {
            EXPECT_EQ(back.value.substr(0, 3), c.text.substr(0, 3));
        }
    }
    // UTF-8 refuses a default character, as the system does.
    EXPECT_EQ(platform::current().locale().wide_to_multibyte(65001, u"x", '0').status, 87u);
    EXPECT_EQ(platform::current().locale().wide_to_multibyte(65001, u"\u20AC", std::nullopt).value,
              (std::vector<uint8_t>{0xE2, 0x82, 0xAC}));
    EXPECT_EQ(platform::current().locale().wide_to_multibyte(12345, u"x", '0').status, 87u);
    // CP_ACP follows the machine.
    net->local().ansi_code_page = 932;
    EXPECT_EQ(platform::current().locale().wide_to_multibyte(0, u"\u3042", '0').value.size(), 2u);
}

}  // namespace
}  // namespace vorlek
