// Processes, windows, tokens, logon and shutdown on the simulated machines.
// Only the local machine's processes are reachable (the process status calls
// have no machine argument); shutdown also reaches other machines.
#include "platform/sim/processes.h"

#include <algorithm>

#include "automation/text.h"
#include "platform/sim/accounts.h"
#include "platform/sim/areas.h"
#include "platform/sim/eventlog.h"
#include "platform/sim/lsa.h"
#include "platform/sim/network.h"
#include "platform/sim/security.h"

namespace vorlek::sim {

namespace status = platform::status;
namespace pa = platform::process_access;
namespace rid = platform::sid::rid;
using platform::AccessList;
using platform::Luid;
using platform::MemoryCounters;
using platform::ObjectHandle;
using platform::PrivilegeState;
using platform::Result;
using platform::Sid;
using platform::TokenGroup;
using platform::WindowHandle;

// ---------------------------------------------------------------------------
// State

PrivilegeState* SimToken::find(uint32_t luid) {
    for (auto& p : privileges) {
        if (p.luid.high == 0 && p.luid.low == luid) return &p;
    }
    return nullptr;
}

bool SimToken::enabled(StringView privilege) const {
    for (const auto& p : privileges) {
        auto name = platform::privilege_name(p.luid);
        if (name && equal_ignore_case(*name, privilege))
            return (p.attributes & platform::se::kPrivilegeEnabled) != 0;
    }
    return false;
}

SimProcess* ProcessesState::find(uint32_t pid) {
    auto it = processes.find(pid);
    return it == processes.end() ? nullptr : &it->second;
}

namespace {

constexpr StringView kSystem32 = u"C:\\WINNT\\system32\\";
constexpr uint64_t kProgramBase = 0x400000;
constexpr uint64_t kSystemModuleBase = 0x77F00000;
constexpr uint64_t kExitProcessAddress = 0x77E55CB5;
constexpr uint32_t kPageSize = 4096;

String file_part(StringView path) {
    const size_t slash = path.find_last_of(u'\\');
    return String(slash == StringView::npos ? path : path.substr(slash + 1));
}

// The system's modules every program of the shell loads after its own.
constexpr StringView kCommonModules[] = {u"ntdll.dll", u"kernel32.dll", u"user32.dll",
                                         u"gdi32.dll", u"advapi32.dll", u"rpcrt4.dll"};

// Memory counters as a program of `weight` (1 a small one) starts with.
MemoryCounters initial_counters(uint32_t pid, uint32_t weight) {
    MemoryCounters c;
    c.working_set_size = (120 + 37 * weight + pid % 17) * kPageSize;
    c.peak_working_set_size = c.working_set_size + 24 * kPageSize;
    c.page_fault_count = 400 * weight + pid % 97;
    c.quota_paged_pool_usage = 9000 + 512 * weight;
    c.quota_peak_paged_pool_usage = c.quota_paged_pool_usage + 1024;
    c.quota_non_paged_pool_usage = 1200 + 64 * weight;
    c.quota_peak_non_paged_pool_usage = c.quota_non_paged_pool_usage + 256;
    c.pagefile_usage = (60 + 21 * weight) * kPageSize;
    c.peak_pagefile_usage = c.pagefile_usage + 8 * kPageSize;
    return c;
}

void grow(MemoryCounters& c, uint32_t faults, uint32_t pages) {
    c.page_fault_count += faults;
    c.working_set_size += pages * kPageSize;
    c.pagefile_usage += pages * kPageSize / 2;
    c.peak_working_set_size = std::max(c.peak_working_set_size, c.working_set_size);
    c.peak_pagefile_usage = std::max(c.peak_pagefile_usage, c.pagefile_usage);
}

}  // namespace

SimProcess& ProcessesState::start(StringView path, uint32_t parent, std::shared_ptr<SimToken> token,
                                  ProgramBehaviour behaviour) {
    const uint32_t pid = next_pid;
    next_pid += 4;
    SimProcess& p = processes[pid];
    p.pid = pid;
    p.parent = parent;
    p.path = String(path);
    if (!path.empty()) {
        p.modules.push_back(String(path));
        for (StringView m : kCommonModules)
            p.modules.push_back(String(kSystem32) + String(m));
    }
    p.counters = initial_counters(pid, 1 + static_cast<uint32_t>(path.size() % 5));
    p.token = std::move(token);
    p.behaviour = std::move(behaviour);
    p.started_ms = clock_ms;
    if (p.behaviour.window) add_window(pid, *p.behaviour.window);
    return p;
}

void ProcessesState::end(SimProcess& process, uint32_t code) {
    process.exit_code = code;
    std::erase_if(windows, [&](const SimWindow& w) { return w.pid == process.pid; });
}

void ProcessesState::advance(uint64_t ms) {
    const uint64_t until = clock_ms + ms;
    for (auto& [pid, p] : processes) {
        if (!p.running()) continue;
        if (p.behaviour.runs_for && p.started_ms + *p.behaviour.runs_for <= until) {
            end(p, p.behaviour.exit_code);
            continue;
        }
        grow(p.counters, static_cast<uint32_t>(std::min<uint64_t>(ms / 50, 100000)),
             static_cast<uint32_t>(std::min<uint64_t>(ms / 1000, 64)));
    }
    clock_ms = until;
}

WindowHandle ProcessesState::add_window(uint32_t pid, StringView title) {
    const WindowHandle h = next_window;
    next_window += 0x16;
    windows.push_back({h, pid, String(title)});
    return h;
}

// ---------------------------------------------------------------------------
// Tokens

namespace {

constexpr uint32_t kGroupDefault = platform::se::kGroupMandatory |
                                   platform::se::kGroupEnabledByDefault |
                                   platform::se::kGroupEnabled;

std::shared_ptr<SimToken> system_token() {
    auto t = std::make_shared<SimToken>();
    t->user = platform::sid::local_system();
    t->groups = {
        {platform::sid::builtin_alias(rid::kAdmins), kGroupDefault | platform::se::kGroupOwner},
        {platform::sid::everyone(), kGroupDefault},
        {platform::sid::authenticated_users(), kGroupDefault}};
    std::vector<PrivilegeState> all;
    for (const auto& p : platform::kPrivilegeNames)
        all.push_back({Luid{p.luid, 0},
                       platform::se::kPrivilegeEnabled | platform::se::kPrivilegeEnabledByDefault});
    t->privileges = std::move(all);
    return t;
}

bool has_member(const LocalGroup& alias, const std::vector<Sid>& sids) {
    return std::any_of(sids.begin(), sids.end(), [&](const Sid& s) {
        return std::find(alias.members.begin(), alias.members.end(), s) != alias.members.end();
    });
}

}  // namespace

std::shared_ptr<SimToken> make_token(Network& net, Machine& machine, const Sid& user) {
    auto t = std::make_shared<SimToken>();
    t->user = user;
    std::vector<Sid> own{user};
    // The global groups of a domain account (or of the machine's own).
    AccountDatabase& local = account_database(net, machine);
    AccountDatabase* home = user.in_domain(local.domain_sid) ? &local : nullptr;
    if (!home) {
        const String& group = machine.servers.lan_group;
        AccountDatabase* joined = domain_database(net, group);
        if (joined && user.in_domain(joined->domain_sid)) home = joined;
    }
    if (home) {
        if (auto u = home->users.find(user.rid()); u != home->users.end()) {
            for (uint32_t g : u->second.groups)
                own.push_back(home->domain_sid.with_rid(g));
        }
    }
    for (size_t i = 1; i < own.size(); ++i)
        t->groups.push_back({own[i], kGroupDefault});
    t->groups.push_back({platform::sid::everyone(), kGroupDefault});
    for (auto* list : {&local.builtin, &local.aliases}) {
        for (const auto& [alias_rid, alias] : *list) {
            if (!has_member(alias, own)) continue;
            const bool builtin = list == &local.builtin;
            t->groups.push_back({builtin ? platform::sid::builtin_alias(alias_rid)
                                         : local.domain_sid.with_rid(alias_rid),
                                 kGroupDefault});
        }
    }
    t->groups.push_back({platform::sid::interactive(), kGroupDefault});
    t->groups.push_back({platform::sid::authenticated_users(), kGroupDefault});
    // The machine's local security authority says which privileges the
    // user and its groups hold.
    std::vector<Sid> holders{user};
    for (const TokenGroup& g : t->groups)
        holders.push_back(g.sid);
    t->privileges = privileges_held(net, machine, holders);
    return t;
}

// ---------------------------------------------------------------------------
// The standard processes

namespace {

struct Standard {
    uint32_t pid;
    uint32_t parent;
    StringView path;
    bool system;  // runs as SYSTEM (else as the interactive user)
    bool protected_process;
    std::optional<StringView> window;
};

const Standard kStandard[] = {
    {0, 0, u"", true, true, std::nullopt},  // the idle process
    {4, 0, u"", true, true, std::nullopt},  // System
    {188, 4, u"\\SystemRoot\\System32\\smss.exe", true, false, std::nullopt},
    {212, 188, u"\\??\\C:\\WINNT\\system32\\csrss.exe", true, true, std::nullopt},
    {236, 188, u"\\??\\C:\\WINNT\\system32\\winlogon.exe", true, false, std::nullopt},
    {280, 236, u"C:\\WINNT\\system32\\services.exe", true, false, std::nullopt},
    {292, 236, u"C:\\WINNT\\system32\\lsass.exe", true, false, std::nullopt},
    {476, 280, u"C:\\WINNT\\system32\\svchost.exe", true, false, std::nullopt},
    {520, 280, u"C:\\WINNT\\system32\\spoolsv.exe", true, false, std::nullopt},
    {560, 280, u"C:\\WINNT\\System32\\svchost.exe", true, false, std::nullopt},
    {612, 280, u"C:\\WINNT\\system32\\regsvc.exe", true, false, std::nullopt},
    {640, 280, u"C:\\WINNT\\system32\\MSTask.exe", true, false, std::nullopt},
    {864, 844, u"C:\\WINNT\\Explorer.EXE", false, false, u"Program Manager"},
    {908, 864, u"C:\\WINNT\\system32\\ntvdm.exe", false, false, std::nullopt},
    {952, 864, u"C:\\WINNT\\system32\\cscript.exe", false, false, std::nullopt},
};
constexpr uint32_t kNtvdmPid = 908;
constexpr uint32_t kScriptHostPid = 952;

void build_processes(Network& net, Machine& m, ProcessesState& s) {
    s.built = true;
    auto sys = system_token();
    std::shared_ptr<SimToken> interactive;
    if (auto account = resolve_name(net, m, m.security.user))
        interactive = make_token(net, m, account->sid);
    else
        interactive = make_token(net, m, account_database(net, m).domain_sid.with_rid(rid::kGuest));
    for (const Standard& st : kStandard) {
        s.next_pid = st.pid;
        ProgramBehaviour b;
        if (st.window) b.window = String(*st.window);
        b.remote_exit = !st.protected_process;
        SimProcess& p = s.start(st.path, st.parent,
                                st.system ? sys : std::make_shared<SimToken>(*interactive), b);
        p.protected_process = st.protected_process;
    }
    s.next_pid = 1000;
    s.current_pid = kScriptHostPid;
    // A virtual DOS machine with the WOW task and one 16-bit program.
    SimProcess& vdm = *s.find(kNtvdmPid);
    vdm.vdm = true;
    vdm.modules.push_back(String(kSystem32) + u"wow32.dll");
    vdm.vdm_tasks = {{936, 0x1F, 0x2E, u"WOWEXEC", u"C:\\WINNT\\system32\\WOWEXEC.EXE"},
                     {944, 0x47, 0x56, u"SOL", u"C:\\WINNT\\SOL.EXE"}};
    s.add_window(kNtvdmPid, u"Solitaire");
    // The interactive user may use the interactive window station and desktop.
    const auto admins = platform::sid::builtin_alias(rid::kAdmins);
    s.window_station.access = {
        {platform::sid::local_system(), 0xF037F}, {admins, 0xF037F}, {interactive->user, 0xF037F}};
    s.desktop.access = {
        {platform::sid::local_system(), 0xF01FF}, {admins, 0xF01FF}, {interactive->user, 0xF01FF}};
}

}  // namespace

platform::AccessIdentity SimToken::identity() const {
    platform::AccessIdentity who{user, {}};
    for (const TokenGroup& g : groups) {
        if (g.attributes & platform::se::kGroupEnabled) who.groups.push_back(g.sid);
    }
    return who;
}

const SimToken& caller_token(Network& net) {
    ProcessesState& s = process_table(net, net.local());
    return s.impersonation ? *s.impersonation : *s.current().token;
}

namespace {

// The machine's own process table, its tokens the network's live ones.
ProcessesState& own_processes(Network& net, Machine& machine) {
    const bool shared = machine.processes.shared();
    ProcessesState& s = machine.processes.write();
    if (shared) {
        for (auto& [pid, p] : s.processes)
            net.own(p.token);
        net.own(s.impersonation);
    }
    return s;
}

}  // namespace

ProcessesState& process_table(Network& net, Machine& machine) {
    ProcessesState& s = own_processes(net, machine);
    if (!s.built) build_processes(net, machine, s);
    return s;
}

void power_on(Network& net, Machine& machine) {
    machine.reachable = true;
    // Services marked for deletion go with the old boot; the processes and
    // the services that run start afresh on first use, the clock going on.
    if (machine.services->built) restart_service_manager(net, machine);
    const uint64_t clock = machine.processes->clock_ms;
    machine.processes = ProcessesState{};
    machine.processes.write().clock_ms = clock;
    machine.services = ServicesState{};
}

void pass_time(Network& net, uint64_t ms) {
    const auto ticks = static_cast<platform::FileTime>(ms) * 10'000;
    for (Machine* m : net.machines()) {
        m->time.clock += ticks;
        ProcessesState& s = own_processes(net, *m);
        s.advance(ms);
        const bool restarted =
            !m->reachable &&
            std::any_of(s.shutdowns.begin(), s.shutdowns.end(), [&](const ShutdownRequest& r) {
                return r.back_at_ms && *r.back_at_ms <= s.clock_ms;
            });
        if (restarted) power_on(net, *m);
    }
}

bool ShutdownRequest::powers_down() const noexcept {
    namespace ewx = platform::ewx;
    return !by_exit_windows ||
           (exit_windows_flags & (ewx::kShutdown | ewx::kReboot | ewx::kPowerOff)) != 0;
}

// ---------------------------------------------------------------------------
// Programs CreateProcess knows

namespace {

struct Program {
    StringView name;  // file name, upper case
    StringView directory;
    // The behaviour for the rest of the command line.
    ProgramBehaviour (*behaviour)(StringView args);
};

std::optional<uint32_t> number_after(StringView args, StringView option) {
    const String upper = to_upper(args);
    const size_t at = upper.find(option);
    if (at == String::npos) return std::nullopt;
    size_t i = at + option.size();
    while (i < upper.size() && upper[i] == u' ')
        ++i;
    uint64_t n = 0;
    bool any = false;
    for (; i < upper.size() && upper[i] >= u'0' && upper[i] <= u'9' && n < 0xFFFFFFFF; ++i) {
        n = n * 10 + static_cast<uint64_t>(upper[i] - u'0');
        any = true;
    }
    if (!any) return std::nullopt;
    return static_cast<uint32_t>(std::min<uint64_t>(n, 0xFFFFFFFF));
}

// The code of cmd's "exit [/B] [N]": N read as strtol reads it (an optional
// sign, decimal digits, held to the 32-bit signed range, 0 when there is
// none); the process ends with that value as its DWORD.
uint32_t exit_code_of(StringView rest) {
    const auto skip_spaces = [](StringView& t) {
        while (!t.empty() && t[0] == u' ')
            t.remove_prefix(1);
    };
    StringView s = rest;
    skip_spaces(s);
    if (s.size() >= 2 && s[0] == u'/' && (s[1] == u'b' || s[1] == u'B')) {
        s.remove_prefix(2);
        skip_spaces(s);
    }
    const bool negative = !s.empty() && s[0] == u'-';
    if (!s.empty() && (s[0] == u'-' || s[0] == u'+')) s.remove_prefix(1);
    constexpr int64_t kLimit = int64_t{1} << 31;
    int64_t n = 0;
    for (size_t i = 0; i < s.size() && s[i] >= u'0' && s[i] <= u'9'; ++i)
        n = std::min(n * 10 + (s[i] - u'0'), kLimit);
    const int64_t value = negative ? -n : std::min(n, kLimit - 1);
    return static_cast<uint32_t>(static_cast<int32_t>(value));
}

const Program kPrograms[] = {
    {u"NOTEPAD.EXE", u"C:\\WINNT\\system32",
     [](StringView) {
         ProgramBehaviour b;
         b.window = u"Untitled - Notepad";
         return b;
     }},
    {u"CALC.EXE", u"C:\\WINNT\\system32",
     [](StringView) {
         ProgramBehaviour b;
         b.window = u"Calculator";
         return b;
     }},
    // "cmd /c exit N" ends at once with N; a plain cmd runs until closed.
    {u"CMD.EXE", u"C:\\WINNT\\system32",
     [](StringView args) {
         ProgramBehaviour b;
         const String upper = to_upper(args);
         if (const size_t at = upper.find(u"/C EXIT"); at != String::npos) {
             b.runs_for = 0;
             b.exit_code = exit_code_of(args.substr(at + 7));
         } else if (upper.find(u"/C") != String::npos) {
             b.runs_for = 0;
         } else {
             b.window = u"C:\\WINNT\\system32\\cmd.exe";
         }
         return b;
     }},
    // "ping -n N host" takes N - 1 seconds; no window.
    {u"PING.EXE", u"C:\\WINNT\\system32",
     [](StringView args) {
         ProgramBehaviour b;
         const uint32_t n = number_after(args, u"-N").value_or(4);
         b.runs_for = n == 0 ? 0 : (static_cast<uint64_t>(n) - 1) * 1000;
         return b;
     }},
};

// The program and the rest of a command line: a quoted first word or the
// text up to the first space.
std::pair<String, String> split_command(StringView line) {
    if (!line.empty() && line[0] == u'"') {
        const size_t close = line.find(u'"', 1);
        if (close == StringView::npos) return {String(line.substr(1)), u""};
        return {String(line.substr(1, close - 1)), String(line.substr(close + 1))};
    }
    const size_t space = line.find(u' ');
    if (space == StringView::npos) return {String(line), u""};
    return {String(line.substr(0, space)), String(line.substr(space + 1))};
}

const Program* find_program(StringView word, String& path) {
    String name = to_upper(file_part(word));
    if (name.find(u'.') == String::npos) name += u".EXE";
    const size_t slash = word.find_last_of(u'\\');
    for (const Program& p : kPrograms) {
        if (name != p.name) continue;
        if (slash != StringView::npos && !equal_ignore_case(word.substr(0, slash), p.directory))
            return nullptr;
        path = String(p.directory) + u"\\" + to_lower(name);
        return &p;
    }
    return nullptr;
}

// ---------------------------------------------------------------------------
// The area

constexpr ObjectHandle kBorrowedStation = 0x7FF0;  // GetProcessWindowStation's
constexpr ObjectHandle kBorrowedDesktop = 0x7FF4;  // GetThreadDesktop's
constexpr uint32_t kReadControl = 0x20000, kWriteDac = 0x40000;
constexpr uint32_t kWmClose = 0x10;
constexpr uint64_t kCloseDelayMs = 50;
constexpr size_t kMaxCommandLine = 32767;
constexpr uint64_t kBootMs = 60'000;  // a restarted machine's boot

struct ProcessEntry {
    uint32_t pid;
    uint32_t access;
};
struct ThreadEntry {
    uint32_t pid;
    bool remote;
};
struct TokenEntry {
    std::shared_ptr<SimToken> token;
    uint32_t access;
};
struct UserObjectEntry {
    bool desktop;
    uint32_t access;
};
struct ProfileEntry {
    String user;
};

// Group list bytes as a 64-bit GetTokenInformation lays them out: the count
// (padded), a SID pointer and attributes per group, then the SIDs.
uint32_t groups_bytes(const SimToken& t) {
    size_t n = 8;
    for (const auto& g : t.groups)
        n += 16 + g.sid.byte_length();
    return static_cast<uint32_t>(n);
}

// A logon at `m` of an account that the controller (or machine) `at` checks
// and counts.
Status logon_status(const Machine& m, AccountDatabase& db, UserAccount& u, Machine& at,
                    StringView password) {
    namespace uf = platform::uf;
    if (locked_out(db, u, at.time.clock)) return status::kAccountLockedOut;
    u.info.flags &= ~uf::kLockout;  // a lockout that has run out ends here
    if (password != u.password) {
        count_bad_password(db, u, at);
        return status::kLogonFailure;
    }
    if (u.info.flags & uf::kAccountDisable) return status::kAccountDisabled;
    const uint64_t unix_seconds = calendar::unix_seconds(m.time.clock);
    if (u.info.acct_expires != platform::kTimeqForever && unix_seconds >= u.info.acct_expires)
        return status::kAccountExpired;
    if (u.info.logon_hours.size() == platform::kLogonHoursBytes) {
        const uint64_t days = unix_seconds / 86400;
        const uint64_t unit = ((days + 4) % 7) * 24 + (unix_seconds % 86400) / 3600;
        if (!(u.info.logon_hours[unit / 8] & (1u << (unit % 8)))) return status::kInvalidLogonHours;
    }
    if (!u.info.workstations.empty()) {
        bool listed = false;
        StringView rest = u.info.workstations;
        while (!rest.empty() && !listed) {
            const size_t comma = rest.find(u',');
            listed = equal_ignore_case(trim_spaces(rest.substr(0, comma)), m.name);
            rest = comma == StringView::npos ? StringView() : rest.substr(comma + 1);
        }
        if (!listed) return status::kInvalidWorkstation;
    }
    if (u.must_change) return status::kPasswordMustChange;
    count_logon(u, at);
    return status::kSuccess;
}

class SimProcesses : public platform::Processes {
  public:
    explicit SimProcesses(Network& net)
        : net_(net),
          processes_(net.handles(), HandleKind::Process),
          threads_(net.handles(), HandleKind::Thread),
          tokens_(net.handles(), HandleKind::Token),
          stations_(net.handles(), HandleKind::WindowStation),
          desktops_(net.handles(), HandleKind::Desktop),
          profiles_(net.handles(), HandleKind::Profile) {}

