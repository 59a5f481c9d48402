#include "platform/win32/status.h"

#include <ntsecapi.h>

namespace vorlek::platform::win32 {

Status status_from_hresult(HRESULT hr) noexcept {
    if (SUCCEEDED(hr)) return status::kSuccess;
    if (HRESULT_FACILITY(hr) == FACILITY_WIN32) return static_cast<Status>(HRESULT_CODE(hr));
    return static_cast<Status>(hr);
}

Status status_from_ntstatus(LONG ntstatus) noexcept {
    return static_cast<Status>(LsaNtStatusToWinError(static_cast<NTSTATUS>(ntstatus)));
}

Status last_error() noexcept {
    return static_cast<Status>(GetLastError());
}

Status status_from_bool(BOOL ok) noexcept {
    return ok ? status::kSuccess : last_error();
}

HRESULT hresult_from_status(Status status) noexcept {
    return status == status::kSuccess ? S_OK : HRESULT_FROM_WIN32(status);
}

}  // namespace vorlek::platform::win32
