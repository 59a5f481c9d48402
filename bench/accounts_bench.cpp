// The account classes over large stores: InitUsers should grow linearly with
// the accounts of the domain, InitGroups with the members of a local group
// and with the groups of one user.
#include <benchmark/benchmark.h>

#include "bench/heap.h"
#include "library/client.h"
#include "platform/sim/accounts.h"
#include "platform/sim/network.h"
#include "platform/sim/sim_platform.h"

namespace {

using namespace vorlek;

String numbered(StringView prefix, int64_t i) {
    const String digits = decimal(i);
    return String(prefix) + String(6 - digits.size(), u'0') + digits;
}

struct Store {
    std::shared_ptr<sim::Network> net = sim::make_network(u"default");
    sim::AccountDatabase& corp = *sim::domain_database(*net, u"CORP");
};

void count_check(benchmark::State& state, int32_t status, int32_t count, int64_t expected) {
    if (status != 0 || count != expected) state.SkipWithError("wrong result");
    benchmark::DoNotOptimize(count);
}

void BM_InitUsers(benchmark::State& state) {
    Store s;
    const int32_t before = static_cast<int32_t>(s.corp.users.size());
    for (int64_t i = 0; i < state.range(0); ++i)
        s.corp.add_user(numbered(u"user", i), s.corp.next_rid, 0x201);
    platform::ScopedPlatform scope(std::make_shared<sim::SimPlatform>(s.net));
    for (auto _ : state) {
        auto u = client::create(u"Vorlek.UserManager");
        const int32_t status = u.call(u"InitUsers", {u"DC01", 0}).to_long();
        count_check(state, status, client::Dispatch(u.get(u"Users")).get(u"Count").to_long(),
                    state.range(0) + before);
    }
    state.SetComplexityN(state.range(0));
    state.counters["bytes_per_item"] = bench::heap_per_item(state.range(0), [&](auto held) {
        auto u = client::create(u"Vorlek.UserManager");
        u.call(u"InitUsers", {u"DC01", 0});
        held();
    });
}

void BM_InitGroups_LocalGroupMembers(benchmark::State& state) {
    Store s;
    auto& alias = s.corp.add_alias(u"Many Groups", s.corp.next_rid, u"", false);
    for (int64_t i = 0; i < state.range(0); ++i) {
        auto& group = s.corp.add_group(numbered(u"group", i), s.corp.next_rid, u"");
        (void)group;
        alias.members.push_back(s.corp.domain_sid.with_rid(s.corp.next_rid - 1));
    }
    platform::ScopedPlatform scope(std::make_shared<sim::SimPlatform>(s.net));
    for (auto _ : state) {
        auto g = client::create(u"Vorlek.GroupManager");
        const int32_t status = g.call(u"InitGroups", {u"DC01", u"Many Groups"}).to_long();
        count_check(state, status, client::Dispatch(g.get(u"Groups")).get(u"Count").to_long(),
                    state.range(0));
    }
    state.SetComplexityN(state.range(0));
    state.counters["bytes_per_item"] = bench::heap_per_item(state.range(0), [&](auto held) {
        auto g = client::create(u"Vorlek.GroupManager");
        g.call(u"InitGroups", {u"DC01", u"Many Groups"});
        held();
    });
}

void BM_InitGroups_OneUserInManyGroups(benchmark::State& state) {
    Store s;
    const uint32_t user = s.corp.add_user(u"joiner", s.corp.next_rid, 0x201).info.user_id;
    for (int64_t i = 0; i < state.range(0); ++i) {
        s.corp.add_group(numbered(u"group", i), s.corp.next_rid, u"");
        s.corp.join(s.corp.next_rid - 1, user);
    }
    platform::ScopedPlatform scope(std::make_shared<sim::SimPlatform>(s.net));
    for (auto _ : state) {
        auto g = client::create(u"Vorlek.GroupManager");
        const int32_t status = g.call(u"InitGroups", {u"DC01", u"", u"joiner"}).to_long();
        // Domain Users and the groups the user joined.
        count_check(state, status, client::Dispatch(g.get(u"Groups")).get(u"Count").to_long(),
                    state.range(0) + 1);
    }
    state.SetComplexityN(state.range(0));
}

BENCHMARK(BM_InitUsers)
    ->Arg(1000)
    ->Arg(10000)
    ->Arg(100000)
    ->Unit(benchmark::kMillisecond)
    ->Complexity(benchmark::oN);
BENCHMARK(BM_InitGroups_LocalGroupMembers)
    ->Arg(1000)
    ->Arg(10000)
    ->Unit(benchmark::kMillisecond)
    ->Complexity(benchmark::oN);
BENCHMARK(BM_InitGroups_OneUserInManyGroups)
    ->Arg(100)
    ->Arg(1000)
    ->Unit(benchmark::kMillisecond)
    ->Complexity(benchmark::oN);

}  // namespace
