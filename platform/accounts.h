// Network management of accounts: users, global groups, local groups and the
// account policy ("user modals") of a machine or domain.
#pragma once

#include <cstdint>
#include <vector>

#include "automation/string.h"
#include "platform/security.h"
#include "platform/status.h"

namespace vorlek::platform {

namespace status {
constexpr Status kNotSupported = 50;             // ERROR_NOT_SUPPORTED
constexpr Status kMemberNotInGroup = 1321;       // ERROR_MEMBER_NOT_IN_GROUP
constexpr Status kSpecialAccount = 1371;         // ERROR_SPECIAL_ACCOUNT
constexpr Status kMembersPrimaryGroup = 1374;    // ERROR_MEMBERS_PRIMARY_GROUP
constexpr Status kMemberNotInAlias = 1377;       // ERROR_MEMBER_NOT_IN_ALIAS
constexpr Status kMemberInAlias = 1378;          // ERROR_MEMBER_IN_ALIAS
constexpr Status kAliasExists = 1379;            // ERROR_ALIAS_EXISTS
constexpr Status kNoSuchMember = 1387;           // ERROR_NO_SUCH_MEMBER
constexpr Status kInvalidMember = 1388;          // ERROR_INVALID_MEMBER
constexpr Status kNetInternalError = 2140;       // NERR_InternalError
constexpr Status kBadUsername = 2202;            // NERR_BadUsername
constexpr Status kGroupNotFound = 2220;          // NERR_GroupNotFound
constexpr Status kUserNotFound = 2221;           // NERR_UserNotFound
constexpr Status kGroupExists = 2223;            // NERR_GroupExists
constexpr Status kUserExists = 2224;             // NERR_UserExists
constexpr Status kNotPrimary = 2226;             // NERR_NotPrimary
constexpr Status kSpecialGroupOperation = 2234;  // NERR_SpeGroupOp
constexpr Status kUserInGroup = 2236;            // NERR_UserInGroup
constexpr Status kUserNotInGroup = 2237;         // NERR_UserNotInGroup
constexpr Status kPasswordTooShort = 2245;       // NERR_PasswordTooShort
}  // namespace status

// usri_flags bits.
namespace uf {
constexpr uint32_t kScript = 0x1;
constexpr uint32_t kAccountDisable = 0x2;
constexpr uint32_t kHomeDirRequired = 0x8;
constexpr uint32_t kLockout = 0x10;
constexpr uint32_t kPasswordNotRequired = 0x20;
constexpr uint32_t kPasswordCantChange = 0x40;
constexpr uint32_t kTempDuplicateAccount = 0x100;
constexpr uint32_t kNormalAccount = 0x200;
constexpr uint32_t kInterdomainTrustAccount = 0x800;
constexpr uint32_t kWorkstationTrustAccount = 0x1000;
constexpr uint32_t kServerTrustAccount = 0x2000;
constexpr uint32_t kDontExpirePassword = 0x10000;
constexpr uint32_t kAccountTypeMask = 0x3B00;
}  // namespace uf

// NetUserEnum filters: FILTER_x is UF_x shifted right by eight.
namespace filter {
constexpr uint32_t kAll = 0;
constexpr uint32_t kNormalAccount = 0x2;
}  // namespace filter

constexpr uint32_t kTimeqForever = 0xFFFFFFFF;  // TIMEQ_FOREVER
constexpr uint32_t kMaxPreferredLength = 0xFFFFFFFF;
constexpr uint32_t kUnitsPerWeek = 168;  // UNITS_PER_WEEK: the hours of a week
constexpr size_t kLogonHoursBytes = 21;
constexpr uint32_t kUserPrivGuest = 0, kUserPrivUser = 1, kUserPrivAdmin = 2;
constexpr uint32_t kAfOpPrint = 0x1, kAfOpComm = 0x2, kAfOpServer = 0x4, kAfOpAccounts = 0x8;
// SE_GROUP_MANDATORY | SE_GROUP_ENABLED_BY_DEFAULT | SE_GROUP_ENABLED: every global group.
constexpr uint32_t kGlobalGroupAttributes = 0x7;
constexpr uint32_t kLgIncludeIndirect = 0x1;  // LG_INCLUDE_INDIRECT

// USER_INFO_3, field for field; level 2 is the first 24 fields (name to
// code_page). Times are seconds since 1970-01-01 UTC; acct_expires
// kTimeqForever means never. The password never comes back from a read.
// Writes take the fields their level names (see set_user_info).
struct UserInfo {
    String name;
    String password;
    uint32_t password_age = 0;
    uint32_t priv = kUserPrivUser;
    String home_dir;
    String comment;
    uint32_t flags = uf::kScript | uf::kNormalAccount;
    String script_path;
    uint32_t auth_flags = 0;
    String full_name;
    String usr_comment;
    String parms;
    String workstations;
    uint32_t last_logon = 0;
    uint32_t last_logoff = 0;
    uint32_t acct_expires = kTimeqForever;
    uint32_t max_storage = 0xFFFFFFFF;  // USER_MAXSTORAGE_UNLIMITED
    uint32_t units_per_week = kUnitsPerWeek;
    // One bit per unit, bit 0 of byte 0 first (Sunday 00:00 UTC); empty when
    // the record carries none (every hour allowed).
    std::vector<uint8_t> logon_hours;
    uint32_t bad_pw_count = 0;
    uint32_t num_logons = 0;
    String logon_server;
    uint32_t country_code = 0;
    uint32_t code_page = 0;
    // Level 3 only.
    uint32_t user_id = 0;
    uint32_t primary_group_id = 0;
    String profile;
    String home_dir_drive;
    uint32_t password_expired = 0;
};

// GROUP_INFO_2 (global groups); LOCALGROUP_INFO_1 uses name and comment.
struct GroupInfo {
    String name;
    String comment;
    uint32_t group_id = 0;
    uint32_t attributes = 0;
};

// LOCALGROUP_MEMBERS_INFO_2.
struct LocalGroupMember {
    Sid sid;
    SidUsage usage = SidUsage::Unknown;
    // "DOMAIN\name"; the SID's text for a removed account or one nobody knows.
    String domain_and_name;
};

// USER_MODALS_INFO_0 to _3 in one record: a read fills the fields of its
// level, a write takes them.
struct ModalsInfo {
    // Level 0 (and one field each at levels 1001 to 1005, in this order).
    uint32_t min_passwd_len = 0;
    uint32_t max_passwd_age = 0;
    uint32_t min_passwd_age = 0;
    uint32_t force_logoff = 0;
    uint32_t password_hist_len = 0;
    // Level 1.
    uint32_t role = 0;  // UAS_ROLE_STANDALONE 0, _MEMBER 1, _BACKUP 2, _PRIMARY 3
    String primary;
    // Level 2.
    String domain_name;
    Sid domain_id;
    // Level 3.
    uint32_t lockout_duration = 0;
    uint32_t lockout_observation_window = 0;
    uint32_t lockout_threshold = 0;
};

class Accounts {
  public:
    virtual ~Accounts() = default;
    // Every operation is asked of `server`: "" (the local machine), "NAME" or
    // "\\NAME"; 53 when nobody answers. A domain controller answers from its
    // domain's database; a write to a backup controller fails with 2226. A
    // batch holds what fits in about `preferred_bytes` (at least one entry;
    // kMaxPreferredLength for everything); while more follow the status is
    // 234 and `resume_handle` (0 to start) continues the walk.

