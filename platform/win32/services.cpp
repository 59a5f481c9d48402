// The service control manager of the real system, through the single-byte
// ("A") calls: names go out and come back in the system code page. The
// buffers the calls fill are sized here, from the sizes they report.
#include "platform/services.h"

#include <cstring>
#include <vector>

#include "platform/win32/areas.h"
#include "platform/win32/status.h"
#include "platform/win32/text.h"

namespace vorlek::platform::win32 {

namespace {

// A handle as the classes keep it and back; a lock is a handle of its own kind.
template <class H>
H sc_of(ScHandle h) {
    return reinterpret_cast<H>(static_cast<uintptr_t>(h));
}
template <class H>
ScHandle handle_of(H h) {
    return static_cast<ScHandle>(reinterpret_cast<uintptr_t>(h));
}

// A run of NUL-ended names closed by an empty one, as the system hands
// dependencies out: taken whole, the separating NULs kept.
String names_list(const char* text) {
    if (!text) return {};
    const char* end = text;
    while (*end)
        end += std::strlen(end) + 1;
    return unicode(text, static_cast<size_t>(end - text) + 1);
}

ServiceStatus from_process(const SERVICE_STATUS_PROCESS& s) {
    return {s.dwServiceType,
            s.dwCurrentState,
            s.dwControlsAccepted,
            s.dwWin32ExitCode,
            s.dwServiceSpecificExitCode,
            s.dwCheckPoint,
            s.dwWaitHint,
            s.dwProcessId,
            s.dwServiceFlags};
}

// A byte buffer grown to what a size query asked for: the first call with
// no buffer must answer 122 (or 234) with the size, the second fills it.
template <class Call>
Result<std::vector<BYTE>> sized(Call call) {
    DWORD needed = 0;
    if (call(nullptr, 0, &needed)) return {status::kSuccess, {}};
    Status s = last_error();
    if (s != status::kInsufficientBuffer && s != status::kMoreData)
        return Result<std::vector<BYTE>>::failure(s);
    std::vector<BYTE> buffer(needed);
    if (!call(buffer.data(), needed, &needed))
        return Result<std::vector<BYTE>>::failure(last_error());
    return {status::kSuccess, std::move(buffer)};
}

// An optional text as the A calls take it: absent is no change.
const char* optional_ansi(CStrings& c, const std::optional<String>& text) {
    return text ? c.ansi(*text) : nullptr;
}

class Win32Services : public Services {
  public:
    Result<ScHandle> open_manager(StringView machine, uint32_t access) override {
        CStrings c;
        const LPCSTR name = c.ansi_or_null(machine);
        if (c.status()) return Result<ScHandle>::failure(c.status());
        SC_HANDLE h = ::OpenSCManagerA(name, nullptr, access);
        if (!h) return Result<ScHandle>::failure(last_error());
        return {status::kSuccess, handle_of(h)};
    }

    Result<std::vector<ServiceEntry>> enumerate(ScHandle manager, uint32_t type,
                                                uint32_t state) override {
        using R = Result<std::vector<ServiceEntry>>;
        std::vector<ServiceEntry> out;
        DWORD resume = 0;
        std::vector<BYTE> buffer(64 * 1024);
        for (;;) {
            DWORD needed = 0, returned = 0;
            const BOOL ok = ::EnumServicesStatusExA(
                sc_of<SC_HANDLE>(manager), SC_ENUM_PROCESS_INFO, type, state, buffer.data(),
                static_cast<DWORD>(buffer.size()), &needed, &returned, &resume, nullptr);
            const Status s = ok ? status::kSuccess : last_error();
            if (s != status::kSuccess && s != status::kMoreData) return R::failure(s);
            const auto* e = reinterpret_cast<const ENUM_SERVICE_STATUS_PROCESSA*>(buffer.data());
            for (DWORD i = 0; i < returned; ++i)
                out.push_back({unicode(e[i].lpServiceName), unicode(e[i].lpDisplayName),
                               from_process(e[i].ServiceStatusProcess)});
            if (s == status::kSuccess) break;
            // More to come: a batch that returned nothing needs a larger buffer.
            if (returned == 0) {
                if (needed <= buffer.size()) return R::failure(s);
                buffer.resize(needed);
            }
        }
        return {status::kSuccess, std::move(out)};
    }

