// Cost of a late-bound call and of keyed collections.
#include <benchmark/benchmark.h>

#include <array>

#include "automation/collection.h"
#include "library/client.h"

namespace vorlek {
namespace {

constexpr uint8_t kCall = MemberKind::Method | MemberKind::Get;

void BM_LateBoundConstantGet(benchmark::State& state) {
    auto s = client::create(u"Vorlek.Stringer");
    for (auto _ : state) {
        Variant v = invoke(*s.object(), u"REPLACE_LAST", kCall, {});
        benchmark::DoNotOptimize(v);
    }
}
BENCHMARK(BM_LateBoundConstantGet);

void BM_LateBoundReverseString(benchmark::State& state) {
    auto s = client::create(u"Vorlek.Stringer");
    for (auto _ : state) {
        std::array<Variant, 3> args{Variant(u"abcdef"), Variant(u""), Variant(2)};
        Variant v = invoke(*s.object(), u"ReverseString", kCall, args);
        benchmark::DoNotOptimize(v);
    }
}
BENCHMARK(BM_LateBoundReverseString);

std::vector<String> keys(size_t n) {
    std::vector<String> out;
    out.reserve(n);
    for (size_t i = 0; i < n; ++i)
        out.push_back(u"Machine" + decimal(static_cast<int64_t>(i)));
    return out;
}

void BM_CollectionKeyedAdd(benchmark::State& state) {
    const auto names = keys(static_cast<size_t>(state.range(0)));
    for (auto _ : state) {
        auto c = make<Collection>();
        for (const auto& k : names)
            c->add(Variant(1), k);
        benchmark::DoNotOptimize(c);
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_CollectionKeyedAdd)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMicrosecond);

void BM_CollectionKeyLookup(benchmark::State& state) {
    const auto names = keys(static_cast<size_t>(state.range(0)));
    auto c = make<Collection>();
    for (const auto& k : names)
        c->add(Variant(1), k);
    // Looked up in another case than stored.
    std::vector<Variant> upper;
    for (const auto& k : names)
        upper.emplace_back(to_upper(k));
    for (auto _ : state) {
        for (const auto& k : upper)
            benchmark::DoNotOptimize(c->Item(k));
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_CollectionKeyLookup)
    ->Arg(1000)
    ->Arg(10000)
    ->Arg(100000)
    ->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace vorlek
