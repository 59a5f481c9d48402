// The event log of a remote server over its event-log interface (the wide
// calls of the protocol). Open logs and sources are context handles of the
// server; the platform hands out small numbers for them and keeps which
// server and handle each stands for. A read's buffer holds the records in
// the system's own layout, which the event-log file reader takes apart.
#include "platform/eventlog.h"

#include <chrono>
#include <map>
#include <mutex>
#include <optional>

#include "platform/c_strings.h"
#include "platform/remote/areas.h"
#include "platform/remote/ndr.h"
#include "platform/sim/event_log_file.h"

namespace vorlek::platform::remote {

namespace {

// Operation numbers of the event-log interface.
enum Opnum : uint32_t {
    kClearW = 0,
    kBackupW = 1,
    kClose = 2,
    kDeregisterSource = 3,
    kNumberOfRecords = 4,
    kOpenW = 7,
    kRegisterSourceW = 8,
    kOpenBackupW = 9,
    kReadW = 10,
    kReportW = 11,
};

constexpr uint32_t kStatusBufferTooSmall = 0xC0000023;
constexpr Status kProcedureOutOfRange = 1745;  // RPC_S_PROCNUM_OUT_OF_RANGE
constexpr Status kBadPathName = 161;           // ERROR_BAD_PATHNAME
// The largest read the protocol carries.
constexpr uint32_t kMaxRead = 0x7FFFF;

// The path as the server's file system takes it: the calls on Windows turn
// "C:\dir\file" into "\??\C:\dir\file" and "\\srv\share\file" into
// "\??\UNC\srv\share\file" before sending it.
String nt_path(StringView path) {
    if (path.size() >= 2 && path[1] == u':') return String(u"\\??\\") + String(path);
    if (path.starts_with(u"\\\\")) return String(u"\\??\\UNC\\") + String(path.substr(2));
    return String(path);
}

class RemoteEventLog final : public EventLog {
  public:
    explicit RemoteEventLog(std::shared_ptr<Session> session) : session_(std::move(session)) {}

    // What is still open goes with the platform.
    ~RemoteEventLog() override {
        for (auto& [number, open] : open_) {
            NdrWriter w;
            w.handle(open.handle);
            session_->call(open.host, Pipe::Eventlog, open.source ? kDeregisterSource : kClose,
                           w.bytes());
        }
    }

    Result<EventLogHandle> open(StringView server, StringView log) override {
        return open_by_name(server, log, kOpenW, false);
    }

    Result<EventLogHandle> open_backup(StringView server, StringView file) override {
        if (!fits_c_string(file)) return {status::kInvalidName, {}};
        auto host = session_->host(server);
        if (!host.ok()) return {host.status, {}};
        NdrWriter w;
        w.pointer(false);  // the server's name: the pipe says it
        w.counted_string(nt_path(file));
        w.flush();
        w.u32(1);
        w.u32(1);
        return opened(host.value, kOpenBackupW, w, false);
    }

    Result<uint32_t> record_count(EventLogHandle log) override {
        const auto open = find(log);
        if (!open) return {status::kInvalidHandle, {}};
        NdrWriter w;
        w.handle(open->handle);
        auto reply = session_->call(open->host, Pipe::Eventlog, kNumberOfRecords, w.bytes());
        if (!reply.ok()) return {reply.status, {}};
        NdrReader r(reply.value);
        const uint32_t count = r.u32();
        const uint32_t nt = r.u32();
        if (!r.ok()) return {kBadStubData, {}};
        if (nt) return {win32_from_ntstatus(nt), {}};
        return {status::kSuccess, count};
    }

