// Random argument lists at every Stringer member: each call returns or fails
// at the dispatch layer, never crashes, hangs or throws anything else.
#include <gtest/gtest.h>

#include <chrono>
#include <random>

#include "automation/collection.h"
#include "library/client.h"
#include "platform/sim/network.h"
#include "platform/sim/sim_platform.h"
#include "tests/support/fuzz_budget.h"

namespace vorlek {
namespace {

class Generator {
  public:
    explicit Generator(uint32_t seed) : rng_(seed) {}

    Variant value() {
        switch (pick(12)) {
            case 0:
                return Variant();
            case 1:
                return Missing{};
            case 2:
                return static_cast<int32_t>(rng_());
            case 3:
                return static_cast<int16_t>(pick(65536) - 32768);
            case 4:
                return static_cast<int32_t>(pick(80)) - 40;
            case 5:
                return std::uniform_real_distribution<double>(-1e10, 1e10)(rng_);
            case 6:
                return text(pick(12));
            case 7:
                return text(pick(3) == 0 ? 40000 : 300);
            case 8:
                return pick(2) == 0;
            case 9:
                return array();
            case 10:
                return Variant(make<Collection>());
            default:
                return Variant(u"\u00B0^");
        }
    }

    std::vector<Variant> arguments() {
        std::vector<Variant> args(pick(9));
        for (auto& a : args)
            a = value();
        return args;
    }

    size_t pick(size_t n) { return std::uniform_int_distribution<size_t>(0, n - 1)(rng_); }

  private:
    String text(size_t n) {
        static constexpr char16_t kAlphabet[] = {u'a', u'b',   u'%',   u';',   u',', u' ', u'X', 0,
                                                 0xE9, 0x20AC, 0x3042, 0xD800, u'^', 0xB0, 0};
        String s(n, u'a');
        for (auto& c : s)
            c = kAlphabet[pick(sizeof(kAlphabet) / sizeof(kAlphabet[0]) - 1)];
        return s;
    }
    Variant array() {
        int32_t lower = static_cast<int32_t>(pick(5)) - 2;
        size_t n = pick(6);
        switch (pick(3)) {
            case 0:
                return Variant::byte_array(std::vector<uint8_t>(n, static_cast<uint8_t>(pick(256))),
                                           lower);
            case 1:
                return Variant::long_array(std::vector<int32_t>(n, static_cast<int32_t>(rng_())),
                                           lower);
            default: {
                std::vector<Variant> items(n);
                for (auto& v : items)
                    v = pick(2) ? Variant(text(3)) : Variant(static_cast<int32_t>(pick(1000)));
                return Variant::variant_array(std::move(items), lower);
            }
        }
    }
    std::mt19937 rng_;
};

TEST(StringerFuzz, EveryMemberSurvivesRandomArguments) {
    platform::ScopedPlatform scope(
        std::make_shared<sim::SimPlatform>(sim::make_network(u"default")));
    auto stringer = client::create(u"Vorlek.Stringer");
    const ClassInfo& info = stringer.object()->class_info();
    const auto budget = testing_support::fuzz_budget(6, 20261206);
    Generator gen(budget.seed);
    const auto deadline = std::chrono::steady_clock::now() + budget.length;
    const int rounds = budget.open_ended ? INT32_MAX : 800;
    const uint8_t kinds[] = {MemberKind::Method | MemberKind::Get,
                             static_cast<uint8_t>(MemberKind::Let),
                             static_cast<uint8_t>(MemberKind::Set)};
    int calls = 0;
    for (int round = 0; round < rounds && std::chrono::steady_clock::now() < deadline; ++round) {
        for (const MemberInfo& m : info.members) {
            auto args = gen.arguments();
            try {
                invoke(*stringer.object(), m.dispid, kinds[gen.pick(3)], args);
            } catch (const DispatchError&) {
            }
            ++calls;
        }
    }
    EXPECT_GT(calls, 1000) << "seed " << budget.seed;
}

}  // namespace
}  // namespace vorlek
