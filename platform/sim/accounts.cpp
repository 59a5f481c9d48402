// Network management of accounts on the simulated machines: the SAM
// databases, their users, global groups, local groups and policy.
#include "platform/sim/accounts.h"

#include <algorithm>

#include "platform/sim/areas.h"
#include "platform/sim/eventlog.h"
#include "platform/sim/network.h"
#include "platform/sim/security.h"
#include "platform/sim/walks.h"

namespace vorlek::sim {

namespace status = platform::status;
namespace rid = platform::sid::rid;
using platform::Batch;
using platform::GroupInfo;
using platform::LocalGroupMember;
using platform::ModalsInfo;
using platform::Result;
using platform::Sid;
using platform::SidUsage;
using platform::UserInfo;

// ---------------------------------------------------------------------------
// The database

UserAccount& AccountDatabase::add_user(StringView name, uint32_t user_rid, uint32_t flags) {
    UserAccount& u = users[user_rid];
    u.info.name = String(name);
    u.info.user_id = user_rid;
    u.info.flags = flags;
    u.info.primary_group_id = rid::kDomainUsers;
    u.info.logon_hours.assign(platform::kLogonHoursBytes, 0xFF);
    add_name(name, AccountKind::User, user_rid);
    next_rid = std::max(next_rid, user_rid + 1);
    if (auto g = groups.find(rid::kDomainUsers); g != groups.end()) {
        g->second.members.push_back(user_rid);
        u.groups.push_back(rid::kDomainUsers);
    }
    return u;
}

GlobalGroup& AccountDatabase::add_group(StringView name, uint32_t group_rid, StringView comment) {
    GlobalGroup& g = groups[group_rid];
    g.name = String(name);
    g.comment = String(comment);
    add_name(name, AccountKind::Group, group_rid);
    next_rid = std::max(next_rid, group_rid + 1);
    return g;
}

LocalGroup& AccountDatabase::add_alias(StringView name, uint32_t alias_rid, StringView comment,
                                       bool is_builtin) {
    LocalGroup& a = (is_builtin ? builtin : aliases)[alias_rid];
    a.name = String(name);
    a.comment = String(comment);
    add_name(name, is_builtin ? AccountKind::BuiltinAlias : AccountKind::Alias, alias_rid);
    if (!is_builtin) next_rid = std::max(next_rid, alias_rid + 1);
    return a;
}

void AccountDatabase::join(uint32_t group_rid, uint32_t user_rid) {
    groups.at(group_rid).members.push_back(user_rid);
    users.at(user_rid).groups.push_back(group_rid);
}

void AccountDatabase::leave(uint32_t group_rid, uint32_t user_rid) {
    auto& members = groups.at(group_rid).members;
    members.erase(std::find(members.begin(), members.end(), user_rid));
    auto& of_user = users.at(user_rid).groups;
    of_user.erase(std::find(of_user.begin(), of_user.end(), group_rid));
}

// A removed account leaves the local groups of its own database.
void AccountDatabase::forget(const Sid& sid) {
    for (auto* list : {&builtin, &aliases}) {
        for (auto& [id, a] : *list)
            std::erase(a.members, sid);
    }
}

void AccountDatabase::remove_user(uint32_t user_rid) {
    UserAccount& u = users.at(user_rid);
    for (uint32_t g : std::vector<uint32_t>(u.groups))
        leave(g, user_rid);
    forget(domain_sid.with_rid(user_rid));
    drop_name(u.info.name);
    users.erase(user_rid);
    deleted.insert(user_rid);
}

void AccountDatabase::remove_group(uint32_t group_rid) {
    GlobalGroup& g = groups.at(group_rid);
    for (uint32_t m : std::vector<uint32_t>(g.members))
        leave(group_rid, m);
    forget(domain_sid.with_rid(group_rid));
    drop_name(g.name);
    groups.erase(group_rid);
    deleted.insert(group_rid);
}

void AccountDatabase::remove_alias(uint32_t alias_rid) {
    drop_name(aliases.at(alias_rid).name);
    aliases.erase(alias_rid);
    deleted.insert(alias_rid);
}

UserAccount* AccountDatabase::user(StringView name) {
    auto found = find(name);
    if (!found || found->first != AccountKind::User) return nullptr;
    return &users.at(found->second);
}

std::optional<std::pair<AccountKind, uint32_t>> AccountDatabase::find(StringView name) const {
    return names_.find(name, namer());
}

void AccountDatabase::add_name(StringView name, AccountKind kind, uint32_t account_rid) {
    names_.put(name, {kind, account_rid}, namer());
}

void AccountDatabase::drop_name(StringView name) {
    names_.erase(name, namer());
}

StringView AccountDatabase::name_of(AccountKind kind, uint32_t account_rid) const {
    const auto in = [&](const auto& accounts) -> StringView {
        const auto it = accounts.find(account_rid);
        return it == accounts.end() ? StringView() : StringView(it->second.name);
    };
    switch (kind) {
        case AccountKind::User: {
            const auto it = users.find(account_rid);
            return it == users.end() ? StringView() : StringView(it->second.info.name);
        }
        case AccountKind::Group:
            return in(groups);
        case AccountKind::Alias:
            return in(aliases);
        case AccountKind::BuiltinAlias:
            return in(builtin);
    }
    return {};
}

Sid AccountDatabase::sid_of(AccountKind kind, uint32_t account_rid) const {
    return kind == AccountKind::BuiltinAlias ? platform::sid::builtin_alias(account_rid)
                                             : domain_sid.with_rid(account_rid);
}

namespace {

constexpr platform::FileTime kTicksPerSecond = 10'000'000;
constexpr uint32_t kOneDay = 86400;
constexpr size_t kMaxPassword = 256;   // PWLEN
constexpr size_t kMaxUserName = 20;    // UNLEN of the down-level name
constexpr size_t kMaxGroupName = 256;  // GNLEN
constexpr size_t kMaxComment = 256;    // MAXCOMMENTSZ
constexpr uint32_t kMaxHistory = 24;
constexpr uint32_t kMaxWorkstations = 8;

bool contains(const std::vector<Sid>& sids, const Sid& sid) {
    return std::find(sids.begin(), sids.end(), sid) != sids.end();
}

struct DefaultAccount {
    StringView name;
    uint32_t rid;
    StringView comment;  // "%s" stands for "computer" or "domain"
};

String with_scope(StringView text, bool controller) {
    String out(text);
    if (auto at = out.find(u"%s"); at != String::npos)
        out.replace(at, 2, controller ? u"domain" : u"computer");
    return out;
}

// The built-in aliases; Power Users on machines that are no controller, the
// operators on controllers.
struct BuiltinAlias {
    uint32_t rid;
    StringView name;
    StringView comment;
    int8_t where;  // 0 everywhere, 1 controllers only, -1 others only
};
constexpr BuiltinAlias kBuiltinAliases[] = {
    {rid::kAdmins, u"Administrators", u"Members can fully administer the %s", 0},
    {rid::kUsers, u"Users", u"Ordinary users", 0},
    {rid::kGuests, u"Guests", u"Users granted guest access to the %s", 0},
    {rid::kPowerUsers, u"Power Users", u"Members can share directories and printers", -1},
    {rid::kAccountOps, u"Account Operators",
     u"Members can administer domain user and group accounts", 1},
    {rid::kSystemOps, u"Server Operators", u"Members can administer domain servers", 1},
    {rid::kPrintOps, u"Print Operators", u"Members can administer domain printers", 1},
    {rid::kBackupOps, u"Backup Operators", u"Members can bypass file security to back up files", 0},
    {rid::kReplicator, u"Replicator", u"Supports file replication in a domain", 0},
};

std::shared_ptr<AccountDatabase> standard_database(StringView name, bool controller,
                                                   platform::FileTime now,
                                                   const Sid* member_of_domain) {
    auto db = std::make_shared<AccountDatabase>();
    db->domain_name = to_upper(name);
    db->domain_sid = account_domain_sid(db->domain_name);
    db->controller = controller;
    if (controller) {
        db->add_group(u"Domain Admins", rid::kDomainAdmins,
                      u"Designated administrators of the domain");
        db->add_group(u"Domain Users", rid::kDomainUsers, u"All domain users");
        db->add_group(u"Domain Guests", rid::kDomainGuests, u"All domain guests");
    } else {
        db->add_group(u"None", rid::kDomainUsers, u"Ordinary users");
    }
    for (const auto& a : kBuiltinAliases) {
        if (a.where == 0 || (a.where > 0) == controller)
            db->add_alias(a.name, a.rid, with_scope(a.comment, controller), true);
    }
    using namespace platform::uf;
    UserAccount& admin = db->add_user(u"Administrator", rid::kAdministrator,
                                      kScript | kNormalAccount | kDontExpirePassword);
    admin.info.comment = with_scope(u"Built-in account for administering the %s", controller);
    admin.password_set = now;
    UserAccount& guest =
        db->add_user(u"Guest", rid::kGuest,
                     kScript | kAccountDisable | kPasswordNotRequired | kPasswordCantChange |
                         kNormalAccount | kDontExpirePassword);
    guest.info.comment = with_scope(u"Built-in account for guest access to the %s", controller);
    guest.password_set = now;
    if (controller) {
        db->join(rid::kDomainAdmins, rid::kAdministrator);
        db->leave(rid::kDomainUsers, rid::kGuest);
        db->join(rid::kDomainGuests, rid::kGuest);
        guest.info.primary_group_id = rid::kDomainGuests;
    }
    const Sid& own = db->domain_sid;
    // A controller's domain or the domain a machine joined gives its groups.
    const Sid& domain = controller ? own : (member_of_domain ? *member_of_domain : own);
    auto& b = db->builtin;
    b[rid::kAdmins].members.push_back(own.with_rid(rid::kAdministrator));
    b[rid::kGuests].members.push_back(own.with_rid(rid::kGuest));
    if (controller || member_of_domain) {
        b[rid::kAdmins].members.push_back(domain.with_rid(rid::kDomainAdmins));
        b[rid::kUsers].members.push_back(domain.with_rid(rid::kDomainUsers));
        b[rid::kGuests].members.push_back(domain.with_rid(rid::kDomainGuests));
    }
    b[rid::kUsers].members.push_back(platform::sid::interactive());
    b[rid::kUsers].members.push_back(platform::sid::authenticated_users());

    ModalsInfo& p = db->policy;
    p.max_passwd_age = 42 * kOneDay;
    p.force_logoff = platform::kTimeqForever;
    p.lockout_duration = 1800;
    p.lockout_observation_window = 1800;
    return db;
}

bool is_listed(const std::vector<String>& names, StringView name) {
    return std::any_of(names.begin(), names.end(),
                       [&](const String& n) { return equal_ignore_case(n, name); });
}

}  // namespace

AccountDatabase& account_database(Network& net, Machine& machine) {
    net.own(machine.accounts.database);
    if (machine.accounts.database) return *machine.accounts.database;
    const String& group = machine.servers.lan_group;
    const Domain* d = net.domain(group);
    const bool primary = d && equal_ignore_case(d->primary, machine.name);
    const bool backup = d && is_listed(d->backups, machine.name);
    Machine* pdc = backup ? net.find(d->primary) : nullptr;
    if (pdc && pdc != &machine) {
        account_database(net, *pdc);
        machine.accounts.database = pdc->accounts.database;
    } else if (primary || backup) {
        machine.accounts.database = standard_database(group, true, machine.time.clock, nullptr);
    } else {
        const Sid domain = account_domain_sid(to_upper(group));
        machine.accounts.database =
            standard_database(machine.name, false, machine.time.clock, d ? &domain : nullptr);
    }
    return *machine.accounts.database;
}

Machine* domain_controller(Network& net, StringView domain) {
    const Domain* d = net.domain(domain);
    if (!d) return nullptr;
    if (net.answers(d->primary)) return net.find(d->primary);
    for (const String& b : d->backups) {
        if (net.answers(b)) return net.find(b);
    }
    return nullptr;
}

AccountDatabase* domain_database(Network& net, StringView domain) {
    Machine* dc = domain_controller(net, domain);
    return dc ? &account_database(net, *dc) : nullptr;
}

bool locked_out(const AccountDatabase& db, const UserAccount& u, platform::FileTime now) {
    if (!(u.info.flags & platform::uf::kLockout)) return false;
    const uint32_t duration = db.policy.lockout_duration;
    if (duration == platform::kTimeqForever) return true;
    return now < u.locked_at + platform::FileTime{duration} * kTicksPerSecond;
}

void count_bad_password(AccountDatabase& db, UserAccount& u, Machine& at) {
    const platform::FileTime now = at.time.clock;
    const ModalsInfo& p = db.policy;
    LogonCounters& c = at.accounts.counters[u.info.user_id];
    const platform::FileTime window =
        platform::FileTime{p.lockout_observation_window} * kTicksPerSecond;
    if (now < c.last_bad_password || now - c.last_bad_password > window) c.bad_pw_count = 0;
    ++c.bad_pw_count;
    c.last_bad_password = now;
    if (p.lockout_threshold != 0 && c.bad_pw_count >= p.lockout_threshold) {
        u.info.flags |= platform::uf::kLockout;
        u.locked_at = now;
    }
}

void count_logon(UserAccount& u, Machine& at) {
    LogonCounters& c = at.accounts.counters[u.info.user_id];
    c.bad_pw_count = 0;
    ++c.num_logons;
    c.last_logon = static_cast<uint32_t>(calendar::unix_seconds(at.time.clock));
}

bool is_backup_controller(Network& net, const Machine& machine) {
    const Domain* d = net.domain(machine.servers.lan_group);
    return d && is_listed(d->backups, machine.name);
}

namespace {

// ---------------------------------------------------------------------------
// Checks of names and fields

bool valid_account_name(StringView name, size_t max) {
    if (name.empty() || name.size() > max) return false;
    if (name.find_first_of(u"\"/\\[]:|<>+=;,?*") != StringView::npos) return false;
    if (std::any_of(name.begin(), name.end(), [](char16_t c) { return c < 0x20; })) return false;
    return name.find_first_not_of(u". ") != StringView::npos;
}

// The texts of a user record, any of which a write may hand on as a C
// string (123 for one with a NUL inside, before the call). The classes send
// records read from the system, with one field changed.
Status texts_status(const UserInfo& in) {
    return platform::c_strings_status({in.name, in.password, in.home_dir, in.comment,
                                       in.script_path, in.full_name, in.usr_comment, in.parms,
                                       in.workstations, in.logon_server, in.profile,
                                       in.home_dir_drive});
}

// The one text of a group record that a set at `level` hands on: the new
// name (0) or the comment (1002).
StringView sent_text(const GroupInfo& in, uint32_t level) {
    return level == 0 ? StringView(in.name) : StringView(in.comment);
}

// 2224 when a user has the name, 2223 when a group has it, `alias_status`
// for a local group (2223 for the global-group calls, 1379 for the local ones).
Status name_taken(const AccountDatabase& db, StringView name, Status alias_status) {
    auto found = db.find(name);
    if (!found) return status::kSuccess;
    switch (found->first) {
        case AccountKind::User:
            return status::kUserExists;
        case AccountKind::Group:
            return status::kGroupExists;
        default:
            return alias_status;
    }
}

size_t workstation_count(StringView list) {
    if (list.empty()) return 0;
    return static_cast<size_t>(std::count(list.begin(), list.end(), u',')) + 1;
}

// Bytes an entry takes in the caller's buffer: its fixed part and its texts.
size_t entry_bytes(const String& name) {
    return sizeof(void*) + 2 * (name.size() + 1);
}
size_t entry_bytes(const LocalGroupMember& m) {
    return 2 * sizeof(void*) + 4 + m.sid.byte_length() + 2 * (m.domain_and_name.size() + 1);
}

// The entries that fit in about `preferred` bytes (at least one); 234 when
// some are left over. For the calls without a resume handle.
template <class Entry>
Result<Batch<Entry>> fitting(std::vector<Entry> all, uint32_t preferred) {
    Batch<Entry> batch;
    batch.total_entries = static_cast<uint32_t>(all.size());
    size_t used = 0, n = 0;
    for (; n < all.size(); ++n) {
        used += entry_bytes(all[n]);
        if (n > 0 && used > preferred) break;
    }
    const bool more = n < all.size();
    all.resize(n);
    batch.entries = std::move(all);
    return {more ? status::kMoreData : status::kSuccess, std::move(batch)};
}

// The single-field levels whose field the store takes as it is.
template <class T>
struct PlainField {
    uint32_t level;
    T UserInfo::*field;
};
constexpr PlainField<String> kPlainTexts[] = {
    {1006, &UserInfo::home_dir}, {1009, &UserInfo::script_path}, {1011, &UserInfo::full_name},
    {1013, &UserInfo::parms},    {1052, &UserInfo::profile},     {1053, &UserInfo::home_dir_drive},
};
constexpr PlainField<uint32_t> kPlainNumbers[] = {
    {1017, &UserInfo::acct_expires},
    {1018, &UserInfo::max_storage},
    {1024, &UserInfo::country_code},
    {1025, &UserInfo::code_page},
};

template <class T, size_t N>
T UserInfo::*plain_field(const PlainField<T> (&fields)[N], uint32_t level) {
    for (const auto& f : fields) {
        if (f.level == level) return f.field;
    }
    return nullptr;
}

template <class T>
Result<T> fail(Status s) {
    return Result<T>::failure(s);
}

// ---------------------------------------------------------------------------
// The operations

class SimAccounts : public platform::Accounts {
  public:
    explicit SimAccounts(Network& net) : net_(net) {}

