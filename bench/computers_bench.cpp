// InitComputerInfo("*") over large browse lists: the enumeration (batches of
// the small preferred size, the pattern, the collection) should grow linearly
// with the number of machines, with and without the detail queries.
#include <benchmark/benchmark.h>

#include "bench/heap.h"
#include "library/client.h"
#include "platform/sim/network.h"
#include "platform/sim/sim_platform.h"

namespace {

using namespace vorlek;

std::shared_ptr<sim::Network> browse_list_of(int64_t machines) {
    auto net = sim::make_network(u"empty");
    sim::join(net->local(), u"BIG", platform::sv_type::kWorkstation | platform::sv_type::kNt);
    for (int64_t i = 1; i < machines; ++i) {
        const String digits = decimal(i);
        const String name = u"PC" + String(6 - digits.size(), u'0') + digits;
        sim::join(net->add_machine(name), u"BIG",
                  platform::sv_type::kWorkstation | platform::sv_type::kNt, u"Workstation");
    }
    return net;
}

void run(benchmark::State& state, int32_t level) {
    auto net = browse_list_of(state.range(0));
    platform::ScopedPlatform scope(std::make_shared<sim::SimPlatform>(net));
    for (auto _ : state) {
        auto c = client::create(u"Vorlek.Computer");
        const int32_t status = c.call(u"InitComputerInfo", {u"*", -1, u"unknown", level}).to_long();
        const auto count = client::Dispatch(c.get(u"Computers")).get(u"Count").to_long();
        if (status != 0 || count != state.range(0)) state.SkipWithError("wrong result");
        benchmark::DoNotOptimize(count);
    }
    state.SetComplexityN(state.range(0));
    state.counters["machines"] = static_cast<double>(state.range(0));
    state.counters["bytes_per_item"] = bench::heap_per_item(state.range(0), [&](auto held) {
        auto c = client::create(u"Vorlek.Computer");
        c.call(u"InitComputerInfo", {u"*", -1, u"unknown", level});
        held();
    });
}

void BM_InitComputerInfo_EnumOnly(benchmark::State& state) {
    run(state, 4711);
}
void BM_InitComputerInfo_WithInfo(benchmark::State& state) {
    run(state, 1234);
}

BENCHMARK(BM_InitComputerInfo_EnumOnly)
    ->Arg(1000)
    ->Arg(10000)
    ->Arg(100000)
    ->Unit(benchmark::kMillisecond)
    ->Complexity(benchmark::oN);
BENCHMARK(BM_InitComputerInfo_WithInfo)
    ->Arg(125)
    ->Arg(250)
    ->Arg(500)
    ->Arg(1000)
    ->Unit(benchmark::kMillisecond)
    ->Complexity(benchmark::oN);

}  // namespace
