#include "processes/process.h"

#include <utility>

#include "automation/text.h"
#include "computers/computer.h"
#include "platform/c_strings.h"
#include "platform/platform.h"
#include "platform/processes.h"

namespace vorlek {

namespace {

using platform::ObjectHandle;
using platform::Status;
using platform::WindowHandle;
namespace pa = platform::process_access;
namespace status = platform::status;

platform::Processes& procs() {
    return platform::current().processes();
}

// A handle the member opened, released by `close` when it goes (on every
// path, a run-time error's included).
class Held {
  public:
    using Close = Status (platform::Processes::*)(ObjectHandle);
    explicit Held(ObjectHandle h = 0, Close close = &platform::Processes::close_handle)
        : handle_(h), close_(close) {}
    Held(const Held&) = delete;
    Held& operator=(const Held&) = delete;
    ~Held() { reset(); }
    ObjectHandle get() const noexcept { return handle_; }
    void reset(ObjectHandle h = 0) {
        if (handle_) (procs().*close_)(handle_);
        handle_ = h;
    }

  private:
    ObjectHandle handle_;
    Close close_;
};

constexpr uint32_t kQueryAndRead = pa::kQueryInformation | pa::kVmRead;  // 0x410
constexpr uint32_t kModuleBytes = 512;
constexpr uint32_t kNameChars = 260;
constexpr uint32_t kTitleChars = 255;
constexpr uint32_t kSyncTerminate = pa::kSynchronize | pa::kTerminate;  // 0x100001
constexpr uint32_t kWmClose = 0x10;
constexpr uint32_t kExitCodeForced = 0xFFFFFFFF;
constexpr uint32_t kStationAccess = 0x60000;  // READ_CONTROL | WRITE_DAC
constexpr uint32_t kDesktopAccess = 0x60081;  // ... | DESKTOP_READOBJECTS | DESKTOP_WRITEOBJECTS
constexpr uint32_t kStationGrant = 0xF00F037F;
constexpr uint32_t kDesktopGrant = 0xF01FF;
constexpr uint32_t kNewConsole = 0x30;  // CREATE_NEW_CONSOLE | NORMAL_PRIORITY_CLASS
constexpr uint32_t kShowNormal = 1, kHide = 0, kUseShowWindow = 1;
constexpr StringView kNoPdc = u"#####";

// A wait in milliseconds: INFINITE (-1) or a non-negative time. Other
// negative values would wait for about 49 days and are refused.
bool usable_wait(int32_t wait) {
    return wait >= 0 || wait == Process::kInfinite;
}

// The first top-level window `pick` accepts; 0 when none does.
template <class Pick>
WindowHandle find_window(Pick&& pick) {
    WindowHandle found = 0;
    procs().enum_windows([&](WindowHandle w) {
        if (!pick(w)) return true;
        found = w;
        return false;
    });
    return found;
}

WindowHandle first_window_of(uint32_t pid) {
    return find_window([pid](WindowHandle w) { return procs().window_process_id(w) == pid; });
}

// The process is made to call ExitProcess with `code` on a thread of its
// own; `ended` tells whether it ended within `wait` milliseconds.
struct RemoteExit {
    Status status = status::kSuccess;
    bool ended = false;
};

RemoteExit remote_exit(uint32_t pid, uint32_t code, uint32_t wait) {
    auto& p = procs();
    auto opened = p.open_process(pa::kAllAccess, false, pid);
    if (!opened.ok()) return {opened.status};
    Held process(opened.value);
    auto duplicate = p.duplicate_handle(process.get());
    if (!duplicate.ok()) return {duplicate.status};
    Held target(duplicate.value);
    auto exit_code = p.exit_code(target.get());
    if (!exit_code.ok()) return {exit_code.status};
    if (exit_code.value != platform::kStillActive) return {status::kProcessAborted};
    auto address = p.procedure_address(u"Kernel32", u"ExitProcess");
    if (!address.ok()) return {address.status};
    auto thread = p.create_remote_thread(target.get(), address.value, code);
    if (!thread.ok()) return {thread.status};
    Held remote(thread.value);
    const Status waited = p.wait(target.get(), wait);
    if (waited != status::kSuccess && waited != status::kWaitTimeout) return {waited};
    return {status::kSuccess, waited == status::kSuccess};
}

Status terminate(uint32_t pid) {
    auto opened = procs().open_process(kSyncTerminate, false, pid);
    if (!opened.ok()) return opened.status;
    Held process(opened.value);
    return procs().terminate(process.get(), kExitCodeForced);
}

}  // namespace

// ---------------------------------------------------------------------------
// The member table

namespace {

template <size_t... I>
void add_privilege_names(ClassBuilder<Process>& b, std::index_sequence<I...>) {
    (b.get<&Process::PrivilegeName<I>>(Process::kPrivileges[I].member, {},
                                       u"Returns a privilege string"),
     ...);
}

}  // namespace

const ClassInfo& Process::info() {
    static const ClassInfo info = [] {
        static constexpr StringView kProcessesHelp = u"Collection of the process(es)";
        ClassBuilder<Process> b(u"Process");
        b.get<&Process::Processes>(u"Processes", {}, kProcessesHelp)
            .set<&Process::SetProcesses>(u"Processes", kProcessesHelp)
            .let<&Process::SetBaseName>(u"SetBaseName",
                                        u"Sets the 'filter' od the process(es) to return")
            .get<&Process::ModuleBaseName>(u"ModuleBaseName")
            .get<&Process::ModuleFileName>(u"ModuleFileName")
            .get<&Process::ProcessPID>(u"ProcessPID")
            .get<&Process::PageFaultCount>(u"PageFaultCount")
            .get<&Process::PeakWorkingSetSize>(u"PeakWorkingSetSize")
            .get<&Process::WorkingSetSize>(u"WorkingSetSize")
            .get<&Process::PeakPagedPoolUsage>(u"PeakPagedPoolUsage")
            .get<&Process::PagedPoolUsage>(u"PagedPoolUsage")
            .get<&Process::PeakNonPagedPoolUsage>(u"PeakNonPagedPoolUsage")
            .get<&Process::NonPagedPoolUsage>(u"NonPagedPoolUsage")
            .get<&Process::PagefileUsage>(u"PagefileUsage")
            .get<&Process::PeakPagefileUsage>(u"PeakPagefileUsage")
            .get<&Process::ExitCode>(u"ExitCode", {},
                                     u"Returnes the exit code of a process,  after it ends");
        add_privilege_names(b, std::make_index_sequence<kPrivileges.size()>());
        b.constant(u"INFINITE", kInfinite,
                   u"Returnes the long value, which represents the time to wait for process to "
                   u"end")
            .method<&Process::SetMyTokenPrivileges>(
                u"SetMyTokenPrivileges", {param(u"strPrivilege"), param(u"booEnable")},
                u"Enables or disables a privilege for the current process")
            .let<&Process::SetNtvdmID>(
                u"SetNtvdmID", u"Inits a collection of 16 Bit threads of the specified VDM process")
            .method<&Process::EndProcess>(
                u"EndProcess",
                {optional(u"lngProcessID"), optional(u"strApplication"), optional(u"strPath"),
                 optional(u"booForce", false), optional(u"lngWait", -1)},
                u"Ends a process")
            .method<&Process::StartProcess>(
                u"StartProcess",
                {param(u"strPath"), optional(u"lngWait", 0), optional(u"booVisible", true),
                 optional(u"strUser", u""), optional(u"strPassword", u""),
                 optional(u"strDomain", u"."), optional(u"booLoadProfile", false),
                 optional(u"strProfilePath", u"")},
                u"Starts a process");
        return b.build();
    }();
    return info;
}

// ---------------------------------------------------------------------------
// Enumeration

Ref<Process> Process::load(uint32_t pid) {
    auto item = make<Process>();
    item->pid_ = as_long(pid);
    item->base_name_ = u"NULL";
    auto& p = procs();
    auto opened = p.open_process(kQueryAndRead, false, pid);
    if (!opened.ok()) return item;
    Held process(opened.value);
    auto modules = p.enum_process_modules(process.get(), kModuleBytes);
    if (modules.ok() && !modules.value.empty()) {
        const uint64_t program = modules.value.front();
        item->base_name_ = p.module_base_name(process.get(), program, kNameChars).value;
        item->file_name_ = p.module_file_name(process.get(), program, kNameChars).value;
    }
    auto memory = p.memory_info(process.get());
    if (memory.ok()) {
        const auto& m = memory.value;
        item->counters_ = {
            as_long(m.page_fault_count),           as_long(m.peak_working_set_size),
            as_long(m.working_set_size),           as_long(m.quota_peak_paged_pool_usage),
            as_long(m.quota_paged_pool_usage),     as_long(m.quota_peak_non_paged_pool_usage),
            as_long(m.quota_non_paged_pool_usage), as_long(m.pagefile_usage),
            as_long(m.peak_pagefile_usage)};
    }
    return item;
}

std::vector<Ref<Process>> Process::snapshot() {
    // The buffer doubles until the call leaves part of it unused, so every
    // id fitted; a bound keeps a misbehaving call from doubling forever.
    uint32_t buffer = 8, reported = 96;
    std::vector<uint32_t> ids;
    while (buffer <= reported && buffer < kMaxIdBytes) {
        buffer *= 2;
        auto listed = procs().enum_processes(buffer);
        if (!listed.ok()) return {};
        reported = static_cast<uint32_t>(listed.value.size() * 4);
        ids = std::move(listed.value);
    }
    const String debug(kPrivileges[kDebugName].value);
    SetMyTokenPrivileges(debug, true);
    std::vector<Ref<Process>> items;
    items.reserve(ids.size());
    for (uint32_t id : ids)
        items.push_back(load(id));
    SetMyTokenPrivileges(debug, false);
    return items;
}

void Process::SetBaseName(String pattern) {
    if (pattern.empty()) return;
    filter_ = trim_spaces(pattern);
    processes_ = make<Collection>();
    const String wanted = to_upper(filter_);
    for (auto& item : snapshot()) {
        if (!matches_pattern(to_upper(item->base_name_), wanted)) continue;
        const String key = decimal(item->pid_);
        skip([&] { processes_->add(Variant(std::move(item)), key); });
    }
}

void Process::SetNtvdmID(int32_t lngProcessID) {
    processes_ = make<Collection>();
    struct Task {
        String module;
        String file;
        uint32_t thread;
    };
    std::vector<Task> tasks;
    const int32_t found = procs().enum_vdm_tasks(
        static_cast<uint32_t>(lngProcessID), [&](const platform::VdmTask& t) {
            tasks.push_back({t.module_name, t.file_name, t.thread_id});
            return false;  // go on
        });
    if (found <= 0) return;
    for (auto& t : tasks) {
        auto item = make<Process>();
        item->base_name_ = std::move(t.module);
        item->file_name_ = std::move(t.file);
        item->pid_ = as_long(t.thread);
        const String key = decimal(item->pid_);
        skip([&] { processes_->add(Variant(std::move(item)), key); });
    }
}

// ---------------------------------------------------------------------------
// Privileges

int32_t Process::SetMyTokenPrivileges(String strPrivilege, bool booEnable) {
    auto& p = procs();
    auto opened = p.open_process_token(platform::token_access::kAdjustPrivileges |
                                       platform::token_access::kQuery);
    if (!opened.ok()) return as_long(opened.status);
    Held token(opened.value);
    auto luid = p.lookup_privilege_value(u"", strPrivilege);
    if (!luid.ok()) return as_long(luid.status);
    // First switched off, which gives its state before; then that state
    // with the enabled bit as asked.
    auto previous = p.adjust_token_privileges(token.get(), {{luid.value, 0}});
    if (!previous.ok()) return as_long(previous.status);
    platform::PrivilegeState state{luid.value, 0};
    for (const auto& before : previous.value) {
        if (before.luid == luid.value) state.attributes = before.attributes;
    }
    if (booEnable)
        state.attributes |= platform::se::kPrivilegeEnabled;
    else
        state.attributes &= ~platform::se::kPrivilegeEnabled;
    return as_long(p.adjust_token_privileges(token.get(), {state}).status);
}

// ---------------------------------------------------------------------------
// Ending

int32_t Process::EndProcess(int32_t lngProcessID, String strApplication, String strPath,
                            bool booForce, int32_t lngWait) {
    if (lngProcessID == 0 && strApplication.empty() && strPath.empty())
        return as_long(status::kInvalidParameter);
    if (!usable_wait(lngWait)) return as_long(status::kInvalidParameter);
    const uint32_t wait = static_cast<uint32_t>(lngWait);
    auto& p = procs();

    uint32_t pid = static_cast<uint32_t>(lngProcessID);
    if (lngProcessID == 0 && !strApplication.empty()) {
        const String wanted = to_upper(strApplication);
        const WindowHandle w = find_window([&](WindowHandle w) {
            return matches_pattern(to_upper(trim_spaces(p.window_text(w, kTitleChars))), wanted);
        });
        if (!w) return as_long(status::kInvalidWindowHandle);
        pid = p.window_process_id(w);
    } else if (lngProcessID == 0) {
        const String wanted = to_upper(strPath);
        const bool by_path = strPath.find(u'\\') != String::npos;
        bool found = false;
        for (const auto& item : snapshot()) {
            if (matches_pattern(to_upper(by_path ? item->file_name_ : item->base_name_), wanted)) {
                pid = static_cast<uint32_t>(item->pid_);
                found = true;
                break;
            }
        }
        if (!found) return as_long(status::kPathNotFound);
    }

    const WindowHandle window = first_window_of(pid);
    if (!window) {
        const RemoteExit asked = remote_exit(pid, kExitCodeForced, wait);
        if (asked.status != status::kSuccess) return as_long(asked.status);
        // A process that did end is not terminated again (that would fail).
        if (lngWait != 0 && booForce && !asked.ended) return as_long(terminate(pid));
        return 0;
    }
    if (Status posted = p.post_message(window, kWmClose, 1, 1); posted != status::kSuccess)
        return as_long(posted);
    if (lngWait == 0) return 0;
    Status waited;
    {
        auto opened = p.open_process(kSyncTerminate, false, pid);
        if (!opened.ok()) return as_long(opened.status);
        Held process(opened.value);
        waited = p.wait(process.get(), wait);
    }
    if (waited != status::kSuccess && waited != status::kWaitTimeout) return as_long(waited);
    if (!p.is_window(window) && waited != status::kWaitTimeout) return 0;
    if (!booForce) return as_long(status::kWaitTimeout);
    const RemoteExit asked = remote_exit(pid, kExitCodeForced, wait);
    if (p.is_window(window)) return as_long(terminate(pid));
    if (asked.status == status::kProcessAborted) return 0;  // it ended meanwhile
    return as_long(asked.status);
}

// ---------------------------------------------------------------------------
// Starting

namespace {

// What StartProcess as another user changes and must put back, in the
// order it is put back: the window station and desktop, the profile, the
// impersonation, then the handles.
struct UserSession {
    Held token;
    ObjectHandle profile = 0;
    bool impersonating = false;
    ObjectHandle saved_station = 0;
    ObjectHandle saved_desktop = 0;
    bool station_switched = false;
    bool desktop_switched = false;
    Held station{0, &platform::Processes::close_window_station};
    Held desktop{0, &platform::Processes::close_desktop};

