// The local security authority of the simulated machines: account objects
// with their rights, the standard assignments of each role, and the policy
// operations with the caller's token checked.
#include "platform/sim/lsa.h"

#include <algorithm>

#include "automation/text.h"
#include "platform/c_strings.h"
#include "platform/servers.h"
#include "platform/sim/areas.h"
#include "platform/sim/handles.h"
#include "platform/sim/machine.h"
#include "platform/sim/network.h"
#include "platform/sim/processes.h"

namespace vorlek::sim {

namespace st = platform::status;
namespace rid = platform::sid::rid;
namespace pol = platform::policy_access;
using platform::PolicyHandle;
using platform::PrivilegeState;
using platform::Result;
using platform::Sid;
using platform::Status;

// ---------------------------------------------------------------------------
// The rights table and the account objects

namespace {

constexpr uint32_t kPrivilegeCount = std::size(platform::kPrivilegeNames);
static_assert(kPrivilegeCount + std::size(platform::kLogonRights) <= 32,
              "every right has its bit in a 32-bit word");

}  // namespace

std::optional<uint32_t> lsa_right_bit(StringView name) {
    for (uint32_t i = 0; i < kPrivilegeCount; ++i) {
        if (equal_ignore_case(platform::kPrivilegeNames[i].name, name)) return i;
    }
    for (uint32_t i = 0; i < std::size(platform::kLogonRights); ++i) {
        if (equal_ignore_case(platform::kLogonRights[i], name)) return kPrivilegeCount + i;
    }
    return std::nullopt;
}

StringView lsa_right_name(uint32_t bit) {
    if (bit < kPrivilegeCount) return platform::kPrivilegeNames[bit].name;
    bit -= kPrivilegeCount;
    return bit < std::size(platform::kLogonRights) ? platform::kLogonRights[bit] : StringView();
}

LsaAccount& LsaState::account(const Sid& sid) {
    auto [it, added] = index.try_emplace(sid, accounts.size());
    if (added) accounts.push_back({sid, 0});
    return accounts[it->second];
}

const LsaAccount* LsaState::find(const Sid& sid) const {
    auto it = index.find(sid);
    return it == index.end() ? nullptr : &accounts[it->second];
}

// ---------------------------------------------------------------------------
// The standard assignments

namespace {

// The roles an assignment is made on.
constexpr uint8_t kWorkstation = 1, kServer = 2, kController = 4, kAll = 7;

struct Assignment {
    Sid (*holder)();
    uint8_t roles;
    std::initializer_list<StringView> rights;
};

Sid administrators() {
    return platform::sid::builtin_alias(rid::kAdmins);
}
Sid users() {
    return platform::sid::builtin_alias(rid::kUsers);
}
Sid guests() {
    return platform::sid::builtin_alias(rid::kGuests);
}
Sid power_users() {
    return platform::sid::builtin_alias(rid::kPowerUsers);
}
Sid account_operators() {
    return platform::sid::builtin_alias(rid::kAccountOps);
}
Sid server_operators() {
    return platform::sid::builtin_alias(rid::kSystemOps);
}
Sid print_operators() {
    return platform::sid::builtin_alias(rid::kPrintOps);
}
Sid backup_operators() {
    return platform::sid::builtin_alias(rid::kBackupOps);
}

namespace lr = platform::logon_right;

// Who holds what on a freshly installed machine. A workstation lets
// everybody shut it down and undock it; on a server and a controller that
// is for administrators and operators. Nobody holds the rights of the
// system itself (creating tokens, acting as part of the operating system,
// logging on as a batch job or a service) until granted.
const Assignment kStandard[] = {
    {administrators,
     kAll,
     {u"SeIncreaseQuotaPrivilege", u"SeSecurityPrivilege", u"SeTakeOwnershipPrivilege",
      u"SeLoadDriverPrivilege", u"SeSystemProfilePrivilege", u"SeSystemtimePrivilege",
      u"SeProfileSingleProcessPrivilege", u"SeIncreaseBasePriorityPrivilege",
      u"SeCreatePagefilePrivilege", u"SeBackupPrivilege", u"SeRestorePrivilege",
      u"SeShutdownPrivilege", u"SeDebugPrivilege", u"SeSystemEnvironmentPrivilege",
      u"SeChangeNotifyPrivilege", u"SeRemoteShutdownPrivilege", u"SeUndockPrivilege",
      lr::kInteractive, lr::kNetwork}},
    {backup_operators,
     kAll,
     {u"SeBackupPrivilege", u"SeRestorePrivilege", u"SeShutdownPrivilege", lr::kInteractive,
      lr::kNetwork}},
    {power_users,
     kWorkstation | kServer,
     {u"SeSystemtimePrivilege", u"SeProfileSingleProcessPrivilege", u"SeShutdownPrivilege",
      lr::kInteractive, lr::kNetwork}},
    {users, kWorkstation | kServer, {lr::kInteractive, lr::kNetwork}},
    {guests, kWorkstation, {lr::kInteractive}},
    {platform::sid::everyone, kAll, {u"SeChangeNotifyPrivilege", lr::kNetwork}},
    {platform::sid::everyone, kWorkstation, {u"SeShutdownPrivilege", u"SeUndockPrivilege"}},
    {server_operators,
     kController,
     {u"SeSystemtimePrivilege", u"SeBackupPrivilege", u"SeRestorePrivilege", u"SeShutdownPrivilege",
      u"SeRemoteShutdownPrivilege", lr::kInteractive}},
    {account_operators, kController, {u"SeShutdownPrivilege", lr::kInteractive}},
    {print_operators,
     kController,
     {u"SeLoadDriverPrivilege", u"SeShutdownPrivilege", lr::kInteractive}},
    {platform::sid::authenticated_users, kController, {u"SeMachineAccountPrivilege"}},
};

uint8_t role_of(const Machine& m) {
    namespace sv = platform::sv_type;
    const uint32_t type = m.servers.info.type;
    if (type & (sv::kDomainCtrl | sv::kDomainBakCtrl)) return kController;
    return (type & sv::kServerNt) ? kServer : kWorkstation;
}

void build(const Machine& m, LsaState& s) {
    s.built = true;
    const uint8_t role = role_of(m);
    for (const Assignment& a : kStandard) {
        if (!(a.roles & role)) continue;
        LsaAccount& account = s.account(a.holder());
        for (StringView right : a.rights)
            account.rights |= 1u << *lsa_right_bit(right);
    }
}

}  // namespace

LsaState& lsa_state(Network&, Machine& machine) {
    LsaState& s = machine.lsa.write();
    if (!s.built) build(machine, s);
    return s;
}

std::vector<PrivilegeState> privileges_held(Network& net, Machine& machine,
                                            const std::vector<Sid>& sids) {
    const LsaState& s = lsa_state(net, machine);
    uint32_t held = 0;
    for (const Sid& sid : sids) {
        if (const LsaAccount* a = s.find(sid)) held |= a->rights;
    }
    std::vector<PrivilegeState> out;
    for (uint32_t i = 0; i < kPrivilegeCount; ++i) {
        if (!(held & (1u << i))) continue;
        const auto& p = platform::kPrivilegeNames[i];
        const bool on = p.name == platform::privilege::kChangeNotify;
        out.push_back(
            {platform::Luid{p.luid, 0},
             on ? platform::se::kPrivilegeEnabled | platform::se::kPrivilegeEnabledByDefault : 0u});
    }
    return out;
}

// ---------------------------------------------------------------------------
// The policy operations

namespace {

struct OpenPolicy {
    String machine;  // the machine's name, "" never
    uint32_t access = 0;
};

bool administers(Network& net) {
    return caller_token(net).identity().has(administrators());
}

class SimLsa : public platform::Lsa {
  public:
    explicit SimLsa(Network& net) : net_(net), policies_(net.handles(), HandleKind::LsaPolicy) {}

