#include <mutex>
#include <unordered_map>

#include "automation/describe.h"
#include "com/com_ptr.h"

namespace vorlek::com {

std::atomic<long>& live_com_objects() {
    static std::atomic<long> count{0};
    return count;
}

std::atomic<long>& server_locks() {
    static std::atomic<long> count{0};
    return count;
}

GUID to_guid(const Uuid& u) noexcept {
    const auto& b = u.bytes;
    GUID g;
    g.Data1 = uint32_t{b[0]} << 24 | uint32_t{b[1]} << 16 | uint32_t{b[2]} << 8 | b[3];
    g.Data2 = static_cast<uint16_t>(b[4] << 8 | b[5]);
    g.Data3 = static_cast<uint16_t>(b[6] << 8 | b[7]);
    for (int i = 0; i < 8; ++i)
        g.Data4[i] = b[8 + static_cast<size_t>(i)];
    return g;
}

GUID library_id() noexcept {
    return to_guid(library_uuid());
}
GUID class_id(const ClassInfo& info) {
    return to_guid(class_uuid(info));
}
GUID interface_id(const ClassInfo& info) {
    static std::mutex mutex;
    static std::unordered_map<const ClassInfo*, GUID> ids;
    std::lock_guard lock(mutex);
    auto it = ids.find(&info);
    if (it == ids.end()) it = ids.emplace(&info, to_guid(interface_uuid(info))).first;
    return it->second;
}

const GUID kIdOwnObject = to_guid(name_uuid(kNamespace, "Vorlek.Object"));

}  // namespace vorlek::com