    // --- Users

    Result<Batch<String>> enum_users(StringView server, uint32_t filter, uint32_t preferred,
                                     uint32_t& resume_handle) override {
        auto call = net_.enter(op::NetUserEnum, server);
        if (!call) return call.failure<Batch<String>>();
        AccountDatabase* db = reach(call);
        if (!db) return fail<Batch<String>>(status::kAccessDenied);
        if (filter & ~(platform::uf::kAccountTypeMask >> 8))
            return fail<Batch<String>>(status::kInvalidParameter);
        return names_.next(resume_handle, preferred, [&]() -> Result<std::vector<String>> {
            const uint32_t types = filter << 8;
            std::vector<String> out;
            out.reserve(db->users.size());
            for (const auto& [id, u] : db->users) {
                if (types == 0 || (u.info.flags & types)) out.push_back(u.info.name);
            }
            return {status::kSuccess, std::move(out)};
        });
    }

    Result<UserInfo> user_info(StringView server, StringView user, uint32_t level) override {
        auto call = net_.enter(op::NetUserGetInfo, server, {user});
        if (!call) return call.failure<UserInfo>();
        AccountDatabase* db = reach(call);
        if (!db) return fail<UserInfo>(status::kAccessDenied);
        if (level != 2 && level != 3) return fail<UserInfo>(status::kInvalidLevel);
        const UserAccount* u = db->user(user);
        if (!u) return fail<UserInfo>(status::kUserNotFound);
        return {status::kSuccess, record(call.machine(), *db, *u, level)};
    }

