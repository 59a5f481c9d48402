#include "services/service_text.h"

#include <iterator>

#include "automation/text.h"

namespace vorlek::services {

namespace {

struct Named {
    uint32_t code;
    StringView name;
};

constexpr Named kTypes[] = {
    {0x1, u"SERVICE_KERNEL_DRIVER"},
    {0x2, u"SERVICE_FILE_SYSTEM_DRIVER"},
    {0x4, u"SERVICE_ADAPTER"},
    {0x8, u"SERVICE_RECOGNIZER_DRIVER"},
    {0x10, u"SERVICE_WIN32_OWN_PROCESS"},
    {0x20, u"SERVICE_WIN32_SHARE_PROCESS"},
    {0x100, u"SERVICE_INTERACTIVE_PROCESS"},
    {0x110, u"SERVICE_WIN32_OWN_PROCESS_INTERACTIVE"},
    {0x120, u"SERVICE_WIN32_SHARE_PROCESS_INTERACTIVE"},
};

constexpr Named kStates[] = {
    {1, u"SERVICE_STOPPED"}, {2, u"SERVICE_START_PENDING"},    {3, u"SERVICE_STOP_PENDING"},
    {4, u"SERVICE_RUNNING"}, {5, u"SERVICE_CONTINUE_PENDING"}, {6, u"SERVICE_PAUSE_PENDING"},
    {7, u"SERVICE_PAUSED"},
};

constexpr Named kStartTypes[] = {
    {0, u"SERVICE_BOOT_START"},   {1, u"SERVICE_SYSTEM_START"}, {2, u"SERVICE_AUTO_START"},
    {3, u"SERVICE_DEMAND_START"}, {4, u"SERVICE_DISABLED"},
};

constexpr Named kErrorControls[] = {
    {0, u"SERVICE_ERROR_IGNORE"},
    {1, u"SERVICE_ERROR_NORMAL"},
    {2, u"SERVICE_ERROR_SEVERE"},
    {3, u"SERVICE_ERROR_CRITICAL"},
};

// In the order the names are joined.
constexpr Named kControls[] = {
    {0x10, u"SERVICE_ACCEPT_NETBINDCHANGE"}, {0x8, u"SERVICE_ACCEPT_PARAMCHANGE"},
    {0x4, u"SERVICE_ACCEPT_SHUTDOWN"},       {0x2, u"SERVICE_ACCEPT_PAUSE_CONTINUE"},
    {0x1, u"SERVICE_ACCEPT_STOP"},
};

// SERVICE_START, SERVICE_STOP, SERVICE_PAUSE_CONTINUE; the controls stop,
// pause and continue.
constexpr struct {
    StringView state;
    Transition transition;
} kTransitions[] = {
    {u"SERVICE_START_PENDING", {0x10, 0}},
    {u"SERVICE_STOP_PENDING", {0x20, 1}},
    {u"SERVICE_PAUSE_PENDING", {0x40, 2}},
    {u"SERVICE_CONTINUE_PENDING", {0x40, 3}},
};

template <size_t N>
String name_of(const Named (&table)[N], uint32_t code, StringView no_text) {
    for (const auto& n : table)
        if (n.code == code) return String(n.name);
    return String(no_text);
}

template <size_t N>
std::optional<uint32_t> code_of(const Named (&table)[N], StringView text) {
    const String upper = to_upper(text);
    for (const auto& n : table)
        if (n.name == upper) return n.code;
    return std::nullopt;
}

}  // namespace

String type_text(uint32_t type, StringView no_text) {
    return name_of(kTypes, type, no_text);
}
String state_text(uint32_t state, StringView no_text) {
    return name_of(kStates, state, no_text);
}
String start_type_text(uint32_t start_type, StringView no_text) {
    return name_of(kStartTypes, start_type, no_text);
}
String error_control_text(uint32_t error_control, StringView no_text) {
    return name_of(kErrorControls, error_control, no_text);
}

String flags_text(uint32_t flags) {
    return flags != 0 ? u"SERVICE_RUNS_IN_SYSTEM_PROCESS" : u"SERVICE_STOPPED";
}

String controls_text(uint32_t controls, StringView no_text) {
    String text;
    for (const auto& c : kControls) {
        if (!(controls & c.code)) continue;
        if (!text.empty()) text += u';';
        text += c.name;
    }
    return text.empty() ? String(no_text) : text;
}

String dependencies_text(StringView names, StringView no_text) {
    String text;
    while (!names.empty() && names.front() != u'\0') {
        const size_t end = names.find(u'\0');
        if (!text.empty()) text += u';';
        text += names.substr(0, end);
        names = end == StringView::npos ? StringView() : names.substr(end + 1);
    }
    return trim_spaces(text).empty() ? String(no_text) : text;
}

std::optional<uint32_t> type_code(StringView text) {
    return code_of(kTypes, text);
}
std::optional<uint32_t> start_type_code(StringView text) {
    return code_of(kStartTypes, text);
}

std::optional<Transition> transition(StringView pending_state) {
    const String upper = to_upper(pending_state);
    for (const auto& t : kTransitions)
        if (t.state == upper) return t.transition;
    return std::nullopt;
}

}  // namespace vorlek::services
