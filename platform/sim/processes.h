// The processes of a simulated machine: ids, parents, programs with their
// modules, memory counters that move as the machine runs, tokens with
// groups and privileges, top-level windows, the interactive window station
// and desktop with their access lists, and the shutdowns asked of it.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <vector>

#include "platform/processes.h"
#include "platform/security_descriptor.h"
#include "platform/sim/faults.h"

namespace vorlek::sim {

class Network;
struct Machine;

// A token: whose it is, its groups and the privileges it holds.
struct SimToken {
    platform::Sid user;
    std::vector<platform::TokenGroup> groups;
    std::vector<platform::PrivilegeState> privileges;  // present ones; the enabled bit set or not

    platform::PrivilegeState* find(uint32_t luid);
    bool enabled(StringView privilege) const;
    // The user and the enabled groups, as an access check sees them.
    platform::AccessIdentity identity() const;
};

// What a program does once started.
struct ProgramBehaviour {
    std::optional<String> window;  // the title of its top-level window
    // Milliseconds of machine time until it ends by itself with `exit_code`;
    // nullopt: it runs until closed or ended.
    std::optional<uint64_t> runs_for;
    uint32_t exit_code = 0;
    // Whether the close message ends it (an editor with unsaved changes asks first).
    bool closes_on_request = true;
    // Whether a thread started at ExitProcess ends it (a protected process refuses).
    bool remote_exit = true;
};

struct SimProcess {
    uint32_t pid = 0;
    uint32_t parent = 0;
    String path;                  // full program path; "" for the idle and system processes
    std::vector<String> modules;  // paths, the program first
    platform::MemoryCounters counters;
    std::shared_ptr<SimToken> token;
    bool protected_process = false;     // OpenProcess refuses it (5)
    std::optional<uint32_t> exit_code;  // set once it has ended
    ProgramBehaviour behaviour;
    uint64_t started_ms = 0;                   // machine time it started at
    std::vector<platform::VdmTask> vdm_tasks;  // a virtual DOS machine's 16-bit tasks
    bool vdm = false;

    bool running() const noexcept { return !exit_code; }
};

struct SimWindow {
    platform::WindowHandle handle = 0;
    uint32_t pid = 0;
    String title;
};

struct WindowObject {
    String name;
    platform::AccessList access;
};

// A shutdown or log-off asked of the machine.
struct ShutdownRequest {
    bool remote = false;  // by InitiateSystemShutdown from another machine
    String message;
    uint32_t timeout = 0;
    bool force = false;
    bool reboot = false;
    uint32_t exit_windows_flags = 0;  // ExitWindowsEx; 0 for InitiateSystemShutdown
    bool by_exit_windows = false;
    // Machine time (ProcessesState::clock_ms) a restarted remote machine answers again at.
    std::optional<uint64_t> back_at_ms;

    // Whether the machine goes down (a log-off leaves it running).
    bool powers_down() const noexcept;
};

struct ProcessesState {
    // By id; an enumeration walks them in this order.
    std::map<uint32_t, SimProcess> processes;
    uint32_t next_pid = 1000;
    uint32_t current_pid = 0;  // the script host
    // The token the calling thread impersonates with; null: none.
    std::shared_ptr<SimToken> impersonation;
    std::vector<SimWindow> windows;  // z-order, topmost first
    platform::WindowHandle next_window = 0x10010;
    WindowObject window_station{u"WinSta0", {}};
    WindowObject desktop{u"Default", {}};
    // What the calling process and thread are switched to (the station and
    // desktop themselves, or another name nobody opened).
    String process_station = u"WinSta0";
    String thread_desktop = u"Default";
    uint64_t clock_ms = 0;  // machine time as processes see it; waits move it on
    std::vector<ShutdownRequest> shutdowns;
    std::vector<String> profiles_loaded;  // user names, while loaded
    bool built = false;

