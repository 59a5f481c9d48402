// Security descriptors: the binary form round trip and its refusals, and
// what a new object takes from its parent's lists.
#include <gtest/gtest.h>

#include "platform/security_descriptor.h"

namespace vorlek {
namespace {

using platform::Ace;
using platform::Acl;
using platform::SecurityDescriptor;
namespace ace = platform::ace;
namespace sid = platform::sid;

SecurityDescriptor sample() {
    SecurityDescriptor sd;
    sd.control = platform::sd_control::kDaclProtected;
    sd.owner = sid::builtin_alias(sid::rid::kAdmins);
    sd.group = sid::local_system();
    sd.dacl = Acl{2,
                  {{ace::kAccessAllowed, 2, 0xF003F, sid::everyone()},
                   {ace::kAccessDenied, 0, 0x10000, sid::account_domain(1, 2, 3).with_rid(1000)}}};
    sd.sacl = Acl{2, {{ace::kSystemAudit, 0xC0, 0x6, sid::everyone()}}};
    return sd;
}

TEST(SecurityDescriptorTest, TheBinaryFormRoundTrips) {
    for (SecurityDescriptor sd : {sample(), SecurityDescriptor{}, [] {
                                      SecurityDescriptor n;
                                      n.null_dacl = true;  // present, but no list: everybody may
                                      return n;
                                  }()}) {
        const auto bytes = sd.bytes();
        EXPECT_EQ(bytes.size(), sd.byte_length());
        auto back = SecurityDescriptor::from_bytes(bytes.data(), bytes.size());
        ASSERT_TRUE(back);
        EXPECT_EQ(*back, sd);
    }
    // The parts a read asks for, the others absent.
    const auto part =
        sample().part(platform::security_info::kGroup | platform::security_info::kSacl);
    EXPECT_FALSE(part.owner);
    EXPECT_FALSE(part.dacl);
    EXPECT_EQ(*part.group, sid::local_system());
    EXPECT_EQ(part.sacl->aces.size(), 1u);
}

TEST(SecurityDescriptorTest, DescriptorsThatDoNotFitTheirBufferAreRefused) {
    const auto good = sample().bytes();
    const size_t dacl = good[16] | good[17] << 8;
    struct Case {
        const char* what;
        size_t at;
        uint8_t value;
    } cases[] = {
        {"revision", 0, 2},
        {"not self-relative", 3, 0x00},
        {"owner offset outside", 7, 0x7F},
        {"an ACL larger than the buffer", dacl + 3, 0xFF},
        {"more entries than the ACL holds", dacl + 4, 0xFF},
        {"an entry of an unknown kind", dacl + 8, 0x11},
        {"an entry larger than its ACL", dacl + 8 + 3, 0x7F},
    };
    for (const Case& c : cases) {
        auto bytes = good;
        bytes[c.at] = c.value;
        EXPECT_FALSE(SecurityDescriptor::from_bytes(bytes.data(), bytes.size())) << c.what;
    }
    for (size_t cut = 0; cut < good.size(); ++cut)
        EXPECT_FALSE(SecurityDescriptor::from_bytes(good.data(), cut)) << cut;
}

TEST(SecurityDescriptorTest, ANewObjectTakesTheEntriesMeantForIt) {
    const auto owner = sid::account_domain(1, 2, 3).with_rid(1000);
    const auto users = sid::builtin_alias(sid::rid::kUsers);
    struct Case {
        const char* what;
        uint8_t flags;
        bool creator;  // the entry names CREATOR OWNER
        bool container;
        std::vector<std::pair<uint8_t, bool>> taken;  // flags, names the owner
    } cases[] = {
        {"not inheritable", 0, false, true, {}},
        {"to containers, passed on",
         ace::kContainerInherit,
         false,
         true,
         {{ace::kContainerInherit | ace::kInherited, false}}},
        {"to containers, not passed on",
         ace::kContainerInherit | ace::kNoPropagateInherit,
         false,
         true,
         {{ace::kInherited, false}}},
        {"to objects, kept by a container for its objects",
         ace::kObjectInherit,
         false,
         true,
         {{ace::kObjectInherit | ace::kInheritOnly | ace::kInherited, false}}},
        {"to objects, taken by an object",
         ace::kObjectInherit,
         false,
         false,
         {{ace::kInherited, false}}},
        {"to containers only, not to an object", ace::kContainerInherit, false, false, {}},
        {"inherit-only applies below",
         ace::kContainerInherit | ace::kInheritOnly,
         false,
         true,
         {{ace::kContainerInherit | ace::kInherited, false}}},
        {"CREATOR OWNER becomes the owner and stays for the next level",
         ace::kContainerInherit | ace::kInheritOnly,
         true,
         true,
         {{ace::kInherited, true},
          {ace::kContainerInherit | ace::kInheritOnly | ace::kInherited, false}}},
    };
    for (const Case& c : cases) {
        SecurityDescriptor parent;
        parent.dacl = Acl{
            2, {{ace::kAccessAllowed, c.flags, 0x20019, c.creator ? sid::creator_owner() : users}}};
        const auto child =
            platform::inherit_descriptor(parent, owner, sid::local_system(), c.container);
        EXPECT_EQ(*child.owner, owner) << c.what;
        ASSERT_EQ(child.dacl->aces.size(), c.taken.size()) << c.what;
        for (size_t i = 0; i < c.taken.size(); ++i) {
            EXPECT_EQ(child.dacl->aces[i].flags, c.taken[i].first) << c.what;
            EXPECT_EQ(child.dacl->aces[i].sid == owner, c.taken[i].second) << c.what;
            EXPECT_EQ(child.dacl->aces[i].mask, 0x20019u) << c.what;
        }
    }
    // Audits are inherited by the same rules; a parent without any gives no SACL.
    SecurityDescriptor parent = sample();
    parent.sacl->aces[0].flags |= ace::kContainerInherit;
    EXPECT_EQ(platform::inherit_descriptor(parent, owner, owner, true).sacl->aces.size(), 1u);
    parent.sacl.reset();
    EXPECT_FALSE(platform::inherit_descriptor(parent, owner, owner, true).sacl);
}

// The access check walks the list in order: the first entry that decides a
// right wins, inherit-only entries do not count, generic rights are mapped,
// and the owner may always read and change the descriptor.
TEST(SecurityDescriptorTest, TheAccessCheckDecidesEachRightByTheFirstEntryNamingIt) {
    const platform::GenericMapping mapping{0x20019, 0x20006, 0x20019, 0xF003F};
    const auto user = sid::account_domain(1, 2, 3).with_rid(1000);
    const platform::AccessIdentity who{user, {sid::everyone()}};
    auto with = [](std::vector<Ace> aces, std::optional<platform::Sid> owner = std::nullopt) {
        SecurityDescriptor sd;
        sd.owner = owner;
        sd.dacl = Acl{2, std::move(aces)};
        return sd;
    };
    const Ace allow_all{ace::kAccessAllowed, 0, 0xF003F, sid::everyone()};
    const Ace deny_write{ace::kAccessDenied, 0, 0x2, user};
    struct Case {
        const char* what;
        SecurityDescriptor sd;
        uint32_t desired;
        std::optional<uint32_t> granted;
    } cases[] = {
        {"no list grants all", SecurityDescriptor{}, 0x3, 0x3},
        {"a denial first wins", with({deny_write, allow_all}), 0x2, std::nullopt},
        {"a grant first wins", with({allow_all, deny_write}), 0x2, 0x2},
        {"an empty list grants nothing", with({}), 0x1, std::nullopt},
        {"generic read maps", with({allow_all}), platform::access::kGenericRead, 0x20019},
        {"maximum allowed gives what is allowed", with({deny_write, allow_all}),
         platform::access::kMaximumAllowed, 0xF003D},
        {"maximum allowed with nothing allowed fails", with({}), platform::access::kMaximumAllowed,
         std::nullopt},
        {"inherit-only entries do not count",
         with({{ace::kAccessAllowed, ace::kInheritOnly | ace::kContainerInherit, 0xF003F,
                sid::everyone()}}),
         0x1, std::nullopt},
        {"another's entry does not count",
         with({{ace::kAccessAllowed, 0, 0xF003F, sid::local_system()}}), 0x1, std::nullopt},
        {"the owner reads and changes the descriptor", with({}, user),
         platform::access::kReadControl | platform::access::kWriteDac,
         platform::access::kReadControl | platform::access::kWriteDac},
        {"but is not given more", with({}, user), 0x1, std::nullopt},
        {"the system list's right is not the list's business", with({allow_all}),
         platform::access::kSystemSecurity | 0x1, 0x1},
    };
    for (const Case& c : cases)
        EXPECT_EQ(platform::access_check(c.sd, who, c.desired, mapping), c.granted) << c.what;
    SecurityDescriptor null_list;
    null_list.null_dacl = true;
    EXPECT_EQ(platform::access_check(null_list, who, 0x6, mapping), 0x6u);
}

}  // namespace
}  // namespace vorlek
