// Processes, their modules, memory counters and 16-bit tasks; starting,
// waiting for and ending processes; the top-level windows; tokens, logon
// and profiles (records in tokens.h); window stations and desktops with
// their access lists; and the shutdown of a machine.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "automation/string.h"
#include "platform/security.h"
#include "platform/status.h"
#include "platform/tokens.h"

namespace vorlek::platform {

namespace status {
constexpr Status kPathNotFound = 3;            // ERROR_PATH_NOT_FOUND
constexpr Status kWaitTimeout = 258;           // WAIT_TIMEOUT
constexpr Status kProcessAborted = 1067;       // ERROR_PROCESS_ABORTED
constexpr Status kInvalidWindowHandle = 1400;  // ERROR_INVALID_WINDOW_HANDLE
constexpr Status kShutdownInProgress = 1115;   // ERROR_SHUTDOWN_IN_PROGRESS
}  // namespace status

// A handle of the kernel (process, thread, token), a window station, a
// desktop, a loaded profile or a window; 0 is none.
using ObjectHandle = uint64_t;
using WindowHandle = uint64_t;

constexpr uint32_t kStillActive = 259;      // STILL_ACTIVE, the exit code of a running process
constexpr uint32_t kInfinite = 0xFFFFFFFF;  // INFINITE

// PROCESS_* access rights.
namespace process_access {
constexpr uint32_t kTerminate = 0x1;
constexpr uint32_t kCreateThread = 0x2;
constexpr uint32_t kVmRead = 0x10;
constexpr uint32_t kQueryInformation = 0x400;
constexpr uint32_t kSynchronize = 0x100000;
constexpr uint32_t kAllAccess = 0x1F0FFF;
}  // namespace process_access

// PROCESS_MEMORY_COUNTERS without its size word; sizes in bytes.
struct MemoryCounters {
    uint32_t page_fault_count = 0;
    uint32_t peak_working_set_size = 0;
    uint32_t working_set_size = 0;
    uint32_t quota_peak_paged_pool_usage = 0;
    uint32_t quota_paged_pool_usage = 0;
    uint32_t quota_peak_non_paged_pool_usage = 0;
    uint32_t quota_non_paged_pool_usage = 0;
    uint32_t pagefile_usage = 0;
    uint32_t peak_pagefile_usage = 0;
};

// What the 16-bit task call-back of VDMEnumTaskWOWEx receives.
struct VdmTask {
    uint32_t thread_id = 0;
    uint16_t module = 0;  // hMod16
    uint16_t task = 0;    // hTask16
    String module_name;
    String file_name;
};

// The parts of STARTUPINFO the library sets.
struct StartupInfo {
    uint32_t flags = 0;             // STARTF_USESHOWWINDOW 1
    uint16_t show_window = 0;       // SW_HIDE 0, SW_SHOWNORMAL 1
    std::optional<String> desktop;  // none: the caller's
};

struct ProcessInformation {
    ObjectHandle process = 0;
    ObjectHandle thread = 0;
    uint32_t process_id = 0;
    uint32_t thread_id = 0;
};

// One entry of a window station's or desktop's access list.
struct AccessEntry {
    Sid trustee;
    uint32_t mask = 0;
    bool allow = true;
    uint8_t flags = 0;  // inheritance
};
using AccessList = std::vector<AccessEntry>;
// SetEntriesInAcl with GRANT_ACCESS, no inheritance, for a SID trustee: the
// trustee's allowing entry gains `mask` (a new one is added when it has none).
AccessList grant_access(AccessList list, const Sid& trustee, uint32_t mask);

// EWX_* flags of ExitWindowsEx.
namespace ewx {
constexpr uint32_t kLogoff = 0x0;
constexpr uint32_t kShutdown = 0x1;
constexpr uint32_t kReboot = 0x2;
constexpr uint32_t kForce = 0x4;
constexpr uint32_t kPowerOff = 0x8;
}  // namespace ewx

class Processes {
  public:
    virtual ~Processes() = default;

