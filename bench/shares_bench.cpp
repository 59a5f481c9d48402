// The share class over a large server: InitShares should grow linearly with
// the shares (each one is read at two levels), and InitShareRights with the
// entries of the share's list (each account looked up).
#include <benchmark/benchmark.h>

#include "bench/heap.h"
#include "library/client.h"
#include "platform/shares.h"
#include "platform/sim/accounts.h"
#include "platform/sim/network.h"
#include "platform/sim/sim_platform.h"

namespace {

using namespace vorlek;

void BM_InitShares(benchmark::State& state) {
    auto net = sim::make_network(u"default");
    platform::ScopedPlatform scope(std::make_shared<sim::SimPlatform>(net));
    auto& shares = platform::current().shares();
    uint32_t resume = 0;
    const int64_t before =
        static_cast<int64_t>(shares.enumerate(u"\\\\SRV01", resume).value.entries.size());
    for (int64_t i = 0; i < state.range(0) - before; ++i) {
        platform::ShareInfo r;
        r.name = u"Bench" + decimal(i);
        r.remark = u"Bench share " + decimal(i);
        r.path = u"D:\\Public";
        uint32_t parm = 0;
        if (shares.add_share(u"\\\\SRV01", r, parm) != 0) state.SkipWithError("add failed");
    }
    for (auto _ : state) {
        auto s = client::create(u"Vorlek.Sharer");
        const int32_t result = s.call(u"InitShares", {u"SRV01"}).to_long();
        const int32_t count = client::Dispatch(s.get(u"Shares")).get(u"Count").to_long();
        if (result != 0 || count != state.range(0)) state.SkipWithError("wrong result");
    }
    state.SetComplexityN(state.range(0));
    state.SetItemsProcessed(state.iterations() * state.range(0));
    state.counters["bytes_per_item"] = bench::heap_per_item(state.range(0), [&](auto held) {
        auto s = client::create(u"Vorlek.Sharer");
        s.call(u"InitShares", {u"SRV01"});
        held();
    });
}
BENCHMARK(BM_InitShares)
    ->Arg(100)
    ->Arg(1000)
    ->Arg(10000)
    ->Unit(benchmark::kMillisecond)
    ->Complexity(benchmark::oN);

// A list of 1,000 accounts of CORP, each with its own entry.
void BM_InitShareRights(benchmark::State& state) {
    auto net = sim::make_network(u"default");
    platform::ScopedPlatform scope(std::make_shared<sim::SimPlatform>(net));
    platform::ShareInfo r;
    r.name = u"Listed";
    r.path = u"D:\\Public";
    r.security = platform::SecurityDescriptor{};
    r.security->dacl = platform::Acl{};
    sim::AccountDatabase& corp = *sim::domain_database(*net, u"CORP");
    for (int64_t i = 0; i < state.range(0); ++i) {
        const uint32_t rid = corp.next_rid;
        corp.add_user(u"reader" + decimal(i), rid, platform::uf::kNormalAccount);
        r.security->dacl->aces.push_back({0, 0, 0x1200A9, corp.domain_sid.with_rid(rid)});
    }
    uint32_t parm = 0;
    if (platform::current().shares().add_share(u"\\\\SRV01", r, parm) != 0)
        state.SkipWithError("add failed");
    auto s = client::create(u"Vorlek.Sharer");
    if (s.call(u"GetShareInfo", {u"SRV01", u"Listed"}).to_long() != 0)
        state.SkipWithError("load failed");
    for (auto _ : state) {
        if (s.call(u"InitShareRights").to_long() != 0) state.SkipWithError("wrong result");
    }
    state.SetComplexityN(state.range(0));
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_InitShareRights)->Arg(1000)->Unit(benchmark::kMillisecond);

}  // namespace
