// The event-log service of a machine: reading a log or a backup file record
// by record, reporting events under a source, backing logs up and clearing
// them. Texts are the single-byte ("A") calls' view: names go out, and the
// record's texts come back, in the system code page. Buffer sizes stay the
// backend's business except where the reader sees them: a read takes the
// caller's buffer size and answers 122 with the size the next record needs.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "automation/string.h"
#include "platform/status.h"

namespace vorlek::platform {

namespace status {
constexpr Status kHandleEof = 38;              // ERROR_HANDLE_EOF
constexpr Status kEventLogFileCorrupt = 1500;  // ERROR_EVENTLOG_FILE_CORRUPT
constexpr Status kEventLogCantStart = 1501;    // ERROR_EVENTLOG_CANT_START
constexpr Status kLogFileFull = 1502;          // ERROR_LOG_FILE_FULL
constexpr Status kEventLogFileChanged = 1503;  // ERROR_EVENTLOG_FILE_CHANGED
}  // namespace status

// An open log, backup file or event source; 0 is none.
using EventLogHandle = uint64_t;

namespace evt {
// Event types.
constexpr uint16_t kError = 0x1, kWarning = 0x2, kInformation = 0x4, kAuditSuccess = 0x8,
                   kAuditFailure = 0x10;
// ReadEventLog flags: one way of reading and one direction.
constexpr uint32_t kSequentialRead = 0x1, kSeekRead = 0x2, kForwardsRead = 0x4,
                   kBackwardsRead = 0x8;
// Access rights to a log.
constexpr uint32_t kLogRead = 0x1, kLogWrite = 0x2, kLogClear = 0x4;
// The fixed part of a record in a read buffer.
constexpr uint32_t kFixedRecord = 56;
}  // namespace evt

// One record as a read delivers it.
struct EventLogRecord {
    uint32_t length = 0;  // the bytes it takes in the read buffer
    uint32_t number = 0;
    uint32_t time_generated = 0;  // seconds since 1970-01-01 00:00:00 UTC
    uint32_t time_written = 0;
    uint32_t event_id = 0;
    uint16_t type = 0;
    int16_t category = 0;
    uint16_t reserved_flags = 0;
    uint32_t closing_number = 0;
    String source;
    String computer;
    std::vector<uint8_t> sid;  // binary form; empty when the record has none
    std::vector<String> strings;
    std::vector<uint8_t> data;
};

// What one read gives: the records that fit the buffer, in the order read;
// with status 122 none, and `needed` the size of the record that did not fit.
struct EventLogRead {
    std::vector<EventLogRecord> records;
    uint32_t needed = 0;
};

class EventLog {
  public:
    virtual ~EventLog() = default;

    // OpenEventLog: the log by name on the server ("" the local machine). A
    // name the server does not know opens its Application log, as the
    // system does. Reading the Security log needs the security privilege
    // (1314).
    virtual Result<EventLogHandle> open(StringView server, StringView log) = 0;
    // OpenBackupEventLog: a log file the server keeps (2 when there is no
    // such file, 1500 when it is not a log).
    virtual Result<EventLogHandle> open_backup(StringView server, StringView file) = 0;
    // GetNumberOfEventLogRecords.
    virtual Result<uint32_t> record_count(EventLogHandle log) = 0;
    // ReadEventLog into a buffer of `buffer_bytes`: from where the last read
    // ended (sequential) or from record number `record` (seek), forwards or
    // backwards. 38 past the last record, 122 when the next record does not
    // fit, 87 for flags that do not name one way and one direction.
    virtual Result<EventLogRead> read(EventLogHandle log, uint32_t flags, uint32_t record,
                                      uint32_t buffer_bytes) = 0;
    // CloseEventLog; 6 for a handle that is not open.
    virtual Status close(EventLogHandle log) = 0;

    // RegisterEventSource: a handle to report under `source` on the server;
    // a source no log names reports to Application.
    virtual Result<EventLogHandle> register_source(StringView server, StringView source) = 0;
    // ReportEvent: one record with the caller's fields, the source's name,
    // the server's name and the time. 1502 when the log is full and may not
    // overwrite what it holds.
    virtual Status report(EventLogHandle source, uint16_t type, uint16_t category,
                          uint32_t event_id, std::span<const uint8_t> sid,
                          const std::vector<String>& strings, std::span<const uint8_t> data) = 0;
    // DeregisterEventSource; 6 for a handle that is not open.
    virtual Status deregister_source(EventLogHandle source) = 0;

    // BackupEventLog: the log as it stands into a new file (183 when the
    // file exists).
    virtual Status backup(EventLogHandle log, StringView file) = 0;
    // ClearEventLog, after a backup into `backup_file` when one is named.
    virtual Status clear(EventLogHandle log, std::optional<StringView> backup_file) = 0;
};

}  // namespace vorlek::platform