    Result<ScHandle> open_service(ScHandle manager, StringView name, uint32_t access) override {
        CStrings c;
        const LPCSTR key = c.ansi(name);
        if (c.status()) return Result<ScHandle>::failure(c.status());
        SC_HANDLE h = ::OpenServiceA(sc_of<SC_HANDLE>(manager), key, access);
        if (!h) return Result<ScHandle>::failure(last_error());
        return {status::kSuccess, handle_of(h)};
    }

    Result<ScHandle> create_service(ScHandle manager, const NewService& n) override {
        // The dependencies are a run of NUL-ended names: handed on whole.
        const std::string deps = ansi_all(n.dependencies);
        CStrings c;
        const LPCSTR name = c.ansi(n.name), display = c.ansi(n.display_name),
                     path = c.ansi(n.binary_path), group = c.ansi_or_null(n.load_order_group),
                     start_name = c.ansi_or_null(n.start_name),
                     password = c.ansi_or_null(n.password);
        if (c.status()) return Result<ScHandle>::failure(c.status());
        SC_HANDLE h = ::CreateServiceA(sc_of<SC_HANDLE>(manager), name, display, n.access, n.type,
                                       n.start_type, n.error_control, path, group, nullptr,
                                       deps.empty() ? nullptr : deps.c_str(), start_name, password);
        if (!h) return Result<ScHandle>::failure(last_error());
        return {status::kSuccess, handle_of(h)};
    }

    Result<ServiceStatus> query_status(ScHandle service) override {
        SERVICE_STATUS_PROCESS s{};
        DWORD needed = 0;
        if (!::QueryServiceStatusEx(sc_of<SC_HANDLE>(service), SC_STATUS_PROCESS_INFO,
                                    reinterpret_cast<BYTE*>(&s), sizeof s, &needed))
            return Result<ServiceStatus>::failure(last_error());
        return {status::kSuccess, from_process(s)};
    }

    Result<ServiceConfig> query_config(ScHandle service) override {
        auto buffer = sized([&](BYTE* data, DWORD size, DWORD* needed) {
            return ::QueryServiceConfigA(sc_of<SC_HANDLE>(service),
                                         reinterpret_cast<QUERY_SERVICE_CONFIGA*>(data), size,
                                         needed);
        });
        if (!buffer.ok()) return Result<ServiceConfig>::failure(buffer.status);
        if (buffer.value.size() < sizeof(QUERY_SERVICE_CONFIGA))
            return Result<ServiceConfig>::failure(status::kInvalidParameter);
        const auto* c = reinterpret_cast<const QUERY_SERVICE_CONFIGA*>(buffer.value.data());
        return {status::kSuccess,
                {c->dwServiceType, c->dwStartType, c->dwErrorControl, unicode(c->lpBinaryPathName),
                 unicode(c->lpLoadOrderGroup), c->dwTagId, names_list(c->lpDependencies),
                 unicode(c->lpServiceStartName), unicode(c->lpDisplayName)}};
    }

    Result<LockStatus> query_lock_status(ScHandle manager) override {
        auto buffer = sized([&](BYTE* data, DWORD size, DWORD* needed) {
            return ::QueryServiceLockStatusA(sc_of<SC_HANDLE>(manager),
                                             reinterpret_cast<QUERY_SERVICE_LOCK_STATUSA*>(data),
                                             size, needed);
        });
        if (!buffer.ok()) return Result<LockStatus>::failure(buffer.status);
        if (buffer.value.size() < sizeof(QUERY_SERVICE_LOCK_STATUSA))
            return Result<LockStatus>::failure(status::kInvalidParameter);
        const auto* l = reinterpret_cast<const QUERY_SERVICE_LOCK_STATUSA*>(buffer.value.data());
        return {status::kSuccess, {l->fIsLocked != 0, unicode(l->lpLockOwner), l->dwLockDuration}};
    }

