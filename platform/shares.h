// Shares of a server (NetShareEnum, NetShareGetInfo, NetShareSetInfo,
// NetShareAdd, NetShareDel), the printers behind printer shares
// (OpenPrinter, GetPrinter level 2, ClosePrinter) and the drive connections
// of the caller's logon session (WNetAddConnection2W,
// WNetCancelConnection2W). Texts are the wide-character calls' view.
#pragma once

#include <cstdint>
#include <optional>

#include "automation/string.h"
#include "platform/security_descriptor.h"
#include "platform/status.h"

namespace vorlek::platform {

namespace status {
constexpr Status kBadNetName = 67;                 // ERROR_BAD_NET_NAME
constexpr Status kRequestNotAccepted = 71;         // ERROR_REQ_NOT_ACCEP
constexpr Status kAlreadyAssigned = 85;            // ERROR_ALREADY_ASSIGNED
constexpr Status kInvalidPassword = 86;            // ERROR_INVALID_PASSWORD
constexpr Status kBadDevice = 1200;                // ERROR_BAD_DEVICE
constexpr Status kDeviceAlreadyRemembered = 1202;  // ERROR_DEVICE_ALREADY_REMEMBERED
constexpr Status kSessionCredentialConflict = 1219;
constexpr Status kInvalidPrinterName = 1801;  // ERROR_INVALID_PRINTER_NAME
constexpr Status kUnknownDevDir = 2116;       // NERR_UnknownDevDir
constexpr Status kDuplicateShare = 2118;      // NERR_DuplicateShare
constexpr Status kNotConnected = 2250;        // ERROR_NOT_CONNECTED
constexpr Status kNetNameNotFound = 2310;     // NERR_NetNameNotFound
constexpr Status kOpenFiles = 2401;           // ERROR_OPEN_FILES
}  // namespace status

namespace share {
// STYPE_... share types.
constexpr uint32_t kDiskTree = 0, kPrintQueue = 1, kDevice = 2, kIpc = 3;
constexpr uint32_t kSpecial = 0x80000000;
// ACCESS_... share-level permission bits.
constexpr uint32_t kAccessAll = 0x7F;
// SHI1005 flags.
constexpr uint32_t kFlagsDfs = 1, kFlagsDfsRoot = 2;
// Parameter-error indices of a level-502 record (SHARE_..._PARMNUM).
constexpr uint32_t kNetNameParm = 1, kTypeParm = 3, kRemarkParm = 4, kPermissionsParm = 5,
                   kMaxUsesParm = 6, kPathParm = 8, kPasswdParm = 9;
// The longest password share-level security keeps.
constexpr size_t kMaxPassword = 8;
}  // namespace share

// SHARE_INFO_502. In a write, an empty password and a missing descriptor
// leave the share's own as they are.
struct ShareInfo {
    String name;
    uint32_t type = 0;
    String remark;
    uint32_t permissions = 0;
    int32_t max_uses = -1;
    int32_t current_uses = 0;
    String path;
    String password;
    std::optional<SecurityDescriptor> security;
};

// One batch of NetShareEnum at level 0: the names.
using ShareBatch = Batch<String>;

// An open printer; 0 is none.
using PrinterHandle = uint64_t;

// What the caller reads of PRINTER_INFO_2.
struct PrinterInfo {
    String server;
    String printer_name;
    String share_name;
    String port_name;
    String driver_name;
    String comment;
    std::optional<SecurityDescriptor> security;
};

namespace net_use {
// NETRESOURCE resource types.
constexpr uint32_t kAny = 0, kDisk = 1, kPrint = 2;
// WNetAddConnection2 / WNetCancelConnection2 flags.
constexpr uint32_t kUpdateProfile = 1;
}  // namespace net_use

// NETRESOURCEW as a connection names it; no local name connects without a
// device.
struct NetResource {
    uint32_t type = net_use::kAny;
    std::optional<String> local_name;
    String remote_name;
};

class Shares {
  public:
    virtual ~Shares() = default;
    // `server` is "" (the local machine) or "\\NAME".

    // NetShareEnum, level 0: the names, in batches with a resume handle.
    virtual Result<ShareBatch> enumerate(StringView server, uint32_t& resume_handle) = 0;
    // NetShareGetInfo, level 502 (2310 for a name the server does not share).
    virtual Result<ShareInfo> share_info(StringView server, StringView name) = 0;
    // NetShareGetInfo, level 1005: the DFS flags.
    virtual Result<uint32_t> share_flags(StringView server, StringView name) = 0;
    // NetShareSetInfo, level 502: remark, permissions, maximum uses and (when
    // given) password and descriptor. 87 with `parm_error` naming the field.
    virtual Status set_share_info(StringView server, StringView name, const ShareInfo& record,
                                  uint32_t& parm_error) = 0;
    // NetShareAdd, level 502: 2118 for a name in use, 2116 for a path the
    // server does not have, 87 with `parm_error` for a bad field.
    virtual Status add_share(StringView server, const ShareInfo& record, uint32_t& parm_error) = 0;
    // NetShareDel.
    virtual Status delete_share(StringView server, StringView name) = 0;
    // GetNamedSecurityInfoW of "\\SERVER\share" as a network share, the
    // discretionary list.
    virtual Result<SecurityDescriptor> share_security(StringView unc_name) = 0;

    // OpenPrinter("\\SERVER\share") (1801 for a name that is no printer),
    // GetPrinter level 2, ClosePrinter (6 for a handle that is not open).
    virtual Result<PrinterHandle> open_printer(StringView name) = 0;
    virtual Result<PrinterInfo> printer_info(PrinterHandle printer) = 0;
    virtual Status close_printer(PrinterHandle printer) = 0;

    // WNetAddConnection2W: a user or password not given uses the session's.
    virtual Status add_connection(const NetResource& resource, std::optional<StringView> password,
                                  std::optional<StringView> user, uint32_t flags) = 0;
    // WNetCancelConnection2W: a device ("X:") or a remote name.
    virtual Status cancel_connection(StringView name, uint32_t flags, bool force) = 0;
};

}  // namespace vorlek::platform
