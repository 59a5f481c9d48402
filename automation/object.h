// Reference-counted automation objects.
#pragma once

#include <cstdint>
#include <utility>

namespace vorlek {

class ClassInfo;

// Intrusive strong reference, the C++ face of an automation object reference.
template <class T>
class Ref {
  public:
    using element_type = T;

    Ref() noexcept = default;
    Ref(std::nullptr_t) noexcept {}
    explicit Ref(T* p) noexcept : p_(p) {
        if (p_) p_->add_ref();
    }
    Ref(const Ref& other) noexcept : Ref(other.p_) {}
    Ref(Ref&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
    template <class U>
    requires std::is_convertible_v<U*, T*> Ref(const Ref<U>& other)
    noexcept : Ref(other.get()) {}
    template <class U>
    requires std::is_convertible_v<U*, T*> Ref(Ref<U>&& other)
    noexcept : p_(other.release()) {}
    ~Ref() {
        if (p_) p_->release_ref();
    }
    Ref& operator=(Ref other) noexcept {
        std::swap(p_, other.p_);
        return *this;
    }

    T* get() const noexcept { return p_; }
    T* operator->() const noexcept { return p_; }
    T& operator*() const noexcept { return *p_; }
    explicit operator bool() const noexcept { return p_ != nullptr; }
    // Hands the reference over to the caller, who must release it.
    T* release() noexcept { return std::exchange(p_, nullptr); }

    friend bool operator==(const Ref& a, const Ref& b) noexcept { return a.p_ == b.p_; }

  private:
    T* p_ = nullptr;
};

// Hook through which a bridge (the COM adapter) keeps one peer per object, so a
// client sees the same identity each time it is handed the same object.
class ObjectPeer {
  public:
    virtual void object_destroyed() noexcept = 0;

  protected:
    ~ObjectPeer() = default;
};

class Object {
  public:
    Object();
    Object(const Object&) = delete;
    Object& operator=(const Object&) = delete;

    void add_ref() noexcept { ++refs_; }
    void release_ref() noexcept {
        if (--refs_ == 0) delete this;
    }
    uint32_t ref_count() const noexcept { return refs_; }

    // The member table of the object's class.
    virtual const ClassInfo& class_info() const noexcept = 0;

    ObjectPeer* peer() const noexcept { return peer_; }
    void set_peer(ObjectPeer* peer) noexcept { peer_ = peer; }

    // Live objects of every class, for leak checks (DllCanUnloadNow, tests).
    static uint64_t live_count() noexcept;

  protected:
    virtual ~Object();

  private:
    uint32_t refs_ = 0;
    ObjectPeer* peer_ = nullptr;
};

template <class T, class... Args>
Ref<T> make(Args&&... args) {
    return Ref<T>(new T(std::forward<Args>(args)...));
}

template <class T>
Ref<T> ref_cast(const Ref<Object>& object) {
    return Ref<T>(dynamic_cast<T*>(object.get()));
}

}  // namespace vorlek
