#include "automation/member.h"

namespace vorlek {

void ClassInfo::index() {
    by_name_.clear();
    by_id_.clear();
    for (const auto& m : members) {
        by_name_.emplace(String(m.name), m.dispid);
        by_id_[m.dispid].push_back(&m);
    }
}

std::optional<DispId> ClassInfo::dispid_of(StringView member) const {
    auto it = by_name_.find(member);
    if (it == by_name_.end()) return std::nullopt;
    return it->second;
}

const MemberInfo* ClassInfo::find(DispId id, uint8_t kinds) const {
    auto it = by_id_.find(id);
    if (it == by_id_.end()) return nullptr;
    for (auto kind : {MemberKind::Method, MemberKind::Get, MemberKind::Let, MemberKind::Set}) {
        if ((kinds & static_cast<uint8_t>(kind)) == 0) continue;
        for (const MemberInfo* m : it->second) {
            if (m->kind == kind) return m;
        }
    }
    return nullptr;
}

const MemberInfo* ClassInfo::first(DispId id) const {
    auto it = by_id_.find(id);
    return it == by_id_.end() ? nullptr : it->second.front();
}

std::optional<int32_t> ClassInfo::param_index(DispId id, StringView param_name) const {
    const MemberInfo* m = first(id);
    if (!m) return std::nullopt;
    for (size_t i = 0; i < m->params.size(); ++i) {
        if (equal_ignore_case(m->params[i].name, param_name)) return static_cast<int32_t>(i);
    }
    return std::nullopt;
}

}  // namespace vorlek
