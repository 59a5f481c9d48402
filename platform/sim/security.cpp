// Names and SIDs as the simulated machines translate them.
#include "platform/sim/security.h"

#include "automation/text.h"
#include "platform/sim/accounts.h"
#include "platform/sim/areas.h"
#include "platform/sim/network.h"
#include "platform/sim/processes.h"

namespace vorlek::sim {

namespace status = platform::status;
using platform::Account;
using platform::Result;
using platform::Sid;
using platform::SidUsage;

namespace {

struct WellKnown {
    Sid (*sid)();
    StringView name;
    StringView domain;
    SidUsage usage;
};

// The names every machine knows without asking a database.
const WellKnown kWellKnown[] = {
    {platform::sid::everyone, u"Everyone", u"", SidUsage::WellKnownGroup},
    {platform::sid::creator_owner, u"CREATOR OWNER", u"", SidUsage::WellKnownGroup},
    {platform::sid::nt_authority, u"NT AUTHORITY", u"", SidUsage::Domain},
    {platform::sid::network, u"NETWORK", u"NT AUTHORITY", SidUsage::WellKnownGroup},
    {platform::sid::interactive, u"INTERACTIVE", u"NT AUTHORITY", SidUsage::WellKnownGroup},
    {platform::sid::authenticated_users, u"Authenticated Users", u"NT AUTHORITY",
     SidUsage::WellKnownGroup},
    {platform::sid::local_system, u"SYSTEM", u"NT AUTHORITY", SidUsage::WellKnownGroup},
    {platform::sid::builtin, u"BUILTIN", u"", SidUsage::Domain},
};

constexpr StringView kBuiltin = u"BUILTIN";

SidUsage usage_of(AccountKind kind) {
    switch (kind) {
        case AccountKind::User:
            return SidUsage::User;
        case AccountKind::Group:
            return SidUsage::Group;
        default:
            return SidUsage::Alias;
    }
}

const String* name_of(const AccountDatabase& db, AccountKind kind, uint32_t rid) {
    auto pick = [rid](const auto& map) -> const String* {
        auto it = map.find(rid);
        if (it == map.end()) return nullptr;
        if constexpr (requires { it->second.info; }) {
            return &it->second.info.name;
        } else {
            return &it->second.name;
        }
    };
    switch (kind) {
        case AccountKind::User:
            return pick(db.users);
        case AccountKind::Group:
            return pick(db.groups);
        case AccountKind::Alias:
            return pick(db.aliases);
        case AccountKind::BuiltinAlias:
            return pick(db.builtin);
    }
    return nullptr;
}

// An account of `db` (and, when `with_builtin`, of its BUILTIN domain) named
// `name`; `domain` empty or the domain it must be in.
std::optional<Account> named_in(const AccountDatabase& db, StringView domain, StringView name,
                                bool with_builtin) {
    auto found = db.find(name);
    if (!found) return std::nullopt;
    const bool builtin = found->first == AccountKind::BuiltinAlias;
    if (builtin && !with_builtin) return std::nullopt;
    const StringView in = builtin ? kBuiltin : StringView(db.domain_name);
    if (!domain.empty() && !equal_ignore_case(domain, in)) return std::nullopt;
    return Account{db.sid_of(found->first, found->second),
                   *name_of(db, found->first, found->second), String(in), usage_of(found->first)};
}

// An account of `db` by SID; a removed one (or a RID never used) of a known
// domain answers as deleted or unknown with its SID as name.
std::optional<Account> by_sid_in(const AccountDatabase& db, const Sid& sid, bool with_builtin) {
    if (sid == db.domain_sid) return Account{sid, db.domain_name, u"", SidUsage::Domain};
    const bool builtin = with_builtin && sid.in_domain(platform::sid::builtin());
    if (!builtin && !sid.in_domain(db.domain_sid)) return std::nullopt;
    const uint32_t rid = sid.rid();
    const AccountKind kinds[] = {AccountKind::User, AccountKind::Group, AccountKind::Alias};
    if (builtin) {
        if (const String* n = name_of(db, AccountKind::BuiltinAlias, rid))
            return Account{sid, *n, String(kBuiltin), SidUsage::Alias};
        return std::nullopt;
    }
    for (AccountKind k : kinds) {
        if (const String* n = name_of(db, k, rid))
            return Account{sid, *n, db.domain_name, usage_of(k)};
    }
    const SidUsage gone = db.deleted.count(rid) ? SidUsage::DeletedAccount : SidUsage::Unknown;
    return Account{sid, sid.text(), db.domain_name, gone};
}

// The domain a machine that is no controller belongs to; null otherwise.
AccountDatabase* member_domain(Network& net, Machine& m, const AccountDatabase& own) {
    const String& group = m.servers.lan_group;
    if (!net.domain(group) || equal_ignore_case(own.domain_name, group)) return nullptr;
    return domain_database(net, group);
}

class SimSecurity : public platform::Security {
  public:
    explicit SimSecurity(Network& net) : net_(net) {}

