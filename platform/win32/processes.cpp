// Processes, windows, tokens, window stations and shutdown on the real
// system. The handles handed out are the system's own; the classes close
// them through this area.
#include "platform/processes.h"

#include <windows.h>
// These need the types of windows.h.
#include <aclapi.h>
#include <psapi.h>
#include <userenv.h>
#include <vdmdbg.h>

#include <vector>

#include "platform/win32/areas.h"
#include "platform/win32/handle.h"
#include "platform/win32/security.h"
#include "platform/win32/status.h"
#include "platform/win32/text.h"

namespace vorlek::platform::win32 {

namespace {

HANDLE handle_of(ObjectHandle h) {
    return reinterpret_cast<HANDLE>(static_cast<uintptr_t>(h));
}
ObjectHandle value_of(const void* h) {
    return static_cast<ObjectHandle>(reinterpret_cast<uintptr_t>(h));
}
HWND window_of(WindowHandle w) {
    return reinterpret_cast<HWND>(static_cast<uintptr_t>(w));
}

// A handle an opening call answered, null being failure.
Result<ObjectHandle> opened(const void* h) {
    if (!h) return Result<ObjectHandle>::failure(last_error());
    return {status::kSuccess, value_of(h)};
}

// A single-byte text of the 16-bit task call-back; "error" when there is none.
String ansi_text(const char* text) {
    return text ? unicode(text) : String(u"error");
}

[[maybe_unused]] BOOL WINAPI vdm_task(DWORD thread, WORD module, WORD task, PSZ module_name,
                                      PSZ file_name, LPARAM context) {
    auto& each = *reinterpret_cast<const std::function<bool(const VdmTask&)>*>(context);
    return each({thread, module, task, ansi_text(module_name), ansi_text(file_name)}) ? TRUE
                                                                                      : FALSE;
}

BOOL CALLBACK window_found(HWND window, LPARAM context) {
    auto& each = *reinterpret_cast<const std::function<bool(WindowHandle)>*>(context);
    return each(value_of(window)) ? TRUE : FALSE;
}

// A TOKEN_PRIVILEGES of `states` in a buffer of its own size.
std::vector<uint8_t> token_privileges(const std::vector<PrivilegeState>& states) {
    const size_t n = states.empty() ? 1 : states.size();
    std::vector<uint8_t> buffer(offsetof(TOKEN_PRIVILEGES, Privileges) +
                                n * sizeof(LUID_AND_ATTRIBUTES));
    auto* tp = reinterpret_cast<TOKEN_PRIVILEGES*>(buffer.data());
    tp->PrivilegeCount = static_cast<DWORD>(states.size());
    for (size_t i = 0; i < states.size(); ++i) {
        tp->Privileges[i].Luid.LowPart = states[i].luid.low;
        tp->Privileges[i].Luid.HighPart = states[i].luid.high;
        tp->Privileges[i].Attributes = states[i].attributes;
    }
    return buffer;
}

class Win32Processes : public Processes {
  public:
    Result<std::vector<uint32_t>> enum_processes(uint32_t buffer_bytes) override {
        std::vector<DWORD> ids(buffer_bytes / sizeof(DWORD) + 1);
        DWORD bytes = 0;
        const Status rc = status_from_bool(
            ::EnumProcesses(ids.data(), (buffer_bytes / sizeof(DWORD)) * sizeof(DWORD), &bytes));
        if (rc != status::kSuccess) return Result<std::vector<uint32_t>>::failure(rc);
        ids.resize(bytes / sizeof(DWORD));
        return {status::kSuccess, std::vector<uint32_t>(ids.begin(), ids.end())};
    }

    Result<ObjectHandle> open_process(uint32_t access, bool inherit, uint32_t pid) override {
        return opened(::OpenProcess(access, inherit ? TRUE : FALSE, pid));
    }

