// Member tables: one per class, in interface order. The table is the single
// source of truth for late-bound calls, dispatch ids, the type library and the
// reference pages; parameter and result types come from the C++ signature of
// the member function, so they are never written twice.
#pragma once

#include <atomic>
#include <cstdint>
#include <span>
#include <tuple>
#include <type_traits>
#include <unordered_map>
#include <vector>

#include "automation/error.h"
#include "automation/object.h"
#include "automation/text.h"
#include "automation/variant.h"

namespace vorlek {

enum class MemberKind : uint8_t { Method = 1, Get = 2, Let = 4, Set = 8 };
constexpr uint8_t operator|(MemberKind a, MemberKind b) {
    return static_cast<uint8_t>(a) | static_cast<uint8_t>(b);
}

using DispId = int32_t;
constexpr DispId kDispIdValue = 0;     // the default member
constexpr DispId kDispIdNewEnum = -4;  // the enumerator of a collection

// One parameter as a class writes it in its table.
struct ParamSpec {
    StringView name;
    bool optional = false;
    bool has_default = false;
    Variant default_value;
};

inline ParamSpec param(StringView name) {
    return {name};
}
// Optional without a declared default: the zero value of the type, or the
// missing marker for a Variant.
inline ParamSpec optional(StringView name) {
    return {name, true};
}
inline ParamSpec optional(StringView name, Variant def) {
    return {name, true, true, std::move(def)};
}

// A parameter as the table publishes it.
struct ParamInfo {
    StringView name;
    VarType type = VarType::Variant;
    bool by_ref = false;
    bool optional = false;
    bool has_default = false;
    Variant default_value;
};

// Bound arguments, one per parameter, already coerced to their types. For a
// let or set the last one is the value being assigned. In-out parameters are
// written back through this span.
using Thunk = Variant (*)(Object& self, std::span<Variant> args);

struct MemberInfo {
    StringView name;
    MemberKind kind = MemberKind::Method;
    DispId dispid = 0;
    std::vector<ParamInfo> params;
    VarType result = VarType::Empty;  // Empty: no result
    StringView help;
    Thunk thunk = nullptr;  // null for a constant
    // The member's function-table entry (see detail::entry_point); null for a
    // constant.
    const void* entry = nullptr;
    Variant constant;     // value of a constant get
    bool hidden = false;  // restricted in the type library (_NewEnum)
};

class ClassInfo {
  public:
    StringView name;                    // "Stringer"
    String progid;                      // "Vorlek.Stringer"
    String interface_name;              // "_Stringer"
    Ref<Object> (*create)() = nullptr;  // null: not creatable by clients
    std::vector<MemberInfo> members;    // interface order

    std::optional<DispId> dispid_of(StringView member) const;
    // The member a call reaches: kinds is a mask of MemberKind values, tried
    // in the order method, get, let, set.
    const MemberInfo* find(DispId id, uint8_t kinds) const;
    // Any member with this dispatch id (for parameter names and help).
    const MemberInfo* first(DispId id) const;
    std::optional<int32_t> param_index(DispId id, StringView param_name) const;

    void index();  // builds the lookups once the members are final

