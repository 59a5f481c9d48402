// Network management of servers and workstations: the browse list, server
// and workstation records, and domain controllers.
#pragma once

#include <cstdint>
#include <vector>

#include "automation/string.h"
#include "platform/status.h"

namespace vorlek::platform {

namespace sv_type {
constexpr uint32_t kWorkstation = 0x1;
constexpr uint32_t kServer = 0x2;
constexpr uint32_t kDomainCtrl = 0x8;
constexpr uint32_t kDomainBakCtrl = 0x10;
constexpr uint32_t kTimeSource = 0x20;
constexpr uint32_t kDomainMember = 0x100;
constexpr uint32_t kPrintqServer = 0x200;
constexpr uint32_t kNt = 0x1000;
constexpr uint32_t kServerNt = 0x8000;
constexpr uint32_t kPotentialBrowser = 0x10000;
constexpr uint32_t kBackupBrowser = 0x20000;
constexpr uint32_t kMasterBrowser = 0x40000;
constexpr uint32_t kDomainMaster = 0x80000;
constexpr uint32_t kDomainEnum = 0x80000000;
constexpr uint32_t kAll = 0xFFFFFFFF;
}  // namespace sv_type

constexpr uint32_t kPlatformIdNt = 500;

// SERVER_INFO_101, and SERVER_INFO_102 when asked for level 102.
struct ServerInfo {
    uint32_t platform_id = 0;
    String name;
    uint32_t version_major = 0;
    uint32_t version_minor = 0;
    uint32_t type = 0;
    String comment;
    // Level 102 only.
    uint32_t users = 0;
    int32_t auto_disconnect = 0;
    uint32_t hidden = 0;  // 1 = hidden
    uint32_t announce = 0;
    uint32_t announce_delta = 0;
    uint32_t licenses = 0;
    String user_path;
};

// WKSTA_INFO_102.
struct WorkstationInfo {
    uint32_t platform_id = 0;
    String computer_name;
    String lan_group;
    uint32_t version_major = 0;
    uint32_t version_minor = 0;
    String lan_root;
    uint32_t logged_on_users = 0;
};

// One NetServerEnum call.
using ServerBatch = Batch<ServerInfo>;

class Servers {
  public:
    virtual ~Servers() = default;
    // Server names are "" (the local machine), "NAME" or "\\NAME". A name
    // nobody answers to fails with 53, as on a real network.

    // NetServerGetInfo at level 101 or 102 (124 for other levels).
    virtual Result<ServerInfo> server_info(StringView server, uint32_t level) = 0;
    // NetWkstaGetInfo at level 102.
    virtual Result<WorkstationInfo> workstation_info(StringView server) = 0;
    // NetServerEnum at level 101 asked of `server` for the browse list of
    // `domain` ("" = the server's own domain), records whose type has a bit of
    // `type_mask` (SV_TYPE_DOMAIN_ENUM alone lists the domains). The batch
    // holds what fits in about `preferred_bytes` (at least one record); the
    // status is 234 while more follow, and `resume_handle` (0 to start) then
    // continues the walk. 6118 when the domain has no browse list.
    virtual Result<ServerBatch> enumerate(StringView server, uint32_t type_mask, StringView domain,
                                          uint32_t preferred_bytes, uint32_t& resume_handle) = 0;
    // NetServerSetInfo at level 1005 (comment) and 1016 (hidden).
    virtual Status set_comment(StringView server, StringView comment) = 0;
    virtual Status set_hidden(StringView server, bool hidden) = 0;
    // NetGetDCName (the primary controller) and NetGetAnyDCName, asked of
    // `server` for `domain` ("" = its own); the name comes as "\\NAME".
    // NetGetDCName fails with 2453 when the domain has no reachable primary
    // controller; NetGetAnyDCName with 1355 for a workgroup and 1311 when no
    // controller answers.
    virtual Result<String> dc_name(StringView server, StringView domain) = 0;
    virtual Result<String> any_dc_name(StringView server, StringView domain) = 0;
};

}  // namespace vorlek::platform
