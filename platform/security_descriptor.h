// Security descriptors: owner, primary group, the discretionary list of
// allowed and denied entries, the system list of audits, and how a new
// object inherits its parent's entries. Registry keys carry them now;
// shares, printers and processes take theirs from the same type.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "platform/security.h"

namespace vorlek::platform {

// ACE types and flags.
namespace ace {
constexpr uint8_t kAccessAllowed = 0;  // ACCESS_ALLOWED_ACE_TYPE
constexpr uint8_t kAccessDenied = 1;   // ACCESS_DENIED_ACE_TYPE
constexpr uint8_t kSystemAudit = 2;    // SYSTEM_AUDIT_ACE_TYPE

constexpr uint8_t kObjectInherit = 0x1;
constexpr uint8_t kContainerInherit = 0x2;
constexpr uint8_t kNoPropagateInherit = 0x4;
constexpr uint8_t kInheritOnly = 0x8;
constexpr uint8_t kInherited = 0x10;
constexpr uint8_t kSuccessfulAccess = 0x40;
constexpr uint8_t kFailedAccess = 0x80;
constexpr uint8_t kInheritFlags =
    kObjectInherit | kContainerInherit | kNoPropagateInherit | kInheritOnly;
}  // namespace ace

// SECURITY_INFORMATION: which parts a read or write names.
namespace security_info {
constexpr uint32_t kOwner = 0x1;
constexpr uint32_t kGroup = 0x2;
constexpr uint32_t kDacl = 0x4;
constexpr uint32_t kSacl = 0x8;
}  // namespace security_info

// SECURITY_DESCRIPTOR_CONTROL bits the model keeps.
namespace sd_control {
constexpr uint16_t kOwnerDefaulted = 0x1;
constexpr uint16_t kGroupDefaulted = 0x2;
constexpr uint16_t kDaclPresent = 0x4;
constexpr uint16_t kDaclDefaulted = 0x8;
constexpr uint16_t kSaclPresent = 0x10;
constexpr uint16_t kSaclDefaulted = 0x20;
constexpr uint16_t kDaclProtected = 0x1000;
constexpr uint16_t kSaclProtected = 0x2000;
constexpr uint16_t kSelfRelative = 0x8000;
}  // namespace sd_control

// An access-control entry of the three basic kinds (allow, deny, audit):
// 8 bytes of header (type, flags, size, mask) and the SID.
struct Ace {
    uint8_t type = ace::kAccessAllowed;
    uint8_t flags = 0;
    uint32_t mask = 0;
    Sid sid;

    size_t byte_length() const noexcept { return 8 + sid.byte_length(); }
    friend bool operator==(const Ace&, const Ace&) = default;
};

struct Acl {
    static constexpr uint8_t kRevision = 2;  // ACL_REVISION
    uint8_t revision = kRevision;
    std::vector<Ace> aces;

    size_t byte_length() const noexcept;
    friend bool operator==(const Acl&, const Acl&) = default;
};

// A descriptor as the system hands it out in its self-relative form. A list
// that is absent is nullopt; a list that is present but null (which grants
// everything) is an Acl flagged by `null_dacl`/`null_sacl`.
struct SecurityDescriptor {
    static constexpr uint8_t kRevision = 1;
    uint16_t control = 0;  // the bits beyond "present" and "self-relative"
    std::optional<Sid> owner;
    std::optional<Sid> group;
    std::optional<Acl> dacl;
    std::optional<Acl> sacl;
    bool null_dacl = false;
    bool null_sacl = false;

    // The control word as it stands in the binary form.
    uint16_t control_word() const noexcept;
    // The parts an information mask names, the others absent (what
    // GetSecurityInfo and RegGetKeySecurity hand out).
    SecurityDescriptor part(uint32_t information) const;

    // The self-relative binary form (header, owner, group, SACL, DACL) and
    // back; from_bytes refuses anything whose offsets, sizes or counts do
    // not fit the buffer, or whose entries are not of the three basic kinds.
    std::vector<uint8_t> bytes() const;
    size_t byte_length() const;
    static std::optional<SecurityDescriptor> from_bytes(const uint8_t* data, size_t size);

    friend bool operator==(const SecurityDescriptor&, const SecurityDescriptor&) = default;
};

// The descriptor of a new object created below `parent`: `owner` and
// `group` from the creator, each list made of the parent's inheritable
// entries (container entries for a container, object entries otherwise;
// CREATOR OWNER stands for `owner`), marked inherited.
SecurityDescriptor inherit_descriptor(const SecurityDescriptor& parent, const Sid& owner,
                                      const Sid& group, bool container);

// The rights every kind of object shares, and the generic rights a kind
// maps onto its own (GENERIC_MAPPING).
namespace access {
constexpr uint32_t kDelete = 0x10000;
constexpr uint32_t kReadControl = 0x20000;
constexpr uint32_t kWriteDac = 0x40000;
constexpr uint32_t kWriteOwner = 0x80000;
constexpr uint32_t kSystemSecurity = 0x1000000;  // ACCESS_SYSTEM_SECURITY
constexpr uint32_t kMaximumAllowed = 0x2000000;
constexpr uint32_t kGenericAll = 0x10000000;
constexpr uint32_t kGenericExecute = 0x20000000;
constexpr uint32_t kGenericWrite = 0x40000000;
constexpr uint32_t kGenericRead = 0x80000000;
}  // namespace access

struct GenericMapping {
    uint32_t read = 0;
    uint32_t write = 0;
    uint32_t execute = 0;
    uint32_t all = 0;

    // MapGenericMask: the generic bits replaced by the kind's own.
    uint32_t map(uint32_t mask) const noexcept;
};

// Who asks: the user and the groups enabled in the token.
struct AccessIdentity {
    Sid user;
    std::vector<Sid> groups;

    bool has(const Sid& sid) const noexcept;
};

// AccessCheck against the descriptor's discretionary list: the rights
// granted for `desired` (generic rights mapped; MAXIMUM_ALLOWED gives all
// that the list allows), or nullopt when something asked for is denied.
// A missing or null list grants everything; the owner may always read and
// change the descriptor. ACCESS_SYSTEM_SECURITY is a matter of privilege,
// not of the list, and is left to the caller.
std::optional<uint32_t> access_check(const SecurityDescriptor& sd, const AccessIdentity& who,
                                     uint32_t desired, const GenericMapping& mapping);

}  // namespace vorlek::platform
