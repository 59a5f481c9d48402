// A native client of the library: what a script does, from C++. Objects are
// created by ProgID and reached only through late-bound calls by member name.
#pragma once

#include <initializer_list>
#include <vector>

#include "automation/invoke.h"

namespace vorlek::client {

// A named argument: `arg(u"lngLength", 3)`.
struct Named {
    StringView name;
    Variant value;
};
inline Named arg(StringView name, Variant value) {
    return {name, std::move(value)};
}

class Dispatch {
  public:
    Dispatch() = default;
    explicit Dispatch(Ref<Object> object) : object_(std::move(object)) {}
    // A Variant holding an object; raises 91 (object not set) otherwise.
    explicit Dispatch(const Variant& value);

    // A method call or a property get, as `o.Member(args)` in a script.
    Variant call(StringView member, std::vector<Variant> args = {}) const;
    Variant call(StringView member, std::vector<Variant> args, std::vector<Named> named) const;
    // In-out arguments are written back into `args`.
    Variant call_ref(StringView member, std::span<Variant> args) const;
    Variant get(StringView member) const { return call(member); }
    void let(StringView member, Variant value) const;
    void set(StringView member, Variant object) const;

    // The items of a collection, through its enumerator.
    std::vector<Variant> each() const;

    const Ref<Object>& object() const noexcept { return object_; }
    explicit operator bool() const noexcept { return static_cast<bool>(object_); }

  private:
    Object& target() const;
    Ref<Object> object_;
};

// `CreateObject(progid)`: raises DispatchError (number 429) when the ProgID is
// not in the catalogue.
Dispatch create(StringView progid);

}  // namespace vorlek::client
