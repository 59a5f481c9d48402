// Throws random script values at members through the host: every call either
// returns or raises a script error; the host never crashes or leaks.
#include <gtest/gtest.h>

#include <chrono>
#include <random>

#include "probe.h"
#include "tests/support/fuzz_budget.h"

namespace vorlek::test {
namespace {

class ValueSource {
  public:
    explicit ValueSource(uint32_t seed) : rng_(seed) {}

    std::string value(int depth = 0) {
        switch (pick(depth > 2 ? 10 : 16)) {
            case 0:
                return "undefined";
            case 1:
                return "null";
            case 2:
                return pick(2) ? "true" : "false";
            case 3:
                return std::to_string(static_cast<int64_t>(rng_()) - (int64_t{1} << 31));
            case 4: {
                static const char* k[] = {
                    "NaN",        "Infinity",    "-Infinity",  "-0",  "0.5", "1e300", "-1e-300",
                    "2147483648", "-2147483649", "4294967295", "255", "256", "32768"};
                return k[pick(std::size(k))];
            }
            case 5:
                return text();
            case 6:
                return "p";
            case 7:
                return "s";
            case 8:
                return "p.Bytes";
            case 9:
                return "s.SepStrings";
            case 10:
                return "[" + value(depth + 1) + ", " + value(depth + 1) + "]";
            case 11:
                return "{toString: function () { return " + value(depth + 1) + "; }}";
            case 12:
                return "{toString: function () { throw " + value(depth + 1) + "; }}";
            case 13:
                return "new Date(" + std::to_string(pick(4000000)) + " * 1e6)";
            case 14:
                return "function () { return 1; }";
            default:
                return "new VBArray(p.Mixed).toArray()[" + std::to_string(pick(3)) + "]";
        }
    }

    size_t pick(size_t n) { return std::uniform_int_distribution<size_t>(0, n - 1)(rng_); }

  private:
    std::string text() {
        static const char* pieces[] = {"a",       "\\u00e9", "\\u20ac", "\\uD83D\\uDE00",
                                       "\\uD800", "\\uDFFF", "%OS%",    "%",
                                       ";",       "\\u0000", "12",      " ",
                                       "&H10",    "#1",      "\\\\"};
        std::string out = "'";
        for (size_t n = pick(6); n > 0; --n)
            out += pieces[pick(std::size(pieces))];
        return out + "'";
    }

    std::mt19937 rng_;
};

TEST(HostFuzz, RandomValuesThroughEveryMapping) {
    static const char* calls[] = {"p.Echo(@)",
                                  "p.TypeOf(@)",
                                  "p.TakesLong(@)",
                                  "p.Value = @",
                                  "p.Sum(@, @)",
                                  "s.ReverseString(@, @, @)",
                                  "s.ByteArrayToHexString(@, @, @, @)",
                                  "s.ReplaceString(@, @, @, @)",
                                  "s.InitSeperator(@, @, @)",
                                  "s.SepStrings = @",
                                  "s.GetCharEx(@)",
                                  "new VBArray(@).toArray()",
                                  "new Enumerator(@).item()",
                                  "s.SepStrings(@)",
                                  "s.SepStrings.Item(@)",
                                  "@.Count",
                                  "WScript.Echo(@)"};
    uint64_t before = Object::live_count();
    // Seeds 1 to 40 by default; from VORLEK_FUZZ_SEED on for as long as asked.
    const auto budget = testing_support::fuzz_budget(20, 1);
    const uint32_t last_seed = budget.open_ended ? UINT32_MAX : budget.seed + 39;
    auto deadline = std::chrono::steady_clock::now() + budget.length;
    for (uint32_t seed = budget.seed;
         seed <= last_seed && std::chrono::steady_clock::now() < deadline; ++seed) {
        ValueSource source(seed);
        std::string script =
            "var p = new ActiveXObject('Vorlek.Probe'), s = new ActiveXObject('Vorlek.Stringer');\n"
            "s.InitSeperator('a;b', ';'); var ok = 0, failed = 0;\n";
        const int kCalls = 100;
        for (int i = 0; i < kCalls; ++i) {
            std::string call = calls[source.pick(std::size(calls))];
            for (size_t at; (at = call.find('@')) != std::string::npos;)
                call.replace(at, 1, "(" + source.value() + ")");
            script += "try { " + call + "; ok++; } catch (e) { failed++; }\n";
        }
        script += "WScript.Echo('done', ok + failed);";
        Outcome r = run_script(script);
        ASSERT_EQ(r.status, 0) << "seed " << seed << "\n" << r.err << "\n" << script;
        std::string last = r.out.substr(r.out.rfind("done"));
        ASSERT_EQ(last, "done " + std::to_string(kCalls) + "\n") << "seed " << seed;
        ASSERT_EQ(Object::live_count(), before) << "seed " << seed;
    }
}

}  // namespace
}  // namespace vorlek::test
