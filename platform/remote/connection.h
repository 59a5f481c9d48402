// What a transport status of a call says about the connection to a server,
// for the areas that keep the server's context handles.
#pragma once

#include <array>

#include "platform/remote/session.h"

namespace vorlek::platform::remote {

// The connection went, and with it every context handle the server gave
// out on it: the server no longer answers, or no longer knows the handle.
inline bool connection_lost(Status s) {
    constexpr std::array kLost{Status{53}, Status{1231}, Status{1232}, kRpcServerUnavailable};
    for (Status l : kLost)
        if (s == l) return true;
    return false;
}

// Whether the first call to a machine failed because nothing answered
// there (rather than because the server refused the caller).
inline bool did_not_answer(Status s) {
    constexpr std::array kRefusals{Status{5},    kLogonFailure, Status{1330}, Status{1331},
                                   Status{1907}, Status{1909},  Status{8},    Status{123}};
    if (s == 0) return false;
    for (Status r : kRefusals)
        if (s == r) return false;
    return true;
}

}  // namespace vorlek::platform::remote