    SimProcess* find(uint32_t pid);
    SimProcess& current() { return *find(current_pid); }
    // Adds a running process of `path` (its modules: the program, then the
    // system's) with `token`; returns it.
    SimProcess& start(StringView path, uint32_t parent, std::shared_ptr<SimToken> token,
                      ProgramBehaviour behaviour = {});
    // Ends a process with a code: its windows go.
    void end(SimProcess& process, uint32_t code);
    // Moves machine time on by `ms`: processes whose time is up end.
    void advance(uint64_t ms);
    platform::WindowHandle add_window(uint32_t pid, StringView title);
};

namespace op {
inline constexpr Operation EnumProcesses{u"EnumProcesses"};
inline constexpr Operation OpenProcess{u"OpenProcess"};
inline constexpr Operation EnumProcessModules{u"EnumProcessModules"};
inline constexpr Operation GetModuleBaseName{u"GetModuleBaseName"};
inline constexpr Operation GetModuleFileNameEx{u"GetModuleFileNameEx"};
inline constexpr Operation GetProcessMemoryInfo{u"GetProcessMemoryInfo"};
inline constexpr Operation CloseHandle{u"CloseHandle"};
inline constexpr Operation VDMEnumTaskWOWEx{u"VDMEnumTaskWOWEx"};
inline constexpr Operation CreateProcess{u"CreateProcess"};
inline constexpr Operation CreateProcessAsUser{u"CreateProcessAsUser"};
inline constexpr Operation WaitForSingleObject{u"WaitForSingleObject"};
inline constexpr Operation GetExitCodeProcess{u"GetExitCodeProcess"};
inline constexpr Operation TerminateProcess{u"TerminateProcess"};
inline constexpr Operation DuplicateHandle{u"DuplicateHandle"};
inline constexpr Operation GetProcAddress{u"GetProcAddress"};
inline constexpr Operation CreateRemoteThread{u"CreateRemoteThread"};
inline constexpr Operation EnumWindows{u"EnumWindows"};
inline constexpr Operation PostMessage{u"PostMessage"};
inline constexpr Operation GetProcessWindowStation{u"GetProcessWindowStation"};
inline constexpr Operation GetThreadDesktop{u"GetThreadDesktop"};
inline constexpr Operation OpenWindowStation{u"OpenWindowStation"};
inline constexpr Operation OpenDesktop{u"OpenDesktop"};
inline constexpr Operation SetProcessWindowStation{u"SetProcessWindowStation"};
inline constexpr Operation SetThreadDesktop{u"SetThreadDesktop"};
inline constexpr Operation CloseWindowStation{u"CloseWindowStation"};
inline constexpr Operation CloseDesktop{u"CloseDesktop"};
inline constexpr Operation GetSecurityInfo{u"GetSecurityInfo"};
inline constexpr Operation SetSecurityInfo{u"SetSecurityInfo"};
inline constexpr Operation OpenProcessToken{u"OpenProcessToken"};
inline constexpr Operation OpenThreadToken{u"OpenThreadToken"};
inline constexpr Operation GetTokenInformation{u"GetTokenInformation"};
inline constexpr Operation LookupPrivilegeValue{u"LookupPrivilegeValue"};
inline constexpr Operation AdjustTokenPrivileges{u"AdjustTokenPrivileges"};
inline constexpr Operation LogonUser{u"LogonUser"};
inline constexpr Operation ImpersonateLoggedOnUser{u"ImpersonateLoggedOnUser"};
inline constexpr Operation RevertToSelf{u"RevertToSelf"};
inline constexpr Operation LoadUserProfile{u"LoadUserProfile"};
inline constexpr Operation UnloadUserProfile{u"UnloadUserProfile"};
inline constexpr Operation InitiateSystemShutdown{u"InitiateSystemShutdown"};
inline constexpr Operation ExitWindowsEx{u"ExitWindowsEx"};
}  // namespace op

// The machine's processes, made on first use: the system's own (Idle,
// System, smss, csrss, winlogon, services, lsass, svchost, ...), the shell
// and the script host as the current process, the last two with the token
// of the machine's interactive user (SecurityState::user).
ProcessesState& process_table(Network& net, Machine& machine);
// A token for an account as a logon makes it: the user, its groups (global
// groups, the local groups of `machine` it is in, the well-known ones) and
// the privileges the local security authority of `machine` gives them.
std::shared_ptr<SimToken> make_token(Network& net, Machine& machine, const platform::Sid& user);
// The token the caller of an operation runs with: the thread's
// impersonation token, else the script host's own (on the local machine,
// where the caller is).
const SimToken& caller_token(Network& net);
// A machine that was shut down starts again, as a boot leaves it: it
// answers, its processes start afresh and its service manager reads the
// registry again.
void power_on(Network& net, Machine& machine);
// Time passes on the whole network: every machine's clock moves on by `ms`,
// programs whose time is up end, and a restarting machine answers again once
// its time has come.
void pass_time(Network& net, uint64_t ms);

}  // namespace vorlek::sim