    Result<EventLogRead> read(EventLogHandle log, uint32_t flags, uint32_t record,
                              uint32_t buffer_bytes) override {
        const bool one_way =
            ((flags & evt::kSequentialRead) != 0) != ((flags & evt::kSeekRead) != 0);
        const bool one_direction =
            ((flags & evt::kForwardsRead) != 0) != ((flags & evt::kBackwardsRead) != 0);
        if (!one_way || !one_direction) return {status::kInvalidParameter, {}};
        const auto open = find(log);
        if (!open) return {status::kInvalidHandle, {}};
        const uint32_t asked = std::min(buffer_bytes, kMaxRead);
        NdrWriter w;
        w.handle(open->handle);
        w.u32(flags);
        w.u32(record);
        w.u32(asked);
        auto reply = session_->call(open->host, Pipe::Eventlog, kReadW, w.bytes());
        if (!reply.ok()) return {reply.status, {}};
        NdrReader r(reply.value);
        const uint32_t size = r.count(1);
        const uint8_t* data = r.bytes(size);
        const uint32_t sent = r.u32();
        const uint32_t needed = r.u32();
        const uint32_t nt = r.u32();
        if (!r.ok() || sent > size) return {kBadStubData, {}};
        EventLogRead result;
        if (nt == kStatusBufferTooSmall) {
            result.needed = needed;
            return {status::kInsufficientBuffer, std::move(result)};
        }
        if (nt) return {win32_from_ntstatus(nt), {}};
        // A server that has nothing more to give may answer success with an
        // empty buffer; the caller reads that as the end, as the system
        // reports it.
        if (sent == 0) return {status::kHandleEof, {}};
        for (uint32_t at = 0; at + evt::kFixedRecord <= sent;) {
            const uint32_t length =
                static_cast<uint32_t>(data[at] | data[at + 1] << 8 | data[at + 2] << 16 |
                                      static_cast<uint32_t>(data[at + 3]) << 24);
            if (length < evt::kFixedRecord || length > sent - at)
                return {status::kEventLogFileCorrupt, {}};
            sim::EventRecord decoded;
            if (!sim::decode_record({data + at, length}, decoded))
                return {status::kEventLogFileCorrupt, {}};
            result.records.push_back(to_record(std::move(decoded), length));
            at += length;
        }
        return {status::kSuccess, std::move(result)};
    }

    Status close(EventLogHandle log) override { return release(log, false); }

    Result<EventLogHandle> register_source(StringView server, StringView source) override {
        auto registered = open_by_name(server, source, kRegisterSourceW, true);
        if (registered.status != kProcedureOutOfRange) return registered;
        // Samba's service has no registration call: its records take their
        // source from the log opened by the source's name, which it maps
        // to a log as the registry names it.
        return open_by_name(server, source, kOpenW, true);
    }

    Status report(EventLogHandle source, uint16_t type, uint16_t category, uint32_t event_id,
                  std::span<const uint8_t> sid, const std::vector<String>& strings,
                  std::span<const uint8_t> data) override {
        const auto open = find(source);
        if (!open || !open->source) return status::kInvalidHandle;
        if (strings.size() > 0xFFFF || data.size() > 0xFFFFFFFF) return status::kInvalidParameter;
        std::optional<Sid> user;
        if (!sid.empty()) {
            user = Sid::from_bytes(sid.data(), sid.size());
            if (!user) return status::kInvalidSid;
        }
        using namespace std::chrono;
        const auto now = static_cast<uint32_t>(
            duration_cast<seconds>(system_clock::now().time_since_epoch()).count());
        NdrWriter w;
        w.handle(open->handle);
        w.u32(now);
        w.u16(type);
        w.u16(category);
        w.u32(event_id);
        w.u16(static_cast<uint16_t>(strings.size()));
        w.u32(static_cast<uint32_t>(data.size()));
        w.counted_string(host_computer_name());
        w.flush();
        w.pointer(user.has_value());
        if (user) w.sid(*user);
        w.pointer(!strings.empty());
        if (!strings.empty()) {
            w.u32(static_cast<uint32_t>(strings.size()));
            for (const String& s : strings) {
                w.pointer(true);
                w.defer([&s](NdrWriter& d) { d.counted_string(s); });
            }
            w.flush();
        }
        w.pointer(!data.empty());
        if (!data.empty()) {
            w.u32(static_cast<uint32_t>(data.size()));
            w.raw(data.data(), data.size());
        }
        w.u16(0);          // flags
        w.pointer(false);  // record number
        w.pointer(false);  // time written
        auto reply = session_->call(open->host, Pipe::Eventlog, kReportW, w.bytes());
        if (!reply.ok()) return reply.status;
        NdrReader r(reply.value);
        if (r.pointer()) r.u32();
        if (r.pointer()) r.u32();
        const uint32_t nt = r.u32();
        if (!r.ok()) return kBadStubData;
        return win32_from_ntstatus(nt);
    }

    Status deregister_source(EventLogHandle source) override { return release(source, true); }

    Status backup(EventLogHandle log, StringView file) override {
        if (!fits_c_string(file)) return status::kInvalidName;
        const auto open = find(log);
        if (!open || open->source) return status::kInvalidHandle;
        NdrWriter w;
        w.handle(open->handle);
        w.counted_string(nt_path(file));
        w.flush();
        return status_call(*open, kBackupW, w);
    }