    // --- Process status

    Result<std::vector<uint32_t>> enum_processes(uint32_t buffer_bytes) override {
        auto call = net_.enter(op::EnumProcesses);
        if (!call) return call.failure<std::vector<uint32_t>>();
        std::vector<uint32_t> ids;
        const size_t room = buffer_bytes / 4;
        for (const auto& [pid, p] : table(call).processes) {
            if (ids.size() == room) break;
            if (p.running()) ids.push_back(pid);
        }
        return {status::kSuccess, std::move(ids)};
    }

    Result<ObjectHandle> open_process(uint32_t access, bool, uint32_t pid) override {
        auto call = net_.enter(op::OpenProcess);
        if (!call) return call.failure<ObjectHandle>();
        SimProcess* p = table(call).find(pid);
        if (!p || !p->running() || pid == 0) return fail<ObjectHandle>(status::kInvalidParameter);
        if (p->protected_process && (access & ~pa::kSynchronize) != 0)
            return fail<ObjectHandle>(status::kAccessDenied);
        return {status::kSuccess, processes_.open({pid, access})};
    }

    Result<std::vector<uint64_t>> enum_process_modules(ObjectHandle h,
                                                       uint32_t buffer_bytes) override {
        using R = Result<std::vector<uint64_t>>;
        auto call = net_.enter(op::EnumProcessModules);
        if (!call) return call.failure<std::vector<uint64_t>>();
        SimProcess* p = process_of(call, h, pa::kQueryInformation | pa::kVmRead);
        if (!p) return R::failure(last_);
        if (p->modules.empty() || !p->running()) return R::failure(kPartialCopy);
        std::vector<uint64_t> out;
        for (size_t i = 0; i < p->modules.size() && (out.size() + 1) * 8 <= buffer_bytes; ++i)
            out.push_back(module_base(i));
        return {status::kSuccess, std::move(out)};
    }

