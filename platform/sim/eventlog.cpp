#include "platform/sim/eventlog.h"

#include "platform/c_strings.h"
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
#include "platform/sim/security.h"
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

void seed_history(Network& net, Machine& m);

// The log as the service keeps it, made on first use; its limits follow its
// key from one use to the next.
LiveLog& live_log(Network& net, Machine& m, StringView log) {
    EventLogState& state = eventlog_state(net, m);
    const KeyNode* key = log_key(net, m, log);
    const uint32_t max_size = key_dword(key, u"MaxSize", kDefaultMaxSize);
    const uint32_t retention = key_dword(key, u"Retention", kDefaultRetention);
    auto [it, made] =
        state.logs.try_emplace(String(log), LiveLog{EventLogFile(max_size, retention)});
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

// The history a machine's logs start with: thirty days of boots and
// shutdowns, services and their failures, logons and account changes, and
// an application's own log, as a machine of this kind writes them. The
// same machine always gets the same history.
struct Seeded {
    StringView source;
    uint32_t event_id;
    uint16_t type;
    uint16_t category;
};
constexpr Seeded kBootStarted{u"EventLog", 0x8000176D, evt::kInformation, 0};
constexpr Seeded kBootVersion{u"EventLog", 0x80001779, evt::kInformation, 0};
constexpr Seeded kShutdown{u"EventLog", 0x8000176E, evt::kInformation, 0};
constexpr Seeded kUnexpectedShutdown{u"EventLog", 0x80001778, evt::kError, 0};
constexpr Seeded kServiceState{u"Service Control Manager", 0x40001B7C, evt::kInformation, 0};
constexpr Seeded kServiceControl{u"Service Control Manager", 0x40001B7B, evt::kInformation, 0};
constexpr Seeded kServiceFailed{u"Service Control Manager", 0xC0001B58, evt::kError, 0};
constexpr Seeded kServiceCrashed{u"Service Control Manager", 0xC0001B7A, evt::kError, 0};
constexpr Seeded kServiceRestarted{u"Service Control Manager", 0xC0001B6F, evt::kError, 0};
constexpr Seeded kStartup{u"Security", 512, evt::kAuditSuccess, 1};
constexpr Seeded kLogon{u"Security", 528, evt::kAuditSuccess, 2};
constexpr Seeded kLogonFailed{u"Security", 529, evt::kAuditFailure, 2};
constexpr Seeded kLogoff{u"Security", 538, evt::kAuditSuccess, 2};
constexpr Seeded kUserCreated{u"Security", 624, evt::kAuditSuccess, 7};
constexpr Seeded kUserDeleted{u"Security", 630, evt::kAuditSuccess, 7};
constexpr Seeded kSampleStarted{u"Vorlek", 1, evt::kInformation, 1000};
constexpr Seeded kSampleParagraphs{u"Vorlek", 2, evt::kWarning, 0};
constexpr Seeded kPopup{u"Application Popup", 26, evt::kInformation, 0};
constexpr Seeded kInventory{u"Inventory Scanner", 2, evt::kInformation, 1000};

constexpr StringView kDailyServices[] = {
    u"Workstation", u"Server",         u"Spooler",         u"Remote Procedure Call (RPC)",
    u"Event Log",   u"Task Scheduler", u"Computer Browser"};
constexpr StringView kUsers[] = {u"Administrator", u"jdoe", u"asmith", u"backup"};

void seed_history(Network& net, Machine& m) {
    const uint32_t now = unix_now(m);
    const platform::Sid domain = account_database(net, m).domain_sid;
    const String realm = account_database(net, m).domain_name;
    const platform::Sid system = sid::local_system();
    uint32_t noise = 0x9E3779B9u;
    for (char16_t c : m.name)
        noise = (noise ^ c) * 0x01000193u;
    auto next = [&noise](uint32_t bound) {
        noise ^= noise << 13, noise ^= noise >> 17, noise ^= noise << 5;
        return noise % bound;
    };
    auto put = [&](uint32_t when, const Seeded& e, const std::vector<uint8_t>& sid,
                   std::vector<String> strings, std::vector<uint8_t> data = {}) {
        if (when >= now) return;
        EventRecord r;
        r.time_generated = r.time_written = when;
        r.event_id = e.event_id;
        r.type = e.type;
        r.category = e.category;
        r.source = String(e.source);
        r.computer = m.name;
        r.sid = sid;
        r.strings = std::move(strings);
        r.data = std::move(data);
        live_log(net, m, log_of_source(net, m, e.source)).file.append(std::move(r), when);
    };
    const std::vector<uint8_t> none, by_system = system.bytes();
    const uint32_t days = 30, first_day = (now / 86400 - days) * 86400;
    for (uint32_t day = 0; day <= days; ++day) {
        uint32_t t = first_day + day * 86400 + 6 * 3600 + next(3600);
        put(t, kBootVersion, none, {u"5.00.", u"2195", u"Service Pack 4", u"Uniprocessor Free"});
        put(t + 1, kBootStarted, none, {});
        put(t + 2, kStartup, by_system, {});
        for (StringView service : kDailyServices)
            put(t += 1 + next(4), kServiceState, none, {String(service), u"running"});
        // A service that often fails to start, and did so this morning.
        if (next(4) == 0 || day == days)
            put(t += 5, kServiceFailed, none, {u"Vorlek Sample", u"%%1053"});
        if (next(6) == 0) {
            std::vector<uint8_t> data(16);
            for (uint8_t& b : data)
                b = static_cast<uint8_t>(next(256));
            put(t += 60, kServiceRestarted, none,
                {u"Spooler", decimal(1 + next(3)), u"60000", u"1", u"Restart the service"},
                std::move(data));
        }
        // The working day: people log on and off, some mistype.
        for (uint32_t i = 0, n = 10 + next(10); i < n; ++i) {
            const uint32_t user = next(4);
            const std::vector<uint8_t> who = domain.with_rid(user ? 1100 + user : 500).bytes();
            const String name(kUsers[user]);
            const uint32_t on = t + 3600 + next(9 * 3600);
            if (next(5) == 0)
                put(on - 30, kLogonFailed, by_system,
                    {name, realm, u"2", u"User32", u"Negotiate", m.name});
            put(on, kLogon, who,
                {name, realm, u"(0x0," + decimal(0x3E7 + on % 9973) + u")", u"2", u"User32",
                 u"Negotiate", m.name});
            if (next(3) == 0) put(on + 2, kServiceControl, who, {u"Spooler", u"stop"});
            put(on + 1800 + next(7200), kLogoff, who,
                {name, realm, u"(0x0," + decimal(0x3E7 + on % 9973) + u")", u"2"});
            put(on + 5, kSampleStarted, none, {});
            if (next(2) == 0) put(on + 7, kSampleParagraphs, who, {u"day " + decimal(day)});
            if (next(8) == 0)
                put(on + 9, kPopup, none,
                    {u"NOTEPAD.EXE - Application Error", u"The memory could not be read."});
            put(on + 11, kInventory, none, {u"PC" + decimal(100 + next(900))});
        }
        if (day % 10 == 3) {
            // An account comes and goes; the deleted one stays only as a SID.
            const uint32_t rid = 1200 + day;
            const std::vector<uint8_t> admin = domain.with_rid(500).bytes();
            put(t + 7200, kUserCreated, admin,
                {u"temp" + decimal(day), realm, u"%{" + domain.with_rid(rid).text() + u"}",
                 u"Administrator", realm, u"(0x0,0x3E7)", u"-"});
            put(t + 9000, kUserDeleted, admin,
                {u"temp" + decimal(day), realm, u"%{" + domain.with_rid(rid).text() + u"}",
                 u"Administrator", realm, u"(0x0,0x3E7)", u"-"});
            put(t + 9100, kLogon, domain.with_rid(rid).bytes(),
                {u"temp" + decimal(day), realm, u"(0x0,0x4711)", u"3", u"NtLmSsp", u"NTLM", u""});
        }
        const uint32_t evening = first_day + day * 86400 + 18 * 3600 + next(3 * 3600);
        if (day % 9 == 5) {
            put(evening, kUnexpectedShutdown, none,
                {u"6:12:03 PM", u"7/" + decimal(day % 28 + 1) + u"/2024"});
            put(evening + 1, kServiceCrashed, none, {u"Vorlek Sample", u"1"});
        } else {
            put(evening, kShutdown, none, {});
        }
    }
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
        auto call = net_.enter(op::OpenEventLog, server, {log});
        if (!call) return rpc_failure<EventLogHandle>(call, server);
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
        auto call = net_.enter(op::OpenBackupEventLog, server, {file});
        if (!call) return rpc_failure<EventLogHandle>(call, server);
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
        auto call = net_.enter(op::RegisterEventSource, server, {source});
        if (!call) return rpc_failure<EventLogHandle>(call, server);
        return {st::kSuccess, sources_.open({call.machine().name, String(source)})};
    }

    Status report(EventLogHandle source, uint16_t type, uint16_t category, uint32_t event_id,
                  std::span<const uint8_t> sid, const std::vector<String>& strings,
                  std::span<const uint8_t> data) override {
        // The insertion strings go to the service as C strings too.
        if (Status s = platform::c_strings_status(strings)) return s;
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
        auto call = net_.enter(op::BackupEventLog, {file});
        if (!call) return call.status();
        OpenLog* h = logs_.find(log);
        if (!h) return st::kInvalidHandle;
        return write_backup(*h, file);
    }

    Status clear(EventLogHandle log, std::optional<StringView> backup_file) override {
        auto call = net_.enter(op::ClearEventLog, {backup_file.value_or(StringView())});
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

EventLogState& eventlog_state(Network& net, Machine& m) {
    if (!m.eventlog->seeded) {
        m.eventlog.write().seeded = true;
        seed_history(net, m);
    }
    return m.eventlog.write();
}

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

void audit(Network& net, Machine& m, Audit event, bool success, std::vector<uint8_t> sid,
           std::vector<String> strings) {
    if (!m.security.auditing) return;
    const auto id = static_cast<uint32_t>(event);
    const uint16_t category = id < 600 ? 2 : 7;  // Logon/Logoff, Account Management
    write_event(net, m, kSecurity, success ? evt::kAuditSuccess : evt::kAuditFailure, category, id,
                std::move(sid), std::move(strings));
}

AuditCaller audit_caller(Network& net, Machine& m) {
    AuditCaller out;
    const platform::Sid who = caller_token(net).user;
    out.sid = who.bytes();
    if (auto account = resolve_sid(net, m, who)) {
        out.name = account->name;
        out.domain = account->domain;
    }
    return out;
}

std::shared_ptr<platform::EventLog> make_eventlog(Network& net) {
    return std::make_shared<SimEventLog>(net);
}

}  // namespace vorlek::sim
