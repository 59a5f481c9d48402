// The class catalogue: ProgID to class.
#pragma once

#include <unordered_map>
#include <vector>

#include "automation/member.h"

namespace vorlek {

class Catalogue {
  public:
    void add(const ClassInfo& info);
    // Case-insensitive, as ProgIDs are; null when unknown.
    const ClassInfo* find(StringView progid) const;
    // The creatable classes in the order they were added.
    const std::vector<const ClassInfo*>& classes() const noexcept { return classes_; }
    // A new object of the class, or null when the ProgID is unknown.
    Ref<Object> create(StringView progid) const;

  private:
    std::vector<const ClassInfo*> classes_;
    std::unordered_map<String, const ClassInfo*, CaseInsensitiveHash, CaseInsensitiveEqual>
        by_progid_;
};

}  // namespace vorlek