    Result<String> module_base_name(ObjectHandle h, uint64_t module,
                                    uint32_t buffer_chars) override {
        auto call = net_.enter(op::GetModuleBaseName);
        if (!call) return call.failure<String>();
        return module_text(call, h, module, buffer_chars, true);
    }

    Result<String> module_file_name(ObjectHandle h, uint64_t module,
                                    uint32_t buffer_chars) override {
        auto call = net_.enter(op::GetModuleFileNameEx);
        if (!call) return call.failure<String>();
        return module_text(call, h, module, buffer_chars, false);
    }

    Result<MemoryCounters> memory_info(ObjectHandle h) override {
        auto call = net_.enter(op::GetProcessMemoryInfo);
        if (!call) return call.failure<MemoryCounters>();
        SimProcess* p = process_of(call, h, pa::kQueryInformation);
        if (!p) return fail<MemoryCounters>(last_);
        // Looking at a process costs it a few page faults, as on the system.
        if (p->running()) grow(p->counters, 3, 0);
        return {status::kSuccess, p->counters};
    }

    Status close_handle(ObjectHandle h) override {
        auto call = net_.enter(op::CloseHandle);
        if (!call) return call.status();
        if (processes_.close(h) || threads_.close(h) || tokens_.close(h)) return status::kSuccess;
        return status::kInvalidHandle;
    }

