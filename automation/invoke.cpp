#include "automation/invoke.h"

#include <array>
#include <new>
#include <stdexcept>

namespace vorlek {

namespace {

// Zero value of a parameter type, or the missing marker for a Variant.
Variant omitted_value(const ParamInfo& p) {
    if (p.has_default) return p.default_value;
    switch (p.type) {
        case VarType::Variant:
            return Missing{};
        case VarType::String:
            return String();
        case VarType::Long:
            return int32_t{0};
        case VarType::Integer:
            return int16_t{0};
        case VarType::Byte:
            return uint8_t{0};
        case VarType::Boolean:
            return false;
        case VarType::Double:
            return 0.0;
        case VarType::Date:
            return Date{};
        case VarType::Object:
            return Ref<Object>();
        default:
            return Variant();
    }
}

// The member a call names, or null with the failure set.
const MemberInfo* resolve(const ClassInfo& info, DispId id, uint8_t kinds,
                          std::optional<DispatchError>& failure) {
    const MemberInfo* m = info.find(id, kinds);
    // Script engines assign objects with a plain put and values with a put-ref
    // now and then; a property that has only the other kind takes the value.
    if (!m && (kinds & (MemberKind::Let | MemberKind::Set)) != 0)
        m = info.find(id, MemberKind::Let | MemberKind::Set);
    if (!m)
        failure.emplace(info.first(id) ? DispatchFailure::MemberNotFound
                                       : DispatchFailure::UnknownName);
    return m;
}

// Small-buffer storage for the bound arguments: most members take a handful.
class Slots {
  public:
    explicit Slots(size_t n) : n_(n) {
        if (n > inline_.size()) heap_.resize(n);
    }
    Variant& operator[](size_t i) { return data()[i]; }
    std::span<Variant> span() { return {data(), n_}; }

