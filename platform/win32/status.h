// The one place where the operating system's ways of reporting failure become
// the status codes the platform returns. No area reads the last error or
// converts a status by hand.
#pragma once

#include <windows.h>

#include "platform/status.h"

namespace vorlek::platform::win32 {

// The thread's last error, right after a call that failed.
Status last_error() noexcept;
// For calls that answer TRUE/FALSE and set the last error on failure.
Status status_from_bool(BOOL ok) noexcept;
// NET_API_STATUS and the registry's LSTATUS are already the system's codes.
inline Status status_from_net(DWORD net_api_status) noexcept {
    return static_cast<Status>(net_api_status);
}
inline Status status_from_lstatus(LONG lstatus) noexcept {
    return static_cast<Status>(lstatus);
}
// LsaNtStatusToWinError: the Win32 code the local security authority means.
Status status_from_ntstatus(LONG ntstatus) noexcept;
// 0 for success; the Win32 code inside a FACILITY_WIN32 HRESULT; otherwise the
// HRESULT itself as an unsigned value (what the system's own code would show).
Status status_from_hresult(HRESULT hr) noexcept;
// The other direction, for the COM entry points.
HRESULT hresult_from_status(Status status) noexcept;

}  // namespace vorlek::platform::win32