    Result<std::vector<uint64_t>> enum_process_modules(ObjectHandle process,
                                                       uint32_t buffer_bytes) override {
        std::vector<HMODULE> modules(buffer_bytes / sizeof(HMODULE) + 1);
        DWORD needed = 0;
        const Status rc = status_from_bool(::EnumProcessModules(
            handle_of(process), modules.data(),
            static_cast<DWORD>((buffer_bytes / sizeof(HMODULE)) * sizeof(HMODULE)), &needed));
        if (rc != status::kSuccess) return Result<std::vector<uint64_t>>::failure(rc);
        const size_t n = std::min<size_t>(needed / sizeof(HMODULE), buffer_bytes / sizeof(HMODULE));
        std::vector<uint64_t> out;
        for (size_t i = 0; i < n; ++i)
            out.push_back(value_of(modules[i]));
        return {status::kSuccess, std::move(out)};
    }

    Result<String> module_base_name(ObjectHandle process, uint64_t module,
                                    uint32_t buffer_chars) override {
        return module_text(process, module, buffer_chars, true);
    }

    Result<String> module_file_name(ObjectHandle process, uint64_t module,
                                    uint32_t buffer_chars) override {
        return module_text(process, module, buffer_chars, false);
    }

    Result<MemoryCounters> memory_info(ObjectHandle process) override {
        PROCESS_MEMORY_COUNTERS pmc{};
        pmc.cb = sizeof pmc;
        const Status rc =
            status_from_bool(::GetProcessMemoryInfo(handle_of(process), &pmc, sizeof pmc));
        if (rc != status::kSuccess) return Result<MemoryCounters>::failure(rc);
        // The counters as the 32-bit values the class stores.
        auto u32 = [](SIZE_T v) { return static_cast<uint32_t>(v); };
        return {
            status::kSuccess,
            MemoryCounters{pmc.PageFaultCount, u32(pmc.PeakWorkingSetSize), u32(pmc.WorkingSetSize),
                           u32(pmc.QuotaPeakPagedPoolUsage), u32(pmc.QuotaPagedPoolUsage),
                           u32(pmc.QuotaPeakNonPagedPoolUsage), u32(pmc.QuotaNonPagedPoolUsage),
                           u32(pmc.PagefileUsage), u32(pmc.PeakPagefileUsage)}};
    }

    Status close_handle(ObjectHandle h) override {
        return status_from_bool(::CloseHandle(handle_of(h)));
    }

    int32_t enum_vdm_tasks(uint32_t pid, const std::function<bool(const VdmTask&)>& task) override {
#if defined(_WIN64)
        // Virtual DOS machines exist only on 32-bit systems, and Wine's
        // vdmdbg.dll ends the calling process when its task list is asked
        // for: a 64-bit process has no 16-bit tasks to list.
        (void)pid;
        (void)task;
        return 0;
#else
        if (!vdmdbg_) vdmdbg_.reset(::LoadLibraryW(L"vdmdbg.dll"));
        if (!vdmdbg_) return 0;
        auto enumerate = reinterpret_cast<VDMENUMTASKWOWEXPROC>(
            reinterpret_cast<void (*)()>(::GetProcAddress(vdmdbg_.get(), "VDMEnumTaskWOWEx")));
        if (!enumerate) return 0;
        return enumerate(pid, vdm_task, reinterpret_cast<LPARAM>(&task));
#endif
    }

    Result<ProcessInformation> create_process(ObjectHandle token, StringView command_line,
                                              const StartupInfo& startup, bool inherit_handles,
                                              uint32_t creation_flags) override {
        CStrings c;
        // CreateProcess may write to the line it is given: each call has its own copy.
        const LPWSTR line = c.wide(command_line);
        const LPWSTR desktop = startup.desktop ? c.wide(*startup.desktop) : nullptr;
        if (c.status()) return Result<ProcessInformation>::failure(c.status());
        STARTUPINFOW si{};
        si.cb = sizeof si;
        si.dwFlags = startup.flags;
        si.wShowWindow = startup.show_window;
        si.lpDesktop = desktop;
        SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
        PROCESS_INFORMATION pi{};
        const BOOL ok = token ? ::CreateProcessAsUserW(handle_of(token), nullptr, line, &sa, &sa,
                                                       inherit_handles, creation_flags, nullptr,
                                                       nullptr, &si, &pi)
                              : ::CreateProcessW(nullptr, line, &sa, &sa, inherit_handles,
                                                 creation_flags, nullptr, nullptr, &si, &pi);
        if (const Status rc = status_from_bool(ok); rc != status::kSuccess)
            return Result<ProcessInformation>::failure(rc);
        return {status::kSuccess, ProcessInformation{value_of(pi.hProcess), value_of(pi.hThread),
                                                     pi.dwProcessId, pi.dwThreadId}};
    }