  private:
    std::unordered_map<String, DispId, CaseInsensitiveHash, CaseInsensitiveEqual> by_name_;
    std::unordered_map<DispId, std::vector<const MemberInfo*>> by_id_;
};

namespace detail {

template <class T>
struct Remove {
    using type = std::remove_cvref_t<T>;
};

template <class T>
struct IsRef : std::false_type {};
template <class T>
struct IsRef<Ref<T>> : std::true_type {};

template <class A>
constexpr VarType type_of() {
    using T = std::remove_cvref_t<A>;
    if constexpr (std::is_same_v<T, String>)
        return VarType::String;
    else if constexpr (std::is_same_v<T, int32_t>)
        return VarType::Long;
    else if constexpr (std::is_same_v<T, int16_t>)
        return VarType::Integer;
    else if constexpr (std::is_same_v<T, uint8_t>)
        return VarType::Byte;
    else if constexpr (std::is_same_v<T, bool>)
        return VarType::Boolean;
    else if constexpr (std::is_same_v<T, double>)
        return VarType::Double;
    else if constexpr (std::is_same_v<T, Date>)
        return VarType::Date;
    else if constexpr (std::is_same_v<T, Variant>)
        return VarType::Variant;
    else if constexpr (std::is_same_v<T, void>)
        return VarType::Empty;
    else if constexpr (IsRef<T>::value)
        return VarType::Object;
    else
        static_assert(sizeof(T) == 0, "not an automation type");
}

// In-out parameters are Variants taken by non-const reference.
template <class A>
constexpr bool is_by_ref() {
    return std::is_lvalue_reference_v<A> && !std::is_const_v<std::remove_reference_t<A>>;
}

template <class A>
decltype(auto) extract(Variant& v, [[maybe_unused]] size_t index) {
    using T = std::remove_cvref_t<A>;
    if constexpr (is_by_ref<A>()) {
        static_assert(std::is_same_v<T, Variant>, "in-out parameters are Variants");
        return (v);
    } else if constexpr (std::is_same_v<T, String>)
        return v.take_string();
    else if constexpr (std::is_same_v<T, int32_t>)
        return v.to_long();
    else if constexpr (std::is_same_v<T, int16_t>)
        return v.to_integer();
    else if constexpr (std::is_same_v<T, uint8_t>)
        return v.to_byte();
    else if constexpr (std::is_same_v<T, bool>)
        return v.to_bool();
    else if constexpr (std::is_same_v<T, double>)
        return v.to_double();
    else if constexpr (std::is_same_v<T, Date>)
        return v.to_date();
    else if constexpr (std::is_same_v<T, Variant>)
        return T(v);
    else if constexpr (IsRef<T>::value) {
        // An object of another class where a typed reference is expected is a
        // type mismatch of the call, before the member runs.
        Ref<Object> object = v.to_object();
        auto typed = ref_cast<typename T::element_type>(object);
        if (object && !typed)
            throw DispatchError(DispatchFailure::TypeMismatch, static_cast<int32_t>(index));
        return typed;
    }
}

// Function-table entries. A client may also call members directly through a
// function table (a dual interface): one entry per member, taking the
// interface pointer, the arguments in their binary form and, unless the
// member returns nothing, a pointer for the result. The entries are made here
// because only here is the member function's C++ signature known; each hands
// the addresses of its arguments to the one routine a bridge installs, which
// reads them by the member's ParamInfo types and goes through invoke().
#if defined(_WIN32) && !defined(_WIN64)
#define VORLEK_STDCALL __stdcall
#else
#define VORLEK_STDCALL
#endif

// A VARIANT passed by value: opaque here, of its size and alignment.
struct alignas(8) BinaryVariant {
    unsigned char bytes[8 + 2 * sizeof(void*)];
};

// Binary forms: String and objects are pointers (BSTR, IDispatch*), Boolean
// is 16 bits (-1/0), Date a double, an in-out Variant a pointer to it.
// Numbers keep their own form.
template <class T>
using Binary = std::conditional_t<
    std::is_same_v<T, bool>, int16_t,
    std::conditional_t<std::is_same_v<T, Date>, double,
                       std::conditional_t<std::is_same_v<T, Variant>, BinaryVariant,
                                          std::conditional_t<std::is_arithmetic_v<T>, T, void*>>>>;

// The routine every entry calls: `entry` tells which member, `args` points at
// each argument as received, `result` is the caller's result pointer (null
// when the member returns nothing). Returns the call's status code.
using EntryCall = int32_t (*)(void* self, const void* entry, const void* const* args, void* result);
inline std::atomic<EntryCall> entry_call{nullptr};

// What a member function pointer tells about parameters and result; `Self`
// is the class, const-qualified for const members.
template <class Self, class R, class... A>
struct SignatureOf {
    using Class = std::remove_const_t<Self>;
    using Result = R;
    static std::vector<ParamInfo> params() {
        return {ParamInfo{{}, type_of<A>(), is_by_ref<A>()}...};
    }
    template <auto F>
    static Variant call(Object& self, std::span<Variant> args) {
        return invoke_with<F>(static_cast<Self&>(self), args, std::index_sequence_for<A...>{});
    }
    template <class P>
    using BinaryOf = std::conditional_t<is_by_ref<P>(), void*, Binary<std::remove_cvref_t<P>>>;

    template <auto F>
    static const void* entry_point() {
        if constexpr (std::is_void_v<R>)
            return reinterpret_cast<const void*>(&entry_without_result<F>);
        else
            return reinterpret_cast<const void*>(&entry_with_result<F>);
    }
    template <auto F>
    static int32_t VORLEK_STDCALL entry_with_result(void* self, BinaryOf<A>... args, void* result) {
        const void* const pointers[] = {static_cast<const void*>(&args)..., nullptr};
        return forward(self, reinterpret_cast<const void*>(&entry_with_result<F>), pointers,
                       result);
    }
    template <auto F>
    static int32_t VORLEK_STDCALL entry_without_result(void* self, BinaryOf<A>... args) {
        const void* const pointers[] = {static_cast<const void*>(&args)..., nullptr};
        return forward(self, reinterpret_cast<const void*>(&entry_without_result<F>), pointers,
                       nullptr);
    }
    static int32_t forward(void* self, const void* entry, const void* const* args, void* result) {
        EntryCall call = entry_call.load(std::memory_order_acquire);
        // Only a bridge hands out function tables, after installing the routine.
        return call ? call(self, entry, args, result) : static_cast<int32_t>(0x8000FFFFu);
    }

