#include "automation/string.h"
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

namespace {
GUID derived(std::string_view name) {
    return to_guid(name_uuid(kNamespace, name));
}
}  // namespace

GUID library_id() noexcept {
    return derived("Vorlek");
}
GUID class_id(StringView progid) noexcept {
    return derived(to_utf8(progid));
}
GUID interface_id(StringView interface_name) noexcept {
    return derived("Vorlek." + to_utf8(interface_name));
}

const GUID kIdOwnObject = to_guid(name_uuid(kNamespace, "Vorlek.Object"));

}  // namespace vorlek::com