    Status set_user_info(StringView server, StringView user, uint32_t level, const UserInfo& in,
                         uint32_t& parm_err) override {
        if (Status s = texts_status(in)) return s;
        auto call = net_.enter(op::NetUserSetInfo, server, {user});
        if (!call) return call.status();
        AccountDatabase* db = nullptr;
        if (Status s = writable(call, db)) return s;
        UserAccount* u = db->user(user);
        if (!u) return status::kUserNotFound;
        UserAccount changed = *u;
        Checks c{*db, changed, now(call), parm_err};
        Status s = status::kSuccess;
        if (auto text = plain_field(kPlainTexts, level)) {
            changed.info.*text = in.*text;
        } else if (auto number = plain_field(kPlainNumbers, level)) {
            changed.info.*number = in.*number;
        } else {
            switch (level) {
                case 0:
                    s = c.name(in.name);
                    break;
                case 1:
                    s = c.level1(in);
                    break;
                case 3:
                    s = c.level3(in);
                    break;
                case 1003:
                    s = c.password(in.password);
                    break;
                case 1007:
                    s = c.comment(in.comment, 7, changed.info.comment);
                    break;
                case 1008:
                    s = c.flags(in.flags);
                    break;
                case 1012:
                    s = c.comment(in.usr_comment, 12, changed.info.usr_comment);
                    break;
                case 1014:
                    s = c.workstations(in.workstations);
                    break;
                case 1020:
                    s = c.hours(in.units_per_week, in.logon_hours);
                    break;
                case 1051:
                    s = c.primary_group(in.primary_group_id);
                    break;
                default:
                    return status::kInvalidLevel;
            }
        }
        if (s != status::kSuccess) return s;
        if (changed.info.name != u->info.name) {
            db->drop_name(u->info.name);
            db->add_name(changed.info.name, AccountKind::User, changed.info.user_id);
        }
        // Unlocking also clears the bad passwords this controller counted.
        const bool unlocked = (u->info.flags & ~changed.info.flags & platform::uf::kLockout) != 0;
        *u = std::move(changed);
        if (unlocked) {
            u->locked_at = 0;
            auto& counters = call.machine().accounts.counters;
            if (auto c = counters.find(u->info.user_id); c != counters.end())
                c->second.bad_pw_count = 0;
        }
        audit_account(call.machine(), *db, Audit::UserChanged, u->info.name, u->info.user_id);
        return status::kSuccess;
    }