    Status wait(ObjectHandle h, uint32_t milliseconds) override {
        switch (::WaitForSingleObject(handle_of(h), milliseconds)) {
            case WAIT_OBJECT_0:
            case WAIT_ABANDONED:
                return status::kSuccess;
            case WAIT_TIMEOUT:
                return status::kWaitTimeout;
            default:
                return last_error();
        }
    }

    Result<uint32_t> exit_code(ObjectHandle process) override {
        DWORD code = 0;
        const Status rc = status_from_bool(::GetExitCodeProcess(handle_of(process), &code));
        if (rc != status::kSuccess) return Result<uint32_t>::failure(rc);
        return {status::kSuccess, code};
    }

    Status terminate(ObjectHandle process, uint32_t exit_code) override {
        return status_from_bool(::TerminateProcess(handle_of(process), exit_code));
    }

    Result<ObjectHandle> duplicate_handle(ObjectHandle h) override {
        HANDLE copy = nullptr;
        const Status rc = status_from_bool(::DuplicateHandle(::GetCurrentProcess(), handle_of(h),
                                                             ::GetCurrentProcess(), &copy, 0, FALSE,
                                                             DUPLICATE_SAME_ACCESS));
        if (rc != status::kSuccess) return Result<ObjectHandle>::failure(rc);
        return {status::kSuccess, value_of(copy)};
    }

    Result<uint64_t> procedure_address(StringView module, StringView name) override {
        CStrings c;
        const LPCWSTR module_name = c.wide(module);
        const LPCSTR procedure = c.ansi(name);
        if (c.status()) return Result<uint64_t>::failure(c.status());
        const HMODULE m = ::GetModuleHandleW(module_name);
        if (!m) return Result<uint64_t>::failure(last_error());
        const FARPROC p = ::GetProcAddress(m, procedure);
        if (!p) return Result<uint64_t>::failure(last_error());
        return {status::kSuccess, static_cast<uint64_t>(reinterpret_cast<uintptr_t>(p))};
    }

    Result<ObjectHandle> create_remote_thread(ObjectHandle process, uint64_t start,
                                              uint64_t parameter) override {
        auto routine = reinterpret_cast<LPTHREAD_START_ROUTINE>(static_cast<uintptr_t>(start));
        return opened(::CreateRemoteThread(
            handle_of(process), nullptr, 0, routine,
            reinterpret_cast<LPVOID>(static_cast<uintptr_t>(parameter)), 0, nullptr));
    }

    Status enum_windows(const std::function<bool(WindowHandle)>& each) override {
        ::SetLastError(ERROR_SUCCESS);
        if (::EnumWindows(window_found, reinterpret_cast<LPARAM>(&each))) return status::kSuccess;
        return last_error();  // 0 when the call-back stopped the walk
    }

    String window_text(WindowHandle window, uint32_t buffer_chars) override {
        if (buffer_chars == 0) return {};
        std::wstring text(buffer_chars, L'\0');
        const int n =
            ::GetWindowTextW(window_of(window), text.data(), static_cast<int>(buffer_chars));
        return n > 0 ? from_wide(text.c_str(), static_cast<size_t>(n)) : String();
    }

    uint32_t window_process_id(WindowHandle window) override {
        DWORD pid = 0;
        if (!::GetWindowThreadProcessId(window_of(window), &pid)) return 0;
        return pid;
    }