    UserSession() = default;
    UserSession(const UserSession&) = delete;
    UserSession& operator=(const UserSession&) = delete;
    ~UserSession() {
        auto& p = procs();
        if (station_switched) p.set_process_window_station(saved_station);
        if (desktop_switched) p.set_thread_desktop(saved_desktop);
        // Opened ones are closed only once they are no longer in use.
        station.reset();
        desktop.reset();
        unload_profile();
        if (impersonating) p.revert_to_self();
    }
    void unload_profile() {
        if (profile) procs().unload_user_profile(token.get(), std::exchange(profile, 0));
    }
};

// Lets the account use the interactive window station and desktop.
int32_t grant_desktop(UserSession& s, const String& user, const String& domain) {
    auto& p = procs();
    String system;
    if (domain != u".") {
        system = make<Computer>()->GetPDCName(u"", domain, String(kNoPdc));
        if (system == kNoPdc) return Process::kNoController;
    }
    auto account = platform::current().security().lookup_account_name(system, user);
    if (!account.ok()) return Process::kAccountNotFound;
    if (!account.value.sid.valid()) return Process::kBadAccountSid;
    const platform::Sid& sid = account.value.sid;

    auto saved_station = p.process_window_station();
    if (!saved_station.ok()) return as_long(saved_station.status);
    s.saved_station = saved_station.value;
    auto saved_desktop = p.thread_desktop();
    if (!saved_desktop.ok()) return as_long(saved_desktop.status);
    s.saved_desktop = saved_desktop.value;

    auto station = p.open_window_station(u"winsta0", kStationAccess);
    if (!station.ok()) return as_long(station.status);
    s.station.reset(station.value);
    if (Status rc = p.set_process_window_station(s.station.get()); rc != status::kSuccess)
        return as_long(rc);
    s.station_switched = true;
    auto grant = [&](ObjectHandle object, uint32_t mask) -> int32_t {
        auto list = p.window_object_access(object);
        if (!list.ok()) return Process::kNoAccessList;
        return as_long(p.set_window_object_access(
            object, platform::grant_access(std::move(list.value), sid, mask)));
    };
    if (int32_t rc = grant(s.station.get(), kStationGrant)) return rc;

    auto desktop = p.open_desktop(u"default", kDesktopAccess);
    if (!desktop.ok()) return as_long(desktop.status);
    s.desktop.reset(desktop.value);
    if (int32_t rc = grant(s.desktop.get(), kDesktopGrant)) return rc;
    if (Status rc = p.set_thread_desktop(s.desktop.get()); rc != status::kSuccess)
        return as_long(rc);
    s.desktop_switched = true;
    return 0;
}

}  // namespace

int32_t Process::StartProcess(String strPath, int32_t lngWait, bool booVisible, String strUser,
                              String strPassword, String strDomain, bool booLoadProfile,
                              String strProfilePath) {
    exit_code_ = 0;
    if (!usable_wait(lngWait)) return as_long(status::kInvalidParameter);
    auto& p = procs();
    const bool as_user = !strUser.empty();
    // The texts the start hands on are refused (123) before the logon, the
    // profile and the desktop's access list are touched for them.
    const StringView none;
    if (Status bad = platform::c_strings_status(
            {strPath, as_user ? strUser : none, as_user ? strPassword : none,
             as_user ? strDomain : none, as_user && booLoadProfile ? strProfilePath : none}))
        return as_long(bad);
    platform::StartupInfo startup;
    startup.flags = kUseShowWindow;
    startup.show_window = static_cast<uint16_t>(booVisible ? kShowNormal : kHide);
    if (!booVisible)
        startup.desktop = String();
    else if (as_user)
        startup.desktop = String(u"winsta0\\default");

    UserSession session;
    ObjectHandle token = 0;
    if (as_user) {
        auto logon = p.logon_user(strUser, strDomain, strPassword, platform::kLogonInteractive,
                                  platform::kLogonProviderDefault);
        if (!logon.ok()) return as_long(logon.status);
        session.token.reset(logon.value);
        token = logon.value;
        if (booLoadProfile) {
            platform::ProfileInfo profile;
            profile.flags = 1;  // PI_NOUI
            profile.user_name = strUser;
            profile.profile_path = profile.default_path = strProfilePath;
            auto loaded = p.load_user_profile(token, profile);
            if (!loaded.ok()) return as_long(loaded.status);
            session.profile = loaded.value;
        }
        if (int32_t rc = grant_desktop(session, strUser, strDomain)) return rc;
        if (Status rc = p.impersonate(token); rc != status::kSuccess) return as_long(rc);
        session.impersonating = true;
    }
    auto started = p.create_process(token, strPath, startup, true, kNewConsole);
    if (!started.ok()) return as_long(started.status);
    Held process(started.value.process);
    Held thread(started.value.thread);
    if (lngWait != 0) {
        const Status waited = p.wait(process.get(), static_cast<uint32_t>(lngWait));
        if (waited != status::kSuccess) return as_long(waited);
        auto code = p.exit_code(process.get());
        if (!code.ok()) return as_long(code.status);
        exit_code_ = as_long(code.value);
    }
    session.unload_profile();
    return 0;
}

}  // namespace vorlek
