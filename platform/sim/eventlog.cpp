#include "platform/sim/eventlog.h"

#include "platform/processes.h"
#include "platform/registry.h"
#include "platform/security.h"
#include "platform/security_descriptor.h"
#include "platform/services.h"
#include "platform/sim/codepages.h"
#include "platform/sim/handles.h"
#include "platform/sim/machine.h"
#include "platform/sim/network.h"
#include "platform/sim/processes.h"
#include "platform/sim/registry.h"
#include "platform/sim/sim_platform.h"

namespace vorlek::sim {

namespace {

namespace st = platform::status;
namespace evt = platform::evt;
namespace sid = platform::sid;
using platform::EventLogHandle;
using platform::EventLogRead;
using platform::EventLogRecord;
using platform::Result;
using platform::Sid;
using platform::Status;

constexpr StringView kLogsPath = u"SYSTEM\\CurrentControlSet\\Services\\EventLog";
constexpr StringView kApplication = u"Application";
constexpr StringView kSecurity = u"Security";
constexpr StringView kSecurityPrivilege = u"SeSecurityPrivilege";
constexpr uint32_t kDefaultMaxSize = 512 * 1024;
constexpr uint32_t kDefaultRetention = 7 * 86400;
constexpr platform::FileTime kUnixEpoch = 116444736000000000;  // 1970-01-01 as a file time

KeyNode* logs_key(Network& net, Machine& m) {
    RegistryState& r = registry_state(net, m);
    return r.local_machine ? find_key(*r.local_machine, kLogsPath) : nullptr;
}

// The log's key, or null when the machine has no such log.
KeyNode* log_key(Network& net, Machine& m, StringView log) {
    KeyNode* logs = logs_key(net, m);
    return logs ? logs->child(log) : nullptr;
}

uint32_t key_dword(const KeyNode* key, StringView name, uint32_t fallback) {
    const RegistryValue* v = key ? key->value(name) : nullptr;
    return v ? dword_of(*v, fallback) : fallback;
}

// The log as the service keeps it, made on first use; its limits follow its
// key from one use to the next.
LiveLog& live_log(Network& net, Machine& m, StringView log) {
    const KeyNode* key = log_key(net, m, log);
    const uint32_t max_size = key_dword(key, u"MaxSize", kDefaultMaxSize);
    const uint32_t retention = key_dword(key, u"Retention", kDefaultRetention);
    auto [it, made] =
        m.eventlog.logs.try_emplace(String(log), LiveLog{EventLogFile(max_size, retention)});
    if (!made) it->second.file.set_limits(max_size, retention);
    return it->second;
}

uint32_t unix_now(const Machine& m) {
    const platform::FileTime t = m.time.clock;
    return t <= kUnixEpoch ? 0
                           : static_cast<uint32_t>(std::min<platform::FileTime>(
                                 (t - kUnixEpoch) / 10'000'000, 0xFFFFFFFF));
}

// Who may do what with a log: everyone reads and reports to the ordinary
// logs, the Security log is for administrators (who need the privilege as
// well) and the system; clearing is for administrators, server operators
// and the system.
const platform::SecurityDescriptor& log_descriptor(bool security_log) {
    static const platform::SecurityDescriptor kOrdinary = [] {
        platform::SecurityDescriptor sd;
        sd.owner = sd.group = sid::local_system();
        sd.dacl = platform::Acl{};
        const uint32_t all = evt::kLogRead | evt::kLogWrite | evt::kLogClear;
        for (const Sid& s : {sid::local_system(), sid::builtin_alias(544), sid::builtin_alias(549)})
            sd.dacl->aces.push_back({platform::ace::kAccessAllowed, 0, all, s});
        sd.dacl->aces.push_back(
            {platform::ace::kAccessAllowed, 0, evt::kLogRead | evt::kLogWrite, sid::everyone()});
        return sd;
    }();
    static const platform::SecurityDescriptor kAudit = [] {
        platform::SecurityDescriptor sd;
        sd.owner = sd.group = sid::local_system();
        sd.dacl = platform::Acl{};
        sd.dacl->aces.push_back({platform::ace::kAccessAllowed, 0,
                                 evt::kLogRead | evt::kLogWrite | evt::kLogClear,
                                 sid::local_system()});
        sd.dacl->aces.push_back({platform::ace::kAccessAllowed, 0, evt::kLogRead | evt::kLogClear,
                                 sid::builtin_alias(544)});
        return sd;
    }();
    return security_log ? kAudit : kOrdinary;
}

constexpr platform::GenericMapping kLogMapping{evt::kLogRead, evt::kLogWrite, 0,
                                               evt::kLogRead | evt::kLogWrite | evt::kLogClear};

bool may(Network& net, StringView log, uint32_t rights) {
    return platform::access_check(log_descriptor(equal_ignore_case(log, kSecurity)),
                                  caller_token(net).identity(), rights, kLogMapping)
        .has_value();
}

// A text as the single-byte calls hand it out: through the machine's code
// page and back; `bytes` is what it takes in the read buffer.
String single_byte(uint32_t code_page, const String& text, uint32_t& bytes) {
    bool ascii = true;
    for (char16_t c : text)
        ascii = ascii && c < 0x80;
    if (ascii) {
        bytes = static_cast<uint32_t>(text.size());
        return text;
    }
    auto encoded = encode(code_page, text, '?');
    if (!encoded.ok()) {
        bytes = static_cast<uint32_t>(text.size());
        return text;
    }
    bytes = static_cast<uint32_t>(encoded.value.size());
    auto decoded = decode(code_page, encoded.value);
    return decoded.ok() ? std::move(decoded.value) : text;
}

uint32_t align4(uint64_t n) {
    return static_cast<uint32_t>((n + 3) & ~uint64_t{3});
}

// A record of the file as ReadEventLogA delivers it, with the length it
// takes there: the fixed part, the two names, the SID (aligned), the
// strings, the data, padding and the closing length.
EventLogRecord delivered(const EventRecord& r, uint32_t code_page) {
    EventLogRecord out;
    out.number = r.number;
    out.time_generated = r.time_generated;
    out.time_written = r.time_written;
    out.event_id = r.event_id;
    out.type = r.type;
    out.category = static_cast<int16_t>(r.category);
    out.reserved_flags = r.reserved_flags;
    out.closing_number = r.closing_number;
    uint32_t n = 0;
    uint64_t length = evt::kFixedRecord;
    out.source = single_byte(code_page, r.source, n);
    length += n + 1;
    out.computer = single_byte(code_page, r.computer, n);
    length = align4(length + n + 1) + r.sid.size();
    out.sid = r.sid;
    out.strings.reserve(r.strings.size());
    for (const String& s : r.strings) {
        out.strings.push_back(single_byte(code_page, s, n));
        length += n + 1;
    }
    out.data = r.data;
    out.length = align4(length + r.data.size()) + 4;
    return out;
}

bool has_nul(StringView text) {
    return text.find(u'\0') != StringView::npos;
}

struct OpenLog {
    String machine;
    String log;                                  // as its key spells it
    std::shared_ptr<const EventLogFile> backup;  // a backup file's records, read at the open
    uint32_t clears = 0;
    std::optional<uint32_t> next;  // where the next sequential read starts
};

struct OpenSource {
    String machine;
    String source;
};

class SimEventLog : public platform::EventLog {
  public:
    explicit SimEventLog(Network& net)
        : net_(net),
          logs_(net.handles(), HandleKind::EventLog),
          sources_(net.handles(), HandleKind::EventSource) {}