    int32_t enum_vdm_tasks(uint32_t pid,
                           const std::function<bool(const platform::VdmTask&)>& task) override {
        auto call = net_.enter(op::VDMEnumTaskWOWEx);
        if (!call) return 0;
        SimProcess* p = table(call).find(pid);
        if (!p || !p->vdm || !p->running()) return 0;
        const auto tasks = p->vdm_tasks;  // the call-back may call the platform again
        for (const auto& t : tasks) {
            if (task(t)) break;
        }
        return static_cast<int32_t>(tasks.size());
    }

    // --- Starting, waiting, ending

    Result<platform::ProcessInformation> create_process(ObjectHandle token, StringView line,
                                                        const platform::StartupInfo& startup, bool,
                                                        uint32_t) override {
        using R = Result<platform::ProcessInformation>;
        auto call = net_.enter(token ? op::CreateProcessAsUser : op::CreateProcess,
                               {line, startup.desktop.value_or(String())});
        if (!call) return call.failure<platform::ProcessInformation>();
        ProcessesState& s = table(call);
        std::shared_ptr<SimToken> as;
        if (token) {
            TokenEntry* t = tokens_.find(token);
            if (!t) return R::failure(status::kInvalidHandle);
            as = std::make_shared<SimToken>(*t->token);
        } else {
            as = std::make_shared<SimToken>(*s.current().token);
        }
        if (line.size() > kMaxCommandLine) return R::failure(status::kInvalidParameter);
        if (startup.desktop && !startup.desktop->empty() &&
            !equal_ignore_case(*startup.desktop, u"winsta0\\default"))
            return R::failure(status::kAccessDenied);
        auto [word, args] = split_command(line);
        String path;
        const Program* program = find_program(word, path);
        if (!program) return R::failure(status::kFileNotFound);
        SimProcess& p = s.start(path, s.current_pid, std::move(as), program->behaviour(args));
        if (p.behaviour.runs_for == 0u) s.end(p, p.behaviour.exit_code);
        platform::ProcessInformation info;
        info.process = processes_.open({p.pid, pa::kAllAccess});
        info.thread = threads_.open({p.pid, false});
        info.process_id = p.pid;
        info.thread_id = p.pid + 1;
        return {status::kSuccess, info};
    }