    Result<Account> lookup_account_name(StringView system, StringView name) override {
        auto call = net_.enter(op::LookupAccountName, system, {name});
        if (!call) return call.failure<Account>();
        auto found = resolve_name(net_, call.machine(), name);
        if (!found) return Result<Account>::failure(status::kNoneMapped);
        return {status::kSuccess, std::move(*found)};
    }

    Result<Account> lookup_account_sid(StringView system, const Sid& sid) override {
        auto call = net_.enter(op::LookupAccountSid, system);
        if (!call) return call.failure<Account>();
        if (!sid.valid()) return Result<Account>::failure(status::kInvalidSid);
        auto found = resolve_sid(net_, call.machine(), sid);
        if (!found || found->usage == SidUsage::DeletedAccount || found->usage == SidUsage::Unknown)
            return Result<Account>::failure(status::kNoneMapped);
        return {status::kSuccess, std::move(*found)};
    }

    // The user of the calling thread's token: the one it impersonates with,
    // else the script host's own.
    Result<String> user_name() override {
        auto call = net_.enter(op::GetUserName);
        if (!call) return call.failure<String>();
        ProcessesState& table = process_table(net_, call.machine());
        const SimToken& token = table.impersonation ? *table.impersonation : *table.current().token;
        if (auto account = resolve_sid(net_, call.machine(), token.user))
            return {status::kSuccess, std::move(account->name)};
        return Result<String>::failure(status::kNoneMapped);
    }

  private:
    Network& net_;
};

}  // namespace

std::optional<Account> resolve_name(Network& net, Machine& machine, StringView name) {
    StringView domain;
    if (const size_t slash = name.find(u'\\'); slash != StringView::npos) {
        domain = name.substr(0, slash);
        name = name.substr(slash + 1);
        if (name.empty()) return std::nullopt;
    }
    for (const WellKnown& w : kWellKnown) {
        if (equal_ignore_case(w.name, name) &&
            (domain.empty() || equal_ignore_case(w.domain, domain)))
            return Account{w.sid(), String(w.name), String(w.domain), w.usage};
    }
    AccountDatabase& own = account_database(net, machine);
    AccountDatabase* joined = member_domain(net, machine, own);
    // A domain's own name.
    for (const AccountDatabase* db :
         {static_cast<const AccountDatabase*>(&own), static_cast<const AccountDatabase*>(joined)}) {
        if (db && domain.empty() && equal_ignore_case(db->domain_name, name))
            return Account{db->domain_sid, db->domain_name, u"", SidUsage::Domain};
    }
    if (auto found = named_in(own, domain, name, true)) return found;
    if (joined) return named_in(*joined, domain, name, false);
    return std::nullopt;
}

std::optional<Account> resolve_sid(Network& net, Machine& machine, const Sid& sid) {
    for (const WellKnown& w : kWellKnown) {
        if (w.sid() == sid) return Account{sid, String(w.name), String(w.domain), w.usage};
    }
    AccountDatabase& own = account_database(net, machine);
    if (auto found = by_sid_in(own, sid, true)) return found;
    if (AccountDatabase* joined = member_domain(net, machine, own))
        return by_sid_in(*joined, sid, false);
    return std::nullopt;
}

Sid account_domain_sid(StringView name) {
    // Three sub-authorities from the upper-case name (FNV-1a with three seeds).
    const String upper = to_upper(name);
    uint32_t parts[3];
    for (uint32_t k = 0; k < 3; ++k) {
        uint32_t h = 2166136261u ^ (k * 0x9E3779B9u);
        for (char16_t c : upper) {
            h ^= c;
            h *= 16777619u;
        }
        parts[k] = h;
    }
    return platform::sid::account_domain(parts[0], parts[1], parts[2]);
}

std::shared_ptr<platform::Security> make_security(Network& net) {
    return std::make_shared<SimSecurity>(net);
}

}  // namespace vorlek::sim