    Status post_message(WindowHandle window, uint32_t message, uint64_t wparam,
                        int64_t lparam) override {
        return status_from_bool(::PostMessageW(
            window_of(window), message, static_cast<WPARAM>(wparam), static_cast<LPARAM>(lparam)));
    }

    bool is_window(WindowHandle window) override {
        return ::IsWindow(window_of(window)) != 0;
    }

    Result<ObjectHandle> process_window_station() override {
        return opened(::GetProcessWindowStation());
    }
    Result<ObjectHandle> thread_desktop() override {
        return opened(::GetThreadDesktop(::GetCurrentThreadId()));
    }
    Result<ObjectHandle> open_window_station(StringView name, uint32_t access) override {
        CStrings c;
        const LPCWSTR station = c.wide(name);
        if (c.status()) return Result<ObjectHandle>::failure(c.status());
        return opened(::OpenWindowStationW(station, FALSE, access));
    }
    Result<ObjectHandle> open_desktop(StringView name, uint32_t access) override {
        CStrings c;
        const LPCWSTR desktop = c.wide(name);
        if (c.status()) return Result<ObjectHandle>::failure(c.status());
        return opened(::OpenDesktopW(desktop, 0, FALSE, access));
    }
    Status set_process_window_station(ObjectHandle station) override {
        return status_from_bool(
            ::SetProcessWindowStation(reinterpret_cast<HWINSTA>(handle_of(station))));
    }
    Status set_thread_desktop(ObjectHandle desktop) override {
        return status_from_bool(::SetThreadDesktop(reinterpret_cast<HDESK>(handle_of(desktop))));
    }
    Status close_window_station(ObjectHandle station) override {
        return status_from_bool(
            ::CloseWindowStation(reinterpret_cast<HWINSTA>(handle_of(station))));
    }
    Status close_desktop(ObjectHandle desktop) override {
        return status_from_bool(::CloseDesktop(reinterpret_cast<HDESK>(handle_of(desktop))));
    }

    Result<AccessList> window_object_access(ObjectHandle object) override {
        PACL dacl = nullptr;
        LocalBuffer<void> descriptor;
        const Status rc = static_cast<Status>(
            ::GetSecurityInfo(handle_of(object), SE_WINDOW_OBJECT, DACL_SECURITY_INFORMATION,
                              nullptr, nullptr, &dacl, nullptr, descriptor.put()));
        if (rc != status::kSuccess) return Result<AccessList>::failure(rc);
        AccessList list;
        for (DWORD i = 0; dacl && i < dacl->AceCount; ++i) {
            void* ace = nullptr;
            if (!::GetAce(dacl, i, &ace)) continue;
            const auto* header = static_cast<ACE_HEADER*>(ace);
            if (header->AceType != ACCESS_ALLOWED_ACE_TYPE &&
                header->AceType != ACCESS_DENIED_ACE_TYPE)
                continue;
            // Allowed and denied entries share their layout.
            const auto* entry = static_cast<ACCESS_ALLOWED_ACE*>(ace);
            auto sid = sid_from(const_cast<DWORD*>(&entry->SidStart));
            if (!sid) continue;
            list.push_back({std::move(*sid), entry->Mask,
                            header->AceType == ACCESS_ALLOWED_ACE_TYPE, header->AceFlags});
        }
        return {status::kSuccess, std::move(list)};
    }

    Status set_window_object_access(ObjectHandle object, const AccessList& list) override {
        std::vector<std::vector<uint8_t>> sids;
        size_t size = sizeof(ACL);
        for (const auto& e : list) {
            sids.push_back(e.trustee.bytes());
            size += sizeof(ACCESS_ALLOWED_ACE) - sizeof(DWORD) + sids.back().size();
        }
        std::vector<uint8_t> buffer((size + 3) & ~size_t{3});
        auto* acl = reinterpret_cast<PACL>(buffer.data());
        if (!::InitializeAcl(acl, static_cast<DWORD>(buffer.size()), ACL_REVISION))
            return last_error();
        for (size_t i = 0; i < list.size(); ++i) {
            const auto& e = list[i];
            const BOOL ok =
                e.allow
                    ? ::AddAccessAllowedAceEx(acl, ACL_REVISION, e.flags, e.mask, sids[i].data())
                    : ::AddAccessDeniedAceEx(acl, ACL_REVISION, e.flags, e.mask, sids[i].data());
            if (!ok) return last_error();
        }
        return static_cast<Status>(::SetSecurityInfo(handle_of(object), SE_WINDOW_OBJECT,
                                                     DACL_SECURITY_INFORMATION, nullptr, nullptr,
                                                     acl, nullptr));
    }

