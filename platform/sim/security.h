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

namespace op {
inline constexpr Operation LookupAccountName{u"LookupAccountName"};
inline constexpr Operation LookupAccountSid{u"LookupAccountSid"};
}  // namespace op

// The translations themselves, for the areas that resolve names as part of
// their own operations (local group members); no fault point of their own.
std::optional<platform::Account> resolve_name(Network& net, Machine& machine, StringView name);
std::optional<platform::Account> resolve_sid(Network& net, Machine& machine,
                                             const platform::Sid& sid);

// A deterministic account-domain SID for a machine or domain name.
platform::Sid account_domain_sid(StringView name);

}  // namespace vorlek::sim