    Result<EventLogHandle> open(StringView server, StringView log) override {
        using R = Result<EventLogHandle>;
        auto call = net_.enter(op::OpenEventLog, server);
        if (!call) return rpc_failure<EventLogHandle>(call, server);
        if (has_nul(log)) return R::failure(st::kInvalidName);
        Machine& m = call.machine();
        const KeyNode* key = log_key(net_, m, log);
        const String name = key ? key->name() : String(kApplication);
        const bool security = equal_ignore_case(name, kSecurity);
        if (security && !caller_token(net_).enabled(kSecurityPrivilege))
            return R::failure(st::kPrivilegeNotHeld);
        if (!may(net_, name, evt::kLogRead)) return R::failure(st::kAccessDenied);
        LiveLog& live = live_log(net_, m, name);
        return {st::kSuccess, logs_.open({m.name, name, nullptr, live.clears, std::nullopt})};
    }

    Result<EventLogHandle> open_backup(StringView server, StringView file) override {
        using R = Result<EventLogHandle>;
        auto call = net_.enter(op::OpenBackupEventLog, server);
        if (!call) return rpc_failure<EventLogHandle>(call, server);
        if (has_nul(file)) return R::failure(st::kInvalidName);
        Machine& m = call.machine();
        auto it = m.files.find(String(file));
        if (it == m.files.end()) return R::failure(st::kFileNotFound);
        auto read = EventLogFile::read(it->second);
        if (!read.ok()) return R::failure(read.status);
        auto kept = std::make_shared<const EventLogFile>(std::move(read.value));
        return {st::kSuccess, logs_.open({m.name, String(file), std::move(kept), 0, std::nullopt})};
    }

