// Stringer on large inputs: every algorithm here must stay linear.
#include <benchmark/benchmark.h>

#include "strings/stringer.h"

namespace vorlek {
namespace {

// 1 MiB of text holding `matches` occurrences of "x", evenly spread.
String text_with_matches(size_t size, size_t matches) {
    String text(size, u'a');
    const size_t step = size / matches;
    for (size_t i = 0; i < matches; ++i)
        text[i * step] = u'x';
    return text;
}

void BM_ReplaceStringAll(benchmark::State& state) {
    const String text = text_with_matches(1 << 20, 100000);
    auto s = make<Stringer>();
    const bool case_blind = state.range(0) != 0;
    String out;
    for (auto _ : state) {
        // Case-blind mode finds "X" in text of "x"; case-sensitive mode
        // looks for "x" itself, so both replace every match.
        out = s->ReplaceString(text, u"yy", case_blind ? u"X" : u"x", Stringer::kReplaceAll,
                               case_blind ? Stringer::kNotCaseSensitive : Stringer::kCaseSensitive,
                               Stringer::kNoBound, Stringer::kNoBound);
        benchmark::DoNotOptimize(out);
    }
    // Each replacement grows the text by one character.
    state.counters["replaced"] = static_cast<double>(out.size() - text.size());
    if (out.size() - text.size() != 100000) state.SkipWithError("not every match was replaced");
}
BENCHMARK(BM_ReplaceStringAll)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// The worst case of ReplaceEnvVars: a strDefault that brings in a reference
// of its own, so every round expands it again, up to the rescan bound.
void BM_ReplaceEnvVarsRescans(benchmark::State& state) {
    const String fallback = u"%NOSUCHVAR%" + String(static_cast<size_t>(state.range(0)), u'd');
    auto s = make<Stringer>();
    for (auto _ : state)
        benchmark::DoNotOptimize(s->ReplaceEnvVars(u"%NOSUCHVAR%", fallback));
}
BENCHMARK(BM_ReplaceEnvVarsRescans)
    ->Arg(1 << 10)
    ->Arg(4 << 10)
    ->Arg(16 << 10)
    ->Unit(benchmark::kMillisecond);

void BM_InitSeperator(benchmark::State& state) {
    const size_t pieces = 30000;
    String text;
    const String piece(((1 << 20) / pieces) - 1, u'p');
    for (size_t i = 0; i < pieces; ++i)
        text.append(piece).append(u";");
    auto s = make<Stringer>();
    for (auto _ : state) {
        int32_t rc = s->InitSeperator(text, u";", true);
        benchmark::DoNotOptimize(rc);
    }
    state.counters["pieces"] = static_cast<double>(s->SepStrings()->size());
}
BENCHMARK(BM_InitSeperator)->Unit(benchmark::kMillisecond);

void BM_ReverseStringMaxLength(benchmark::State& state) {
    const String text(32767, u'r');
    auto s = make<Stringer>();
    for (auto _ : state)
        benchmark::DoNotOptimize(s->ReverseString(text, u"", 1));
}
BENCHMARK(BM_ReverseStringMaxLength)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace vorlek
