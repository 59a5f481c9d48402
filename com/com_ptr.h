// A counted interface pointer, and the reference-counting glue every COM
// object of the library shares (the live count feeds DllCanUnloadNow).
#pragma once

#include <ole2.h>
#include <windows.h>

#include <atomic>
#include <utility>

#include "automation/string.h"
#include "com/uuid.h"

namespace vorlek::com {

template <class I>
class ComPtr {
  public:
    ComPtr() noexcept = default;
    ComPtr(std::nullptr_t) noexcept {}
    // Takes over a reference the caller already owns.
    static ComPtr adopt(I* p) noexcept {
        ComPtr c;
        c.p_ = p;
        return c;
    }
    ComPtr(const ComPtr& o) noexcept : p_(o.p_) {
        if (p_) p_->AddRef();
    }
    ComPtr(ComPtr&& o) noexcept : p_(std::exchange(o.p_, nullptr)) {}
    ComPtr& operator=(ComPtr o) noexcept {
        std::swap(p_, o.p_);
        return *this;
    }
    ~ComPtr() { reset(); }

    void reset() noexcept {
        if (auto* p = std::exchange(p_, nullptr)) p->Release();
    }
    I* get() const noexcept { return p_; }
    I* operator->() const noexcept { return p_; }
    explicit operator bool() const noexcept { return p_ != nullptr; }
    I** put() noexcept {
        reset();
        return &p_;
    }
    I* detach() noexcept { return std::exchange(p_, nullptr); }

  private:
    I* p_ = nullptr;
};

// COM objects of the library that are alive, and server locks.
std::atomic<long>& live_com_objects();
std::atomic<long>& server_locks();

// Counts a COM object of the library from construction to destruction.
class Counted {
  protected:
    Counted() noexcept { ++live_com_objects(); }
    ~Counted() { --live_com_objects(); }
    ULONG add_ref() noexcept { return ++refs_; }
    // Deletes the object (through its most derived type) at zero.
    template <class Self>
    static ULONG release(Self* self) noexcept {
        ULONG n = --self->refs_;
        if (n == 0) delete self;
        return n;
    }

  private:
    std::atomic<ULONG> refs_{1};
};

GUID to_guid(const Uuid& uuid) noexcept;
// The identifiers the library registers, all derived from names.
GUID library_id() noexcept;
GUID class_id(StringView progid) noexcept;
GUID interface_id(StringView interface_name) noexcept;
// Asked of an IDispatch to learn whether it is one of the library's own.
extern const GUID kIdOwnObject;

}  // namespace vorlek::com
