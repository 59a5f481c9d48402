// The automation collection object: ordered, indexed from 1, with optional
// unique keys compared without regard to case.
#pragma once

#include <cstdint>
#include <vector>

#include "automation/member.h"

namespace vorlek {

class Collection : public Object {
  public:
    static const ClassInfo& info();
    const ClassInfo& class_info() const noexcept override { return info(); }

    // Members as clients call them. Item and Remove take a number (1-based
    // index) or a String (a key); a bad index raises 9, an unknown key 5.
    int32_t Count() const { return static_cast<int32_t>(items_.size()); }
    Variant Item(const Variant& index) const;
    void Add(const Variant& item, const Variant& key);
    void Remove(const Variant& index);
    Ref<Object> NewEnum();

    void visit_references(ReferenceVisitor& visit) const override;
    void drop_references() noexcept override;

    // For the library's own code.
    // Adds an item under a key (an empty key adds it without one); a key
    // already present raises 457 and nothing is added.
    void add(Variant item, StringView key = {});
    // Room for `count` items in all, for a listing that knows its length,
    // and for `key_chars` more characters of keys.
    void reserve(size_t count, size_t key_chars = 0);
    // Room for `count` more items and `key_chars` more characters of keys,
    // for a listing that learns its length a batch at a time: exact for the
    // first batch (most listings have one), at least doubling after it, so
    // that many batches still cost linear time. `remaining`, the number of
    // items the listing says are left with this batch's, makes the room for
    // all of them at once; it is believed up to 64 times the items known, and
    // to a million more at most.
    void make_room(size_t count, size_t key_chars = 0, size_t remaining = 0);
    // The same for a batch of a platform enumeration ({entries,
    // total_entries}), `key_length(entry)` long keys each.
    template <class Batch, class KeyLength>
    void make_room_for(const Batch& batch, KeyLength&& key_length) {
        size_t key_chars = 0;
        for (const auto& entry : batch.entries)
            key_chars += key_length(entry);
        make_room(batch.entries.size(), key_chars, batch.total_entries);
    }
    size_t size() const noexcept { return items_.size(); }
    const Variant& at(size_t zero_based) const { return items_[zero_based].value; }
    const Variant* find(StringView key) const;
    // The item's object, for collections of the library's own classes.
    template <class T>
    Ref<T> object_at(size_t zero_based) const {
        return ref_cast<T>(items_[zero_based].value.object());
    }

  private:
    // A key is a run of key_text_; an item without one has length 0 (an
    // empty key adds no key).
    struct Entry {
        Variant value;
        uint32_t key_at = 0;
        uint32_t key_length = 0;
    };
    // A slot of the key index: the item's position + 1 (0: free) and the low
    // bits of its key's hash, which also place it.
    struct Slot {
        uint32_t position = 0;
        uint32_t hash = 0;
    };
    StringView key_of(const Entry& e) const noexcept {
        return StringView(key_text_).substr(e.key_at, e.key_length);
    }
    static constexpr size_t kNone = SIZE_MAX;
    size_t position_of(const Variant& index) const;
    // The item under `key` (0-based), or kNone.
    size_t key_position(StringView key) const noexcept;
    // The slot holding `key`, or the free slot where it would go.
    size_t slot_for(StringView key, uint32_t hash) const noexcept;
    // Makes the index large enough for `keys` keys and places every key.
    void rebuild_index(size_t keys);
    // Doubles the index (or makes the first one) for one more key.
    void grow_index();

    std::vector<Entry> items_;
    // The keys' texts one after another: one allocation for all of them,
    // where a node and a string for each key cost more than most items.
    String key_text_;
    size_t removed_text_ = 0;  // characters of removed keys still in key_text_
    std::vector<Slot> index_;  // open addressing, a power of two long
    size_t keys_ = 0;
};

// Walks a collection from the first item; later changes to the collection are
// seen (the walk reads by position), never crash it.
class CollectionEnumerator : public Object {
  public:
    explicit CollectionEnumerator(Ref<Collection> collection)
        : collection_(std::move(collection)) {}
    static const ClassInfo& info();
    const ClassInfo& class_info() const noexcept override { return info(); }

    bool next(Variant& out);
    void reset() { position_ = 0; }
    void skip(size_t n) { position_ += n; }
    Ref<CollectionEnumerator> clone() const;

    void visit_references(ReferenceVisitor& visit) const override {
        if (collection_) visit(*collection_);
    }
    void drop_references() noexcept override { auto dropped = std::move(collection_); }

  private:
    Ref<Collection> collection_;
    size_t position_ = 0;
};

}  // namespace vorlek