    Status add_user(StringView server, uint32_t level, const UserInfo& in,
                    uint32_t& parm_err) override {
        if (Status s = texts_status(in)) return s;
        auto call = net_.enter(op::NetUserAdd, server);
        if (!call) return call.status();
        AccountDatabase* db = nullptr;
        if (Status s = writable(call, db)) return s;
        if (level != 1) return status::kInvalidLevel;
        if (!valid_account_name(in.name, kMaxUserName)) return status::kBadUsername;
        if (Status s = name_taken(*db, in.name, status::kGroupExists)) return s;
        if (in.priv != platform::kUserPrivUser) return invalid(parm_err, 5);
        UserAccount fresh;
        fresh.info.name = in.name;
        fresh.info.flags = platform::uf::kNormalAccount;
        Checks c{*db, fresh, now(call), parm_err};
        if (Status s = c.flags(in.flags)) return s;
        if (Status s = c.comment(in.comment, 7, fresh.info.comment)) return s;
        if (Status s = c.password(in.password)) return s;
        const uint32_t id = db->next_rid++;
        UserAccount& u = db->add_user(in.name, id, fresh.info.flags);
        u.info.home_dir = in.home_dir;
        u.info.comment = fresh.info.comment;
        u.info.script_path = in.script_path;
        u.password = fresh.password;
        u.password_set = fresh.password_set;
        // On a machine of its own a new user is one of its Users; in a domain
        // Domain Users is.
        if (!db->controller && (u.info.flags & platform::uf::kNormalAccount))
            db->builtin[rid::kUsers].members.push_back(db->domain_sid.with_rid(id));
        audit_account(call.machine(), *db, Audit::UserCreated, in.name, id);
        return status::kSuccess;
    }

    Status delete_user(StringView server, StringView user) override {
        auto call = net_.enter(op::NetUserDel, server, {user});
        if (!call) return call.status();
        AccountDatabase* db = nullptr;
        if (Status s = writable(call, db)) return s;
        UserAccount* u = db->user(user);
        if (!u) return status::kUserNotFound;
        const uint32_t id = u->info.user_id;
        if (id == rid::kAdministrator || id == rid::kGuest) return status::kSpecialAccount;
        const String name = u->info.name;
        db->remove_user(id);
        call.machine().accounts.counters.erase(id);
        audit_account(call.machine(), *db, Audit::UserDeleted, name, id);
        return status::kSuccess;
    }

    Result<Batch<String>> user_groups(StringView server, StringView user,
                                      uint32_t preferred) override {
        auto call = net_.enter(op::NetUserGetGroups, server, {user});
        if (!call) return call.failure<Batch<String>>();
        AccountDatabase* db = reach(call);
        if (!db) return fail<Batch<String>>(status::kAccessDenied);
        const UserAccount* u = db->user(user);
        if (!u) return fail<Batch<String>>(status::kUserNotFound);
        std::vector<uint32_t> ids = u->groups;
        std::sort(ids.begin(), ids.end());
        std::vector<String> out;
        for (uint32_t g : ids)
            out.push_back(db->groups.at(g).name);
        return fitting(std::move(out), preferred);
    }

    Result<Batch<String>> user_local_groups(StringView server, StringView user, uint32_t flags,
                                            uint32_t preferred) override {
        auto call = net_.enter(op::NetUserGetLocalGroups, server, {user});
        if (!call) return call.failure<Batch<String>>();
        AccountDatabase* db = reach(call);
        if (!db) return fail<Batch<String>>(status::kAccessDenied);
        if (flags & ~platform::kLgIncludeIndirect)
            return fail<Batch<String>>(status::kInvalidParameter);
        auto account = resolve_name(net_, call.machine(), user);
        if (!account || account->usage != SidUsage::User)
            return fail<Batch<String>>(status::kUserNotFound);
        std::vector<Sid> sids{account->sid};
        if (flags & platform::kLgIncludeIndirect) {
            AccountDatabase* home = equal_ignore_case(account->domain, db->domain_name)
                                        ? db
                                        : domain_database(net_, account->domain);
            if (home) {
                const UserAccount& u = home->users.at(account->sid.rid());
                for (uint32_t g : u.groups)
                    sids.push_back(home->domain_sid.with_rid(g));
            }
        }
        std::vector<String> out;
        for (const auto* aliases : {&db->builtin, &db->aliases}) {
            for (const auto& entry : *aliases) {
                const LocalGroup& a = entry.second;
                if (std::any_of(sids.begin(), sids.end(),
                                [&](const Sid& s) { return contains(a.members, s); }))
                    out.push_back(a.name);
            }
        }
        return fitting(std::move(out), preferred);
    }

    // --- Global groups

    Result<Batch<String>> enum_groups(StringView server, uint32_t preferred,
                                      uint32_t& resume_handle) override {
        auto call = net_.enter(op::NetGroupEnum, server);
        if (!call) return call.failure<Batch<String>>();
        AccountDatabase* db = reach(call);
        if (!db) return fail<Batch<String>>(status::kAccessDenied);
        return names_.next(resume_handle, preferred, [&]() -> Result<std::vector<String>> {
            std::vector<String> out;
            for (const auto& [id, g] : db->groups)
                out.push_back(g.name);
            return {status::kSuccess, std::move(out)};
        });
    }

