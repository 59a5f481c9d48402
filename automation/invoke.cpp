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

const MemberInfo& resolve(const ClassInfo& info, DispId id, uint8_t kinds) {
    const MemberInfo* m = info.find(id, kinds);
    // Script engines assign objects with a plain put and values with a put-ref
    // now and then; a property that has only the other kind takes the value.
    if (!m && (kinds & (MemberKind::Let | MemberKind::Set)) != 0)
        m = info.find(id, MemberKind::Let | MemberKind::Set);
    if (m) return *m;
    if (!info.first(id)) throw DispatchError(DispatchFailure::UnknownName);
    throw DispatchError(DispatchFailure::MemberNotFound);
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

Variant call(Object& object, DispId id, uint8_t kinds, std::span<Variant> positional,
             std::span<NamedArgument> named) {
    const MemberInfo& m = resolve(object.class_info(), id, kinds);
    const bool put = (kinds & (MemberKind::Let | MemberKind::Set)) != 0;
    if (!put && m.kind == MemberKind::Get && m.thunk && m.params.empty() &&
        (!positional.empty() || !named.empty())) {
        // coll(1) on a property that returns a collection: the arguments go
        // to the default member of what the property returns.
        Ref<Object> inner = m.thunk(object, {}).object();
        if (!inner) throw DispatchError(DispatchFailure::BadParamCount);
        return call(*inner, kDispIdValue, kinds, positional, named);
    }
    if (!m.thunk) {
        if (!positional.empty() || !named.empty())
            throw DispatchError(DispatchFailure::BadParamCount);
        return m.constant;
    }

    const size_t count = m.params.size();
    if (positional.size() + named.size() > count)
        throw DispatchError(DispatchFailure::BadParamCount);

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
            throw DispatchError(DispatchFailure::BadParamCount);
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
            if (!p.optional) throw DispatchError(DispatchFailure::BadParamCount);
            args[i] = omitted_value(p);
            continue;
        }
        try {
            args[i] = given->coerce(p.type);
        } catch (const RuntimeError& e) {
            throw DispatchError(e.number() == err::kOverflow ? DispatchFailure::Overflow
                                                             : DispatchFailure::TypeMismatch,
                                static_cast<int32_t>(i));
        }
    }

    Variant result = m.thunk(object, args.span());

    for (size_t i = 0; i < count; ++i) {
        if (!m.params[i].by_ref || source[i] == kNone) continue;
        Variant& target =
            source[i] < count ? positional[source[i]] : named[source[i] - count].value;
        target = std::move(args[i]);
    }
    return result;
}

}  // namespace

Variant invoke(Object& object, DispId id, uint8_t kinds, std::span<Variant> positional,
               std::span<NamedArgument> named) {
    // The one boundary between members and clients: whatever a member lets
    // out becomes an automation failure here.
    try {
        return call(object, id, kinds, positional, named);
    } catch (const DispatchError&) {
        throw;
    } catch (const RuntimeError& e) {
        // Only members that raise on purpose get here; every other member
        // handles its own run-time errors.
        throw DispatchError(DispatchFailure::Exception, e.number(), e.description());
    } catch (const std::bad_alloc&) {
        throw DispatchError(DispatchFailure::Exception, err::kOutOfMemory);
    } catch (const std::length_error&) {
        // A string or vector past what the library can hold.
        throw DispatchError(DispatchFailure::Exception, err::kOutOfMemory);
    } catch (...) {
        throw DispatchError(DispatchFailure::Exception, err::kInternal);
    }
}

Variant invoke(Object& object, StringView member, uint8_t kinds, std::span<Variant> positional,
               std::span<NamedArgument> named) {
    auto id = object.class_info().dispid_of(member);
    if (!id) throw DispatchError(DispatchFailure::UnknownName);
    return invoke(object, *id, kinds, positional, named);
}

}  // namespace vorlek