    Status wait(ObjectHandle h, uint32_t ms) override {
        auto call = net_.enter(op::WaitForSingleObject);
        if (!call) return call.status();
        ProcessesState& s = table(call);
        uint32_t pid = 0;
        if (ProcessEntry* e = processes_.find(h)) {
            if (!(e->access & pa::kSynchronize) && e->access != pa::kAllAccess)
                return status::kAccessDenied;
            pid = e->pid;
        } else if (ThreadEntry* t = threads_.find(h)) {
            if (t->remote) return status::kSuccess;  // its one call has run
            pid = t->pid;
        } else {
            return status::kInvalidHandle;
        }
        SimProcess* p = s.find(pid);
        if (!p || !p->running()) return status::kSuccess;
        // The simulation never blocks: a process that does not end by itself
        // lets any wait, an infinite one too, run out.
        if (p->behaviour.runs_for) {
            const uint64_t end = p->started_ms + *p->behaviour.runs_for;
            if (ms == platform::kInfinite || end <= s.clock_ms + ms) {
                pass_time(net_, end - std::min(end, s.clock_ms));
                return status::kSuccess;
            }
        }
        if (ms != platform::kInfinite) pass_time(net_, ms);
        return status::kWaitTimeout;
    }

    Result<uint32_t> exit_code(ObjectHandle h) override {
        auto call = net_.enter(op::GetExitCodeProcess);
        if (!call) return call.failure<uint32_t>();
        ProcessEntry* e = processes_.find(h);
        if (!e) return fail<uint32_t>(status::kInvalidHandle);
        if (!(e->access & pa::kQueryInformation)) return fail<uint32_t>(status::kAccessDenied);
        SimProcess* p = table(call).find(e->pid);
        return {status::kSuccess, p && p->exit_code ? *p->exit_code : platform::kStillActive};
    }

    Status terminate(ObjectHandle h, uint32_t code) override {
        auto call = net_.enter(op::TerminateProcess);
        if (!call) return call.status();
        SimProcess* p = process_of(call, h, pa::kTerminate);
        if (!p) return last_;
        if (!p->running() || p->protected_process) return status::kAccessDenied;
        table(call).end(*p, code);
        return status::kSuccess;
    }

    Result<ObjectHandle> duplicate_handle(ObjectHandle h) override {
        auto call = net_.enter(op::DuplicateHandle);
        if (!call) return call.failure<ObjectHandle>();
        if (ProcessEntry* e = processes_.find(h)) {
            const ProcessEntry copy = *e;
            return {status::kSuccess, processes_.open(copy)};
        }
        if (TokenEntry* t = tokens_.find(h)) {
            const TokenEntry copy = *t;
            return {status::kSuccess, tokens_.open(copy)};
        }
        return fail<ObjectHandle>(status::kInvalidHandle);
    }

    Result<uint64_t> procedure_address(StringView module, StringView name) override {
        auto call = net_.enter(op::GetProcAddress, {module, name});
        if (!call) return call.failure<uint64_t>();
        if (!equal_ignore_case(module, u"Kernel32") && !equal_ignore_case(module, u"kernel32.dll"))
            return fail<uint64_t>(kModuleNotFound);
        if (name != u"ExitProcess") return fail<uint64_t>(kProcNotFound);
        return {status::kSuccess, kExitProcessAddress};
    }

