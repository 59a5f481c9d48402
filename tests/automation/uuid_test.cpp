#include "automation/uuid.h"

#include <gtest/gtest.h>

namespace vorlek {
namespace {

// The DNS namespace of RFC 4122 and a published version-5 value under it.
constexpr Uuid kDns{{0x6b, 0xa7, 0xb8, 0x10, 0x9d, 0xad, 0x11, 0xd1, 0x80, 0xb4, 0x00, 0xc0, 0x4f,
                     0xd4, 0x30, 0xc8}};

TEST(NameUuid, MatchesTheStandardAlgorithm) {
    EXPECT_EQ(to_text(name_uuid(kDns, "python.org")), "886313e1-3b8a-5372-9b90-0c9aee199e5d");
    // Interface descriptions are longer than one SHA-1 block.
    EXPECT_EQ(to_text(name_uuid(kDns, std::string(200, 'x'))),
              "ddcc691a-b8e2-53e5-b059-6a232874b2eb");
}

}  // namespace
}  // namespace vorlek
