// The event-log service of a simulated machine. Its logs are the keys under
// HKLM\SYSTEM\CurrentControlSet\Services\EventLog, each with its maximum
// size and retention; a source is a key below its log, naming its message
// files. Every log is kept as the system keeps it, in its own file format
// (event_log_file.h); backups go to the machine's file store.
#pragma once

#include <cstdint>
#include <memory>
#include <unordered_map>
#include <vector>

#include "automation/text.h"
#include "platform/eventlog.h"
#include "platform/sim/event_log_file.h"
#include "platform/sim/faults.h"

namespace vorlek::sim {

class KeyNode;
class Network;
struct Machine;

struct LiveLog {
    EventLogFile file;
    // How often the log was cleared: a reader that opened it before a clear
    // is told the log changed.
    uint32_t clears = 0;
};

struct EventLogState {
    // The logs start with a history of the machine's last weeks, made when
    // the first of them is used.
    bool seeded = false;
    // By log name, made on first use with the limits of its registry key.
    std::unordered_map<String, LiveLog, CaseInsensitiveHash, CaseInsensitiveEqual> logs;
};

namespace op {
inline constexpr Operation OpenEventLog{u"OpenEventLog"};
inline constexpr Operation OpenBackupEventLog{u"OpenBackupEventLog"};
inline constexpr Operation GetNumberOfEventLogRecords{u"GetNumberOfEventLogRecords"};
inline constexpr Operation ReadEventLog{u"ReadEventLog"};
inline constexpr Operation CloseEventLog{u"CloseEventLog"};
inline constexpr Operation RegisterEventSource{u"RegisterEventSource"};
inline constexpr Operation ReportEvent{u"ReportEvent"};
inline constexpr Operation DeregisterEventSource{u"DeregisterEventSource"};
inline constexpr Operation BackupEventLog{u"BackupEventLog"};
inline constexpr Operation ClearEventLog{u"ClearEventLog"};
}  // namespace op

// The machine's logs, their history made if it is not yet.
EventLogState& eventlog_state(Network& net, Machine& m);

// The log a source writes to: the log whose key holds the source's key,
// else Application. Spelled as its key is.
String log_of_source(Network& net, Machine& m, StringView source);

// The machine's own components (the service control manager, the security
// audit) report through this, as they do on NT: no handle, no fault point.
// 1502 when the log is full and may not overwrite.
platform::Status write_event(Network& net, Machine& m, StringView source, uint16_t type,
                             uint16_t category, uint32_t event_id, std::vector<uint8_t> sid,
                             std::vector<String> strings, std::vector<uint8_t> data = {});

// The security audit of a machine, when its auditing is on: an audit record
// of the Security source in its Security log.
enum class Audit : uint32_t {
    Logon = 528,
    LogonFailed = 529,
    LogonLockedOut = 539,
    UserCreated = 624,
    UserDeleted = 630,
    UserChanged = 642,
};
void audit(Network& net, Machine& m, Audit event, bool success, std::vector<uint8_t> sid,
           std::vector<String> strings);
// The calling user's account and domain names and SID, for the "caller"
// fields of the account audits.
struct AuditCaller {
    String name, domain;
    std::vector<uint8_t> sid;
};
AuditCaller audit_caller(Network& net, Machine& m);

}  // namespace vorlek::sim