    Result<uint32_t> record_count(EventLogHandle log) override {
        using R = Result<uint32_t>;
        auto call = net_.enter(op::GetNumberOfEventLogRecords);
        if (!call) return call.failure<uint32_t>();
        OpenLog* h = logs_.find(log);
        if (!h) return R::failure(st::kInvalidHandle);
        const EventLogFile* f = file_of(*h);
        if (!f) return R::failure(st::kEventLogFileChanged);
        return {st::kSuccess, static_cast<uint32_t>(f->count())};
    }

    Result<EventLogRead> read(EventLogHandle log, uint32_t flags, uint32_t record,
                              uint32_t buffer_bytes) override {
        using R = Result<EventLogRead>;
        auto call = net_.enter(op::ReadEventLog);
        if (!call) return call.failure<EventLogRead>();
        OpenLog* h = logs_.find(log);
        if (!h) return R::failure(st::kInvalidHandle);
        const bool seek = flags & evt::kSeekRead, forwards = flags & evt::kForwardsRead;
        if (seek == bool(flags & evt::kSequentialRead) ||
            forwards == bool(flags & evt::kBackwardsRead) || (flags & ~0xFu))
            return R::failure(st::kInvalidParameter);
        const EventLogFile* f = file_of(*h);
        if (!f) return R::failure(st::kEventLogFileChanged);
        const Machine* m = net_.find(h->machine);
        const uint32_t code_page = m ? m->locale.ansi_code_page : 1252;
        const uint64_t oldest = f->oldest_number(), end = oldest + f->count();
        uint64_t at;
        if (seek) {
            if (record < oldest || record >= end) return R::failure(st::kInvalidParameter);
            at = record;
        } else {
            at = h->next.value_or(forwards ? static_cast<uint32_t>(oldest)
                                           : static_cast<uint32_t>(end ? end - 1 : 0));
            if (forwards && at < oldest) at = oldest;  // overwritten since the last read
        }
        EventLogRead out;
        uint64_t used = 0;
        while (at >= oldest && at < end) {
            EventLogRecord r = delivered(f->record(static_cast<size_t>(at - oldest)), code_page);
            if (used + r.length > buffer_bytes) {
                if (out.records.empty())
                    return {st::kInsufficientBuffer, EventLogRead{{}, r.length}};
                break;
            }
            used += r.length;
            out.records.push_back(std::move(r));
            at = forwards ? at + 1 : at - 1;
        }
        if (out.records.empty()) return R::failure(st::kHandleEof);
        h->next = static_cast<uint32_t>(at);
        return {st::kSuccess, std::move(out)};
    }

    Status close(EventLogHandle log) override {
        auto call = net_.enter(op::CloseEventLog);
        if (!call) return call.status();
        return logs_.close(log) ? st::kSuccess : st::kInvalidHandle;
    }

    Result<EventLogHandle> register_source(StringView server, StringView source) override {
        using R = Result<EventLogHandle>;
        auto call = net_.enter(op::RegisterEventSource, server);
        if (!call) return rpc_failure<EventLogHandle>(call, server);
        if (has_nul(source)) return R::failure(st::kInvalidName);
        return {st::kSuccess, sources_.open({call.machine().name, String(source)})};
    }

    Status report(EventLogHandle source, uint16_t type, uint16_t category, uint32_t event_id,
                  std::span<const uint8_t> sid, const std::vector<String>& strings,
                  std::span<const uint8_t> data) override {
        auto call = net_.enter(op::ReportEvent);
        if (!call) return call.status();
        OpenSource* h = sources_.find(source);
        if (!h) return st::kInvalidHandle;
        if (!sid.empty() && !Sid::from_bytes(sid.data(), sid.size())) return st::kInvalidSid;
        Machine* m = net_.find(h->machine);
        if (!m) return st::kInvalidHandle;
        return write_event(net_, *m, h->source, type, category, event_id,
                           std::vector<uint8_t>(sid.begin(), sid.end()), strings,
                           std::vector<uint8_t>(data.begin(), data.end()));
    }

