// The security model of the simulated machines: the well-known SIDs and the
// translation of names and SIDs as a machine sees them (its own accounts,
// BUILTIN, its domain's accounts through a controller that answers).
#pragma once

#include <optional>

#include "platform/security.h"
#include "platform/sim/faults.h"

namespace vorlek::sim {

class Network;
struct Machine;

// What a machine keeps of the security model beyond its account database.
struct SecurityState {
    // The account the simulated script logs on as on this machine: its
    // processes' token (and so GetUserName) is made for it.
    String user = u"Administrator";
    // Whether the machine audits logons and account changes to its Security
    // log, as the default network's audit policy says.
    bool auditing = true;
};

namespace op {
inline constexpr Operation LookupAccountName{u"LookupAccountName"};
inline constexpr Operation LookupAccountSid{u"LookupAccountSid"};
inline constexpr Operation GetUserName{u"GetUserName"};
}  // namespace op

// The translations themselves, for the areas that resolve names as part of
// their own operations (local group members); no fault point of their own.
std::optional<platform::Account> resolve_name(Network& net, Machine& machine, StringView name);
std::optional<platform::Account> resolve_sid(Network& net, Machine& machine,
                                             const platform::Sid& sid);

// A deterministic account-domain SID for a machine or domain name.
platform::Sid account_domain_sid(StringView name);

}  // namespace vorlek::sim
