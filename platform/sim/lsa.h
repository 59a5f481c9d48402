// The local security authority of each simulated machine: the accounts
// (SIDs) it knows and the privileges and logon rights each holds. A logon
// at the machine takes its token's privileges from here, so a right granted
// or removed shows in the next logon's token.
#pragma once

#include <cstdint>
#include <optional>
#include <unordered_map>
#include <vector>

#include "platform/lsa.h"
#include "platform/sim/faults.h"
#include "platform/tokens.h"

namespace vorlek::sim {

class Network;
struct Machine;

// One account object of the authority: its SID and its rights, one bit per
// entry of the rights table (lsa_right_name). An account keeps its object
// when its last right goes and when the account itself is deleted.
struct LsaAccount {
    platform::Sid sid;
    uint32_t rights = 0;
};

struct LsaState {
    bool built = false;  // the standard assignments are made on first use
    std::vector<LsaAccount> accounts;
    std::unordered_map<platform::Sid, size_t, platform::SidHash> index;

    // The account's object, made when it has none.
    LsaAccount& account(const platform::Sid& sid);
    const LsaAccount* find(const platform::Sid& sid) const;
};

namespace op {
inline constexpr Operation LsaOpenPolicy{u"LsaOpenPolicy"};
inline constexpr Operation LsaClose{u"LsaClose"};
inline constexpr Operation LsaEnumerateAccountsWithUserRight{u"LsaEnumerateAccountsWithUserRight"};
inline constexpr Operation LsaAddAccountRights{u"LsaAddAccountRights"};
inline constexpr Operation LsaRemoveAccountRights{u"LsaRemoveAccountRights"};
}  // namespace op

// The rights the authority knows: every privilege of the system, then the
// logon rights. The bit of a name (compared without regard to case), and
// the name of a bit.
std::optional<uint32_t> lsa_right_bit(StringView name);
StringView lsa_right_name(uint32_t bit);

// The machine's authority, with the standard assignments of its role (a
// workstation, a server, a domain controller) made on first use.
LsaState& lsa_state(Network& net, Machine& machine);

// The privileges a token made at `machine` for these SIDs (the user and its
// groups) holds: those granted to any of them, in the order of their LUIDs;
// SeChangeNotifyPrivilege enabled, the others present but off.
std::vector<platform::PrivilegeState> privileges_held(Network& net, Machine& machine,
                                                      const std::vector<platform::Sid>& sids);

}  // namespace vorlek::sim