    Status deregister_source(EventLogHandle source) override {
        auto call = net_.enter(op::DeregisterEventSource);
        if (!call) return call.status();
        return sources_.close(source) ? st::kSuccess : st::kInvalidHandle;
    }

    Status backup(EventLogHandle log, StringView file) override {
        auto call = net_.enter(op::BackupEventLog);
        if (!call) return call.status();
        OpenLog* h = logs_.find(log);
        if (!h) return st::kInvalidHandle;
        return write_backup(*h, file);
    }

    Status clear(EventLogHandle log, std::optional<StringView> backup_file) override {
        auto call = net_.enter(op::ClearEventLog);
        if (!call) return call.status();
        OpenLog* h = logs_.find(log);
        if (!h) return st::kInvalidHandle;
        if (h->backup) return st::kInvalidHandle;  // a backup file is not cleared
        if (!may(net_, h->log, evt::kLogClear)) return st::kAccessDenied;
        if (backup_file)
            if (Status s = write_backup(*h, *backup_file)) return s;
        Machine* m = net_.find(h->machine);
        if (!m) return st::kInvalidHandle;
        LiveLog& live = live_log(net_, *m, h->log);
        live.file.clear();
        ++live.clears;
        h->clears = live.clears;  // the handle that cleared goes on reading
        h->next.reset();
        return st::kSuccess;
    }

  private:
    // The log's service is reached by RPC: a server that does not answer
    // reports the RPC server unavailable.
    template <class T>
    Result<T> rpc_failure(const Call& call, StringView server) {
        if (call.status() == st::kBadNetPath && !net_.answers(server))
            return Result<T>::failure(st::kRpcServerUnavailable);
        return call.failure<T>();
    }

    // The records a handle reads: its backup file's, or its live log's
    // while that log has not been cleared since it was opened.
    const EventLogFile* file_of(const OpenLog& h) {
        if (h.backup) return h.backup.get();
        Machine* m = net_.find(h.machine);
        if (!m) return nullptr;
        LiveLog& live = live_log(net_, *m, h.log);
        return live.clears == h.clears ? &live.file : nullptr;
    }

    Status write_backup(const OpenLog& h, StringView file) {
        if (file.empty()) return st::kInvalidParameter;
        if (has_nul(file)) return st::kInvalidName;
        Machine* m = net_.find(h.machine);
        if (!m) return st::kInvalidHandle;
        if (m->files.count(String(file))) return st::kAlreadyExists;
        const EventLogFile* f = h.backup ? h.backup.get() : &live_log(net_, *m, h.log).file;
        m->files[String(file)] = f->backup();
        return st::kSuccess;
    }

    Network& net_;
    HandleTable<OpenLog> logs_;
    HandleTable<OpenSource> sources_;
};

}  // namespace

String log_of_source(Network& net, Machine& m, StringView source) {
    if (KeyNode* logs = logs_key(net, m))
        for (KeyNode* log : logs->children())
            if (log->child(source)) return log->name();
    if (KeyNode* app = log_key(net, m, kApplication)) return app->name();
    return String(kApplication);
}

Status write_event(Network& net, Machine& m, StringView source, uint16_t type, uint16_t category,
                   uint32_t event_id, std::vector<uint8_t> sid, std::vector<String> strings,
                   std::vector<uint8_t> data) {
    EventRecord r;
    r.time_generated = r.time_written = unix_now(m);
    r.event_id = event_id;
    r.type = type;
    r.category = category;
    r.source = String(source);
    r.computer = m.name;
    r.sid = std::move(sid);
    r.strings = std::move(strings);
    r.data = std::move(data);
    const uint32_t now = r.time_written;
    return live_log(net, m, log_of_source(net, m, source)).file.append(std::move(r), now);
}

std::shared_ptr<platform::EventLog> make_eventlog(Network& net) {
    return std::make_shared<SimEventLog>(net);
}

}  // namespace vorlek::sim
