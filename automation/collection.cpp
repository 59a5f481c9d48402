#include "automation/collection.h"

namespace vorlek {

const ClassInfo& Collection::info() {
    static const ClassInfo info =
        ClassBuilder<Collection>(u"Collection")
            .method<&Collection::Add>(u"Add", {param(u"Item"), optional(u"Key")}, u"Adds an item")
            .get<&Collection::Count>(u"Count", {}, u"Number of items")
            .method<&Collection::Item>(u"Item", {param(u"Index")}, u"Item by position or key")
            .dispid(kDispIdValue)
            .method<&Collection::Remove>(u"Remove", {param(u"Index")}, u"Removes an item")
            .method<&Collection::NewEnum>(u"_NewEnum", {})
            .dispid(kDispIdNewEnum, true)
            .not_creatable()
            .build();
    return info;
}

const ClassInfo& CollectionEnumerator::info() {
    static const ClassInfo info =
        ClassBuilder<CollectionEnumerator>(u"Enumerator").not_creatable().build();
    return info;
}

size_t Collection::position_of(const Variant& index) const {
    if (const String* key = index.if_string()) {
        auto it = keys_.find(*key);
        if (it == keys_.end()) raise(err::kInvalidCall);
        return it->second;
    }
    if (index.is_object() || index.is_array() || index.is_missing()) raise(err::kTypeMismatch);
    int32_t n = index.to_long();
    if (n < 1 || static_cast<size_t>(n) > items_.size()) raise(err::kSubscript);
    return static_cast<size_t>(n - 1);
}

Variant Collection::Item(const Variant& index) const {
    return items_[position_of(index)].value;
}

void Collection::Add(const Variant& item, const Variant& key) {
    if (key.is_missing() || key.is_empty()) return add(item);
    if (!key.if_string()) raise(err::kTypeMismatch);
    add(item, *key.if_string());
}

void Collection::add(Variant item, StringView key) {
    const String* stored = nullptr;
    if (!key.empty()) {
        auto [it, inserted] = keys_.try_emplace(String(key), items_.size());
        if (!inserted) raise(err::kDuplicateKey);
        stored = &it->first;
    }
    try {
        items_.push_back({std::move(item), stored});
    } catch (...) {
        if (stored) keys_.erase(*stored);
        throw;
    }
    referenced(items_.back().value);
}

void Collection::visit_references(ReferenceVisitor& visit) const {
    for (const Entry& e : items_)
        e.value.visit_references(visit);
}

void Collection::drop_references() noexcept {
    // Out of the collection first: the releases below find it empty.
    auto dropped = std::move(items_);
    items_.clear();
    keys_.clear();
}

void Collection::Remove(const Variant& index) {
    size_t pos = position_of(index);
    // The item is let go of last, once the collection is whole again: its
    // release may free a cycle that holds this collection, which empties it.
    const Variant removed = std::move(items_[pos].value);
    if (const String* key = items_[pos].key) keys_.erase(keys_.find(*key));
    items_.erase(items_.begin() + static_cast<ptrdiff_t>(pos));
    for (auto& [key, at] : keys_) {
        if (at > pos) --at;
    }
}

const Variant* Collection::find(StringView key) const {
    auto it = keys_.find(key);
    return it == keys_.end() ? nullptr : &items_[it->second].value;
}

Ref<Object> Collection::NewEnum() {
    return make<CollectionEnumerator>(Ref<Collection>(this));
}

bool CollectionEnumerator::next(Variant& out) {
    if (!collection_ || position_ >= collection_->size()) return false;
    out = collection_->at(position_++);
    return true;
}

Ref<CollectionEnumerator> CollectionEnumerator::clone() const {
    auto copy = make<CollectionEnumerator>(collection_);
    copy->position_ = position_;
    return copy;
}

}  // namespace vorlek
