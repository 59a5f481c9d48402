// A part of a machine's state that copies of the machine share until one of
// them changes it. A network restored between fuzz inputs copies its
// machines whole; with their large parts held this way, a copy costs a
// reference count for every part the input left alone.
#pragma once

#include <memory>
#include <utility>

namespace vorlek::sim {

template <class T>
class CopyOnWrite {
  public:
    CopyOnWrite() : value_(std::make_shared<T>()) {}
    CopyOnWrite(T value) : value_(std::make_shared<T>(std::move(value))) {}  // NOLINT

    const T& operator*() const noexcept { return *value_; }
    const T* operator->() const noexcept { return value_.get(); }

    // The value to change: a copy of its own first if another holds it.
    T& write() {
        if (value_.use_count() > 1) value_ = std::make_shared<T>(std::as_const(*value_));
        return *value_;
    }
    // Whether another copy holds the same value still.
    bool shared() const noexcept { return value_.use_count() > 1; }

  private:
    std::shared_ptr<T> value_;
};

}  // namespace vorlek::sim
