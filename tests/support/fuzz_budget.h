// How long the randomised tests run and from which seed. By default they run
// a short fixed program; VORLEK_FUZZ_SECONDS and VORLEK_FUZZ_SEED lengthen a
// run or move it to other seeds (a failure prints the seed that found it).
#pragma once

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <string>

namespace vorlek::testing_support {

struct FuzzBudget {
    std::chrono::steady_clock::duration length;
    uint32_t seed;
    // True when the environment asked for a run of its own length, which
    // then is not cut short by the default's round count.
    bool open_ended;
};

inline FuzzBudget fuzz_budget(int default_seconds, uint32_t default_seed) {
    FuzzBudget b{std::chrono::seconds(default_seconds), default_seed, false};
    if (const char* s = std::getenv("VORLEK_FUZZ_SECONDS"); s && *s) {
        b.length = std::chrono::seconds(std::strtoll(s, nullptr, 10));
        b.open_ended = true;
    }
    if (const char* s = std::getenv("VORLEK_FUZZ_SEED"); s && *s)
        b.seed = static_cast<uint32_t>(std::strtoul(s, nullptr, 10));
    return b;
}

}  // namespace vorlek::testing_support