    template <auto F, size_t... I>
    static Variant invoke_with(Self& self, std::span<Variant> args, std::index_sequence<I...>) {
        if constexpr (std::is_void_v<R>) {
            (self.*F)(extract<A>(args[I], I)...);
            return Variant();
        } else {
            return Variant((self.*F)(extract<A>(args[I], I)...));
        }
    }
};

template <class F>
struct Signature;
template <class C, class R, class... A>
struct Signature<R (C::*)(A...)> : SignatureOf<C, R, A...> {};
template <class C, class R, class... A>
struct Signature<R (C::*)(A...) const> : SignatureOf<const C, R, A...> {};

template <auto F>
Variant thunk(Object& self, std::span<Variant> args) {
    return Signature<decltype(F)>::template call<F>(self, args);
}

}  // namespace detail

// Builds a class's table in interface order:
//
//   ClassBuilder<Stringer>(u"Stringer")
//       .get<&Stringer::LastError>(u"LastError", {}, u"help")
//       .method<&Stringer::ReverseString>(u"ReverseString",
//           {param(u"strString"), param(u"strDefault"), optional(u"lngLength", 1)}, u"help")
//       .constant(u"REPLACE_ALL", 0, u"help")
//       .build();
//
// Parameter lists name every parameter of the C++ function in order (a let or
// set names only the ones before the assigned value).
template <class C>
class ClassBuilder {
  public:
    explicit ClassBuilder(StringView name) {
        info_.name = name;
        info_.progid = String(u"Vorlek.") + String(name);
        info_.interface_name = String(u"_").append(name);
        if constexpr (std::is_default_constructible_v<C>)
            info_.create = [] { return Ref<Object>(make<C>()); };
    }

    template <auto F>
    ClassBuilder& method(StringView name, std::vector<ParamSpec> params, StringView help = {}) {
        return add<F>(name, MemberKind::Method, std::move(params), help);
    }
    template <auto F>
    ClassBuilder& get(StringView name, std::vector<ParamSpec> params = {}, StringView help = {}) {
        return add<F>(name, MemberKind::Get, std::move(params), help);
    }
    template <auto F>
    ClassBuilder& let(StringView name, StringView help = {}) {
        return add<F>(name, MemberKind::Let, {param(u"RHS")}, help);
    }
    template <auto F>
    ClassBuilder& set(StringView name, StringView help = {}) {
        return add<F>(name, MemberKind::Set, {param(u"RHS")}, help);
    }
    ClassBuilder& constant(StringView name, int32_t value, StringView help = {}) {
        MemberInfo m;
        m.name = name;
        m.kind = MemberKind::Get;
        m.result = VarType::Long;
        m.help = help;
        m.constant = value;
        return push(std::move(m));
    }
    // Gives the last added name a fixed dispatch id (the default member, the
    // enumerator) and optionally hides it from browsers.
    ClassBuilder& dispid(DispId id, bool hidden = false) {
        StringView name = info_.members.back().name;
        for (auto& m : info_.members) {
            if (equal_ignore_case(m.name, name)) {
                m.dispid = id;
                m.hidden = hidden;
            }
        }
        return *this;
    }
    // Classes the library creates itself but clients cannot (the collection).
    ClassBuilder& not_creatable() {
        info_.create = nullptr;
        return *this;
    }
    ClassInfo build() {
        info_.index();
        return std::move(info_);
    }

  private:
    template <auto F>
    ClassBuilder& add(StringView name, MemberKind kind, std::vector<ParamSpec> specs,
                      StringView help) {
        using Sig = detail::Signature<decltype(F)>;
        static_assert(std::is_base_of_v<typename Sig::Class, C> ||
                      std::is_same_v<typename Sig::Class, C>);
        MemberInfo m;
        m.name = name;
        m.kind = kind;
        m.help = help;
        m.result = detail::type_of<typename Sig::Result>();
        m.params = Sig::params();
        m.thunk = &detail::thunk<F>;
        m.entry = Sig::template entry_point<F>();
        // The function-table entry tells the member by the function it calls.
        for (const auto& other : info_.members) {
            if (other.thunk == m.thunk)
                throw std::logic_error("member table: a function serves one member only");
        }
        if (specs.size() != m.params.size())
            throw std::logic_error("member table: parameter count");
        for (size_t i = 0; i < specs.size(); ++i) {
            ParamInfo& p = m.params[i];
            p.name = specs[i].name;
            p.optional = specs[i].optional;
            p.has_default = specs[i].has_default;
            if (p.has_default) p.default_value = specs[i].default_value.coerce(p.type);
        }
        return push(std::move(m));
    }

    ClassBuilder& push(MemberInfo m) {
        // A name keeps one dispatch id for all its kinds; new names count up from 1.
        DispId id = next_id_;
        bool seen = false;
        for (const auto& other : info_.members) {
            if (equal_ignore_case(other.name, m.name)) {
                id = other.dispid;
                m.hidden = other.hidden;
                seen = true;
                break;
            }
        }
        if (!seen) ++next_id_;
        m.dispid = id;
        info_.members.push_back(std::move(m));
        return *this;
    }

    ClassInfo info_;
    DispId next_id_ = 1;
};

}  // namespace vorlek