    Status clear(EventLogHandle log, std::optional<StringView> backup_file) override {
        if (backup_file && !fits_c_string(*backup_file)) return status::kInvalidName;
        const auto open = find(log);
        if (!open || open->source) return status::kInvalidHandle;
        NdrWriter w;
        w.handle(open->handle);
        w.pointer(backup_file.has_value());
        if (backup_file) {
            w.counted_string(nt_path(*backup_file));
            w.flush();
        }
        return status_call(*open, kClearW, w);
    }

  private:
    struct Open {
        std::string host;
        ContextHandle handle;
        bool source = false;
    };

    Result<EventLogHandle> open_by_name(StringView server, StringView name, uint32_t opnum,
                                        bool source) {
        if (!fits_c_string(name)) return {status::kInvalidName, {}};
        auto host = session_->host(server);
        if (!host.ok()) return {host.status, {}};
        NdrWriter w;
        w.pointer(false);  // the server's name: the pipe says it
        w.counted_string(name);
        w.flush();
        w.counted_string(u"");  // the registry module name: always empty
        w.flush();
        w.u32(1);
        w.u32(1);
        auto opened_log = opened(host.value, opnum, w, source);
        // A log the server does not know opens its Application log on
        // Windows; Samba's service refuses the name instead.
        if (opnum == kOpenW && opened_log.status == kBadPathName && name != u"Application")
            return open_by_name(server, u"Application", kOpenW, source);
        return opened_log;
    }

    Result<EventLogHandle> opened(const std::string& host, uint32_t opnum, const NdrWriter& w,
                                  bool source) {
        auto reply = session_->call(host, Pipe::Eventlog, opnum, w.bytes());
        if (!reply.ok()) return {reply.status, {}};
        NdrReader r(reply.value);
        const ContextHandle handle = r.handle();
        const uint32_t nt = r.u32();
        if (!r.ok()) return {kBadStubData, {}};
        if (nt) return {win32_from_ntstatus(nt), {}};
        std::lock_guard guard(lock_);
        const EventLogHandle number = next_++;
        open_[number] = Open{host, handle, source};
        return {status::kSuccess, number};
    }

    std::optional<Open> find(EventLogHandle h) {
        std::lock_guard guard(lock_);
        auto it = open_.find(h);
        if (it == open_.end()) return std::nullopt;
        return it->second;
    }

    Status status_call(const Open& open, uint32_t opnum, const NdrWriter& w) {
        auto reply = session_->call(open.host, Pipe::Eventlog, opnum, w.bytes());
        if (!reply.ok()) return reply.status;
        NdrReader r(reply.value);
        const uint32_t nt = r.u32();
        if (!r.ok()) return kBadStubData;
        return win32_from_ntstatus(nt);
    }

    // Closing forgets the handle whatever the server says: it is no use
    // to the caller after a failed close either.
    Status release(EventLogHandle h, bool source) {
        Open open;
        {
            std::lock_guard guard(lock_);
            auto it = open_.find(h);
            if (it == open_.end() || it->second.source != source) return status::kInvalidHandle;
            open = std::move(it->second);
            open_.erase(it);
        }
        NdrWriter w;
        w.handle(open.handle);
        auto reply = session_->call(open.host, Pipe::Eventlog, source ? kDeregisterSource : kClose,
                                    w.bytes());
        if (!reply.ok()) return reply.status;
        NdrReader r(reply.value);
        r.handle();
        const uint32_t nt = r.u32();
        if (!r.ok()) return kBadStubData;
        return win32_from_ntstatus(nt);
    }

    static EventLogRecord to_record(sim::EventRecord r, uint32_t length) {
        EventLogRecord out;
        out.length = length;
        out.number = r.number;
        out.time_generated = r.time_generated;
        out.time_written = r.time_written;
        out.event_id = r.event_id;
        out.type = r.type;
        out.category = static_cast<int16_t>(r.category);
        out.reserved_flags = r.reserved_flags;
        out.closing_number = r.closing_number;
        out.source = std::move(r.source);
        out.computer = std::move(r.computer);
        out.sid = std::move(r.sid);
        out.strings = std::move(r.strings);
        out.data = std::move(r.data);
        return out;
    }

    std::shared_ptr<Session> session_;
    std::mutex lock_;
    std::map<EventLogHandle, Open> open_;
    EventLogHandle next_ = 1;
};

}  // namespace

std::shared_ptr<EventLog> make_eventlog(const Context& context) {
    return std::make_shared<RemoteEventLog>(context.session);
}

}  // namespace vorlek::platform::remote
