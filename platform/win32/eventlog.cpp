// The event log of the real system, through the single-byte ("A") calls:
// names go out and the records' texts come back in the system code page.
// The records a read fills in are taken apart here, every offset checked
// against the record that holds it.
#include "platform/eventlog.h"

#include <cstring>
#include <vector>

#include "platform/win32/areas.h"
#include "platform/win32/status.h"
#include "platform/win32/text.h"

namespace vorlek::platform::win32 {

namespace {

HANDLE raw(EventLogHandle h) {
    return reinterpret_cast<HANDLE>(static_cast<uintptr_t>(h));
}
EventLogHandle handle_of(HANDLE h) {
    return static_cast<EventLogHandle>(reinterpret_cast<uintptr_t>(h));
}
// A NUL-ended text at `at` that ends before `limit`; moves `at` past it.
bool take_text(const BYTE* record, DWORD& at, DWORD limit, String& out) {
    if (at >= limit) return false;
    const auto* text = reinterpret_cast<const char*>(record + at);
    const size_t n = strnlen(text, limit - at);
    if (n == limit - at) return false;
    out = unicode(text, n);
    at += static_cast<DWORD>(n + 1);
    return true;
}

bool inside(DWORD offset, DWORD length, DWORD limit) {
    return length == 0 || (offset >= sizeof(EVENTLOGRECORD) && uint64_t{offset} + length <= limit);
}

// One record of a read buffer; false when its parts do not lie inside it.
bool take_record(const BYTE* p, DWORD length, EventLogRecord& out) {
    EVENTLOGRECORD r;
    std::memcpy(&r, p, sizeof r);
    out.length = r.Length;
    out.number = r.RecordNumber;
    out.time_generated = r.TimeGenerated;
    out.time_written = r.TimeWritten;
    out.event_id = r.EventID;
    out.type = r.EventType;
    out.category = static_cast<int16_t>(r.EventCategory);
    out.reserved_flags = r.ReservedFlags;
    out.closing_number = r.ClosingRecordNumber;
    DWORD at = sizeof(EVENTLOGRECORD);
    if (!take_text(p, at, length, out.source) || !take_text(p, at, length, out.computer))
        return false;
    if (!inside(r.UserSidOffset, r.UserSidLength, length) ||
        !inside(r.DataOffset, r.DataLength, length))
        return false;
    if (r.UserSidLength) out.sid.assign(p + r.UserSidOffset, p + r.UserSidOffset + r.UserSidLength);
    if (r.DataLength) out.data.assign(p + r.DataOffset, p + r.DataOffset + r.DataLength);
    at = r.StringOffset;
    for (WORD i = 0; i < r.NumStrings; ++i) {
        String s;
        if (!take_text(p, at, length, s)) return false;
        out.strings.push_back(std::move(s));
    }
    return true;
}

class Win32EventLog : public EventLog {
  public:
    Result<EventLogHandle> open(StringView server, StringView log) override {
        CStrings c;
        const LPCSTR name = c.ansi_or_null(server), log_name = c.ansi(log);
        if (c.status()) return Result<EventLogHandle>::failure(c.status());
        HANDLE h = ::OpenEventLogA(name, log_name);
        if (!h) return Result<EventLogHandle>::failure(last_error());
        return {status::kSuccess, handle_of(h)};
    }

    Result<EventLogHandle> open_backup(StringView server, StringView file) override {
        CStrings c;
        const LPCSTR name = c.ansi_or_null(server), path = c.ansi(file);
        if (c.status()) return Result<EventLogHandle>::failure(c.status());
        HANDLE h = ::OpenBackupEventLogA(name, path);
        if (!h) return Result<EventLogHandle>::failure(last_error());
        return {status::kSuccess, handle_of(h)};
    }

    Result<uint32_t> record_count(EventLogHandle log) override {
        DWORD n = 0;
        if (!::GetNumberOfEventLogRecords(raw(log), &n))
            return Result<uint32_t>::failure(last_error());
        return {status::kSuccess, n};
    }

    Result<EventLogRead> read(EventLogHandle log, uint32_t flags, uint32_t record,
                              uint32_t buffer_bytes) override {
        std::vector<BYTE> buffer(buffer_bytes ? buffer_bytes : 1);
        DWORD got = 0, needed = 0;
        if (!::ReadEventLogA(raw(log), flags, record, buffer.data(), buffer_bytes, &got, &needed)) {
            const Status s = last_error();
            if (s == status::kInsufficientBuffer) return {s, EventLogRead{{}, needed}};
            return Result<EventLogRead>::failure(s);
        }
        EventLogRead out;
        for (DWORD at = 0; at < got && got - at >= sizeof(EVENTLOGRECORD);) {
            DWORD length = 0;
            std::memcpy(&length, buffer.data() + at, sizeof length);
            if (length < sizeof(EVENTLOGRECORD) || length > got - at) break;
            EventLogRecord r;
            if (!take_record(buffer.data() + at, length, r))
                return Result<EventLogRead>::failure(status::kEventLogFileCorrupt);
            out.records.push_back(std::move(r));
            at += length;
        }
        return {status::kSuccess, std::move(out)};
    }

    Status close(EventLogHandle log) override {
        return status_from_bool(::CloseEventLog(raw(log)));
    }

    Result<EventLogHandle> register_source(StringView server, StringView source) override {
        CStrings c;
        const LPCSTR name = c.ansi_or_null(server), source_name = c.ansi(source);
        if (c.status()) return Result<EventLogHandle>::failure(c.status());
        HANDLE h = ::RegisterEventSourceA(name, source_name);
        if (!h) return Result<EventLogHandle>::failure(last_error());
        return {status::kSuccess, handle_of(h)};
    }

    Status report(EventLogHandle source, uint16_t type, uint16_t category, uint32_t event_id,
                  std::span<const uint8_t> sid, const std::vector<String>& strings,
                  std::span<const uint8_t> data) override {
        if (strings.size() > 0xFFFF || !fits_int(data.size())) return status::kInvalidParameter;
        CStrings c;
        std::vector<const char*> pointers;
        pointers.reserve(strings.size());
        for (const String& s : strings)
            pointers.push_back(c.ansi(s));
        if (c.status()) return c.status();
        std::vector<BYTE> sid_copy(sid.begin(), sid.end());
        return status_from_bool(::ReportEventA(
            raw(source), type, category, event_id, sid_copy.empty() ? nullptr : sid_copy.data(),
            static_cast<WORD>(pointers.size()), static_cast<DWORD>(data.size()),
            pointers.empty() ? nullptr : pointers.data(),
            data.empty() ? nullptr : const_cast<uint8_t*>(data.data())));
    }

    Status deregister_source(EventLogHandle source) override {
        return status_from_bool(::DeregisterEventSource(raw(source)));
    }

    Status backup(EventLogHandle log, StringView file) override {
        CStrings c;
        const LPCSTR path = c.ansi(file);
        if (c.status()) return c.status();
        return status_from_bool(::BackupEventLogA(raw(log), path));
    }

    Status clear(EventLogHandle log, std::optional<StringView> backup_file) override {
        CStrings c;
        const LPCSTR path = backup_file ? c.ansi(*backup_file) : nullptr;
        if (c.status()) return c.status();
        return status_from_bool(::ClearEventLogA(raw(log), path));
    }
};

}  // namespace

std::shared_ptr<EventLog> make_eventlog() {
    return std::make_shared<Win32EventLog>();
}

}  // namespace vorlek::platform::win32
