#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "platform/locale.h"
#include "platform/platform.h"
#include "platform/sim/eventlog.h"
#include "platform/sim/network.h"
#include "platform/sim/registry.h"
#include "platform/sim/servers.h"
#include "platform/sim/services.h"
#include "platform/sim/sim_platform.h"
#include "platform/system.h"

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

TEST(SimNetwork, BrowseListsInNameOrder) {
    // Names shorter than eight units, names alike in their first eight and
    // units past the Latin range, joined out of order.
    const std::vector<String> names = {
        u"WS10",         u"WORKSTATION2", u"W",   u"WORKSTAT",  u"WORKSTATA",
        u"WORKSTATION1", u"\u00C4RGER",   u"WS1", u"WORKSTAT0", u"A"};
    auto net = sim::make_network(u"empty");
    sim::join(net->local(), u"grp", 0x1001);
    for (const auto& n : names)
        sim::join(net->add_machine(n), u"GRP", 0x1001);
    sim::join(net->add_machine(u"OTHER"), u"ELSEWHERE", 0x1001);
    std::vector<String> expected = names;
    expected.push_back(net->local_name());
    std::sort(expected.begin(), expected.end());
    std::vector<String> seen;
    for (const sim::Machine* m : net->browse_list(u"grp"))
        seen.push_back(m->name);
    EXPECT_EQ(seen, expected);
    expected.push_back(u"OTHER");
    std::sort(expected.begin(), expected.end());
    seen.clear();
    for (const sim::Machine* m : net->browse_list_all())
        seen.push_back(m->name);
    EXPECT_EQ(seen, expected);
}

