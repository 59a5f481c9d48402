#include "automation/catalogue.h"

namespace vorlek {

void Catalogue::add(const ClassInfo& info) {
    if (by_progid_.emplace(info.progid, &info).second) classes_.push_back(&info);
}

const ClassInfo* Catalogue::find(StringView progid) const {
    auto it = by_progid_.find(progid);
    return it == by_progid_.end() ? nullptr : it->second;
}

Ref<Object> Catalogue::create(StringView progid) const {
    const ClassInfo* info = find(progid);
    if (!info || !info->create) return {};
    return info->create();
}

}  // namespace vorlek