    Result<GroupInfo> group_info(StringView server, StringView group, uint32_t level) override {
        auto call = net_.enter(op::NetGroupGetInfo, server, {group});
        if (!call) return call.failure<GroupInfo>();
        AccountDatabase* db = reach(call);
        if (!db) return fail<GroupInfo>(status::kAccessDenied);
        if (level > 2) return fail<GroupInfo>(status::kInvalidLevel);
        auto found = db->find(group);
        if (!found || found->first != AccountKind::Group)
            return fail<GroupInfo>(status::kGroupNotFound);
        const GlobalGroup& g = db->groups.at(found->second);
        GroupInfo out;
        out.name = g.name;
        if (level >= 1) out.comment = g.comment;
        if (level == 2) {
            out.group_id = found->second;
            out.attributes = platform::kGlobalGroupAttributes;
        }
        return {status::kSuccess, std::move(out)};
    }

    Status set_group_info(StringView server, StringView group, uint32_t level, const GroupInfo& in,
                          uint32_t& parm_err) override {
        auto call = net_.enter(op::NetGroupSetInfo, server, {group, sent_text(in, level)});
        if (!call) return call.status();
        AccountDatabase* db = nullptr;
        if (Status s = writable(call, db)) return s;
        auto found = db->find(group);
        if (!found || found->first != AccountKind::Group) return status::kGroupNotFound;
        GlobalGroup& g = db->groups.at(found->second);
        return set_group_fields(*db, level, in, parm_err, *found, g.name, g.comment,
                                status::kGroupExists);
    }

    Status add_group(StringView server, uint32_t level, const GroupInfo& in,
                     uint32_t& parm_err) override {
        auto call = net_.enter(op::NetGroupAdd, server, {in.name, in.comment});
        if (!call) return call.status();
        AccountDatabase* db = nullptr;
        if (Status s = writable(call, db)) return s;
        if (level > 1) return status::kInvalidLevel;
        // A machine that is no controller keeps its one group, "None".
        if (!db->controller) return status::kNotSupported;
        if (Status s = check_new_group(*db, level, in, parm_err, status::kGroupExists)) return s;
        db->add_group(in.name, db->next_rid++, level == 1 ? StringView(in.comment) : StringView());
        return status::kSuccess;
    }

    Status delete_group(StringView server, StringView group) override {
        auto call = net_.enter(op::NetGroupDel, server, {group});
        if (!call) return call.status();
        AccountDatabase* db = nullptr;
        if (Status s = writable(call, db)) return s;
        auto found = db->find(group);
        if (!found || found->first != AccountKind::Group) return status::kGroupNotFound;
        const uint32_t id = found->second;
        if (id < rid::kFirstAccount) return status::kSpecialGroupOperation;
        GlobalGroup& g = db->groups.at(id);
        for (uint32_t m : g.members) {
            if (db->users.at(m).info.primary_group_id == id) return status::kMembersPrimaryGroup;
        }
        db->remove_group(id);
        return status::kSuccess;
    }

    Status add_group_user(StringView server, StringView group, StringView user) override {
        auto call = net_.enter(op::NetGroupAddUser, server, {group, user});
        if (!call) return call.status();
        return group_member(call, group, user, true);
    }

    Status delete_group_user(StringView server, StringView group, StringView user) override {
        auto call = net_.enter(op::NetGroupDelUser, server, {group, user});
        if (!call) return call.status();
        return group_member(call, group, user, false);
    }

    Result<Batch<String>> group_users(StringView server, StringView group, uint32_t preferred,
                                      uint32_t& resume_handle) override {
        auto call = net_.enter(op::NetGroupGetUsers, server, {group});
        if (!call) return call.failure<Batch<String>>();
        AccountDatabase* db = reach(call);
        if (!db) return fail<Batch<String>>(status::kAccessDenied);
        return names_.next(resume_handle, preferred, [&]() -> Result<std::vector<String>> {
            auto found = db->find(group);
            if (!found || found->first != AccountKind::Group)
                return Result<std::vector<String>>::failure(status::kGroupNotFound);
            std::vector<String> out;
            for (uint32_t m : db->groups.at(found->second).members)
                out.push_back(db->users.at(m).info.name);
            return {status::kSuccess, std::move(out)};
        });
    }

    // --- Local groups

    Result<Batch<String>> enum_local_groups(StringView server, uint32_t preferred,
                                            uint32_t& resume_handle) override {
        auto call = net_.enter(op::NetLocalGroupEnum, server);
        if (!call) return call.failure<Batch<String>>();
        AccountDatabase* db = reach(call);
        if (!db) return fail<Batch<String>>(status::kAccessDenied);
        return names_.next(resume_handle, preferred, [&]() -> Result<std::vector<String>> {
            std::vector<String> out;
            for (const auto* aliases : {&db->builtin, &db->aliases}) {
                for (const auto& [id, a] : *aliases)
                    out.push_back(a.name);
            }
            return {status::kSuccess, std::move(out)};
        });
    }

    Result<GroupInfo> local_group_info(StringView server, StringView group,
                                       uint32_t level) override {
        auto call = net_.enter(op::NetLocalGroupGetInfo, server, {group});
        if (!call) return call.failure<GroupInfo>();
        AccountDatabase* db = reach(call);
        if (!db) return fail<GroupInfo>(status::kAccessDenied);
        if (level > 1) return fail<GroupInfo>(status::kInvalidLevel);
        LocalGroup* a = alias(*db, group);
        if (!a) return fail<GroupInfo>(status::kGroupNotFound);
        GroupInfo out;
        out.name = a->name;
        if (level == 1) out.comment = a->comment;
        return {status::kSuccess, std::move(out)};
    }

    Status set_local_group_info(StringView server, StringView group, uint32_t level,
                                const GroupInfo& in, uint32_t& parm_err) override {
        auto call = net_.enter(op::NetLocalGroupSetInfo, server, {group, sent_text(in, level)});
        if (!call) return call.status();
        AccountDatabase* db = nullptr;
        if (Status s = writable(call, db)) return s;
        auto found = db->find(group);
        LocalGroup* a = alias(*db, group);
        if (!a) return status::kGroupNotFound;
        return set_group_fields(*db, level, in, parm_err, *found, a->name, a->comment,
                                status::kAliasExists);
    }

    Status add_local_group(StringView server, uint32_t level, const GroupInfo& in,
                           uint32_t& parm_err) override {
        auto call = net_.enter(op::NetLocalGroupAdd, server, {in.name, in.comment});
        if (!call) return call.status();
        AccountDatabase* db = nullptr;
        if (Status s = writable(call, db)) return s;
        if (level > 1) return status::kInvalidLevel;
        if (Status s = check_new_group(*db, level, in, parm_err, status::kAliasExists)) return s;
        db->add_alias(in.name, db->next_rid++, level == 1 ? StringView(in.comment) : StringView(),
                      false);
        return status::kSuccess;
    }