    // --- Users
    // NetUserEnum, level 0: the names of the accounts whose type matches
    // `filter` (FILTER_ bits; 0 = all).
    virtual Result<Batch<String>> enum_users(StringView server, uint32_t filter,
                                             uint32_t preferred_bytes, uint32_t& resume_handle) = 0;
    // NetUserGetInfo, levels 2 and 3 (124 for others); 2221 for no such user.
    virtual Result<UserInfo> user_info(StringView server, StringView user, uint32_t level) = 0;
    // NetUserSetInfo, levels 0 (name: renames), 1, 3, and 1003 to 1053 (one
    // field each, the level being 1000 + the field's number). At level 1 an
    // empty password, home_dir, comment or script_path is none (the field
    // stays); level 3 writes every text as it is, but an empty password
    // keeps the password. On 87 `parm_err` names the faulty field by that
    // number.
    virtual Status set_user_info(StringView server, StringView user, uint32_t level,
                                 const UserInfo& record, uint32_t& parm_err) = 0;
    // NetUserAdd, level 1 (name, password, password_age, priv, home_dir,
    // comment, flags, script_path). 2224 when the name is taken by a user,
    // 2223 by a group; 2245 when the password breaks the policy.
    virtual Status add_user(StringView server, uint32_t level, const UserInfo& record,
                            uint32_t& parm_err) = 0;
    // NetUserDel.
    virtual Status delete_user(StringView server, StringView user) = 0;
    // NetUserGetGroups, level 0: the global groups the user is a member of.
    virtual Result<Batch<String>> user_groups(StringView server, StringView user,
                                              uint32_t preferred_bytes) = 0;
    // NetUserGetLocalGroups, level 0: the local groups of `server` the user
    // ("name" or "DOMAIN\name") belongs to; with LG_INCLUDE_INDIRECT also
    // through its global groups.
    virtual Result<Batch<String>> user_local_groups(StringView server, StringView user,
                                                    uint32_t flags, uint32_t preferred_bytes) = 0;