    Result<ObjectHandle> create_remote_thread(ObjectHandle h, uint64_t start,
                                              uint64_t parameter) override {
        auto call = net_.enter(op::CreateRemoteThread);
        if (!call) return call.failure<ObjectHandle>();
        SimProcess* p = process_of(call, h, pa::kCreateThread);
        if (!p) return fail<ObjectHandle>(last_);
        if (!p->running() || !p->behaviour.remote_exit)
            return fail<ObjectHandle>(status::kAccessDenied);
        if (start == kExitProcessAddress) table(call).end(*p, static_cast<uint32_t>(parameter));
        return {status::kSuccess, threads_.open({p->pid, true})};
    }

    // --- Windows

    Status enum_windows(const std::function<bool(WindowHandle)>& each) override {
        std::vector<WindowHandle> list;
        {
            auto call = net_.enter(op::EnumWindows);
            if (!call) return call.status();
            for (const auto& w : table(call).windows)
                list.push_back(w.handle);
        }
        for (WindowHandle w : list) {
            if (!each(w)) break;
        }
        return status::kSuccess;
    }

    String window_text(WindowHandle window, uint32_t buffer_chars) override {
        auto call = net_.hold();
        const SimWindow* w = find_window(call, window);
        if (!w || buffer_chars == 0) return {};
        return w->title.substr(0, buffer_chars - 1);
    }

    uint32_t window_process_id(WindowHandle window) override {
        auto call = net_.hold();
        const SimWindow* w = find_window(call, window);
        return w ? w->pid : 0;
    }

    Status post_message(WindowHandle window, uint32_t message, uint64_t, int64_t) override {
        auto call = net_.enter(op::PostMessage);
        if (!call) return call.status();
        const SimWindow* w = find_window(call, window);
        if (!w) return status::kInvalidWindowHandle;
        ProcessesState& s = table(call);
        SimProcess* p = s.find(w->pid);
        // The program handles the message a little later, as a real one would.
        if (message == kWmClose && p && p->running() && p->behaviour.closes_on_request) {
            p->behaviour.runs_for = s.clock_ms - p->started_ms + kCloseDelayMs;
            p->behaviour.exit_code = 0;
        }
        return status::kSuccess;
    }

    bool is_window(WindowHandle window) override {
        auto call = net_.hold();
        return find_window(call, window) != nullptr;
    }

    // --- Window stations and desktops

    Result<ObjectHandle> process_window_station() override {
        auto call = net_.enter(op::GetProcessWindowStation);
        if (!call) return call.failure<ObjectHandle>();
        return {status::kSuccess, kBorrowedStation};
    }

    Result<ObjectHandle> thread_desktop() override {
        auto call = net_.enter(op::GetThreadDesktop);
        if (!call) return call.failure<ObjectHandle>();
        return {status::kSuccess, kBorrowedDesktop};
    }

    Result<ObjectHandle> open_window_station(StringView name, uint32_t access) override {
        auto call = net_.enter(op::OpenWindowStation, {name});
        if (!call) return call.failure<ObjectHandle>();
        if (!equal_ignore_case(name, table(call).window_station.name))
            return fail<ObjectHandle>(status::kFileNotFound);
        return {status::kSuccess, stations_.open({false, access})};
    }

    Result<ObjectHandle> open_desktop(StringView name, uint32_t access) override {
        auto call = net_.enter(op::OpenDesktop, {name});
        if (!call) return call.failure<ObjectHandle>();
        if (!equal_ignore_case(name, table(call).desktop.name))
            return fail<ObjectHandle>(status::kFileNotFound);
        return {status::kSuccess, desktops_.open({true, access})};
    }

    Status set_process_window_station(ObjectHandle station) override {
        auto call = net_.enter(op::SetProcessWindowStation);
        if (!call) return call.status();
        if (station != kBorrowedStation && !stations_.find(station)) return status::kInvalidHandle;
        table(call).process_station = table(call).window_station.name;
        return status::kSuccess;
    }

    Status set_thread_desktop(ObjectHandle desktop) override {
        auto call = net_.enter(op::SetThreadDesktop);
        if (!call) return call.status();
        if (desktop != kBorrowedDesktop && !desktops_.find(desktop)) return status::kInvalidHandle;
        table(call).thread_desktop = table(call).desktop.name;
        return status::kSuccess;
    }

    Status close_window_station(ObjectHandle station) override {
        auto call = net_.enter(op::CloseWindowStation);
        if (!call) return call.status();
        return stations_.close(station) ? status::kSuccess : status::kInvalidHandle;
    }

    Status close_desktop(ObjectHandle desktop) override {
        auto call = net_.enter(op::CloseDesktop);
        if (!call) return call.status();
        return desktops_.close(desktop) ? status::kSuccess : status::kInvalidHandle;
    }

    Result<AccessList> window_object_access(ObjectHandle object) override {
        auto call = net_.enter(op::GetSecurityInfo);
        if (!call) return call.failure<AccessList>();
        WindowObject* o = user_object(call, object, kReadControl);
        if (!o) return fail<AccessList>(last_);
        return {status::kSuccess, o->access};
    }

    Status set_window_object_access(ObjectHandle object, const AccessList& list) override {
        auto call = net_.enter(op::SetSecurityInfo);
        if (!call) return call.status();
        WindowObject* o = user_object(call, object, kWriteDac);
        if (!o) return last_;
        for (const auto& e : list) {
            if (!e.trustee.valid()) return status::kInvalidSid;
        }
        o->access = list;
        return status::kSuccess;
    }

    // --- Tokens, logon, profiles

    Result<ObjectHandle> open_process_token(uint32_t access) override {
        auto call = net_.enter(op::OpenProcessToken);
        if (!call) return call.failure<ObjectHandle>();
        return {status::kSuccess, tokens_.open({table(call).current().token, access})};
    }

    Result<ObjectHandle> open_thread_token(uint32_t access, bool) override {
        auto call = net_.enter(op::OpenThreadToken);
        if (!call) return call.failure<ObjectHandle>();
        ProcessesState& s = table(call);
        if (!s.impersonation) return fail<ObjectHandle>(status::kNoTokenForThread);
        return {status::kSuccess, tokens_.open({s.impersonation, access})};
    }