    Result<ObjectHandle> open_process_token(uint32_t access) override {
        HANDLE token = nullptr;
        const Status rc =
            status_from_bool(::OpenProcessToken(::GetCurrentProcess(), access, &token));
        if (rc != status::kSuccess) return Result<ObjectHandle>::failure(rc);
        return {status::kSuccess, value_of(token)};
    }

    Result<ObjectHandle> open_thread_token(uint32_t access, bool open_as_self) override {
        HANDLE token = nullptr;
        const Status rc = status_from_bool(
            ::OpenThreadToken(::GetCurrentThread(), access, open_as_self ? TRUE : FALSE, &token));
        if (rc != status::kSuccess) return Result<ObjectHandle>::failure(rc);
        return {status::kSuccess, value_of(token)};
    }

    uint32_t token_groups_size(ObjectHandle token) override {
        DWORD needed = 0;
        ::GetTokenInformation(handle_of(token), TokenGroups, nullptr, 0, &needed);
        return needed;
    }

    Result<std::vector<TokenGroup>> token_groups(ObjectHandle token,
                                                 uint32_t buffer_bytes) override {
        std::vector<uint8_t> buffer(std::max<size_t>(buffer_bytes, sizeof(TOKEN_GROUPS)));
        DWORD needed = 0;
        const Status rc = status_from_bool(::GetTokenInformation(
            handle_of(token), TokenGroups, buffer.data(), buffer_bytes, &needed));
        if (rc != status::kSuccess) return Result<std::vector<TokenGroup>>::failure(rc);
        const auto* groups = reinterpret_cast<const TOKEN_GROUPS*>(buffer.data());
        std::vector<TokenGroup> out;
        for (DWORD i = 0; i < groups->GroupCount; ++i) {
            // An entry whose SID is not valid stays in the list as an empty SID.
            auto sid = sid_from(groups->Groups[i].Sid);
            out.push_back({sid ? std::move(*sid) : Sid(0, {}, 0), groups->Groups[i].Attributes});
        }
        return {status::kSuccess, std::move(out)};
    }

    Result<Luid> lookup_privilege_value(StringView system, StringView name) override {
        CStrings c;
        const LPCWSTR machine = c.wide_or_null(system), privilege = c.wide(name);
        if (c.status()) return Result<Luid>::failure(c.status());
        LUID luid{};
        const Status rc = status_from_bool(::LookupPrivilegeValueW(machine, privilege, &luid));
        if (rc != status::kSuccess) return Result<Luid>::failure(rc);
        return {status::kSuccess, Luid{luid.LowPart, luid.HighPart}};
    }

    Result<std::vector<PrivilegeState>> adjust_token_privileges(
        ObjectHandle token, const std::vector<PrivilegeState>& new_state) override {
        std::vector<uint8_t> wanted = token_privileges(new_state);
        std::vector<uint8_t> previous = token_privileges(new_state);
        DWORD length = 0;
        const BOOL ok = ::AdjustTokenPrivileges(
            handle_of(token), FALSE, reinterpret_cast<TOKEN_PRIVILEGES*>(wanted.data()),
            static_cast<DWORD>(previous.size()),
            reinterpret_cast<TOKEN_PRIVILEGES*>(previous.data()), &length);
        if (!ok) return Result<std::vector<PrivilegeState>>::failure(last_error());
        // Success with ERROR_NOT_ALL_ASSIGNED: a privilege was not in the token.
        const Status rc =
            last_error() == status::kNotAllAssigned ? status::kNotAllAssigned : status::kSuccess;
        const auto* before = reinterpret_cast<const TOKEN_PRIVILEGES*>(previous.data());
        std::vector<PrivilegeState> out;
        for (DWORD i = 0; i < before->PrivilegeCount && i < new_state.size(); ++i)
            out.push_back(
                {Luid{before->Privileges[i].Luid.LowPart, before->Privileges[i].Luid.HighPart},
                 before->Privileges[i].Attributes});
        return {rc, std::move(out)};
    }

