// The security model: security identifiers, the well-known ones, and the
// translation between account names and SIDs. Tokens, security descriptors
// and the local security authority's rights build on these types.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "automation/string.h"
#include "platform/status.h"

namespace vorlek::platform {

namespace status {
constexpr Status kNoneMapped = 1332;  // ERROR_NONE_MAPPED
constexpr Status kInvalidSid = 1337;  // ERROR_INVALID_SID
}  // namespace status

// A security identifier: revision, 48-bit identifier authority and up to 15
// sub-authorities, the last of which is the relative id (RID) of an account
// in its domain.
class Sid {
  public:
    static constexpr uint8_t kRevision = 1;
    static constexpr size_t kMaxSubAuthorities = 15;

    Sid() = default;
    Sid(uint64_t authority, std::vector<uint32_t> sub_authorities, uint8_t revision = kRevision)
        : revision_(revision),
          authority_(authority & 0xFFFF'FFFF'FFFF),
          sub_authorities_(std::move(sub_authorities)) {}

    uint8_t revision() const noexcept { return revision_; }
    uint64_t authority() const noexcept { return authority_; }
    const std::vector<uint32_t>& sub_authorities() const noexcept { return sub_authorities_; }
    // What IsValidSid accepts: revision 1 and at most 15 sub-authorities.
    bool valid() const noexcept {
        return revision_ == kRevision && sub_authorities_.size() <= kMaxSubAuthorities;
    }

    // The account `rid` of this domain, and the other way round.
    Sid with_rid(uint32_t rid) const;
    // The domain part (all but the last sub-authority); the RID itself.
    Sid domain() const;
    uint32_t rid() const noexcept { return sub_authorities_.empty() ? 0 : sub_authorities_.back(); }
    // Whether this is an account of `domain`: one sub-authority more, the rest equal.
    bool in_domain(const Sid& domain) const noexcept;

    // "S-1-5-21-...": the authority in decimal below 2^32, as 0x and twelve
    // hexadecimal digits above (ConvertSidToStringSid).
    String text() const;
    // The text form back; nullopt for anything ConvertStringSidToSid refuses.
    static std::optional<Sid> parse(StringView text);
    // GetLengthSid: the bytes of the binary form.
    size_t byte_length() const noexcept { return 8 + 4 * sub_authorities_.size(); }
    // The binary form (revision, count, authority big-endian, sub-authorities
    // little-endian) and back; nullopt for a buffer that does not hold one.
    std::vector<uint8_t> bytes() const;
    static std::optional<Sid> from_bytes(const uint8_t* data, size_t size);

    friend bool operator==(const Sid&, const Sid&) = default;

  private:
    uint8_t revision_ = kRevision;
    uint64_t authority_ = 0;
    std::vector<uint32_t> sub_authorities_;
};

struct SidHash {
    size_t operator()(const Sid& sid) const noexcept;
};

// SID_NAME_USE.
enum class SidUsage : uint32_t {
    User = 1,
    Group = 2,
    Domain = 3,
    Alias = 4,
    WellKnownGroup = 5,
    DeletedAccount = 6,
    Invalid = 7,
    Unknown = 8,
    Computer = 9,
};

// Identifier authorities and the well-known SIDs the system defines.
namespace sid {
constexpr uint64_t kWorldAuthority = 1;
constexpr uint64_t kCreatorAuthority = 3;
constexpr uint64_t kNtAuthority = 5;
constexpr uint32_t kBuiltinDomainRid = 32;
constexpr uint32_t kNtNonUniqueRid = 21;  // S-1-5-21-x-y-z: machine and domain accounts

// Relative ids of the built-in accounts of every account domain.
namespace rid {
constexpr uint32_t kAdministrator = 500;
constexpr uint32_t kGuest = 501;
constexpr uint32_t kDomainAdmins = 512;
constexpr uint32_t kDomainUsers = 513;  // "None" on a machine that is no controller
constexpr uint32_t kDomainGuests = 514;
constexpr uint32_t kFirstAccount = 1000;  // the first RID the account store hands out
// Aliases of the BUILTIN domain.
constexpr uint32_t kAdmins = 544;
constexpr uint32_t kUsers = 545;
constexpr uint32_t kGuests = 546;
constexpr uint32_t kPowerUsers = 547;
constexpr uint32_t kAccountOps = 548;
constexpr uint32_t kSystemOps = 549;
constexpr uint32_t kPrintOps = 550;
constexpr uint32_t kBackupOps = 551;
constexpr uint32_t kReplicator = 552;
}  // namespace rid

Sid everyone();                   // S-1-1-0
Sid creator_owner();              // S-1-3-0
Sid nt_authority();               // S-1-5 (the domain of the NT AUTHORITY names)
Sid interactive();                // S-1-5-4
Sid network();                    // S-1-5-2
Sid authenticated_users();        // S-1-5-11
Sid local_system();               // S-1-5-18
Sid builtin();                    // S-1-5-32
Sid builtin_alias(uint32_t rid);  // S-1-5-32-rid
// The SID of an account domain: S-1-5-21 and three sub-authorities.
Sid account_domain(uint32_t a, uint32_t b, uint32_t c);
}  // namespace sid

// The answer of LookupAccountName and LookupAccountSid.
struct Account {
    Sid sid;
    String name;    // as the system spells it
    String domain;  // the referenced domain ("BUILTIN", "NT AUTHORITY", "CORP", "" for Everyone)
    SidUsage usage = SidUsage::Unknown;
};

class Security {
  public:
    virtual ~Security() = default;
    // `system` is "" (the local machine), "NAME" or "\\NAME": the machine whose
    // view of names is asked (its own accounts, those of its domain, and the
    // well-known ones). 53 when it does not answer.

    // LookupAccountName: "name" or "DOMAIN\name"; a domain name alone gives
    // the domain. 1332 when nothing is mapped.
    virtual Result<Account> lookup_account_name(StringView system, StringView name) = 0;
    // LookupAccountSid: 1332 when nothing is mapped, 1337 for an invalid SID.
    virtual Result<Account> lookup_account_sid(StringView system, const Sid& sid) = 0;
    // GetUserNameW: the name of the account the calling thread runs as.
    virtual Result<String> user_name() = 0;
};

}  // namespace vorlek::platform
