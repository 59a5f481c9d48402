// The shares of a simulated server, the printers behind its printer shares,
// and the drive connections of each logon session. A disk share's path is a
// folder of the machine's file store; a connection counts as a use of its
// share, and a remembered one is kept in the user's profile hive
// (HKCU\Network\<letter>) as NT keeps it.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <vector>

#include "automation/text.h"
#include "platform/shares.h"
#include "platform/sim/faults.h"

namespace vorlek::sim {

class Network;
struct Machine;

struct SimShare {
    String name;  // as it was created
    uint32_t type = platform::share::kDiskTree;
    String remark;
    uint32_t permissions = 0;
    int32_t max_uses = -1;
    int32_t current_uses = 0;
    String path;
    String password;
    uint32_t dfs_flags = 0;
    // None: the share has no descriptor (everyone may use it).
    std::optional<platform::SecurityDescriptor> security;
    // A printer share's printer: its driver, port and descriptor (printer rights).
    String driver, port;
    std::optional<platform::SecurityDescriptor> printer_security;
};

// A drive connection of one logon session.
struct DriveConnection {
    String local;   // "X:", or "" for a connection without a device
    String remote;  // as the caller named it
    String server;  // the machine's name
    String share;
    String user;  // "" for the session's own credentials
    uint32_t open_files = 0;
};

struct SharesState {
    bool built = false;
    // By upper-case name, so the listing comes in the order of names.
    std::map<String, SimShare> shares;
    // The drive letters of the machine's own disks: never free for a connection.
    String local_drives = u"AC";
    // Connections made from this machine, by the user SID (text) of the
    // session that made them.
    std::map<String, std::vector<DriveConnection>> sessions;
};

namespace op {
inline constexpr Operation NetShareEnum{u"NetShareEnum"};
inline constexpr Operation NetShareGetInfo{u"NetShareGetInfo"};
inline constexpr Operation NetShareSetInfo{u"NetShareSetInfo"};
inline constexpr Operation NetShareAdd{u"NetShareAdd"};
inline constexpr Operation NetShareDel{u"NetShareDel"};
inline constexpr Operation GetNamedSecurityInfo{u"GetNamedSecurityInfo"};
inline constexpr Operation OpenPrinter{u"OpenPrinter"};
inline constexpr Operation GetPrinter{u"GetPrinter"};
inline constexpr Operation ClosePrinter{u"ClosePrinter"};
inline constexpr Operation WNetAddConnection2{u"WNetAddConnection2"};
inline constexpr Operation WNetCancelConnection2{u"WNetCancelConnection2"};
}  // namespace op

// A machine's shares, its standard ones (IPC$, ADMIN$, C$ and those of its
// role) made on first use.
SharesState& shares_state(Network& net, Machine& machine);

// The connections of the caller's logon session on `machine`.
std::vector<DriveConnection>& session_connections(Network& net, Machine& machine);

// Adding a drive connection for the caller's session on `machine`, as
// WNetAddConnection2W does after its prologue: for the other places that
// connect a drive (the connect dialog). The network must be held.
platform::Status add_drive_connection(Network& net, Machine& machine,
                                      const platform::NetResource& resource,
                                      std::optional<StringView> password,
                                      std::optional<StringView> user, uint32_t flags);

// Cancelling one, as WNetCancelConnection2W does after its prologue: for the
// disconnect dialog. The network must be held.
platform::Status cancel_drive_connection(Network& net, Machine& machine, StringView name,
                                         uint32_t flags, bool force);

}  // namespace vorlek::sim
