// Reading event logs: InitReadEvents over a log of N records with their full
// message texts (three insertion strings, a category, a user, 16 bytes of
// data), unfiltered and with a filter that keeps one record in a hundred.
// The time per record should stay flat as the log grows.
#include <benchmark/benchmark.h>

#include "bench/heap.h"
#include "library/client.h"
#include "platform/eventlog.h"
#include "platform/sim/machine.h"
#include "platform/sim/messages.h"
#include "platform/sim/network.h"
#include "platform/sim/registry.h"
#include "platform/sim/sim_platform.h"

namespace {

using namespace vorlek;

// A log of its own, large enough for every record, with one source whose
// message and category texts come from the sample message file.
std::shared_ptr<sim::Network> network_with_log(int64_t records) {
    auto net = sim::make_network(u"default");
    platform::ScopedPlatform scope(std::make_shared<sim::SimPlatform>(net));
    sim::KeyNode& log = sim::find_key(*sim::registry_state(*net, net->local()).local_machine,
                                      u"SYSTEM\\CurrentControlSet\\Services\\EventLog")
                            ->add_child(u"Bench");
    const uint32_t size = 0x7FFFFFFC;
    log.set_value(u"MaxSize", platform::reg::kDword,
                  {uint8_t(size), uint8_t(size >> 8), uint8_t(size >> 16), uint8_t(size >> 24)});
    sim::KeyNode& source = log.add_child(u"Bench Source");
    const auto file = sim::utf16_bytes(String(sim::kSampleMessageFilePath) + u'\0');
    source.set_value(u"EventMessageFile", platform::reg::kSz, file);
    source.set_value(u"CategoryMessageFile", platform::reg::kSz, file);
    auto& el = platform::current().eventlog();
    const auto h = el.register_source(u"", u"Bench Source").value;
    const std::vector<uint8_t> sid = platform::sid::builtin_alias(544).bytes();
    const std::vector<uint8_t> data(16, 0x5A);
    for (int64_t i = 0; i < records; ++i) {
        const uint32_t id = i % 100 == 0 ? 1 : 2;
        el.report(h, platform::evt::kWarning, 1000, id, sid,
                  {u"first " + decimal(i), u"second insertion string", u"third"}, data);
    }
    el.deregister_source(h);
    return net;
}

void read_log(benchmark::State& state, int32_t id, int64_t expected) {
    auto net = network_with_log(state.range(0));
    platform::ScopedPlatform scope(std::make_shared<sim::SimPlatform>(net));
    state.counters["bytes_per_item"] = bench::heap_per_item(expected, [&](auto held) {
        auto e = client::create(u"Vorlek.Eventer");
        e.call(u"InitReadEvents", {}, {{u"strEventSource", u"Bench"}, {u"lngID", id}});
        held();
    });
    for (auto _ : state) {
        auto e = client::create(u"Vorlek.Eventer");
        const int32_t rc =
            e.call(u"InitReadEvents", {}, {{u"strEventSource", u"Bench"}, {u"lngID", id}})
                .to_long();
        const int32_t count = client::Dispatch(e.get(u"Events")).get(u"Count").to_long();
        if (rc != 0 || count != expected) state.SkipWithError("wrong result");
    }
    state.SetComplexityN(state.range(0));
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

void BM_InitReadEvents(benchmark::State& state) {
    read_log(state, -1, state.range(0));
}
void BM_InitReadEventsOnePercent(benchmark::State& state) {
    read_log(state, 1, (state.range(0) + 99) / 100);
}
BENCHMARK(BM_InitReadEvents)
    ->Arg(1000)
    ->Arg(10000)
    ->Arg(100000)
    ->Unit(benchmark::kMillisecond)
    ->Complexity(benchmark::oN);
BENCHMARK(BM_InitReadEventsOnePercent)
    ->Arg(1000)
    ->Arg(10000)
    ->Arg(100000)
    ->Unit(benchmark::kMillisecond)
    ->Complexity(benchmark::oN);

}  // namespace
