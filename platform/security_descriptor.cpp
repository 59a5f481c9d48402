// Security descriptors: the binary form both backends read and the
// simulation writes into hive files, and inheritance to new objects.
#include "platform/security_descriptor.h"

#include <algorithm>

namespace vorlek::platform {

namespace {

constexpr size_t kHeaderSize = 20;  // SECURITY_DESCRIPTOR_RELATIVE
constexpr size_t kAclHeaderSize = 8;
constexpr uint16_t kPresenceBits =
    sd_control::kDaclPresent | sd_control::kSaclPresent | sd_control::kSelfRelative;

void put16(std::vector<uint8_t>& out, size_t at, uint16_t v) {
    out[at] = static_cast<uint8_t>(v);
    out[at + 1] = static_cast<uint8_t>(v >> 8);
}

void put32(std::vector<uint8_t>& out, size_t at, uint32_t v) {
    for (size_t i = 0; i < 4; ++i)
        out[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

uint16_t get16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | p[1] << 8);
}

uint32_t get32(const uint8_t* p) {
    return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}

void append(std::vector<uint8_t>& out, const std::vector<uint8_t>& bytes) {
    out.insert(out.end(), bytes.begin(), bytes.end());
}

void append_acl(std::vector<uint8_t>& out, const Acl& acl) {
    const size_t start = out.size();
    out.resize(start + kAclHeaderSize, 0);
    out[start] = acl.revision;
    put16(out, start + 2, static_cast<uint16_t>(acl.byte_length()));
    put16(out, start + 4, static_cast<uint16_t>(acl.aces.size()));
    for (const Ace& a : acl.aces) {
        const size_t at = out.size();
        out.resize(at + 8, 0);
        out[at] = a.type;
        out[at + 1] = a.flags;
        put16(out, at + 2, static_cast<uint16_t>(a.byte_length()));
        put32(out, at + 4, a.mask);
        append(out, a.sid.bytes());
    }
}

// An ACL at `offset` of the buffer; nullopt when it does not fit or holds
// an entry of a kind the model does not know.
std::optional<Acl> read_acl(const uint8_t* data, size_t size, size_t offset) {
    if (offset > size || size - offset < kAclHeaderSize) return std::nullopt;
    const uint8_t* p = data + offset;
    const size_t acl_size = get16(p + 2);
    const size_t count = get16(p + 4);
    if (acl_size < kAclHeaderSize || acl_size > size - offset) return std::nullopt;
    Acl acl;
    acl.revision = p[0];
    size_t at = kAclHeaderSize;
    for (size_t i = 0; i < count; ++i) {
        // Each entry is at least its header and a SID header, so a count
        // larger than the list can hold stops here rather than looping.
        if (acl_size - at < 16) return std::nullopt;
        const uint8_t* e = p + at;
        const size_t ace_size = get16(e + 2);
        if (ace_size < 16 || ace_size > acl_size - at) return std::nullopt;
        if (e[0] > ace::kSystemAudit) return std::nullopt;
        auto sid = Sid::from_bytes(e + 8, ace_size - 8);
        if (!sid) return std::nullopt;
        acl.aces.push_back(Ace{e[0], e[1], get32(e + 4), std::move(*sid)});
        at += ace_size;
    }
    return acl;
}

std::optional<Sid> read_sid(const uint8_t* data, size_t size, size_t offset) {
    if (offset > size) return std::nullopt;
    return Sid::from_bytes(data + offset, size - offset);
}

// The entries a child takes from one list of its parent's.
Acl inherit_list(const Acl& parent, const Sid& owner, bool container) {
    Acl out;
    for (const Ace& a : parent.aces) {
        const bool by_container = (a.flags & ace::kContainerInherit) != 0;
        const bool by_object = (a.flags & ace::kObjectInherit) != 0;
        const bool stop = (a.flags & ace::kNoPropagateInherit) != 0;
        if (!(container ? by_container || by_object : by_object)) continue;
        const bool creator = a.sid == sid::creator_owner();
        // The entry as it applies to the child itself.
        if (!container || by_container) {
            Ace effective = a;
            effective.flags =
                static_cast<uint8_t>((a.flags & ~ace::kInheritFlags) | ace::kInherited);
            if (creator) effective.sid = owner;
            // A container passes the entry on unchanged, unless told not to,
            // except for CREATOR OWNER, whose inheritable form stays separate.
            if (container && !stop && !creator)
                effective.flags |= a.flags & (ace::kContainerInherit | ace::kObjectInherit);
            out.aces.push_back(std::move(effective));
        }
        // The inherit-only form a container keeps for its own children.
        if (container && !stop && (creator || !by_container)) {
            Ace passed = a;
            passed.flags =
                static_cast<uint8_t>((a.flags & (ace::kContainerInherit | ace::kObjectInherit)) |
                                     ace::kInheritOnly | ace::kInherited);
            out.aces.push_back(std::move(passed));
        }
    }
    return out;
}

}  // namespace

size_t Acl::byte_length() const noexcept {
    size_t n = kAclHeaderSize;
    for (const Ace& a : aces)
        n += a.byte_length();
    return n;
}

uint16_t SecurityDescriptor::control_word() const noexcept {
    uint16_t c = static_cast<uint16_t>(control & ~kPresenceBits) | sd_control::kSelfRelative;
    if (dacl || null_dacl) c |= sd_control::kDaclPresent;
    if (sacl || null_sacl) c |= sd_control::kSaclPresent;
    return c;
}

SecurityDescriptor SecurityDescriptor::part(uint32_t information) const {
    SecurityDescriptor out;
    out.control = control;
    if (information & security_info::kOwner) out.owner = owner;
    if (information & security_info::kGroup) out.group = group;
    if (information & security_info::kDacl) {
        out.dacl = dacl;
        out.null_dacl = null_dacl;
    }
    if (information & security_info::kSacl) {
        out.sacl = sacl;
        out.null_sacl = null_sacl;
    }
    return out;
}

size_t SecurityDescriptor::byte_length() const {
    size_t n = kHeaderSize;
    if (owner) n += owner->byte_length();
    if (group) n += group->byte_length();
    if (sacl) n += sacl->byte_length();
    if (dacl) n += dacl->byte_length();
    return n;
}

std::vector<uint8_t> SecurityDescriptor::bytes() const {
    std::vector<uint8_t> out(kHeaderSize, 0);
    out.reserve(byte_length());
    out[0] = kRevision;
    put16(out, 2, control_word());
    if (owner) {
        put32(out, 4, static_cast<uint32_t>(out.size()));
        append(out, owner->bytes());
    }
    if (group) {
        put32(out, 8, static_cast<uint32_t>(out.size()));
        append(out, group->bytes());
    }
    if (sacl) {
        put32(out, 12, static_cast<uint32_t>(out.size()));
        append_acl(out, *sacl);
    }
    if (dacl) {
        put32(out, 16, static_cast<uint32_t>(out.size()));
        append_acl(out, *dacl);
    }
    return out;
}

std::optional<SecurityDescriptor> SecurityDescriptor::from_bytes(const uint8_t* data, size_t size) {
    if (size < kHeaderSize || data[0] != kRevision) return std::nullopt;
    const uint16_t c = get16(data + 2);
    if (!(c & sd_control::kSelfRelative)) return std::nullopt;
    SecurityDescriptor sd;
    sd.control = static_cast<uint16_t>(c & ~kPresenceBits);
    if (const uint32_t at = get32(data + 4)) {
        if (!(sd.owner = read_sid(data, size, at))) return std::nullopt;
    }
    if (const uint32_t at = get32(data + 8)) {
        if (!(sd.group = read_sid(data, size, at))) return std::nullopt;
    }
    if (c & sd_control::kSaclPresent) {
        if (const uint32_t at = get32(data + 12)) {
            if (!(sd.sacl = read_acl(data, size, at))) return std::nullopt;
        } else {
            sd.null_sacl = true;
        }
    }
    if (c & sd_control::kDaclPresent) {
        if (const uint32_t at = get32(data + 16)) {
            if (!(sd.dacl = read_acl(data, size, at))) return std::nullopt;
        } else {
            sd.null_dacl = true;
        }
    }
    return sd;
}

SecurityDescriptor inherit_descriptor(const SecurityDescriptor& parent, const Sid& owner,
                                      const Sid& group, bool container) {
    SecurityDescriptor sd;
    sd.owner = owner;
    sd.group = group;
    if (parent.dacl) sd.dacl = inherit_list(*parent.dacl, owner, container);
    if (parent.sacl) {
        Acl audits = inherit_list(*parent.sacl, owner, container);
        if (!audits.aces.empty()) sd.sacl = std::move(audits);
    }
    return sd;
}

uint32_t GenericMapping::map(uint32_t mask) const noexcept {
    if (mask & access::kGenericRead) mask |= read;
    if (mask & access::kGenericWrite) mask |= write;
    if (mask & access::kGenericExecute) mask |= execute;
    if (mask & access::kGenericAll) mask |= all;
    return mask & ~(access::kGenericRead | access::kGenericWrite | access::kGenericExecute |
                    access::kGenericAll);
}

bool AccessIdentity::has(const Sid& sid) const noexcept {
    return sid == user || std::find(groups.begin(), groups.end(), sid) != groups.end();
}

std::optional<uint32_t> access_check(const SecurityDescriptor& sd, const AccessIdentity& who,
                                     uint32_t desired, const GenericMapping& mapping) {
    desired = mapping.map(desired) & ~access::kSystemSecurity;
    const bool maximum = (desired & access::kMaximumAllowed) != 0;
    desired &= ~access::kMaximumAllowed;
    const uint32_t everything = mapping.all;
    if (!sd.dacl || sd.null_dacl) return desired | (maximum ? everything : 0);
    uint32_t granted = 0;
    uint32_t denied = 0;
    if (sd.owner && who.has(*sd.owner)) granted |= access::kReadControl | access::kWriteDac;
    for (const Ace& a : sd.dacl->aces) {
        // An inherit-only entry is for the children; CREATOR OWNER stands
        // for nobody until it is inherited.
        if ((a.flags & ace::kInheritOnly) || !who.has(a.sid)) continue;
        const uint32_t mask = mapping.map(a.mask);
        if (a.type == ace::kAccessAllowed)
            granted |= mask & ~denied;
        else if (a.type == ace::kAccessDenied)
            denied |= mask & ~granted;
        // Without MAXIMUM_ALLOWED the walk may stop once all is decided.
        if (!maximum && (granted & desired) == desired) break;
    }
    if ((granted & desired) != desired || (maximum && !desired && !granted)) return std::nullopt;
    return maximum ? granted | desired : desired;
}

}  // namespace vorlek::platform