    // --- Process status (the local machine)
    // EnumProcesses into a buffer of `buffer_bytes`: the ids that fit (their
    // byte count is what the call reports).
    virtual Result<std::vector<uint32_t>> enum_processes(uint32_t buffer_bytes) = 0;
    // OpenProcess; 87 for an id no process has, 5 when access is refused.
    virtual Result<ObjectHandle> open_process(uint32_t access, bool inherit, uint32_t pid) = 0;
    // EnumProcessModules into `buffer_bytes` (8 bytes a handle here): the
    // module handles that fit, the program's own first.
    virtual Result<std::vector<uint64_t>> enum_process_modules(ObjectHandle process,
                                                               uint32_t buffer_bytes) = 0;
    // GetModuleBaseName and GetModuleFileNameEx into `buffer_chars`: the
    // text cut to the buffer less its NUL.
    virtual Result<String> module_base_name(ObjectHandle process, uint64_t module,
                                            uint32_t buffer_chars) = 0;
    virtual Result<String> module_file_name(ObjectHandle process, uint64_t module,
                                            uint32_t buffer_chars) = 0;
    // GetProcessMemoryInfo.
    virtual Result<MemoryCounters> memory_info(ObjectHandle process) = 0;
    // CloseHandle of a process, thread or token handle; 6 for one not open.
    virtual Status close_handle(ObjectHandle handle) = 0;
    // VDMEnumTaskWOWEx: calls `task` for each 16-bit task of the virtual DOS
    // machine `pid` until it answers true (stop); the number of tasks, 0 for
    // a process that is none.
    virtual int32_t enum_vdm_tasks(uint32_t pid,
                                   const std::function<bool(const VdmTask&)>& task) = 0;

    // --- Starting, waiting, ending
    // CreateProcess (token 0) or CreateProcessAsUser: `command_line` is the
    // whole line, the program its first word. 2 for a program that is not
    // there.
    virtual Result<ProcessInformation> create_process(ObjectHandle token, StringView command_line,
                                                      const StartupInfo& startup,
                                                      bool inherit_handles,
                                                      uint32_t creation_flags) = 0;
    // WaitForSingleObject on a process or thread: 0 when it is signalled, 258
    // on time-out, another status when the wait fails.
    virtual Status wait(ObjectHandle handle, uint32_t milliseconds) = 0;
    // GetExitCodeProcess: 259 while it runs.
    virtual Result<uint32_t> exit_code(ObjectHandle process) = 0;
    // TerminateProcess; 5 for a process that has ended.
    virtual Status terminate(ObjectHandle process, uint32_t exit_code) = 0;
    // DuplicateHandle of a handle of the calling process into it, same access.
    virtual Result<ObjectHandle> duplicate_handle(ObjectHandle handle) = 0;
    // GetProcAddress(GetModuleHandle(module), name): 126 for a module that is
    // not loaded, 127 for a name it does not export.
    virtual Result<uint64_t> procedure_address(StringView module, StringView name) = 0;
    // CreateRemoteThread at `start` with `parameter`: the thread's handle.
    virtual Result<ObjectHandle> create_remote_thread(ObjectHandle process, uint64_t start,
                                                      uint64_t parameter) = 0;

    // --- Windows (the caller's desktop)
    // EnumWindows: the top-level windows in z-order until `each` answers
    // false; the status of the call (0 also when `each` stopped it).
    virtual Status enum_windows(const std::function<bool(WindowHandle)>& each) = 0;
    // GetWindowText into `buffer_chars` (the text cut to the buffer less its
    // NUL); empty for a window that is gone.
    virtual String window_text(WindowHandle window, uint32_t buffer_chars) = 0;
    // GetWindowThreadProcessId: the process id, 0 for a window that is gone.
    virtual uint32_t window_process_id(WindowHandle window) = 0;
    // PostMessage; 1400 for a window that is gone.
    virtual Status post_message(WindowHandle window, uint32_t message, uint64_t wparam,
                                int64_t lparam) = 0;
    // IsWindow.
    virtual bool is_window(WindowHandle window) = 0;

