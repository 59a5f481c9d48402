// The registry over large keys: InitRegSubKeys and InitRegValues should grow
// linearly with the entries of the key; a hive of 100,000 values is saved
// and loaded again.
#include <benchmark/benchmark.h>

#include "bench/heap.h"
#include "library/client.h"
#include "platform/registry.h"
#include "platform/sim/hive_file.h"
#include "platform/sim/network.h"
#include "platform/sim/registry.h"
#include "platform/sim/sim_platform.h"

namespace {

using namespace vorlek;
namespace reg = platform::reg;

struct Machine {
    std::shared_ptr<sim::Network> net = sim::make_network(u"default");
    sim::KeyNode& key = sim::predefined_key(*net, net->local(), platform::hkey::kCurrentUser)
                            ->add_child(u"Software")
                            .add_child(u"Big");
};

String numbered(StringView prefix, int64_t i) {
    const String digits = decimal(i);
    return String(prefix) + String(6 - digits.size(), u'0') + digits;
}

void fill_values(sim::KeyNode& key, int64_t n) {
    for (int64_t i = 0; i < n; ++i)
        key.set_value(numbered(u"value", i), reg::kDword,
                      {static_cast<uint8_t>(i), static_cast<uint8_t>(i >> 8), 0, 0});
}

// Opens HKCU\Software\Big, fills a collection with `init`, checks its count.
void init_collection(benchmark::State& state, Machine& m, StringView init, StringView collection) {
    platform::ScopedPlatform scope(std::make_shared<sim::SimPlatform>(m.net));
    for (auto _ : state) {
        auto r = client::create(u"Vorlek.Registry");
        r.call(u"OpenRegistry", {static_cast<int32_t>(platform::hkey::kCurrentUser)});
        r.call(u"OpenRegKey", {static_cast<int32_t>(reg::kRead), u"Software\\Big"});
        const int32_t status = r.call(init).to_long();
        const int32_t count = client::Dispatch(r.get(collection)).get(u"Count").to_long();
        if (status != 0 || count != state.range(0)) state.SkipWithError("wrong result");
        r.call(u"CloseRegistry");
    }
    state.SetComplexityN(state.range(0));
    state.counters["bytes_per_item"] = bench::heap_per_item(state.range(0), [&](auto held) {
        auto r = client::create(u"Vorlek.Registry");
        r.call(u"OpenRegistry", {static_cast<int32_t>(platform::hkey::kCurrentUser)});
        r.call(u"OpenRegKey", {static_cast<int32_t>(reg::kRead), u"Software\\Big"});
        r.call(init);
        held();
        r.call(u"CloseRegistry");
    });
}

void BM_InitRegSubKeys(benchmark::State& state) {
    Machine m;
    for (int64_t i = 0; i < state.range(0); ++i)
        m.key.add_child(numbered(u"key", i)).write_time = 133655058000000000;
    init_collection(state, m, u"InitRegSubKeys", u"RegSubKeys");
}

void BM_InitRegValues(benchmark::State& state) {
    Machine m;
    fill_values(m.key, state.range(0));
    init_collection(state, m, u"InitRegValues", u"RegValues");
}

void BM_SaveHive(benchmark::State& state) {
    Machine m;
    fill_values(m.key, state.range(0));
    for (auto _ : state)
        benchmark::DoNotOptimize(sim::write_hive(m.key, 0));
}

void BM_LoadHive(benchmark::State& state) {
    Machine m;
    fill_values(m.key, state.range(0));
    const auto file = sim::write_hive(m.key, 0);
    for (auto _ : state) {
        auto r = sim::read_hive(file);
        if (!r.ok() || r.value->values().size() != static_cast<size_t>(state.range(0)))
            state.SkipWithError("wrong result");
    }
}

}  // namespace

BENCHMARK(BM_InitRegSubKeys)
    ->Arg(1000)
    ->Arg(10000)
    ->Arg(100000)
    ->Unit(benchmark::kMillisecond)
    ->Complexity(benchmark::oN);
BENCHMARK(BM_InitRegValues)
    ->Arg(1000)
    ->Arg(10000)
    ->Arg(100000)
    ->Unit(benchmark::kMillisecond)
    ->Complexity(benchmark::oN);
BENCHMARK(BM_SaveHive)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadHive)->Arg(100000)->Unit(benchmark::kMillisecond);