TEST(SimNetwork, EnvironmentNamesIgnoreCase) {
    auto net = sim::make_network(u"default");
    platform::ScopedPlatform scope(std::make_shared<sim::SimPlatform>(net));
    auto& system = platform::current().system();
    EXPECT_EQ(system.environment_variable(u"computername").value, net->local_name());
    EXPECT_EQ(system.environment_variable(u"OS").value, u"Windows_NT");
    EXPECT_EQ(system.environment_variable(u"NOSUCHVAR").value, std::nullopt);
    net->faults().fail(sim::op::GetEnvironmentVariable, 8);
    EXPECT_EQ(system.environment_variable(u"OS").status, 8u);
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

TEST(SimNetwork, EveryCallStartsWithItsFaultThenTheMachineItReaches) {
    auto net = sim::make_network(u"default");
    // An injected fault answers first, for its operation only, as often as asked.
    net->faults().fail(sim::op::NetServerEnum, 5, 2);
    for (int i = 0; i < 2; ++i)
        EXPECT_EQ(net->enter(sim::op::NetServerEnum, u"DC01").status(), 5u);
    EXPECT_TRUE(net->enter(sim::op::NetServerGetInfo, u"DC01"));
    EXPECT_EQ(&net->enter(sim::op::NetServerEnum, u"\\\\dc01").machine(), net->find(u"DC01"));
    // Then the network: the local machine always answers itself, a machine
    // that is switched off, an unknown name or a share path do not.
    net->local().reachable = false;
    EXPECT_EQ(&net->enter(sim::op::NetServerGetInfo, u"").machine(), &net->local());
    for (StringView server : {u"SRV03", u"NOSUCH", u"\\\\DC01\\share"})
        EXPECT_EQ(net->enter(sim::op::NetServerGetInfo, server).status(), 53u) << to_utf8(server);
    // 0 times: every call until cleared.
    net->faults().fail(sim::op::GetComputerName, 8, 0);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(net->enter(sim::op::GetComputerName).status(), 8u);
    net->faults().clear();
    EXPECT_TRUE(net->enter(sim::op::GetComputerName));
    // Before the fault: a text the call would hand on as a C string with a
    // NUL inside (the server's among them), which the system would read cut
    // short. The call is not made, so the fault stays for the next one.
    const String cut(u"DC01\0x", 6);
    net->faults().fail(sim::op::NetUserDel, 5, 1);
    EXPECT_EQ(net->enter(sim::op::NetUserDel, cut).status(), 123u);
    EXPECT_EQ(net->enter(sim::op::NetUserDel, u"DC01", {u"ok", cut}).status(), 123u);
    EXPECT_EQ(net->enter(sim::op::NetUserDel, u"DC01", {u"ok"}).status(), 5u);
    EXPECT_EQ(net->enter(sim::op::GetEnvironmentVariable, {cut}).status(), 123u);
    EXPECT_TRUE(net->enter(sim::op::GetEnvironmentVariable, {u"", u"OS"}));
}

TEST(SimNetwork, HandleTablesKeepTheLedger) {
    sim::Network net(u"box");
    auto& ledger = net.handles();
    sim::Handle kept = 0;
    {
        sim::HandleTable<int> keys(ledger, sim::HandleKind::RegistryKey);
        sim::HandleTable<int> services(ledger, sim::HandleKind::Service);
        const sim::Handle a = keys.open(1), b = keys.open(2);
        kept = services.open(3);
        EXPECT_EQ(ledger.open_count(sim::HandleKind::RegistryKey), 2u);
        EXPECT_EQ(ledger.kind_of(kept), sim::HandleKind::Service);
        EXPECT_EQ(*keys.find(b), 2);
        // A handle of another table is not this table's.
        EXPECT_EQ(keys.find(kept), nullptr);
        EXPECT_FALSE(keys.close(kept));
        EXPECT_TRUE(keys.close(a));
        EXPECT_FALSE(keys.close(a));
        EXPECT_EQ(ledger.open_count(), 2u);
    }
    // What a table still held is closed with it.
    EXPECT_EQ(ledger.open_count(), 0u);
    EXPECT_FALSE(ledger.is_open(kept));
}

struct CodePageCase {
    uint32_t code_page;
    String text;
    std::vector<uint8_t> bytes;
};

// What a session changes anywhere (a machine's clock, environment, files
// and registry, the domain's accounts through its backup controller, the
// ledger, the faults, the machine list) is undone by restore(), and the two
// controllers share one account database again.
TEST(SimNetworkRestore, EverythingASessionChangedGoesBack) {
    auto net = sim::make_network(u"default");
    sim::Machine& before = net->local();
    sim::registry_state(*net, before);
    const platform::FileTime clock = before.time.clock;
    const String admin_password =
        sim::account_database(*net, *net->find(u"DC01")).user(u"Administrator")->password;
    net->save();
    net->restore();

    sim::Machine& ws = net->local();
    ws.time.clock += 1000;
    ws.system.set_env(u"ADDED", u"1");
    ws.files[u"C:\\added.txt"] = {1};
    sim::KeyNode& software =
        *sim::find_key(*sim::registry_state(*net, ws).local_machine, u"SOFTWARE");
    software.set_value(u"Added", platform::reg::kDword, {1, 0, 0, 0});
    software.add_child(u"AddedKey");
    sim::AccountDatabase& domain = sim::account_database(*net, *net->find(u"DC02"));
    domain.user(u"Administrator")->password = u"changed";
    domain.add_user(u"eve", 4000, 0);
    net->add_machine(u"NEWPC");
    net->handles().open(sim::HandleKind::Process);
    net->faults().fail(sim::op::GetEnvironmentVariable, 5, 0);

    net->restore();
    sim::Machine& after = net->local();
    EXPECT_EQ(after.time.clock, clock);
    EXPECT_FALSE(after.system.env(u"ADDED"));
    EXPECT_EQ(after.files.count(u"C:\\added.txt"), 0u);
    sim::KeyNode& restored =
        *sim::find_key(*sim::registry_state(*net, after).local_machine, u"SOFTWARE");
    EXPECT_FALSE(restored.value(u"Added"));
    EXPECT_FALSE(restored.child(u"AddedKey"));
    sim::AccountDatabase& dc01 = sim::account_database(*net, *net->find(u"DC01"));
    EXPECT_EQ(&dc01, &sim::account_database(*net, *net->find(u"DC02")));
    EXPECT_EQ(dc01.user(u"Administrator")->password, admin_password);
    EXPECT_FALSE(dc01.user(u"eve"));
    EXPECT_FALSE(net->find(u"NEWPC"));
    EXPECT_EQ(net->handles().open_count(), 0u);
    EXPECT_EQ(net->enter(sim::op::GetEnvironmentVariable).status(), 0u);
}

// A session works on copies: the keys the services keep lead into the
// session's registry, and a log it writes to is its own (copies of a log
// share their bytes until one writes), so what it changes there never
// reaches the saved state.
TEST(SimNetworkRestore, SessionsNeverChangeTheSavedState) {
    auto net = sim::make_network(u"default");
    sim::restart_service_manager(*net, net->local());  // the services keep their key
    auto application = [&] {
        return sim::eventlog_state(*net, net->local()).logs.at(u"Application").file;
    };
    const size_t events = application().count();
    const std::vector<uint8_t> image = application().image();
    net->save();
    for (int session = 0; session < 2; ++session) {
        net->restore();
        sim::Machine& ws = net->local();
        EXPECT_EQ(application().count(), events);
        EXPECT_EQ(application().image(), image);
        EXPECT_EQ(sim::write_event(*net, ws, u"Test", 4, 0, 1, {}, {u"session"}), 0u);
        EXPECT_EQ(application().count(), events + 1);
        auto kept = sim::service_table(*net, ws).services_key.lock();
        ASSERT_TRUE(kept);
        const sim::KeyNode* root = kept.get();
        while (root->parent())
            root = root->parent();
        EXPECT_EQ(root, sim::registry_state(*net, ws).local_machine.get());
        EXPECT_FALSE(kept->child(u"AddedBySession"));
        kept->add_child(u"AddedBySession");
    }
}

// A restored machine shares its large parts with the saved state until it
// first uses them. What a session changes there (a process, a token, an
// account right, a file, a variable) is gone in the next session, and
// processes that shared a token share its copy.
TEST(SimNetworkRestore, PartsCopiedOnFirstUseNeverReachTheSavedState) {
    auto net = sim::make_network(u"default");
    const platform::Sid everyone = platform::sid::everyone();
    net->save();
    size_t processes = 0;
    size_t privileges = 0;
    for (int session = 0; session < 3; ++session) {
        net->restore();
        sim::Machine& ws = net->local();
        sim::ProcessesState& table = sim::process_table(*net, ws);
        std::shared_ptr<sim::SimToken> token = table.processes.begin()->second.token;
        ASSERT_TRUE(token);
        if (session == 0) {
            processes = table.processes.size();
            privileges = token->privileges.size();
        }
        EXPECT_EQ(table.processes.size(), processes) << session;
        EXPECT_EQ(token->privileges.size(), privileges) << session;
        EXPECT_FALSE(ws.system.env(u"SESSION")) << session;
        EXPECT_EQ(ws.files.count(u"C:\\session.txt"), 0u) << session;
        const sim::LsaAccount* right = sim::lsa_state(*net, ws).find(everyone);
        EXPECT_TRUE(!right || (right->rights & 0x80000000u) == 0) << session;
        size_t sharing = 0;
        for (const auto& [pid, p] : table.processes)
            sharing += p.token == token;
        EXPECT_GT(sharing, 1u) << "the first process's token is shared";

        table.start(u"C:\\WINNT\\system32\\notepad.exe", 0, token);
        token->privileges.clear();
        ws.system.set_env(u"SESSION", u"1");
        ws.files[u"C:\\session.txt"] = {1};
        sim::lsa_state(*net, ws).account(everyone).rights |= 0x80000000u;
    }
}

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
    net->local().locale.ansi_code_page = 932;
    EXPECT_EQ(platform::current().locale().wide_to_multibyte(0, u"\u3042", '0').value.size(), 2u);
}

}  // namespace
}  // namespace vorlek
