// Late-bound calls of every member of every class, with argument lists and
// values taken from the fuzzer's input. A call may fail at the dispatch layer
// (that is its contract); anything else that leaves try_invoke(), a crash, a
// sanitizer report or an object left alive after the input is a finding.
//
// Every input starts from the same simulated network (restored, not made
// again: see network() below), so a finding replays from its file alone. The
// work one input can ask for is bounded here: a few calls on a few objects,
// short texts and arrays.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

#include "automation/collection.h"
#include "automation/invoke.h"
#include "library/library.h"
#include "platform/sim/eventlog.h"
#include "platform/sim/network.h"
#include "platform/sim/registry.h"
#include "platform/sim/services.h"
#include "platform/sim/sim_platform.h"

namespace vorlek {
namespace {

constexpr size_t kMaxCalls = 16;
constexpr size_t kMaxPool = 12;

class Input {
  public:
    Input(const uint8_t* data, size_t size) : in_(data, size) {}
    bool more() { return in_.remaining_bytes() > 0; }
    template <class T>
    T pick(T last) {
        return in_.ConsumeIntegralInRange<T>(0, last);
    }

    // Text with the characters the members treat specially.
    String text() {
        static constexpr char16_t kSpecial[] = {u'%', u';', u',',   u'\\',  u'^', 0xB0,
                                                0,    0xE9, 0x20AC, 0xD800, u'#', u' '};
        String s(pick<size_t>(24), u'a');
        for (auto& c : s) {
            uint8_t b = in_.ConsumeIntegral<uint8_t>();
            c = b < 96 ? static_cast<char16_t>(u' ' + b)
                       : kSpecial[b % (sizeof(kSpecial) / sizeof(kSpecial[0]))];
        }
        return s;
    }

    Variant value(const std::vector<Ref<Object>>& pool, int depth = 0) {
        switch (pick<int>(15)) {
            case 0:
                return Variant();
            case 1:
                return Missing{};
            case 2:
                return Null{};
            case 3:
                return in_.ConsumeIntegral<int16_t>();
            case 4:
                return in_.ConsumeIntegral<int32_t>();
            case 5:
                return in_.ConsumeIntegralInRange<int32_t>(-40, 40);
            case 6:
                return in_.ConsumeIntegral<uint8_t>();
            case 7:
                return in_.ConsumeFloatingPoint<double>();
            case 8:
                return Date{in_.ConsumeFloatingPoint<double>()};
            case 9:
                return in_.ConsumeBool();
            case 10:
            case 11:
                return text();
            case 12:
                return pool.empty() ? Variant() : Variant(pool[pick(pool.size() - 1)]);
            case 13: {
                std::vector<uint8_t> bytes(pick<size_t>(8));
                for (auto& b : bytes)
                    b = in_.ConsumeIntegral<uint8_t>();
                return Variant::byte_array(std::move(bytes), in_.ConsumeIntegralInRange(-2, 2));
            }
            case 14: {
                std::vector<int32_t> longs(pick<size_t>(6));
                for (auto& l : longs)
                    l = in_.ConsumeIntegral<int32_t>();
                return Variant::long_array(std::move(longs), in_.ConsumeIntegralInRange(-2, 2));
            }
            default: {
                std::vector<Variant> items(depth > 1 ? 0 : pick<size_t>(4));
                for (auto& v : items)
                    v = value(pool, depth + 1);
                return Variant::variant_array(std::move(items), in_.ConsumeIntegralInRange(-2, 2));
            }
        }
    }