    Status delete_local_group(StringView server, StringView group) override {
        auto call = net_.enter(op::NetLocalGroupDel, server, {group});
        if (!call) return call.status();
        AccountDatabase* db = nullptr;
        if (Status s = writable(call, db)) return s;
        auto found = db->find(group);
        if (!found ||
            (found->first != AccountKind::Alias && found->first != AccountKind::BuiltinAlias))
            return status::kGroupNotFound;
        if (found->first == AccountKind::BuiltinAlias) return status::kSpecialGroupOperation;
        db->remove_alias(found->second);
        return status::kSuccess;
    }

    Status add_local_group_members(StringView server, StringView group,
                                   const std::vector<String>& members) override {
        if (Status s = platform::c_strings_status(members)) return s;
        auto call = net_.enter(op::NetLocalGroupAddMembers, server, {group});
        if (!call) return call.status();
        return alias_members(call, group, members, true);
    }

    Status delete_local_group_members(StringView server, StringView group,
                                      const std::vector<String>& members) override {
        if (Status s = platform::c_strings_status(members)) return s;
        auto call = net_.enter(op::NetLocalGroupDelMembers, server, {group});
        if (!call) return call.status();
        return alias_members(call, group, members, false);
    }

    Result<Batch<LocalGroupMember>> local_group_members(StringView server, StringView group,
                                                        uint32_t preferred,
                                                        uint32_t& resume_handle) override {
        auto call = net_.enter(op::NetLocalGroupGetMembers, server, {group});
        if (!call) return call.failure<Batch<LocalGroupMember>>();
        AccountDatabase* db = reach(call);
        if (!db) return fail<Batch<LocalGroupMember>>(status::kAccessDenied);
        return members_.next(
            resume_handle, preferred, [&]() -> Result<std::vector<LocalGroupMember>> {
                const LocalGroup* a = alias(*db, group);
                if (!a)
                    return Result<std::vector<LocalGroupMember>>::failure(status::kGroupNotFound);
                std::vector<LocalGroupMember> out;
                for (const Sid& sid : a->members)
                    out.push_back(member_record(call.machine(), sid));
                return {status::kSuccess, std::move(out)};
            });
    }

    // --- Policy

    Result<ModalsInfo> user_modals(StringView server, uint32_t level) override {
        auto call = net_.enter(op::NetUserModalsGet, server);
        if (!call) return call.failure<ModalsInfo>();
        AccountDatabase* db = reach(call);
        if (!db) return fail<ModalsInfo>(status::kAccessDenied);
        const ModalsInfo& p = db->policy;
        ModalsInfo out;
        switch (level) {
            case 0:
                out.min_passwd_len = p.min_passwd_len;
                out.max_passwd_age = p.max_passwd_age;
                out.min_passwd_age = p.min_passwd_age;
                out.force_logoff = p.force_logoff;
                out.password_hist_len = p.password_hist_len;
                break;
            case 1:
                role(call.machine(), out);
                break;
            case 2:
                out.domain_name = db->domain_name;
                out.domain_id = db->domain_sid;
                break;
            case 3:
                out.lockout_duration = p.lockout_duration;
                out.lockout_observation_window = p.lockout_observation_window;
                out.lockout_threshold = p.lockout_threshold;
                break;
            default:
                return fail<ModalsInfo>(status::kInvalidLevel);
        }
        return {status::kSuccess, std::move(out)};
    }

    Status set_user_modals(StringView server, uint32_t level, const ModalsInfo& in,
                           uint32_t& parm_err) override {
        auto call = net_.enter(op::NetUserModalsSet, server);
        if (!call) return call.status();
        AccountDatabase* db = nullptr;
        if (Status s = writable(call, db)) return s;
        ModalsInfo p = db->policy;
        switch (level) {
            case 0:
                p.min_passwd_len = in.min_passwd_len;
                p.max_passwd_age = in.max_passwd_age;
                p.min_passwd_age = in.min_passwd_age;
                p.force_logoff = in.force_logoff;
                p.password_hist_len = in.password_hist_len;
                break;
            case 1001:
                p.min_passwd_len = in.min_passwd_len;
                break;
            case 1002:
                p.max_passwd_age = in.max_passwd_age;
                break;
            case 1003:
                p.min_passwd_age = in.min_passwd_age;
                break;
            case 1004:
                p.force_logoff = in.force_logoff;
                break;
            case 1005:
                p.password_hist_len = in.password_hist_len;
                break;
            case 3:
                p.lockout_duration = in.lockout_duration;
                p.lockout_observation_window = in.lockout_observation_window;
                p.lockout_threshold = in.lockout_threshold;
                break;
            default:
                return status::kInvalidLevel;
        }
        // The field a level names is the one at fault; level 0 names the first bad one.
        auto field = [&](uint32_t number) { return level == 0 || level == 1000 + number; };
        if (p.min_passwd_len > kMaxPassword && field(1)) return invalid(parm_err, 1);
        if (p.max_passwd_age < kOneDay && field(2)) return invalid(parm_err, 2);
        if (p.min_passwd_age > p.max_passwd_age && (field(2) || field(3)))
            return invalid(parm_err, level == 1002 ? 2 : 3);
        if (p.password_hist_len > kMaxHistory && field(5)) return invalid(parm_err, 5);
        if (level == 3 && p.lockout_observation_window > p.lockout_duration)
            return invalid(parm_err, 2);
        db->policy = p;
        return status::kSuccess;
    }

  private:
    // The audit record of an account change, on the machine that holds the
    // account: the account, its domain and SID, and who made the change.
    void audit_account(Machine& m, const AccountDatabase& db, Audit event, StringView name,
                       uint32_t id) {
        const AuditCaller caller = audit_caller(net_, m);
        std::vector<String> strings{
            String(name), db.domain_name, u"%{" + db.domain_sid.with_rid(id).text() + u"}",
            caller.name,  caller.domain,  u"(0x0,0x3E7)",
            u"-"};
        if (event == Audit::UserChanged) strings.insert(strings.begin(), u"-");
        audit(net_, m, event, true, caller.sid, std::move(strings));
    }

    static Status invalid(uint32_t& parm_err, uint32_t field) {
        parm_err = field;
        return status::kInvalidParameter;
    }

    static platform::FileTime now(const Call& call) { return call.machine().time.clock; }

    // The database of the machine a call reached; null when that machine
    // refuses us: a stand-alone machine keeps its accounts to itself.
    AccountDatabase* reach(const Call& call) {
        Machine& m = call.machine();
        if (&m != &net_.local() && !net_.domain(m.servers.lan_group)) return nullptr;
        return &account_database(net_, m);
    }

    // The same for a change: only a primary controller takes one for its domain.
    Status writable(const Call& call, AccountDatabase*& db) {
        db = reach(call);
        if (!db) return status::kAccessDenied;
        if (is_backup_controller(net_, call.machine())) return status::kNotPrimary;
        return status::kSuccess;
    }

