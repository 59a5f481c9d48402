// Heap bytes in use, for the benchmarks and tests that bound what one listed
// item costs: the heap a fresh listing holds, over its items. Counted with
// glibc's statistics; elsewhere, and under AddressSanitizer (whose allocator
// glibc does not see), nothing is counted.
#pragma once

#include <cstddef>
#include <cstdint>

#if defined(__linux__)
#include <malloc.h>
#endif

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define VORLEK_HEAP_UNCOUNTED
#endif
#endif
#if defined(__SANITIZE_ADDRESS__) || !defined(__GLIBC__)
#define VORLEK_HEAP_UNCOUNTED
#endif

namespace vorlek::bench {

#ifdef VORLEK_HEAP_UNCOUNTED
inline constexpr bool kHeapCounted = false;
inline size_t heap_in_use() {
    return 0;
}
#else
inline constexpr bool kHeapCounted = true;
inline size_t heap_in_use() {
    const struct mallinfo2 m = mallinfo2();
    return m.uordblks + m.hblkhd;
}
#endif

// Runs `fill`, which makes a listing and calls its argument while it holds
// the listing, and returns the heap held then per item.
template <class Fill>
double heap_per_item(int64_t items, Fill fill) {
    const size_t before = heap_in_use();
    size_t held = before;
    fill([&] { held = heap_in_use(); });
    return static_cast<double>(held - before) / static_cast<double>(items);
}

}  // namespace vorlek::bench