    Result<PolicyHandle> open_policy(StringView system, uint32_t access) override {
        using R = Result<PolicyHandle>;
        auto call = net_.enter(op::LsaOpenPolicy, system, {system});
        if (!call) return call.failure<PolicyHandle>();
        if ((access & ~pol::kAnyone) && !administers(net_)) return R::failure(st::kAccessDenied);
        return {st::kSuccess, policies_.open({call.machine().name, access})};
    }

    Status close(PolicyHandle policy) override {
        auto call = net_.enter(op::LsaClose);
        if (!call) return call.status();
        return policies_.close(policy) ? st::kSuccess : st::kInvalidHandle;
    }

    Result<std::vector<Sid>> accounts_with_right(PolicyHandle policy, StringView right) override {
        using R = Result<std::vector<Sid>>;
        const OpenPolicy* p = policies_.find(policy);
        auto call =
            net_.enter(op::LsaEnumerateAccountsWithUserRight, p ? p->machine : u"", {right});
        if (!call) return call.failure<std::vector<Sid>>();
        if (!p) return R::failure(st::kInvalidHandle);
        if ((p->access & (pol::kViewLocalInformation | pol::kLookupNames)) !=
                (pol::kViewLocalInformation | pol::kLookupNames) ||
            !administers(net_))
            return R::failure(st::kAccessDenied);
        const auto bit = lsa_right_bit(right);
        if (!bit) return R::failure(st::kNoSuchPrivilege);
        std::vector<Sid> out;
        for (const LsaAccount& a : lsa_state(net_, call.machine()).accounts) {
            if (a.rights & (1u << *bit)) out.push_back(a.sid);
        }
        if (out.empty()) return R::failure(st::kNoMoreItems);
        return {st::kSuccess, std::move(out)};
    }

