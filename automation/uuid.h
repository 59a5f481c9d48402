// Name-based identifiers (RFC 4122 version 5, SHA-1). The library id and the
// class ids are derived from names, an interface id from the interface's
// whole description (automation/describe.h), so none is kept by hand and each
// stays the same from build to build.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace vorlek {

struct Uuid {
    std::array<uint8_t, 16> bytes{};  // in network (big-endian) order
    friend bool operator==(const Uuid&, const Uuid&) = default;
};

// The namespace all of the library's names live in.
constexpr Uuid kNamespace{{0x2e, 0x0f, 0x3e, 0xc0, 0xcd, 0xca, 0x48, 0xf4, 0xa6, 0xda, 0x9e, 0xa5,
                           0x1c, 0x24, 0x70, 0x3c}};

Uuid name_uuid(const Uuid& name_space, std::string_view name);
// "xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx", lower case.
std::string to_text(const Uuid& uuid);

}  // namespace vorlek
