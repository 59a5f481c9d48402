// The account rights class over a right that many accounts hold:
// InitPolicies should grow linearly with the holders (each one is named by
// a look-up of its SID, as the class does).
#include <benchmark/benchmark.h>

#include "bench/heap.h"
#include "library/client.h"
#include "platform/lsa.h"
#include "platform/sim/accounts.h"
#include "platform/sim/network.h"
#include "platform/sim/sim_platform.h"

namespace {

using namespace vorlek;

void BM_InitPolicies(benchmark::State& state) {
    auto net = sim::make_network(u"default");
    platform::ScopedPlatform scope(std::make_shared<sim::SimPlatform>(net));
    auto& db = sim::account_database(*net, net->local());
    auto& lsa = platform::current().lsa();
    const auto policy = lsa.open_policy(
        u"", platform::policy_access::kLookupNames | platform::policy_access::kCreateAccount);
    for (int64_t i = 0; i < state.range(0); ++i) {
        const uint32_t id = db.next_rid;
        db.add_user(u"batch" + decimal(i), id,
                    platform::uf::kScript | platform::uf::kNormalAccount);
        if (lsa.add_account_rights(policy.value, db.domain_sid.with_rid(id),
                                   {u"SeBatchLogonRight"}) != 0)
            state.SkipWithError("grant failed");
    }
    lsa.close(policy.value);
    for (auto _ : state) {
        auto ls = client::create(u"Vorlek.LocalSecurer");
        const int32_t result = ls.call(u"InitPolicies", {u"SeBatchLogonRight"}).to_long();
        const int32_t count = client::Dispatch(ls.get(u"Policies")).get(u"Count").to_long();
        if (result != 0 || count != state.range(0)) state.SkipWithError("wrong result");
    }
    state.SetComplexityN(state.range(0));
    state.SetItemsProcessed(state.iterations() * state.range(0));
    state.counters["bytes_per_item"] = bench::heap_per_item(state.range(0), [&](auto held) {
        auto ls = client::create(u"Vorlek.LocalSecurer");
        ls.call(u"InitPolicies", {u"SeBatchLogonRight"});
        held();
    });
}
BENCHMARK(BM_InitPolicies)
    ->Arg(100)
    ->Arg(1000)
    ->Arg(10000)
    ->Unit(benchmark::kMillisecond)
    ->Complexity(benchmark::oN);

}  // namespace
