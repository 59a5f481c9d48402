#include "library/client.h"

#include "automation/collection.h"
#include "library/library.h"

namespace vorlek::client {

namespace {
constexpr int32_t kCannotCreate = 429;
}

Dispatch::Dispatch(const Variant& value)
    : object_(value.is_object() ? value.object() : Ref<Object>()) {
    if (!object_) throw DispatchError(DispatchFailure::Exception, err::kObjectNotSet);
}

Object& Dispatch::target() const {
    if (!object_) throw DispatchError(DispatchFailure::Exception, err::kObjectNotSet);
    return *object_;
}

Variant Dispatch::call(StringView member, std::vector<Variant> args) const {
    return invoke(target(), member, MemberKind::Method | MemberKind::Get, args);
}

Variant Dispatch::call(StringView member, std::vector<Variant> args,
                       std::vector<Named> named) const {
    Object& obj = target();
    auto id = obj.class_info().dispid_of(member);
    if (!id) throw DispatchError(DispatchFailure::UnknownName);
    std::vector<NamedArgument> bound;
    for (auto& n : named) {
        auto index = obj.class_info().param_index(*id, n.name);
        if (!index) throw DispatchError(DispatchFailure::UnknownName);
        bound.push_back({*index, std::move(n.value)});
    }
    return invoke(obj, *id, MemberKind::Method | MemberKind::Get, args, bound);
}

Variant Dispatch::call_ref(StringView member, std::span<Variant> args) const {
    return invoke(target(), member, MemberKind::Method | MemberKind::Get, args);
}

void Dispatch::let(StringView member, Variant value) const {
    invoke(target(), member, static_cast<uint8_t>(MemberKind::Let), std::span<Variant>(&value, 1));
}

void Dispatch::set(StringView member, Variant object) const {
    invoke(target(), member, static_cast<uint8_t>(MemberKind::Set), std::span<Variant>(&object, 1));
}

std::vector<Variant> Dispatch::each() const {
    auto e = ref_cast<CollectionEnumerator>(
        invoke(target(), kDispIdNewEnum, MemberKind::Method | MemberKind::Get, {}).object());
    if (!e) throw DispatchError(DispatchFailure::MemberNotFound);
    std::vector<Variant> items;
    Variant item;
    while (e->next(item))
        items.push_back(std::move(item));
    return items;
}

Dispatch create(StringView progid) {
    Ref<Object> object = library().create(progid);
    if (!object)
        throw DispatchError(DispatchFailure::Exception, kCannotCreate,
                            u"ActiveX component can't create object");
    return Dispatch(std::move(object));
}

}  // namespace vorlek::client
