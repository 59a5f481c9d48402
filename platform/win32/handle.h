// Operating-system handles as move-only owners. One template, one traits
// struct per kind of handle (its empty value and its close call). Closing
// never changes the thread's last error, so a failure path can close what it
// opened and still report the error of the call that failed.
#pragma once

#include <windows.h>

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

    pointer release() noexcept { return std::exchange(handle_, Traits::empty()); }
    void reset(pointer handle = Traits::empty()) noexcept {
        pointer old = std::exchange(handle_, handle);
        if (old != Traits::empty()) {
            DWORD saved = GetLastError();
            Traits::close(old);
            SetLastError(saved);
        }
    }
    // For calls that return a handle through an out-parameter.
    pointer* put() noexcept {
        reset();
        return &handle_;
    }

  private:
    pointer handle_ = Traits::empty();
};

struct KernelHandleTraits {
    using pointer = HANDLE;
    static constexpr pointer empty() noexcept { return nullptr; }
    static void close(pointer h) noexcept { CloseHandle(h); }
};
// CreateFile and a few others answer INVALID_HANDLE_VALUE instead of null.
struct FileHandleTraits {
    using pointer = HANDLE;
    static pointer empty() noexcept { return INVALID_HANDLE_VALUE; }
    static void close(pointer h) noexcept { CloseHandle(h); }
};
struct RegistryKeyTraits {
    using pointer = HKEY;
    static constexpr pointer empty() noexcept { return nullptr; }
    static void close(pointer h) noexcept { RegCloseKey(h); }
};
struct ModuleTraits {
    using pointer = HMODULE;
    static constexpr pointer empty() noexcept { return nullptr; }
    static void close(pointer h) noexcept { FreeLibrary(h); }
};

using KernelHandle = UniqueHandle<KernelHandleTraits>;
using FileHandle = UniqueHandle<FileHandleTraits>;
using RegistryKey = UniqueHandle<RegistryKeyTraits>;
using Module = UniqueHandle<ModuleTraits>;

}  // namespace vorlek::platform::win32