    // --- Window stations and desktops
    // GetProcessWindowStation, GetThreadDesktop: handles not to be closed.
    virtual Result<ObjectHandle> process_window_station() = 0;
    virtual Result<ObjectHandle> thread_desktop() = 0;
    // OpenWindowStation, OpenDesktop (not inheritable; 2 for an unknown name).
    virtual Result<ObjectHandle> open_window_station(StringView name, uint32_t access) = 0;
    virtual Result<ObjectHandle> open_desktop(StringView name, uint32_t access) = 0;
    // SetProcessWindowStation, SetThreadDesktop.
    virtual Status set_process_window_station(ObjectHandle station) = 0;
    virtual Status set_thread_desktop(ObjectHandle desktop) = 0;
    // CloseWindowStation, CloseDesktop.
    virtual Status close_window_station(ObjectHandle station) = 0;
    virtual Status close_desktop(ObjectHandle desktop) = 0;
    // GetSecurityInfo / SetSecurityInfo of a window station or desktop
    // (SE_WINDOW_OBJECT), the access list only.
    virtual Result<AccessList> window_object_access(ObjectHandle object) = 0;
    virtual Status set_window_object_access(ObjectHandle object, const AccessList& list) = 0;

    // --- Tokens, logon, profiles
    // OpenProcessToken of the calling process.
    virtual Result<ObjectHandle> open_process_token(uint32_t access) = 0;
    // OpenThreadToken of the calling thread; 1008 when it impersonates nobody.
    virtual Result<ObjectHandle> open_thread_token(uint32_t access, bool open_as_self) = 0;
    // GetTokenInformation(TokenGroups) asked with no buffer: the bytes the
    // group list needs (0 when the call does not say).
    virtual uint32_t token_groups_size(ObjectHandle token) = 0;
    // GetTokenInformation(TokenGroups) into `buffer_bytes`; 122 when too small.
    virtual Result<std::vector<TokenGroup>> token_groups(ObjectHandle token,
                                                         uint32_t buffer_bytes) = 0;
    // LookupPrivilegeValue on `system` ("" the local one); 1313 for a name
    // the system does not know as a privilege.
    virtual Result<Luid> lookup_privilege_value(StringView system, StringView name) = 0;
    // AdjustTokenPrivileges: the previous state of the privileges it
    // changed. 1300 when some of them are not in the token (the others are
    // set all the same).
    virtual Result<std::vector<PrivilegeState>> adjust_token_privileges(
        ObjectHandle token, const std::vector<PrivilegeState>& new_state) = 0;
    // LogonUser: a primary token. 1326 for an unknown user or a wrong
    // password, 1331 disabled, 1909 locked out, 1328 outside the logon
    // hours, 1329 not from this workstation, 1793 expired, 1907 the password
    // must change first; 1355 for a domain nobody knows.
    virtual Result<ObjectHandle> logon_user(StringView user, StringView domain, StringView password,
                                            uint32_t logon_type, uint32_t provider) = 0;
    // ImpersonateLoggedOnUser (the calling thread), RevertToSelf.
    virtual Status impersonate(ObjectHandle token) = 0;
    virtual Status revert_to_self() = 0;
    // LoadUserProfile: the profile's registry handle; UnloadUserProfile.
    virtual Result<ObjectHandle> load_user_profile(ObjectHandle token,
                                                   const ProfileInfo& profile) = 0;
    virtual Status unload_user_profile(ObjectHandle token, ObjectHandle profile) = 0;

    // --- Shutdown
    // InitiateSystemShutdown of `machine` ("" the local one, else "\\NAME").
    // 1314 without the privilege enabled in the caller's token.
    virtual Status initiate_shutdown(StringView machine, StringView message, uint32_t timeout,
                                     bool force, bool reboot) = 0;
    // ExitWindowsEx (EWX_ flags); 1314 without the shutdown privilege.
    virtual Status exit_windows(uint32_t flags, uint32_t reserved) = 0;
};

}  // namespace vorlek::platform
