// Access tokens: the identity and privileges a process or an impersonating
// thread runs with, the logon that makes one, and the privilege names the
// system knows. The SIDs come from the one security model (security.h).
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "automation/string.h"
#include "platform/security.h"
#include "platform/status.h"

namespace vorlek::platform {

namespace status {
constexpr Status kNotAllAssigned = 1300;      // ERROR_NOT_ALL_ASSIGNED
constexpr Status kNoTokenForThread = 1008;    // ERROR_NO_TOKEN
constexpr Status kNoSuchPrivilege = 1313;     // ERROR_NO_SUCH_PRIVILEGE
constexpr Status kLogonFailure = 1326;        // ERROR_LOGON_FAILURE
constexpr Status kAccountRestriction = 1327;  // ERROR_ACCOUNT_RESTRICTION
constexpr Status kInvalidLogonHours = 1328;   // ERROR_INVALID_LOGON_HOURS
constexpr Status kInvalidWorkstation = 1329;  // ERROR_INVALID_WORKSTATION
constexpr Status kAccountDisabled = 1331;     // ERROR_ACCOUNT_DISABLED
constexpr Status kAccountExpired = 1793;      // ERROR_ACCOUNT_EXPIRED
constexpr Status kPasswordMustChange = 1907;  // ERROR_PASSWORD_MUST_CHANGE
constexpr Status kAccountLockedOut = 1909;    // ERROR_ACCOUNT_LOCKED_OUT
}  // namespace status

// A locally unique identifier: what LookupPrivilegeValue gives for a name.
struct Luid {
    uint32_t low = 0;
    int32_t high = 0;
    friend bool operator==(const Luid&, const Luid&) = default;
};

// SE_PRIVILEGE_* and SE_GROUP_* attribute bits.
namespace se {
constexpr uint32_t kPrivilegeEnabledByDefault = 0x1;
constexpr uint32_t kPrivilegeEnabled = 0x2;
constexpr uint32_t kGroupMandatory = 0x1;
constexpr uint32_t kGroupEnabledByDefault = 0x2;
constexpr uint32_t kGroupEnabled = 0x4;
constexpr uint32_t kGroupOwner = 0x8;
constexpr uint32_t kGroupLogonId = 0xC0000000;
}  // namespace se

// LUID_AND_ATTRIBUTES of a privilege.
struct PrivilegeState {
    Luid luid;
    uint32_t attributes = 0;
};

// SID_AND_ATTRIBUTES of a group.
struct TokenGroup {
    Sid sid;
    uint32_t attributes = 0;
};

// The privileges the system defines, with their LUIDs; the account rights
// ("SeInteractiveLogonRight") are names of the local security authority,
// not privileges, and LookupPrivilegeValue does not know them.
struct PrivilegeName {
    StringView name;
    uint32_t luid;
};
inline constexpr PrivilegeName kPrivilegeNames[] = {
    {u"SeCreateTokenPrivilege", 2},
    {u"SeAssignPrimaryTokenPrivilege", 3},
    {u"SeLockMemoryPrivilege", 4},
    {u"SeIncreaseQuotaPrivilege", 5},
    {u"SeMachineAccountPrivilege", 6},
    {u"SeTcbPrivilege", 7},
    {u"SeSecurityPrivilege", 8},
    {u"SeTakeOwnershipPrivilege", 9},
    {u"SeLoadDriverPrivilege", 10},
    {u"SeSystemProfilePrivilege", 11},
    {u"SeSystemtimePrivilege", 12},
    {u"SeProfileSingleProcessPrivilege", 13},
    {u"SeIncreaseBasePriorityPrivilege", 14},
    {u"SeCreatePagefilePrivilege", 15},
    {u"SeCreatePermanentPrivilege", 16},
    {u"SeBackupPrivilege", 17},
    {u"SeRestorePrivilege", 18},
    {u"SeShutdownPrivilege", 19},
    {u"SeDebugPrivilege", 20},
    {u"SeAuditPrivilege", 21},
    {u"SeSystemEnvironmentPrivilege", 22},
    {u"SeChangeNotifyPrivilege", 23},
    {u"SeRemoteShutdownPrivilege", 24},
    {u"SeUndockPrivilege", 25},
};
namespace privilege {
constexpr StringView kTcb = u"SeTcbPrivilege";
constexpr StringView kShutdown = u"SeShutdownPrivilege";
constexpr StringView kDebug = u"SeDebugPrivilege";
constexpr StringView kChangeNotify = u"SeChangeNotifyPrivilege";
constexpr StringView kRemoteShutdown = u"SeRemoteShutdownPrivilege";
}  // namespace privilege
// The name of a LUID the table holds; nullopt for another.
inline std::optional<StringView> privilege_name(const Luid& luid) {
    for (const PrivilegeName& p : kPrivilegeNames) {
        if (luid.high == 0 && luid.low == p.luid) return p.name;
    }
    return std::nullopt;
}

// TOKEN_* access rights.
namespace token_access {
constexpr uint32_t kQuery = 0x8;
constexpr uint32_t kAdjustPrivileges = 0x20;
}  // namespace token_access

// LOGON32_* values.
constexpr uint32_t kLogonInteractive = 2;
constexpr uint32_t kLogonProviderDefault = 0;

// PROFILEINFO: what LoadUserProfile is given.
struct ProfileInfo {
    uint32_t flags = 0;  // PI_NOUI 1
    String user_name;
    String profile_path;
    String default_path;
    String server_name;
    String policy_path;
};

}  // namespace vorlek::platform
