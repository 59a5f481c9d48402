// The automation collection object: ordered, indexed from 1, with optional
// unique keys compared without regard to case.
#pragma once

#include <unordered_map>
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
    size_t size() const noexcept { return items_.size(); }
    const Variant& at(size_t zero_based) const { return items_[zero_based].value; }
    const Variant* find(StringView key) const;
    // The item's object, for collections of the library's own classes.
    template <class T>
    Ref<T> object_at(size_t zero_based) const {
        return ref_cast<T>(items_[zero_based].value.object());
    }

  private:
    struct Entry {
        Variant value;
        const String* key;  // the key as stored in keys_ (node keys never move); null: none
    };
    size_t position_of(const Variant& index) const;

    std::vector<Entry> items_;
    std::unordered_map<String, size_t, CaseInsensitiveHash, CaseInsensitiveEqual> keys_;
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
