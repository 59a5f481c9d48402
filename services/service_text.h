// The service control manager's codes as the platform's constant names, and
// back for the lets that change a service.
#pragma once

#include <cstdint>
#include <optional>

#include "automation/string.h"

namespace vorlek::services {

// Each takes the text to give for a code that has no name (the caller's
// default).
String type_text(uint32_t type, StringView no_text);
String state_text(uint32_t state, StringView no_text);
String start_type_text(uint32_t start_type, StringView no_text);
String error_control_text(uint32_t error_control, StringView no_text);
// "SERVICE_RUNS_IN_SYSTEM_PROCESS" for any flag, "SERVICE_STOPPED" for none.
String flags_text(uint32_t flags);
// The accepted controls joined by ";" (net-bind change first, stop last);
// `no_text` when none of them is set.
String controls_text(uint32_t controls, StringView no_text);
// A run of NUL-terminated names (ended by an empty one) joined by ";";
// `no_text` when there is none.
String dependencies_text(StringView names, StringView no_text);

// The codes of the texts the lets take, compared upper-cased; nullopt for a
// text that is not one of them.
std::optional<uint32_t> type_code(StringView text);
std::optional<uint32_t> start_type_code(StringView text);

// The transitions CurrentState takes: the pending state a client names and
// the access and control (0 = start) it needs.
struct Transition {
    uint32_t access;
    uint32_t control;
};
std::optional<Transition> transition(StringView pending_state);

}  // namespace vorlek::services