    uint32_t token_groups_size(ObjectHandle token) override {
        auto call = net_.enter(op::GetTokenInformation);
        if (!call) return 0;
        TokenEntry* t = tokens_.find(token);
        if (!t || !(t->access & platform::token_access::kQuery)) return 0;
        return groups_bytes(*t->token);
    }

    Result<std::vector<TokenGroup>> token_groups(ObjectHandle token,
                                                 uint32_t buffer_bytes) override {
        using R = Result<std::vector<TokenGroup>>;
        auto call = net_.enter(op::GetTokenInformation);
        if (!call) return call.failure<std::vector<TokenGroup>>();
        TokenEntry* t = tokens_.find(token);
        if (!t) return R::failure(status::kInvalidHandle);
        if (!(t->access & platform::token_access::kQuery)) return R::failure(status::kAccessDenied);
        if (buffer_bytes < groups_bytes(*t->token)) return R::failure(status::kInsufficientBuffer);
        return {status::kSuccess, t->token->groups};
    }

    Result<Luid> lookup_privilege_value(StringView system, StringView name) override {
        auto call = net_.enter(op::LookupPrivilegeValue, system, {name});
        if (!call) return call.failure<Luid>();
        for (const auto& p : platform::kPrivilegeNames) {
            if (equal_ignore_case(p.name, name)) return {status::kSuccess, Luid{p.luid, 0}};
        }
        return fail<Luid>(status::kNoSuchPrivilege);
    }

    Result<std::vector<PrivilegeState>> adjust_token_privileges(
        ObjectHandle token, const std::vector<PrivilegeState>& new_state) override {
        using R = Result<std::vector<PrivilegeState>>;
        auto call = net_.enter(op::AdjustTokenPrivileges);
        if (!call) return call.failure<std::vector<PrivilegeState>>();
        TokenEntry* t = tokens_.find(token);
        if (!t) return R::failure(status::kInvalidHandle);
        if (!(t->access & platform::token_access::kAdjustPrivileges))
            return R::failure(status::kAccessDenied);
        std::vector<PrivilegeState> previous;
        bool all = true;
        for (const auto& wanted : new_state) {
            PrivilegeState* held =
                wanted.luid.high == 0 ? t->token->find(wanted.luid.low) : nullptr;
            if (!held) {
                all = false;
                continue;
            }
            const uint32_t before = held->attributes;
            const uint32_t after = (wanted.attributes & platform::se::kPrivilegeEnabled)
                                       ? before | platform::se::kPrivilegeEnabled
                                       : before & ~platform::se::kPrivilegeEnabled;
            if (after != before) {
                previous.push_back({held->luid, before});
                held->attributes = after;
            }
        }
        return {all ? status::kSuccess : status::kNotAllAssigned, std::move(previous)};
    }

    Result<ObjectHandle> logon_user(StringView user, StringView domain, StringView password,
                                    uint32_t logon_type, uint32_t) override {
        auto call = net_.enter(op::LogonUser, {user, domain, password});
        if (!call) return call.failure<ObjectHandle>();
        Machine& m = call.machine();
        if (logon_type < 2 || logon_type > 5) return fail<ObjectHandle>(status::kInvalidParameter);
        // A local account is checked here; a domain account by a controller
        // of its domain, which keeps the counters.
        Machine* at = &m;
        if (!(domain.empty() || domain == u"." || equal_ignore_case(domain, m.name))) {
            at = domain_controller(net_, domain);
            if (!at) return fail<ObjectHandle>(status::kNoSuchDomain);
        }
        AccountDatabase* db = &account_database(net_, *at);
        UserAccount* u = db->user(user);
        // The machine the logon was tried at audits it.
        const String logon_type_text = decimal(logon_type);
        const auto failed = [&](Audit event, Status rc) {
            audit(net_, m, event, false, platform::sid::local_system().bytes(),
                  {String(user), String(domain), logon_type_text, u"Advapi", u"Negotiate", m.name});
            return fail<ObjectHandle>(rc);
        };
        if (!u) return failed(Audit::LogonFailed, status::kLogonFailure);
        if (const Status rc = logon_status(m, *db, *u, *at, password); rc != status::kSuccess)
            return failed(
                rc == status::kAccountLockedOut ? Audit::LogonLockedOut : Audit::LogonFailed, rc);
        const platform::Sid sid = db->domain_sid.with_rid(u->info.user_id);
        audit(net_, m, Audit::Logon, true, sid.bytes(),
              {u->info.name, db->domain_name,
               u"(0x0," + decimal(0x3E7 + net_.handles().open_count()) + u")", logon_type_text,
               u"Advapi", u"Negotiate", m.name});
        auto token = make_token(net_, m, sid);
        return {status::kSuccess,
                tokens_.open({std::move(token), platform::token_access::kQuery |
                                                    platform::token_access::kAdjustPrivileges})};
    }

    Status impersonate(ObjectHandle token) override {
        auto call = net_.enter(op::ImpersonateLoggedOnUser);
        if (!call) return call.status();
        TokenEntry* t = tokens_.find(token);
        if (!t) return status::kInvalidHandle;
        table(call).impersonation = t->token;
        return status::kSuccess;
    }

    Status revert_to_self() override {
        auto call = net_.enter(op::RevertToSelf);
        if (!call) return call.status();
        table(call).impersonation.reset();
        return status::kSuccess;
    }

    Result<ObjectHandle> load_user_profile(ObjectHandle token,
                                           const platform::ProfileInfo& profile) override {
        auto call = net_.enter(op::LoadUserProfile,
                               {profile.user_name, profile.profile_path, profile.default_path,
                                profile.server_name, profile.policy_path});
        if (!call) return call.failure<ObjectHandle>();
        if (!tokens_.find(token)) return fail<ObjectHandle>(status::kInvalidHandle);
        if (profile.user_name.empty()) return fail<ObjectHandle>(status::kInvalidParameter);
        table(call).profiles_loaded.push_back(profile.user_name);
        return {status::kSuccess, profiles_.open({profile.user_name})};
    }

