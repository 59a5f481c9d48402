// The service class over a large service database: InitServices should grow
// linearly with the services of the machine (each one is opened and its
// configuration read, as the class does).
#include <benchmark/benchmark.h>

#include "bench/heap.h"
#include "library/client.h"
#include "platform/services.h"
#include "platform/sim/network.h"
#include "platform/sim/sim_platform.h"

namespace {

using namespace vorlek;
namespace svc = platform::svc;

void BM_InitServices(benchmark::State& state) {
    auto net = sim::make_network(u"default");
    platform::ScopedPlatform scope(std::make_shared<sim::SimPlatform>(net));
    auto& services = platform::current().services();
    const platform::ScHandle manager = services.open_manager(u"", svc::kManagerAllAccess).value;
    const int64_t before =
        static_cast<int64_t>(services.enumerate(manager, svc::kWin32, svc::kStateAll).value.size());
    for (int64_t i = 0; i < state.range(0) - before; ++i) {
        platform::NewService n;
        n.name = u"Bench" + decimal(i);
        n.display_name = u"Bench service " + decimal(i);
        n.binary_path = u"C:\\WINNT\\system32\\bench.exe";
        auto made = services.create_service(manager, n);
        if (!made.ok()) state.SkipWithError("create failed");
        services.close(made.value);
    }
    services.close(manager);
    for (auto _ : state) {
        auto s = client::create(u"Vorlek.Service");
        const int32_t result =
            s.call(u"InitServices", {static_cast<int32_t>(svc::kWin32)}).to_long();
        const int32_t count = client::Dispatch(s.get(u"Services")).get(u"Count").to_long();
        if (result != 1 || count != state.range(0)) state.SkipWithError("wrong result");
    }
    state.SetComplexityN(state.range(0));
    state.SetItemsProcessed(state.iterations() * state.range(0));
    state.counters["bytes_per_item"] = bench::heap_per_item(state.range(0), [&](auto held) {
        auto s = client::create(u"Vorlek.Service");
        s.call(u"InitServices", {static_cast<int32_t>(svc::kWin32)});
        held();
    });
}
BENCHMARK(BM_InitServices)
    ->Arg(100)
    ->Arg(1000)
    ->Arg(10000)
    ->Unit(benchmark::kMillisecond)
    ->Complexity(benchmark::oN);

}  // namespace
