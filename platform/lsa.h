// The local security authority's account rights: which accounts (SIDs) hold
// a privilege or a logon right on a machine, read and changed through an
// open policy. Statuses are the system's error codes (the authority's own
// status values turned into them as LsaNtStatusToWinError does).
#pragma once

#include <cstdint>
#include <vector>

#include "automation/string.h"
#include "platform/security.h"
#include "platform/status.h"

namespace vorlek::platform {

// An open policy of a machine's local security authority; 0 is none.
using PolicyHandle = uint64_t;

// POLICY_* access rights.
namespace policy_access {
constexpr uint32_t kViewLocalInformation = 0x1;
constexpr uint32_t kViewAuditInformation = 0x2;
constexpr uint32_t kGetPrivateInformation = 0x4;
constexpr uint32_t kTrustAdmin = 0x8;
constexpr uint32_t kCreateAccount = 0x10;
constexpr uint32_t kCreateSecret = 0x20;
constexpr uint32_t kCreatePrivilege = 0x40;
constexpr uint32_t kSetDefaultQuotaLimits = 0x80;
constexpr uint32_t kSetAuditRequirements = 0x100;
constexpr uint32_t kAuditLogAdmin = 0x200;
constexpr uint32_t kServerAdmin = 0x400;
constexpr uint32_t kLookupNames = 0x800;
constexpr uint32_t kReadControl = 0x20000;  // READ_CONTROL
// What any caller may open a policy for (POLICY_EXECUTE and reading its
// descriptor); everything else is an administrator's.
constexpr uint32_t kAnyone = kViewLocalInformation | kLookupNames | kReadControl;
}  // namespace policy_access

// The logon rights: names of the authority only, never in a token.
namespace logon_right {
constexpr StringView kInteractive = u"SeInteractiveLogonRight";
constexpr StringView kNetwork = u"SeNetworkLogonRight";
constexpr StringView kBatch = u"SeBatchLogonRight";
constexpr StringView kService = u"SeServiceLogonRight";
}  // namespace logon_right
inline constexpr StringView kLogonRights[] = {logon_right::kInteractive, logon_right::kNetwork,
                                              logon_right::kBatch, logon_right::kService};

class Lsa {
  public:
    virtual ~Lsa() = default;

    // LsaOpenPolicy on `system` ("" the local machine, "NAME" or "\\NAME").
    // 5 when the caller may not have `access` there, 53 when the machine
    // does not answer.
    virtual Result<PolicyHandle> open_policy(StringView system, uint32_t access) = 0;
    // LsaClose; 6 for a handle that is not open.
    virtual Status close(PolicyHandle policy) = 0;
    // LsaEnumerateAccountsWithUserRight (the buffer copied and freed): the
    // SIDs that hold `right`. 1313 for a name that is no right, 259 when no
    // account holds it (STATUS_NO_MORE_ENTRIES), 5 without the access or
    // for a caller who does not administer the machine.
    virtual Result<std::vector<Sid>> accounts_with_right(PolicyHandle policy, StringView right) = 0;
    // LsaAddAccountRights: the account gains every right of `rights` (an
    // account the authority did not know yet is made). 1313 for a name that
    // is no right (nothing changes), 5 as above.
    virtual Status add_account_rights(PolicyHandle policy, const Sid& account,
                                      const std::vector<String>& rights) = 0;
    // LsaRemoveAccountRights: `all` takes every right, otherwise those of
    // `rights`. 2 for an account that holds no right there
    // (STATUS_OBJECT_NAME_NOT_FOUND), 1313 and 5 as above.
    virtual Status remove_account_rights(PolicyHandle policy, const Sid& account, bool all,
                                         const std::vector<String>& rights) = 0;
};

}  // namespace vorlek::platform
