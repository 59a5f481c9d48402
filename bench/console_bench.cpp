// The console: ConsoleWrite of 1 MiB of text in lines of 80 characters
// (wrapping and scrolling a 300-row buffer), FillConsoleWithAttribute over a
// 9,999 x 300 buffer, and InitConsoleEvents over N queued records (256 per
// call, as the member reads them). Time per character, cell and record
// should stay flat as the sizes grow.
#include <benchmark/benchmark.h>

#include "console/consoler.h"
#include "platform/sim/console.h"
#include "platform/sim/machine.h"
#include "platform/sim/network.h"
#include "platform/sim/processes.h"
#include "platform/sim/sim_platform.h"

namespace {

using namespace vorlek;

struct Opened {
    std::shared_ptr<sim::Network> net = sim::make_network(u"default");
    platform::ScopedPlatform scope{std::make_shared<sim::SimPlatform>(net)};
    Ref<Consoler> c = make<Consoler>();
    Opened() { c->ConsoleOpen(); }
};

void BM_ConsoleWrite(benchmark::State& state) {
    Opened o;
    String line(79, u'x');
    line.push_back(u'\n');
    String text;
    while (text.size() < static_cast<size_t>(state.range(0)))
        text.append(line);
    text.resize(static_cast<size_t>(state.range(0)));
    for (auto _ : state)
        if (o.c->ConsoleWrite(text) != 0) state.SkipWithError("write failed");
    state.SetComplexityN(state.range(0));
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_ConsoleWrite)
    ->Arg(64 << 10)
    ->Arg(256 << 10)
    ->Arg(1 << 20)
    ->Unit(benchmark::kMillisecond)
    ->Complexity(benchmark::oN);

void BM_FillConsoleWithAttribute(benchmark::State& state) {
    Opened o;
    o.c->SetConsoleScreenBufferSizeX(9999);
    const auto cells = static_cast<int32_t>(state.range(0));
    for (auto _ : state)
        if (o.c->FillConsoleWithAttribute(0x1F, cells, 0, 0) != cells)
            state.SkipWithError("fill failed");
    state.SetComplexityN(state.range(0));
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_FillConsoleWithAttribute)
    ->Arg(9999 * 3)
    ->Arg(9999 * 30)
    ->Arg(9999 * 300)
    ->Unit(benchmark::kMillisecond)
    ->Complexity(benchmark::oN);

void BM_InitConsoleEvents(benchmark::State& state) {
    Opened o;
    auto console = sim::host_console(*o.net);
    for (auto _ : state) {
        state.PauseTiming();
        for (int64_t i = 0; i < state.range(0) / 2; ++i)
            console->type_key(u'a', 'A');
        state.ResumeTiming();
        int64_t read = 0;
        while (o.c->InitConsoleEvents(false) == 0 && o.c->ConsoleEvents()->size() > 0)
            read += static_cast<int64_t>(o.c->ConsoleEvents()->size());
        if (read != state.range(0)) state.SkipWithError("records lost");
    }
    state.SetComplexityN(state.range(0));
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_InitConsoleEvents)
    ->Arg(1000)
    ->Arg(10000)
    ->Unit(benchmark::kMillisecond)
    ->Complexity(benchmark::oN);

}  // namespace
