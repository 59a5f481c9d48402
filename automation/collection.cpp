#include "automation/collection.h"

#include <algorithm>
#include <stdexcept>

#include "automation/text.h"

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

namespace {

uint32_t key_hash(StringView key) noexcept {
    return static_cast<uint32_t>(CaseInsensitiveHash{}(key));
}

constexpr size_t kMinIndex = 8;

// At most seven eighths full, so that a probe soon meets a free slot.
size_t index_length(size_t keys) noexcept {
    size_t length = kMinIndex;
    while (length - length / 8 < keys)
        length *= 2;
    return length;
}

}  // namespace

size_t Collection::slot_for(StringView key, uint32_t hash) const noexcept {
    const size_t mask = index_.size() - 1;
    for (size_t at = hash & mask;; at = (at + 1) & mask) {
        const Slot& s = index_[at];
        if (s.position == 0) return at;
        if (s.hash == hash && equal_ignore_case(key_of(items_[s.position - 1]), key)) return at;
    }
}

void Collection::rebuild_index(size_t keys) {
    const size_t length = index_length(keys);
    std::vector<Slot> index(length);
    const size_t mask = length - 1;
    for (size_t pos = 0; pos < items_.size(); ++pos) {
        const Entry& e = items_[pos];
        if (e.key_length == 0) continue;
        const uint32_t hash = key_hash(key_of(e));
        size_t at = hash & mask;
        while (index[at].position != 0)
            at = (at + 1) & mask;
        index[at] = {static_cast<uint32_t>(pos + 1), hash};
    }
    index_ = std::move(index);
}

void Collection::grow_index() {
    // The first key finds room made for as many items as there is room for
    // (a listing makes room before it adds its keyed items), so the index is
    // not moved again and again as it fills. After that the slots move as
    // they are: positions and hashes stay, no key is read.
    const size_t length =
        index_.empty() ? index_length(std::max(keys_ + 1, items_.capacity())) : index_.size() * 2;
    std::vector<Slot> index(length);
    const size_t mask = length - 1;
    for (const Slot& s : index_) {
        if (s.position == 0) continue;
        size_t at = s.hash & mask;
        while (index[at].position != 0)
            at = (at + 1) & mask;
        index[at] = s;
    }
    index_ = std::move(index);
}

// The most items a listing's own count adds to the room beyond what it has
// sent: a count from a server is its word, not memory the caller has seen.
constexpr size_t kMostBelieved = size_t{1} << 20;

void Collection::reserve(size_t count, size_t key_chars) {
    // The count may be a server's word too (a key's number of sub-keys):
    // beyond a million the items make their own room as they come.
    items_.reserve(std::min(count, kMostBelieved));
    if (key_chars > 0) key_text_.reserve(key_text_.size() + key_chars);
}

void Collection::make_room(size_t count, size_t key_chars, size_t remaining) {
    const size_t needed = items_.size() + count;
    if (needed <= items_.capacity() && key_text_.size() + key_chars <= key_text_.capacity()) return;
    size_t items = items_.empty() ? needed : std::max(needed, 2 * items_.capacity());
    if (remaining > count && needed > 0)
        items = std::min({items_.size() + remaining, needed * 64, needed + kMostBelieved});
    // The keys still to come are taken to be as long as this batch's.
    const size_t text =
        key_text_.size() + (count == 0 ? key_chars : key_chars * (items - items_.size()) / count);
    if (needed > items_.capacity()) items_.reserve(items);
    if (text > key_text_.capacity())
        key_text_.reserve(key_text_.empty() ? text : std::max(text, 2 * key_text_.capacity()));
}

size_t Collection::key_position(StringView key) const noexcept {
    if (keys_ == 0) return kNone;
    const Slot& s = index_[slot_for(key, key_hash(key))];
    return s.position == 0 ? kNone : s.position - 1;
}

size_t Collection::position_of(const Variant& index) const {
    if (const String* key = index.if_string()) {
        const size_t at = key_position(*key);
        if (at == kNone) raise(err::kInvalidCall);
        return at;
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
    // Positions are kept in 32 bits.
    if (items_.size() >= UINT32_MAX - 1)
        throw std::length_error("Collection past its maximum size");
    Entry entry{std::move(item), 0, 0};
    const size_t text_before = key_text_.size();
    const uint32_t hash = key.empty() ? 0 : key_hash(key);
    if (!key.empty()) {
        if (keys_ > 0 && index_[slot_for(key, hash)].position != 0) raise(err::kDuplicateKey);
        if (keys_ + 1 > index_.size() - index_.size() / 8) grow_index();
        entry.key_at = static_cast<uint32_t>(key_text_.size());
        entry.key_length = static_cast<uint32_t>(key.size());
        key_text_.append(key);
    }
    try {
        items_.push_back(std::move(entry));
    } catch (...) {
        key_text_.resize(text_before);
        throw;
    }
    if (!key.empty()) {
        index_[slot_for(key, hash)] = {static_cast<uint32_t>(items_.size()), hash};
        ++keys_;
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
    index_.clear();
    key_text_.clear();
    keys_ = removed_text_ = 0;
}

void Collection::Remove(const Variant& index) {
    size_t pos = position_of(index);
    // The item is let go of last, once the collection is whole again: its
    // release may free a cycle that holds this collection, which empties it.
    const Variant removed = std::move(items_[pos].value);
    const uint32_t length = items_[pos].key_length;
    items_.erase(items_.begin() + static_cast<ptrdiff_t>(pos));
    if (length > 0) {
        --keys_;
        removed_text_ += length;
        // Removed keys' text goes once it is most of what is kept.
        if (removed_text_ > key_text_.size() / 2) {
            String kept;
            kept.reserve(key_text_.size() - removed_text_);
            for (Entry& e : items_) {
                const auto at = static_cast<uint32_t>(kept.size());
                kept.append(key_of(e));
                e.key_at = at;
            }
            key_text_ = std::move(kept);
            removed_text_ = 0;
        }
    }
    // Positions after the removed item moved: the index is made again, as
    // Remove is linear anyway.
    rebuild_index(keys_);
}

const Variant* Collection::find(StringView key) const {
    const size_t at = key_position(key);
    return at == kNone ? nullptr : &items_[at].value;
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
