// What a transport status of a call says about the connection to a server,
// for the areas that keep the server's context handles.
#pragma once

#include <array>

#include "platform/remote/session.h"

namespace vorlek::platform::remote {

// The connection went, and with it every context handle the server gave
// out on it: any failure of the transport but those where the server
// answered and refused the one call (an operation or interface it does not
// offer, a request or reply that did not parse).
inline bool connection_lost(Status s) {
    constexpr std::array kCallRefused{Status{1745}, Status{1717}, Status{1783}, Status{87},
                                      Status{8}};
    if (s == 0) return false;
    for (Status r : kCallRefused)
        if (s == r) return false;
    return true;
}

// The status a lost connection reports: the network's own when it said why,
// else the RPC server unavailable.
inline Status lost_status(Status s) {
    return s == 53 || s == 1231 || s == 1232 || s == 5 || s == kLogonFailure
               ? s
               : kRpcServerUnavailable;
}

// Whether the first call to a machine failed because nothing answered
// there (rather than because the server refused the caller).
inline bool did_not_answer(Status s) {
    constexpr std::array kRefusals{Status{5},    kLogonFailure, Status{1330}, Status{1331},
                                   Status{1907}, Status{1909},  Status{8},    Status{123}};
    if (!connection_lost(s)) return false;
    for (Status r : kRefusals)
        if (s == r) return false;
    return true;
}

}  // namespace vorlek::platform::remote