    static LocalGroup* alias(AccountDatabase& db, StringView name) {
        auto found = db.find(name);
        if (!found) return nullptr;
        if (found->first == AccountKind::Alias) return &db.aliases.at(found->second);
        if (found->first == AccountKind::BuiltinAlias) return &db.builtin.at(found->second);
        return nullptr;
    }

    // The BUILTIN aliases from Administrators to Print Operators that the
    // account `u` of `db`, or a global group of `db` it belongs to, is a
    // member of: bit (RID - 544) for each, in one walk over that range
    // (Users, with everyone in it, passed over). The members are compared in
    // place, RID first: a listing reads every account, and SIDs made for each
    // cost more than the rest of its record.
    static uint32_t builtin_roles(const AccountDatabase& db, const UserAccount& u) {
        constexpr auto bit = [](uint32_t alias_rid) { return 1u << (alias_rid - rid::kAdmins); };
        constexpr uint32_t kRoles = bit(rid::kAdmins) | bit(rid::kGuests) | bit(rid::kAccountOps) |
                                    bit(rid::kSystemOps) | bit(rid::kPrintOps);
        uint32_t roles = 0;
        for (auto it = db.builtin.lower_bound(rid::kAdmins);
             it != db.builtin.end() && it->first <= rid::kPrintOps; ++it) {
            if (!(kRoles & bit(it->first))) continue;
            const auto& members = it->second.members;
            if (std::any_of(members.begin(), members.end(), [&](const Sid& m) {
                    const uint32_t member_rid = m.rid();
                    return (member_rid == u.info.user_id ||
                            std::find(u.groups.begin(), u.groups.end(), member_rid) !=
                                u.groups.end()) &&
                           m.in_domain(db.domain_sid);
                }))
                roles |= bit(it->first);
        }
        return roles;
    }

    static UserInfo record(const Machine& m, const AccountDatabase& db, const UserAccount& u,
                           uint32_t level) {
        UserInfo out = u.info;
        out.password.clear();
        const platform::FileTime clock = m.time.clock;
        out.password_age = clock > u.password_set
                               ? static_cast<uint32_t>((clock - u.password_set) / kTicksPerSecond)
                               : 0;
        // Privilege and operator rights follow from the BUILTIN memberships,
        // direct or through a global group.
        const uint32_t roles = builtin_roles(db, u);
        const auto in = [&](uint32_t alias_rid) {
            return (roles >> (alias_rid - rid::kAdmins) & 1) != 0;
        };
        out.priv = in(rid::kAdmins)   ? platform::kUserPrivAdmin
                   : in(rid::kGuests) ? platform::kUserPrivGuest
                                      : platform::kUserPrivUser;
        out.auth_flags = (in(rid::kAccountOps) ? platform::kAfOpAccounts : 0) |
                         (in(rid::kSystemOps) ? platform::kAfOpServer : 0) |
                         (in(rid::kPrintOps) ? platform::kAfOpPrint : 0);
        if (auto c = m.accounts.counters.find(u.info.user_id); c != m.accounts.counters.end()) {
            out.bad_pw_count = c->second.bad_pw_count;
            out.num_logons = c->second.num_logons;
            out.last_logon = c->second.last_logon;
            out.last_logoff = c->second.last_logoff;
        }
        // A lockout whose time has run out no longer shows.
        if (!locked_out(db, u, clock)) out.flags &= ~platform::uf::kLockout;
        out.logon_server = u"\\\\*";
        const uint32_t max_age = db.policy.max_passwd_age;
        const bool aged = !(u.info.flags & platform::uf::kDontExpirePassword) &&
                          max_age != platform::kTimeqForever && out.password_age > max_age;
        out.password_expired = (u.must_change || aged) ? 1 : 0;
        if (level == 2) {
            out.user_id = out.primary_group_id = out.password_expired = 0;
            out.profile.clear();
            out.home_dir_drive.clear();
        }
        return out;
    }

    // The checks a write makes, on a copy of the account that is kept only
    // when every field passes.
    struct Checks {
        AccountDatabase& db;
        UserAccount& u;
        platform::FileTime now;
        uint32_t& parm_err;

        Status name(StringView value) {
            if (!valid_account_name(value, kMaxUserName)) return status::kBadUsername;
            if (!equal_ignore_case(value, u.info.name)) {
                if (Status s = name_taken(db, value, status::kGroupExists)) return s;
            }
            u.info.name = String(value);
            return status::kSuccess;
        }

        Status password(StringView value) {
            const ModalsInfo& p = db.policy;
            if (value.size() > kMaxPassword) return invalid(parm_err, 3);
            const bool optional = (u.info.flags & platform::uf::kPasswordNotRequired) != 0;
            if (value.size() < p.min_passwd_len && !(value.empty() && optional))
                return status::kPasswordTooShort;
            // The history holds the current password and the ones before it.
            if (p.password_hist_len > 0) {
                if (value == u.password && u.password_set != 0) return status::kPasswordTooShort;
                const size_t keep = std::min<size_t>(p.password_hist_len - 1, u.history.size());
                if (std::find(u.history.end() - static_cast<ptrdiff_t>(keep), u.history.end(),
                              String(value)) != u.history.end())
                    return status::kPasswordTooShort;
            }
            if (u.password_set != 0) u.history.push_back(u.password);
            if (u.history.size() > kMaxHistory) u.history.erase(u.history.begin());
            u.password = String(value);
            u.password_set = now;
            u.must_change = false;
            return status::kSuccess;
        }

        Status comment(const String& value, uint32_t field, String& into) {
            if (value.size() > kMaxComment) return invalid(parm_err, field);
            into = value;
            return status::kSuccess;
        }

        Status flags(uint32_t value) {
            using namespace platform::uf;
            const uint32_t type = value & kAccountTypeMask;
            if (type & (type - 1)) return invalid(parm_err, 8);  // more than one type
            // The lockout bit can only be cleared: the system locks an account, not a caller.
            if ((value & kLockout) && !(u.info.flags & kLockout)) return invalid(parm_err, 8);
            const uint32_t kept_type = type ? type : (u.info.flags & kAccountTypeMask);
            u.info.flags = (value & ~kAccountTypeMask) | kept_type;
            return status::kSuccess;
        }

        Status workstations(const String& value) {
            if (workstation_count(value) > kMaxWorkstations) return invalid(parm_err, 14);
            u.info.workstations = value;
            return status::kSuccess;
        }

        Status hours(uint32_t units, const std::vector<uint8_t>& bitmap) {
            if (units != platform::kUnitsPerWeek) return invalid(parm_err, 19);
            if (bitmap.empty()) return status::kSuccess;  // no bitmap: the hours stay
            if (bitmap.size() != platform::kLogonHoursBytes) return invalid(parm_err, 20);
            u.info.units_per_week = units;
            u.info.logon_hours = bitmap;
            return status::kSuccess;
        }

