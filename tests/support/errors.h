// Helpers shared by the C++ tests.
#pragma once

#include "automation/error.h"

namespace vorlek::testing_support {

// The run-time error number `f` raises, or 0 when it returns.
template <class F>
int32_t error_of(F&& f) {
    try {
        f();
    } catch (const RuntimeError& e) {
        return e.number();
    }
    return 0;
}

}  // namespace vorlek::testing_support
