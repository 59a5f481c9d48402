// Bytes of requests and replies built by hand for the remote tests: a
// context handle of one repeated byte, and little-endian words.
#pragma once

#include <cstdint>

#include "platform/remote/ndr.h"
#include "platform/remote/session.h"

namespace vorlek::platform::remote::wire {

inline ContextHandle handle_of(uint8_t fill) {
    ContextHandle h;
    h.bytes.fill(fill);
    return h;
}

inline void put16(Bytes& b, uint16_t v) {
    b.push_back(static_cast<uint8_t>(v));
    b.push_back(static_cast<uint8_t>(v >> 8));
}

inline void put32(Bytes& b, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        b.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

}  // namespace vorlek::platform::remote::wire
