// SetBaseName "*" over 100 to 10,000 simulated processes of 50 modules each:
// the enumeration should grow linearly with the processes.
#include <benchmark/benchmark.h>

#include "bench/heap.h"
#include "library/client.h"
#include "platform/sim/network.h"
#include "platform/sim/processes.h"
#include "platform/sim/sim_platform.h"

namespace {

using namespace vorlek;

void BM_SetBaseName_All(benchmark::State& state) {
    auto net = sim::make_network(u"default");
    auto& table = sim::process_table(*net, net->local());
    auto token = table.current().token;
    for (int64_t i = 0; i < state.range(0); ++i) {
        auto& p = table.start(u"C:\\Program Files\\App\\app" + decimal(i) + u".exe", 952, token);
        for (int m = static_cast<int>(p.modules.size()); m < 50; ++m)
            p.modules.push_back(u"C:\\Program Files\\App\\lib" + decimal(m) + u".dll");
    }
    const size_t expected = [&] {
        size_t n = 0;
        for (const auto& [pid, p] : table.processes)
            n += p.running();
        return n;
    }();
    platform::ScopedPlatform scope(std::make_shared<sim::SimPlatform>(net));
    auto p = client::create(u"Vorlek.Process");
    for (auto _ : state) {
        p.let(u"SetBaseName", Variant(u"*"));
        const auto count = client::Dispatch(p.get(u"Processes")).get(u"Count").to_long();
        if (static_cast<size_t>(count) != expected) state.SkipWithError("wrong count");
    }
    state.SetComplexityN(state.range(0));
    state.counters["per_process"] = benchmark::Counter(
        static_cast<double>(state.range(0)),
        benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
    state.counters["bytes_per_item"] =
        bench::heap_per_item(static_cast<int64_t>(expected), [&](auto held) {
            auto listing = client::create(u"Vorlek.Process");
            listing.let(u"SetBaseName", Variant(u"*"));
            held();
        });
}
BENCHMARK(BM_SetBaseName_All)
    ->Arg(100)
    ->Arg(1000)
    ->Arg(10000)
    ->Unit(benchmark::kMillisecond)
    ->Complexity(benchmark::oN);

}  // namespace
