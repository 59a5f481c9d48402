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

class Object;
class Variant;
struct Array;

// Receives each strong reference an object holds: to another object, or to
// an array (arrays are shared between the Variants that hold them; `holders`
// is how many do).
class ReferenceVisitor {
  public:
    virtual void operator()(Object& referenced) = 0;
    virtual void operator()(const Array& referenced, long holders) = 0;

  protected:
    ~ReferenceVisitor() = default;
};

class Object {
  public:
    Object();
    Object(const Object&) = delete;
    Object& operator=(const Object&) = delete;

    void add_ref() noexcept { ++refs_; }
    void release_ref() noexcept {
        if (--refs_ == 0)
            delete this;
        else if (in_cycle_)
            collect_cycles();
    }
    uint32_t ref_count() const noexcept { return refs_; }

    // Reference cycles. Scripts build them easily (`c.Add(c)`, a Stringer
    // added to its own SepStrings), and counting alone never frees them.
    // Objects that hold references to other objects or to arrays report
    // them here, each strong reference once.
    virtual void visit_references(ReferenceVisitor&) const {}
    // Lets go of every reference visit_references reports. Only the cycle
    // collector calls it, on objects nothing outside the cycle can reach.
    virtual void drop_references() noexcept {}

    // The member table of the object's class.
    virtual const ClassInfo& class_info() const noexcept = 0;

    ObjectPeer* peer() const noexcept { return peer_; }
    void set_peer(ObjectPeer* peer) noexcept { peer_ = peer; }

    // Live objects of every class, for leak checks (DllCanUnloadNow, tests).
    static uint64_t live_count() noexcept;

  protected:
    virtual ~Object();
    // A class calls this after it stored a new strong reference to
    // `referenced`. When the reference closes a cycle, the objects on it are
    // marked; releasing a marked object then checks whether what it reaches
    // is still held from outside, and frees the part that is not.
    void referenced(Object* referenced) noexcept;
    // The same for a Variant it stored (an object, or an array holding some).
    void referenced(const Variant& value) noexcept;

  private:
    void collect_cycles() noexcept;
    // Marks the objects of a cycle the new reference (to `object`, or to
    // `array` with its holders) closed through this object, if it closed one.
    void mark_cycle(Object* object, const Array* array, long holders) noexcept;

    uint32_t refs_ = 0;
    bool in_cycle_ = false;
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