  private:
    FuzzedDataProvider in_;
};

// VORLEK_FUZZ_TRACE=1 prints each call, to read what a finding did.
const bool trace = std::getenv("VORLEK_FUZZ_TRACE") != nullptr;

void run(const uint8_t* data, size_t size) {
    Input in(data, size);
    const auto& classes = library().classes();
    std::vector<Ref<Object>> pool{make<Collection>()};
    for (size_t n = 1 + in.pick<size_t>(2); n > 0; --n)
        pool.push_back(classes[in.pick(classes.size() - 1)]->create());
    static constexpr uint8_t kKinds[] = {
        MemberKind::Method | MemberKind::Get, static_cast<uint8_t>(MemberKind::Let),
        static_cast<uint8_t>(MemberKind::Set),
        static_cast<uint8_t>((MemberKind::Method | MemberKind::Get) |
                             (MemberKind::Let | MemberKind::Set))};
    for (size_t call = 0; call < kMaxCalls && in.more(); ++call) {
        Object& target = *pool[in.pick(pool.size() - 1)];
        const ClassInfo& info = target.class_info();
        const MemberInfo* member =
            info.members.empty() ? nullptr : &info.members[in.pick(info.members.size() - 1)];
        // Mostly as many arguments as the member has parameters (one more for
        // the value a let or set assigns), so that most calls get past the
        // argument checks into the member; a quarter of the calls any number.
        const size_t fitting = member ? member->params.size() + in.pick<size_t>(1) : 0;
        std::vector<Variant> args(in.pick<int>(3) == 0 ? in.pick<size_t>(8) : fitting);
        std::vector<NamedArgument> named(in.pick<size_t>(3) == 0 ? 1 : 0);
        // By name: the member's own name or any text.
        const bool by_name = in.pick<int>(7) == 0;
        const String name = !by_name                    ? String()
                            : member && in.pick<int>(1) ? String(member->name)
                                                        : in.text();
        const uint8_t kinds = kKinds[in.pick<size_t>(3)];
        for (auto& a : args)
            a = in.value(pool);
        for (auto& n : named)
            n = {in.pick<int32_t>(9) - 1, in.value(pool)};
        if (trace) {
            std::fprintf(stderr, "%s.%s kinds %d:", to_utf8(info.name).c_str(),
                         by_name || !member ? to_utf8(name).c_str() : to_utf8(member->name).c_str(),
                         kinds);
            for (const auto& a : args)
                std::fprintf(stderr, " %s",
                             a.if_object() ? to_utf8(a.if_object()->class_info().name).c_str()
                                           : to_utf8(type_name(a.type())).c_str());
            std::fprintf(stderr, " (target %p)", static_cast<void*>(&target));
            std::fprintf(stderr, "%s\n", named.empty() ? "" : " +named");
        }
        // A failure is the call's contract; failures come back as values,
        // so that the many calls that fail cost no unwinding.
        Invoked result = by_name || !member
                             ? try_invoke(target, name, kinds, args, named)
                             : try_invoke(target, member->dispid, kinds, args, named);
        if (Object* o = result.value.if_object(); o && pool.size() < kMaxPool)
            pool.push_back(result.value.object());
        // The way the script host drops the array values a script let go of.
        for (auto& a : args)
            release_value(a);
        for (auto& n : named)
            release_value(n.value);
    }
}

// The default network with what the simulation makes on first use (each
// machine's registry, services, processes, accounts and event logs) made,
// then saved.
// Restoring it copies back only the machines an input reached, where making
// a network and its registries again would take longer than most inputs.
const std::shared_ptr<sim::Network>& network() {
    static const std::shared_ptr<sim::Network> net = [] {
        auto n = sim::make_network(u"default");
        for (sim::Machine* m : n->machines()) {
            sim::account_database(*n, *m);
            sim::registry_state(*n, *m);
            sim::service_table(*n, *m);
            sim::process_table(*n, *m);
            sim::eventlog_state(*n, *m);
        }
        n->save();
        n->restore();
        return n;
    }();
    return net;
}

}  // namespace
}  // namespace vorlek

// The target's own defaults, put before the command line's flags, which win:
// -entropic=0. The entropic schedule keeps a frequency for every feature an
// input reaches; this target's inputs each reach thousands, and keeping them
// took a fifth of every run.
extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    static char entropic[] = "-entropic=0";
    static std::vector<char*> args;
    args.assign(*argv, *argv + *argc);
    args.insert(args.begin() + (args.empty() ? 0 : 1), entropic);
    args.push_back(nullptr);
    *argc = static_cast<int>(args.size() - 1);
    *argv = args.data();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace vorlek;
    {
        // A platform of its own too: the handles an input left open go with it.
        platform::ScopedPlatform scope(std::make_shared<sim::SimPlatform>(network()));
        const uint64_t before = Object::live_count();
        run(data, size);
        if (Object::live_count() != before) {
            std::fprintf(stderr, "objects left alive: %llu\n",
                         static_cast<unsigned long long>(Object::live_count() - before));
            std::abort();
        }
    }
    // Restored at the end rather than the start: what the input added to the
    // network is freed in the same run, so the fuzzer's leak check does not
    // take it for a leak and run the input again.
    network()->restore();
    return 0;
}