    // --- Global groups (controllers; a machine that is none has "None")
    // NetGroupEnum, level 0.
    virtual Result<Batch<String>> enum_groups(StringView server, uint32_t preferred_bytes,
                                              uint32_t& resume_handle) = 0;
    // NetGroupGetInfo, levels 0, 1 and 2.
    virtual Result<GroupInfo> group_info(StringView server, StringView group, uint32_t level) = 0;
    // NetGroupSetInfo, levels 0 (rename) and 1002 (comment).
    virtual Status set_group_info(StringView server, StringView group, uint32_t level,
                                  const GroupInfo& record, uint32_t& parm_err) = 0;
    // NetGroupAdd, levels 0 and 1.
    virtual Status add_group(StringView server, uint32_t level, const GroupInfo& record,
                             uint32_t& parm_err) = 0;
    // NetGroupDel.
    virtual Status delete_group(StringView server, StringView group) = 0;
    // NetGroupAddUser (2236 when already a member), NetGroupDelUser (2237).
    virtual Status add_group_user(StringView server, StringView group, StringView user) = 0;
    virtual Status delete_group_user(StringView server, StringView group, StringView user) = 0;
    // NetGroupGetUsers, level 0.
    virtual Result<Batch<String>> group_users(StringView server, StringView group,
                                              uint32_t preferred_bytes,
                                              uint32_t& resume_handle) = 0;

    // --- Local groups (aliases of the machine's domain and of BUILTIN)
    // NetLocalGroupEnum, level 0.
    virtual Result<Batch<String>> enum_local_groups(StringView server, uint32_t preferred_bytes,
                                                    uint32_t& resume_handle) = 0;
    // NetLocalGroupGetInfo, levels 0 and 1 (name and comment); 2220 when
    // there is no such local group.
    virtual Result<GroupInfo> local_group_info(StringView server, StringView group,
                                               uint32_t level) = 0;
    // NetLocalGroupSetInfo, levels 0 (rename) and 1002 (comment).
    virtual Status set_local_group_info(StringView server, StringView group, uint32_t level,
                                        const GroupInfo& record, uint32_t& parm_err) = 0;
    // NetLocalGroupAdd, levels 0 and 1; 1379 when a local group has the name.
    virtual Status add_local_group(StringView server, uint32_t level, const GroupInfo& record,
                                   uint32_t& parm_err) = 0;
    // NetLocalGroupDel.
    virtual Status delete_local_group(StringView server, StringView group) = 0;
    // NetLocalGroupAddMembers / DelMembers, level 3: "DOMAIN\name" each. 1387
    // for a name nobody knows, 1388 for one that cannot be a member (a local
    // group, a domain), 1378 / 1377 for one that already is / is not one.
    // Nothing changes unless every entry can be applied.
    virtual Status add_local_group_members(StringView server, StringView group,
                                           const std::vector<String>& members) = 0;
    virtual Status delete_local_group_members(StringView server, StringView group,
                                              const std::vector<String>& members) = 0;
    // NetLocalGroupGetMembers, level 2.
    virtual Result<Batch<LocalGroupMember>> local_group_members(StringView server, StringView group,
                                                                uint32_t preferred_bytes,
                                                                uint32_t& resume_handle) = 0;

    // --- Policy
    // NetUserModalsGet, levels 0 to 3.
    virtual Result<ModalsInfo> user_modals(StringView server, uint32_t level) = 0;
    // NetUserModalsSet, levels 0, 3 and 1001 to 1005.
    virtual Status set_user_modals(StringView server, uint32_t level, const ModalsInfo& record,
                                   uint32_t& parm_err) = 0;
};

}  // namespace vorlek::platform