  private:
    Variant* data() { return heap_.empty() ? inline_.data() : heap_.data(); }
    size_t n_;
    std::array<Variant, 8> inline_;
    std::vector<Variant> heap_;
};

Invoked failed(DispatchFailure failure, int32_t detail = 0) {
    return {Variant(), DispatchError(failure, detail)};
}

// Runs a member: the one boundary between members and clients, where
// whatever a member lets out becomes an automation failure. The checks
// around it return their failures rather than raise them: a call that fails
// is common (scripts probe with On Error Resume Next, the fuzz target all
// the time) and unwinding is not cheap.
template <class Run>
Invoked run_member(Run&& run) {
    try {
        return {run(), std::nullopt};
    } catch (const DispatchError& e) {
        return {Variant(), e};
    } catch (const RuntimeError& e) {
        // Only members that raise on purpose get here; every other member
        // handles its own run-time errors.
        return {Variant(), DispatchError(DispatchFailure::Exception, e.number(), e.description())};
    } catch (const std::bad_alloc&) {
        return failed(DispatchFailure::Exception, err::kOutOfMemory);
    } catch (const std::length_error&) {
        // A string or vector past what the library can hold.
        return failed(DispatchFailure::Exception, err::kOutOfMemory);
    } catch (...) {
        return failed(DispatchFailure::Exception, err::kInternal);
    }
}

Invoked call(Object& object, DispId id, uint8_t kinds, std::span<Variant> positional,
             std::span<NamedArgument> named) {
    std::optional<DispatchError> unresolved;
    const MemberInfo* found = resolve(object.class_info(), id, kinds, unresolved);
    if (!found) return {Variant(), std::move(unresolved)};
    const MemberInfo& m = *found;
    const bool put = (kinds & (MemberKind::Let | MemberKind::Set)) != 0;
    if (!put && m.kind == MemberKind::Get && m.thunk && m.params.empty() &&
        (!positional.empty() || !named.empty())) {
        // coll(1) on a property that returns a collection: the arguments go
        // to the default member of what the property returns.
        Invoked got = run_member([&] { return m.thunk(object, {}); });
        if (got.failure) return got;
        Ref<Object> inner = got.value.object();
        if (!inner) return failed(DispatchFailure::BadParamCount);
        return call(*inner, kDispIdValue, kinds, positional, named);
    }
    if (!m.thunk) {
        if (!positional.empty() || !named.empty()) return failed(DispatchFailure::BadParamCount);
        return {m.constant, std::nullopt};
    }

    const size_t count = m.params.size();
    if (positional.size() + named.size() > count) return failed(DispatchFailure::BadParamCount);

    // Which caller argument fills each parameter: positional index, named
    // index offset by count, or none.
    constexpr size_t kNone = SIZE_MAX;
    std::array<size_t, 16> source_inline;
    std::vector<size_t> source_heap;
    size_t* source = source_inline.data();
    if (count > source_inline.size()) {
        source_heap.resize(count);
        source = source_heap.data();
    }
    std::fill(source, source + count, kNone);
    for (size_t i = 0; i < positional.size(); ++i)
        source[i] = i;
    for (size_t i = 0; i < named.size(); ++i) {
        int32_t p = named[i].param;
        if (p < 0 || static_cast<size_t>(p) >= count || source[p] != kNone)
            return failed(DispatchFailure::BadParamCount);
        source[p] = count + i;
    }

    Slots args(count);
    for (size_t i = 0; i < count; ++i) {
        const ParamInfo& p = m.params[i];
        const Variant* given = source[i] == kNone  ? nullptr
                               : source[i] < count ? &positional[source[i]]
                                                   : &named[source[i] - count].value;
        if (given && given->is_missing() && p.type != VarType::Variant) given = nullptr;
        if (!given || (given->is_missing() && p.has_default)) {
            if (!p.optional) return failed(DispatchFailure::BadParamCount);
            args[i] = omitted_value(p);
            continue;
        }
        try {
            args[i] = given->coerce(p.type);
        } catch (const RuntimeError& e) {
            return failed(e.number() == err::kOverflow ? DispatchFailure::Overflow
                                                       : DispatchFailure::TypeMismatch,
                          static_cast<int32_t>(i));
        }
    }

    Invoked result = run_member([&] { return m.thunk(object, args.span()); });
    if (result.failure) return result;

    for (size_t i = 0; i < count; ++i) {
        if (!m.params[i].by_ref || source[i] == kNone) continue;
        Variant& target =
            source[i] < count ? positional[source[i]] : named[source[i] - count].value;
        target = std::move(args[i]);
    }
    return result;
}

}  // namespace

Invoked try_invoke(Object& object, DispId id, uint8_t kinds, std::span<Variant> positional,
                   std::span<NamedArgument> named) {
    try {
        return call(object, id, kinds, positional, named);
    } catch (const std::bad_alloc&) {
        // The arguments' conversions, outside the members.
        return failed(DispatchFailure::Exception, err::kOutOfMemory);
    } catch (const std::length_error&) {
        return failed(DispatchFailure::Exception, err::kOutOfMemory);
    }
}

Invoked try_invoke(Object& object, StringView member, uint8_t kinds, std::span<Variant> positional,
                   std::span<NamedArgument> named) {
    auto id = object.class_info().dispid_of(member);
    if (!id) return failed(DispatchFailure::UnknownName);
    return try_invoke(object, *id, kinds, positional, named);
}

Variant invoke(Object& object, DispId id, uint8_t kinds, std::span<Variant> positional,
               std::span<NamedArgument> named) {
    Invoked r = try_invoke(object, id, kinds, positional, named);
    if (r.failure) throw std::move(*r.failure);
    return std::move(r.value);
}

Variant invoke(Object& object, StringView member, uint8_t kinds, std::span<Variant> positional,
               std::span<NamedArgument> named) {
    Invoked r = try_invoke(object, member, kinds, positional, named);
    if (r.failure) throw std::move(*r.failure);
    return std::move(r.value);
}

}  // namespace vorlek