    Status unload_user_profile(ObjectHandle token, ObjectHandle profile) override {
        auto call = net_.enter(op::UnloadUserProfile);
        if (!call) return call.status();
        ProfileEntry* e = profiles_.find(profile);
        if (!e || !tokens_.find(token)) return status::kInvalidHandle;
        auto& loaded = table(call).profiles_loaded;
        if (auto it = std::find(loaded.begin(), loaded.end(), e->user); it != loaded.end())
            loaded.erase(it);
        profiles_.close(profile);
        return status::kSuccess;
    }

    // --- Shutdown

    Status initiate_shutdown(StringView machine, StringView message, uint32_t timeout, bool force,
                             bool reboot) override {
        // A name of backslashes only names no machine (and not the local one).
        if (!machine.empty() && machine.find_first_not_of(u'\\') == StringView::npos)
            return status::kInvalidName;
        auto call = net_.enter(op::InitiateSystemShutdown, machine, {message});
        if (!call) return call.status();
        Machine& target = call.machine();
        const bool remote = &target != &net_.local();
        if (!caller_token().enabled(remote ? platform::privilege::kRemoteShutdown
                                           : platform::privilege::kShutdown))
            return status::kPrivilegeNotHeld;
        ProcessesState& s = process_table(net_, target);
        // A log-off asked before is over; a shutdown is under way until the machine is back.
        if (std::any_of(s.shutdowns.begin(), s.shutdowns.end(),
                        [](const ShutdownRequest& r) { return r.powers_down(); }))
            return status::kShutdownInProgress;
        ShutdownRequest r;
        r.remote = remote;
        r.message = String(message);
        r.timeout = timeout;
        r.force = force;
        r.reboot = reboot;
        // The machine goes down; the local one keeps the simulated script
        // running. A restart answers again after its countdown and a boot.
        if (remote) {
            target.reachable = false;
            if (reboot) r.back_at_ms = s.clock_ms + uint64_t{timeout} * 1000 + kBootMs;
        }
        s.shutdowns.push_back(std::move(r));
        return status::kSuccess;
    }

    Status exit_windows(uint32_t flags, uint32_t) override {
        namespace ewx = platform::ewx;
        auto call = net_.enter(op::ExitWindowsEx);
        if (!call) return call.status();
        if (flags & ~0x1Fu) return status::kInvalidParameter;
        const bool power = (flags & (ewx::kShutdown | ewx::kReboot | ewx::kPowerOff)) != 0;
        if (power && !table(call).current().token->enabled(platform::privilege::kShutdown))
            return status::kPrivilegeNotHeld;
        ShutdownRequest r;
        r.by_exit_windows = true;
        r.exit_windows_flags = flags;
        r.force = (flags & ewx::kForce) != 0;
        r.reboot = (flags & ewx::kReboot) != 0;
        table(call).shutdowns.push_back(std::move(r));
        return status::kSuccess;
    }

  private:
    static constexpr Status kPartialCopy = 299;     // ERROR_PARTIAL_COPY
    static constexpr Status kModuleNotFound = 126;  // ERROR_MOD_NOT_FOUND
    static constexpr Status kProcNotFound = 127;    // ERROR_PROC_NOT_FOUND

    template <class T>
    static Result<T> fail(Status s) {
        return Result<T>::failure(s);
    }
    static uint64_t module_base(size_t index) {
        return index == 0 ? kProgramBase : kSystemModuleBase - 0x100000 * (index - 1);
    }

    ProcessesState& table(Call& call) { return process_table(net_, call.machine()); }

    // The process behind a handle opened with `needed` access; null with
    // last_ set otherwise.
    SimProcess* process_of(Call& call, ObjectHandle h, uint32_t needed) {
        ProcessEntry* e = processes_.find(h);
        if (!e) {
            last_ = status::kInvalidHandle;
            return nullptr;
        }
        if ((e->access & needed) != needed) {
            last_ = status::kAccessDenied;
            return nullptr;
        }
        SimProcess* p = table(call).find(e->pid);
        if (!p) last_ = status::kInvalidHandle;
        return p;
    }

    Result<String> module_text(Call& call, ObjectHandle h, uint64_t module, uint32_t chars,
                               bool base_name) {
        SimProcess* p = process_of(call, h, pa::kQueryInformation | pa::kVmRead);
        if (!p) return fail<String>(last_);
        if (!p->running()) return fail<String>(kPartialCopy);
        for (size_t i = 0; i < p->modules.size(); ++i) {
            if (module_base(i) != module) continue;
            if (chars == 0) return fail<String>(status::kInsufficientBuffer);
            const String text = base_name ? file_part(p->modules[i]) : p->modules[i];
            return {status::kSuccess, text.substr(0, chars - 1)};
        }
        return fail<String>(status::kInvalidHandle);
    }

    const SimWindow* find_window(Call& call, WindowHandle window) {
        for (const auto& w : table(call).windows) {
            if (w.handle == window) return &w;
        }
        return nullptr;
    }

    WindowObject* user_object(Call& call, ObjectHandle h, uint32_t needed) {
        ProcessesState& s = table(call);
        UserObjectEntry* e = stations_.find(h);
        if (!e) e = desktops_.find(h);
        if (!e) {
            last_ = (h == kBorrowedStation || h == kBorrowedDesktop) ? status::kAccessDenied
                                                                     : status::kInvalidHandle;
            return nullptr;
        }
        if (!(e->access & needed)) {
            last_ = status::kAccessDenied;
            return nullptr;
        }
        return e->desktop ? &s.desktop : &s.window_station;
    }

    // The token the calling thread acts with: its impersonation, else the process's.
    SimToken& caller_token() {
        ProcessesState& s = process_table(net_, net_.local());
        return s.impersonation ? *s.impersonation : *s.current().token;
    }

    Network& net_;
    HandleTable<ProcessEntry> processes_;
    HandleTable<ThreadEntry> threads_;
    HandleTable<TokenEntry> tokens_;
    HandleTable<UserObjectEntry> stations_;
    HandleTable<UserObjectEntry> desktops_;
    HandleTable<ProfileEntry> profiles_;
    Status last_ = status::kSuccess;
};

}  // namespace

std::shared_ptr<platform::Processes> make_processes(Network& net) {
    return std::make_shared<SimProcesses>(net);
}

}  // namespace vorlek::sim