        Status primary_group(uint32_t group) {
            if (std::find(u.groups.begin(), u.groups.end(), group) == u.groups.end())
                return status::kMemberNotInGroup;
            u.info.primary_group_id = group;
            return status::kSuccess;
        }

        Status expired(uint32_t value) {
            u.must_change = value != 0;
            // Clearing it also restarts an aged password's clock.
            if (!value && db.policy.max_passwd_age != platform::kTimeqForever &&
                now > u.password_set &&
                (now - u.password_set) / kTicksPerSecond > db.policy.max_passwd_age)
                u.password_set = now;
            return status::kSuccess;
        }

        // USER_INFO_1: name, password, priv (fixed by the memberships),
        // home_dir, comment, flags, script_path.
        // An empty text there is no text sent: the field stays as it is.
        Status level1(const UserInfo& in) {
            if (Status s = name(in.name)) return s;
            if (!in.password.empty()) {
                if (Status s = password(in.password)) return s;
            }
            if (!in.comment.empty()) {
                if (Status s = comment(in.comment, 7, u.info.comment)) return s;
            }
            if (Status s = flags(in.flags)) return s;
            if (!in.home_dir.empty()) u.info.home_dir = in.home_dir;
            if (!in.script_path.empty()) u.info.script_path = in.script_path;
            return status::kSuccess;
        }

        // USER_INFO_3: every writable field; the counters, times and ids the
        // system keeps are not taken.
        Status level3(const UserInfo& in) {
            if (Status s = level1(in)) return s;
            if (Status s = comment(in.comment, 7, u.info.comment)) return s;
            if (Status s = comment(in.usr_comment, 12, u.info.usr_comment)) return s;
            u.info.home_dir = in.home_dir;
            u.info.script_path = in.script_path;
            if (Status s = workstations(in.workstations)) return s;
            if (Status s = hours(in.units_per_week, in.logon_hours)) return s;
            if (Status s = primary_group(in.primary_group_id)) return s;
            u.info.full_name = in.full_name;
            u.info.parms = in.parms;
            u.info.acct_expires = in.acct_expires;
            u.info.max_storage = in.max_storage;
            u.info.country_code = in.country_code;
            u.info.code_page = in.code_page;
            u.info.profile = in.profile;
            u.info.home_dir_drive = in.home_dir_drive;
            return expired(in.password_expired);
        }
    };

    Status check_new_group(const AccountDatabase& db, uint32_t level, const GroupInfo& in,
                           uint32_t& parm_err, Status alias_status) {
        if (!valid_account_name(in.name, kMaxGroupName)) return invalid(parm_err, 1);
        if (Status s = name_taken(db, in.name, alias_status)) return s;
        if (level == 1 && in.comment.size() > kMaxComment) return invalid(parm_err, 2);
        return status::kSuccess;
    }

    // Levels 0 (rename) and 1002 (comment) of a global or local group.
    static Status set_group_fields(AccountDatabase& db, uint32_t level, const GroupInfo& in,
                                   uint32_t& parm_err, std::pair<AccountKind, uint32_t> entry,
                                   String& name, String& comment, Status alias_status) {
        if (level == 1002) {
            if (in.comment.size() > kMaxComment) return invalid(parm_err, 2);
            comment = in.comment;
            return status::kSuccess;
        }
        if (level != 0) return status::kInvalidLevel;
        if (!valid_account_name(in.name, kMaxGroupName)) return invalid(parm_err, 1);
        if (!equal_ignore_case(in.name, name)) {
            if (Status s = name_taken(db, in.name, alias_status)) return s;
        }
        db.drop_name(name);
        db.add_name(in.name, entry.first, entry.second);
        name = in.name;
        return status::kSuccess;
    }

    Status group_member(const Call& call, StringView group, StringView user, bool add) {
        AccountDatabase* db = nullptr;
        if (Status s = writable(call, db)) return s;
        auto found = db->find(group);
        if (!found || found->first != AccountKind::Group) return status::kGroupNotFound;
        UserAccount* u = db->user(user);
        if (!u) return status::kUserNotFound;
        const uint32_t g = found->second, id = u->info.user_id;
        const bool member = std::find(u->groups.begin(), u->groups.end(), g) != u->groups.end();
        if (add) {
            if (member) return status::kUserInGroup;
            db->join(g, id);
        } else {
            if (!member) return status::kUserNotInGroup;
            if (u->info.primary_group_id == g) return status::kMembersPrimaryGroup;
            db->leave(g, id);
        }
        return status::kSuccess;
    }

    Status alias_members(const Call& call, StringView group, const std::vector<String>& names,
                         bool add) {
        AccountDatabase* db = nullptr;
        if (Status s = writable(call, db)) return s;
        LocalGroup* a = alias(*db, group);
        if (!a) return status::kGroupNotFound;
        std::vector<Sid> sids;
        for (const String& name : names) {
            auto account = resolve_name(net_, call.machine(), name);
            if (!account) return status::kNoSuchMember;
            const SidUsage use = account->usage;
            if (use != SidUsage::User && use != SidUsage::Group && use != SidUsage::WellKnownGroup)
                return status::kInvalidMember;
            const bool member = contains(a->members, account->sid) || contains(sids, account->sid);
            if (add && member) return status::kMemberInAlias;
            if (!add && !contains(a->members, account->sid)) return status::kMemberNotInAlias;
            sids.push_back(account->sid);
        }
        for (const Sid& sid : sids) {
            if (add) {
                a->members.push_back(sid);
            } else {
                std::erase(a->members, sid);
            }
        }
        return status::kSuccess;
    }

    LocalGroupMember member_record(Machine& m, const Sid& sid) {
        LocalGroupMember out;
        out.sid = sid;
        auto account = resolve_sid(net_, m, sid);
        if (!account) {
            out.domain_and_name = sid.text();
            return out;
        }
        out.usage = account->usage;
        if (account->usage == SidUsage::DeletedAccount || account->usage == SidUsage::Unknown) {
            out.domain_and_name = sid.text();
        } else {
            out.domain_and_name =
                account->domain.empty() ? account->name : account->domain + u"\\" + account->name;
        }
        return out;
    }

    void role(const Machine& m, ModalsInfo& out) {
        const Domain* d = net_.domain(m.servers.lan_group);
        if (!d) return;  // UAS_ROLE_STANDALONE
        out.primary = d->primary;
        if (equal_ignore_case(d->primary, m.name)) {
            out.role = 3;
        } else if (is_listed(d->backups, m.name)) {
            out.role = 2;
        } else {
            out.role = 1;
        }
    }

    Network& net_;
    Walks<String, entry_bytes> names_;
    Walks<LocalGroupMember, entry_bytes> members_;
};

}  // namespace

std::shared_ptr<platform::Accounts> make_accounts(Network& net) {
    return std::make_shared<SimAccounts>(net);
}

}  // namespace vorlek::sim