    Result<String> key_name(ScHandle manager, StringView display_name) override {
        return look_up(manager, display_name, ::GetServiceKeyNameA);
    }
    Result<String> display_name(ScHandle manager, StringView name) override {
        return look_up(manager, name, ::GetServiceDisplayNameA);
    }

    Status start(ScHandle service) override {
        return status_from_bool(::StartServiceA(sc_of<SC_HANDLE>(service), 0, nullptr));
    }

    Result<ServiceStatus> control(ScHandle service, uint32_t control) override {
        SERVICE_STATUS s{};
        if (!::ControlService(sc_of<SC_HANDLE>(service), control, &s))
            return Result<ServiceStatus>::failure(last_error());
        return {status::kSuccess,
                {s.dwServiceType, s.dwCurrentState, s.dwControlsAccepted, s.dwWin32ExitCode,
                 s.dwServiceSpecificExitCode, s.dwCheckPoint, s.dwWaitHint, 0, 0}};
    }

    Status change_config(ScHandle service, const ConfigChange& c) override {
        CStrings texts;
        const char *path = optional_ansi(texts, c.binary_path),
                   *group = optional_ansi(texts, c.load_order_group),
                   *start_name = optional_ansi(texts, c.start_name),
                   *password = optional_ansi(texts, c.password),
                   *display = optional_ansi(texts, c.display_name);
        if (texts.status()) return texts.status();
        // The dependencies are a run of NUL-ended names: handed on whole.
        const std::optional<std::string> deps =
            c.dependencies ? std::optional(ansi_all(*c.dependencies)) : std::nullopt;
        return status_from_bool(::ChangeServiceConfigA(
            sc_of<SC_HANDLE>(service), c.type, c.start_type, c.error_control, path, group, nullptr,
            deps ? deps->c_str() : nullptr, start_name, password, display));
    }

    Status remove(ScHandle service) override {
        return status_from_bool(::DeleteService(sc_of<SC_HANDLE>(service)));
    }

    Result<ScHandle> lock(ScHandle manager) override {
        SC_LOCK l = ::LockServiceDatabase(sc_of<SC_HANDLE>(manager));
        if (!l) return Result<ScHandle>::failure(last_error());
        return {status::kSuccess, handle_of(l)};
    }

    Status unlock(ScHandle lock) override {
        return status_from_bool(::UnlockServiceDatabase(sc_of<SC_LOCK>(lock)));
    }

    Status close(ScHandle handle) override {
        return status_from_bool(::CloseServiceHandle(sc_of<SC_HANDLE>(handle)));
    }

  private:
    // GetServiceKeyName and GetServiceDisplayName: the size they ask for
    // comes back in characters, without the terminator.
    template <class Call>
    static Result<String> look_up(ScHandle manager, StringView name, Call call) {
        CStrings c;
        const LPCSTR given = c.ansi(name);
        if (c.status()) return Result<String>::failure(c.status());
        std::vector<char> buffer(svc::kMaxNameLength + 1);
        for (int tries = 0; tries < 2; ++tries) {
            DWORD size = static_cast<DWORD>(buffer.size());
            if (call(sc_of<SC_HANDLE>(manager), given, buffer.data(), &size))
                return {status::kSuccess, unicode(buffer.data())};
            const Status s = last_error();
            if (s != status::kInsufficientBuffer || size + 1 <= buffer.size())
                return Result<String>::failure(s);
            buffer.resize(size + 1);
        }
        return Result<String>::failure(status::kInsufficientBuffer);
    }
};

}  // namespace

std::shared_ptr<Services> make_services() {
    return std::make_shared<Win32Services>();
}

}  // namespace vorlek::platform::win32
