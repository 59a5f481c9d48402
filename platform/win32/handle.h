// Operating-system resources as move-only owners: one template, one traits
// struct per kind (its pointer type, its empty value and its release call).
// Releasing never changes the thread's last error, so a failure path can
// close what it opened and still report the error of the call that failed.
#pragma once

#include <windows.h>
// These need the types of windows.h.
#include <lm.h>
#include <ntsecapi.h>
#include <winspool.h>

#include <type_traits>
#include <utility>

namespace vorlek::platform::win32 {

template <class Traits>
class UniqueHandle {
  public:
    using pointer = typename Traits::pointer;

    UniqueHandle() noexcept = default;
    explicit UniqueHandle(pointer handle) noexcept : handle_(handle) {}
    UniqueHandle(UniqueHandle&& other) noexcept : handle_(other.release()) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept {
        if (this != &other) reset(other.release());
        return *this;
    }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    ~UniqueHandle() { reset(); }

    pointer get() const noexcept { return handle_; }
    explicit operator bool() const noexcept { return handle_ != Traits::empty(); }
    // Buffers of records are read through the owner.
    template <class P = pointer>
    requires(std::is_pointer_v<P> &&
             !std::is_void_v<std::remove_pointer_t<P>>) std::remove_pointer_t<P>
    &operator*() const noexcept { return *handle_; }
    template <class P = pointer>
    requires(std::is_pointer_v<P> && !std::is_void_v<std::remove_pointer_t<P>>) P operator->()
        const noexcept {
        return handle_;
    }

    pointer release() noexcept { return std::exchange(handle_, Traits::empty()); }
    void reset(pointer handle = Traits::empty()) noexcept {
        pointer old = std::exchange(handle_, handle);
        if (old != Traits::empty()) {
            const DWORD saved = ::GetLastError();
            Traits::close(old);
            ::SetLastError(saved);
        }
    }
    // For calls that hand a resource out through an out-parameter.
    pointer* put() noexcept {
        reset();
        return &handle_;
    }
    // The same for the network-management calls, which take LPBYTE*.
    LPBYTE* put_bytes() noexcept { return reinterpret_cast<LPBYTE*>(put()); }

  private:
    pointer handle_ = Traits::empty();
};

// Traits for resources released by one call that takes the pointer.
template <class Pointer, auto Release, auto Empty = Pointer{}>
struct ReleasedBy {
    using pointer = Pointer;
    static pointer empty() noexcept { return Empty; }
    static void close(pointer p) noexcept { Release(p); }
};

inline void close_kernel_handle(HANDLE h) noexcept {
    ::CloseHandle(h);
}
// CreateFile and a few others answer INVALID_HANDLE_VALUE instead of null.
struct FileHandleTraits {
    using pointer = HANDLE;
    static pointer empty() noexcept { return INVALID_HANDLE_VALUE; }
    static void close(pointer h) noexcept { ::CloseHandle(h); }
};
template <class T>
void free_net_buffer(T* p) noexcept {
    ::NetApiBufferFree(p);
}
template <class T>
void free_lsa_memory(T* p) noexcept {
    ::LsaFreeMemory(p);
}
template <class T>
void free_local(T* p) noexcept {
    ::LocalFree(p);
}
inline void close_registry_key(HKEY key) noexcept {
    ::RegCloseKey(key);
}
inline void free_module(HMODULE module) noexcept {
    ::FreeLibrary(module);
}
inline void close_service_handle(SC_HANDLE h) noexcept {
    ::CloseServiceHandle(h);
}
inline void close_lsa_handle(LSA_HANDLE h) noexcept {
    ::LsaClose(h);
}
inline void close_event_log(HANDLE h) noexcept {
    ::CloseEventLog(h);
}
inline void deregister_event_source(HANDLE h) noexcept {
    ::DeregisterEventSource(h);
}
inline void close_window_station(HWINSTA h) noexcept {
    ::CloseWindowStation(h);
}
inline void close_desktop(HDESK h) noexcept {
    ::CloseDesktop(h);
}
inline void close_printer(HANDLE h) noexcept {
    ::ClosePrinter(h);
}

// Handles of the kernel (processes, threads, tokens, events).
using KernelHandle = UniqueHandle<ReleasedBy<HANDLE, close_kernel_handle>>;
using FileHandle = UniqueHandle<FileHandleTraits>;
using RegistryKey = UniqueHandle<ReleasedBy<HKEY, close_registry_key>>;
// A module loaded by LoadLibrary(Ex).
using Module = UniqueHandle<ReleasedBy<HMODULE, free_module>>;
// Buffers the network-management functions allocate (NetApiBufferFree).
template <class T>
using NetBuffer = UniqueHandle<ReleasedBy<T*, free_net_buffer<T>>>;
// Service control manager and service handles (CloseServiceHandle).
using ServiceHandle = UniqueHandle<ReleasedBy<SC_HANDLE, close_service_handle>>;
// Policy handles and buffers of the local security authority.
using LsaHandle = UniqueHandle<ReleasedBy<LSA_HANDLE, close_lsa_handle>>;
template <class T>
using LsaBuffer = UniqueHandle<ReleasedBy<T*, free_lsa_memory<T>>>;
// Memory the system allocates with LocalAlloc (security descriptors, SIDs
// from ConvertStringSidToSid, FormatMessage buffers).
template <class T>
using LocalBuffer = UniqueHandle<ReleasedBy<T*, free_local<T>>>;
using EventLogHandle = UniqueHandle<ReleasedBy<HANDLE, close_event_log>>;
using EventSourceHandle = UniqueHandle<ReleasedBy<HANDLE, deregister_event_source>>;
using WindowStationHandle = UniqueHandle<ReleasedBy<HWINSTA, close_window_station>>;
using DesktopHandle = UniqueHandle<ReleasedBy<HDESK, close_desktop>>;
// A printer opened by OpenPrinter (ClosePrinter).
using OpenedPrinter = UniqueHandle<ReleasedBy<HANDLE, close_printer>>;

}  // namespace vorlek::platform::win32