    Status add_account_rights(PolicyHandle policy, const Sid& account,
                              const std::vector<String>& rights) override {
        return change(op::LsaAddAccountRights, policy, account, false, rights, true);
    }

    Status remove_account_rights(PolicyHandle policy, const Sid& account, bool all,
                                 const std::vector<String>& rights) override {
        return change(op::LsaRemoveAccountRights, policy, account, all, rights, false);
    }

  private:
    // Every name is checked before anything changes: a refused call leaves
    // the account's rights as they were.
    Status change(const Operation& operation, PolicyHandle policy, const Sid& account, bool all,
                  const std::vector<String>& rights, bool add) {
        if (Status s = platform::c_strings_status(rights)) return s;
        const OpenPolicy* p = policies_.find(policy);
        auto call = net_.enter(operation, p ? p->machine : u"");
        if (!call) return call.status();
        if (!p) return st::kInvalidHandle;
        if (!(p->access & pol::kLookupNames) || (add && !(p->access & pol::kCreateAccount)) ||
            !administers(net_))
            return st::kAccessDenied;
        if (!account.valid()) return st::kInvalidSid;
        uint32_t bits = 0;
        for (const String& r : rights) {
            const auto bit = lsa_right_bit(r);
            if (!bit) return st::kNoSuchPrivilege;
            bits |= 1u << *bit;
        }
        LsaState& s = lsa_state(net_, call.machine());
        if (add) {
            s.account(account).rights |= bits;
            return st::kSuccess;
        }
        if (!s.find(account)) return st::kFileNotFound;
        s.account(account).rights &= all ? 0u : ~bits;
        return st::kSuccess;
    }

    Network& net_;
    HandleTable<OpenPolicy> policies_;
};

}  // namespace

std::shared_ptr<platform::Lsa> make_lsa(Network& net) {
    return std::make_shared<SimLsa>(net);
}

}  // namespace vorlek::sim
