// Integer arithmetic on the automation widths. A result that leaves its type's
// range raises overflow (6) instead of wrapping.
#pragma once

#include <concepts>
#include <cstdint>
#include <limits>

#include "automation/error.h"

namespace vorlek::checked {

template <std::integral T>
T add(T a, T b) {
    T out;
    if (__builtin_add_overflow(a, b, &out)) raise(err::kOverflow);
    return out;
}

template <std::integral T>
T sub(T a, T b) {
    T out;
    if (__builtin_sub_overflow(a, b, &out)) raise(err::kOverflow);
    return out;
}

template <std::integral T>
T mul(T a, T b) {
    T out;
    if (__builtin_mul_overflow(a, b, &out)) raise(err::kOverflow);
    return out;
}

// Increment a counter in place, as `n = n + 1` does in a script.
template <std::integral T>
T& increment(T& counter) {
    counter = add<T>(counter, T{1});
    return counter;
}

// Conversion to a narrower type.
template <std::integral To, class From>
To narrow(From value) {
    if constexpr (std::is_floating_point_v<From>) {
        if (!(value >= static_cast<From>(std::numeric_limits<To>::min()) &&
              value <= static_cast<From>(std::numeric_limits<To>::max())))
            raise(err::kOverflow);
        return static_cast<To>(value);
    } else {
        if (!std::in_range<To>(value)) raise(err::kOverflow);
        return static_cast<To>(value);
    }
}

}  // namespace vorlek::checked
