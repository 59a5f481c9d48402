// The last control signal, one text per client thread shared by the
// thread's Consoler objects, and the handler the system calls on a thread
// of its own. The handler only stores the signal number into each listening
// thread's atomic slot; the text is made when a script reads it.
#pragma once

#include <cstdint>

#include "automation/string.h"

namespace vorlek::control {

// The calling thread's text: "" until set, "CTRL_NO_EVENT", or the signal's.
String last_event();
// "CTRL_NO_EVENT" for the calling thread.
void clear_last_event();
// The calling thread hears the handler from now on, or no longer.
void listen();
void stop_listening();
// The library's control handler: records the signal for every listening
// thread and reports it handled.
bool handler(uint32_t signal) noexcept;

}  // namespace vorlek::control