    Result<ObjectHandle> logon_user(StringView user, StringView domain, StringView password,
                                    uint32_t logon_type, uint32_t provider) override {
        CStrings c;
        const LPCWSTR name = c.wide(user), where = c.wide(domain), secret = c.wide(password);
        if (c.status()) return Result<ObjectHandle>::failure(c.status());
        HANDLE token = nullptr;
        const Status rc =
            status_from_bool(::LogonUserW(name, where, secret, logon_type, provider, &token));
        if (rc != status::kSuccess) return Result<ObjectHandle>::failure(rc);
        return {status::kSuccess, value_of(token)};
    }

    Status impersonate(ObjectHandle token) override {
        return status_from_bool(::ImpersonateLoggedOnUser(handle_of(token)));
    }
    Status revert_to_self() override {
        return status_from_bool(::RevertToSelf());
    }

    Result<ObjectHandle> load_user_profile(ObjectHandle token,
                                           const ProfileInfo& profile) override {
        CStrings c;
        PROFILEINFOW info{};
        info.dwSize = sizeof info;
        info.dwFlags = profile.flags;
        info.lpUserName = c.wide(profile.user_name);
        info.lpProfilePath = c.wide_or_null(profile.profile_path);
        info.lpDefaultPath = c.wide_or_null(profile.default_path);
        info.lpServerName = c.wide_or_null(profile.server_name);
        info.lpPolicyPath = c.wide_or_null(profile.policy_path);
        if (c.status()) return Result<ObjectHandle>::failure(c.status());
        const Status rc = status_from_bool(::LoadUserProfileW(handle_of(token), &info));
        if (rc != status::kSuccess) return Result<ObjectHandle>::failure(rc);
        return {status::kSuccess, value_of(info.hProfile)};
    }

    Status unload_user_profile(ObjectHandle token, ObjectHandle profile) override {
        return status_from_bool(::UnloadUserProfile(handle_of(token), handle_of(profile)));
    }

    Status initiate_shutdown(StringView machine, StringView message, uint32_t timeout, bool force,
                             bool reboot) override {
        CStrings c;
        const LPWSTR name = c.wide_or_null(machine), text = c.wide(message);
        if (c.status()) return c.status();
        return status_from_bool(::InitiateSystemShutdownW(name, text, timeout, force, reboot));
    }

    Status exit_windows(uint32_t flags, uint32_t reserved) override {
        return status_from_bool(::ExitWindowsEx(flags, reserved));
    }

  private:
    Result<String> module_text(ObjectHandle process, uint64_t module, uint32_t chars,
                               bool base_name) {
        if (chars == 0) return Result<String>::failure(status::kInsufficientBuffer);
        std::wstring text(chars, L'\0');
        const HMODULE m = reinterpret_cast<HMODULE>(static_cast<uintptr_t>(module));
        const DWORD n = base_name
                            ? ::GetModuleBaseNameW(handle_of(process), m, text.data(), chars)
                            : ::GetModuleFileNameExW(handle_of(process), m, text.data(), chars);
        if (n == 0) return Result<String>::failure(last_error());
        return {status::kSuccess, from_wide(text.c_str(), n)};
    }

#if !defined(_WIN64)
    Module vdmdbg_;  // loaded on first use, kept with the area
#endif
};

}  // namespace

std::shared_ptr<Processes> make_processes() {
    return std::make_shared<Win32Processes>();
}

}  // namespace vorlek::platform::win32
