#include "com/uuid.h"

#include <gtest/gtest.h>

namespace vorlek::com {
namespace {

// The DNS namespace of RFC 4122 and a published version-5 value under it.
constexpr Uuid kDns{{0x6b, 0xa7, 0xb8, 0x10, 0x9d, 0xad, 0x11, 0xd1, 0x80, 0xb4, 0x00, 0xc0, 0x4f,
                     0xd4, 0x30, 0xc8}};

TEST(NameUuid, MatchesTheStandardAlgorithm) {
    EXPECT_EQ(to_text(name_uuid(kDns, "python.org")), "886313e1-3b8a-5372-9b90-0c9aee199e5d");
}

TEST(NameUuid, LibraryIdsAreFixedAndDistinct) {
    // Registered class ids must never change between builds: these values are
    // in admins' registries.
    EXPECT_EQ(to_text(name_uuid(kNamespace, "Vorlek.Stringer")),
              "b852d280-2ce9-5f44-b289-599c6c04c977");
    EXPECT_NE(name_uuid(kNamespace, "Vorlek.Stringer"), name_uuid(kNamespace, "Vorlek._Stringer"));
    EXPECT_NE(name_uuid(kNamespace, "Vorlek.Stringer"), name_uuid(kNamespace, "vorlek.stringer"));
    // A name longer than one SHA-1 block.
    std::string long_name(200, 'x');
    EXPECT_EQ(name_uuid(kNamespace, long_name).bytes[6] >> 4, 5);
}

}  // namespace
}  // namespace vorlek::com
