// The account databases of the simulated machines: users, global groups,
// local groups (the domain's aliases and BUILTIN) and the account policy.
#pragma once

#include <algorithm>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include "automation/text.h"
#include "platform/accounts.h"
#include "platform/sim/faults.h"
#include "platform/time.h"

namespace vorlek::sim {

class Network;
struct Machine;

// A user as the database keeps it: the record's stored fields (the computed
// ones, password_age, priv, auth_flags and password_expired, are derived at
// each read), the password and its history.
struct UserAccount {
    platform::UserInfo info;  // name, texts, flags, expiry, hours, ids
    String password;
    std::vector<String> history;  // earlier passwords, newest last
    platform::FileTime password_set = 0;
    platform::FileTime locked_at = 0;  // when the lockout bit was last set
    bool must_change = false;          // "password expired" set by an administrator
    std::vector<uint32_t> groups;      // RIDs of its global groups (the other side of their lists)
};

struct GlobalGroup {
    String name;
    String comment;
    std::vector<uint32_t> members;  // user RIDs, in the order they joined
};

struct LocalGroup {
    String name;
    String comment;
    std::vector<platform::Sid> members;  // users and global groups of any domain, well-known SIDs
};

enum class AccountKind : uint8_t { User, Group, Alias, BuiltinAlias };

// The counters each controller keeps for itself (not replicated).
struct LogonCounters {
    uint32_t bad_pw_count = 0;
    uint32_t num_logons = 0;
    uint32_t last_logon = 0;
    uint32_t last_logoff = 0;
    platform::FileTime last_bad_password = 0;  // starts the observation window
};

// The account names of one database (users, groups, aliases and BUILTIN
// share one name space), each naming its account by kind and RID. Open
// addressing over the names' hashes: a look-up reads one short run of a flat
// array instead of a chain of nodes, and the account's own name, given by
// `NameOf(kind, rid)`, confirms a match. So the index holds no text and no
// pointer, and a copy of the database copies it as it is.
class AccountNames {
  public:
    using Entry = std::pair<AccountKind, uint32_t>;

    template <class NameOf>
    std::optional<Entry> find(StringView name, const NameOf& name_of) const {
        const size_t at = index_of(name, name_of);
        if (at == kNone) return std::nullopt;
        return Entry{slots_[at].kind, slots_[at].rid};
    }
    // Names `entry` `name`, in place of an account of that name it had.
    template <class NameOf>
    void put(StringView name, Entry entry, const NameOf& name_of) {
        if (const size_t at = index_of(name, name_of); at != kNone) {
            slots_[at].kind = entry.first;
            slots_[at].rid = entry.second;
            return;
        }
        if ((count_ + 1) * 2 > slots_.size()) grow();
        const auto hash = static_cast<uint32_t>(CaseInsensitiveHash{}(name));
        place(Slot{hash, entry.second, entry.first, true});
        ++count_;
    }
    // Drops `name`, while its account still has it.
    template <class NameOf>
    void erase(StringView name, const NameOf& name_of) {
        size_t hole = index_of(name, name_of);
        if (hole == kNone) return;
        // Backward shift: later slots of the run move up past the hole when
        // their home is not between the hole and them.
        for (size_t i = (hole + 1) & mask(); slots_[i].used; i = (i + 1) & mask()) {
            if (((i - home(slots_[i].hash)) & mask()) >= ((i - hole) & mask())) {
                slots_[hole] = slots_[i];
                hole = i;
            }
        }
        slots_[hole] = Slot{};
        --count_;
    }

  private:
    struct Slot {
        uint32_t hash = 0;  // the low half of the name's hash
        uint32_t rid = 0;
        AccountKind kind{};
        bool used = false;
    };
    static constexpr size_t kNone = SIZE_MAX;

    size_t mask() const { return slots_.size() - 1; }
    // A slot's first choice. The table keeps only the low half of a hash;
    // it is mixed so that its high bits choose too.
    size_t home(uint32_t hash) const {
        return static_cast<size_t>((hash * 0x9E3779B97F4A7C15ull) >> 32) & mask();
    }
    template <class NameOf>
    size_t index_of(StringView name, const NameOf& name_of) const {
        if (slots_.empty()) return kNone;
        const auto hash = static_cast<uint32_t>(CaseInsensitiveHash{}(name));
        for (size_t i = home(hash);; i = (i + 1) & mask()) {
            const Slot& s = slots_[i];
            if (!s.used) return kNone;
            if (s.hash == hash && equal_ignore_case(name_of(s.kind, s.rid), name)) return i;
        }
    }
    void place(const Slot& slot) {
        size_t i = home(slot.hash);
        while (slots_[i].used)
            i = (i + 1) & mask();
        slots_[i] = slot;
    }
    void grow() {
        std::vector<Slot> old =
            std::exchange(slots_, std::vector<Slot>(std::max<size_t>(16, slots_.size() * 2)));
        for (const Slot& s : old)
            if (s.used) place(s);
    }

    std::vector<Slot> slots_;  // a power of two of them, at most half used
    size_t count_ = 0;
};

// One SAM database: a domain's (shared by its controllers) or a machine's own.
struct AccountDatabase {
    String domain_name;  // upper case: the domain, or the machine's name
    platform::Sid domain_sid;
    bool controller = false;  // a domain's: global groups beyond "None" can be made
    uint32_t next_rid = platform::sid::rid::kFirstAccount;

    // By RID, so an enumeration walks in a stable order; every name is found
    // through the name index (`find`).
    std::map<uint32_t, UserAccount> users;
    std::map<uint32_t, GlobalGroup> groups;
    std::map<uint32_t, LocalGroup> aliases;
    std::map<uint32_t, LocalGroup> builtin;
    std::unordered_set<uint32_t> deleted;  // RIDs of removed accounts, never handed out again

    platform::ModalsInfo policy;  // levels 0 and 3; level 1 and 2 follow from the network

    // Adders for the presets and tests; they bypass the checks of the operations.
    // A user joins the group with RID 513 (its primary group) when there is one.
    UserAccount& add_user(StringView name, uint32_t rid, uint32_t flags);
    GlobalGroup& add_group(StringView name, uint32_t rid, StringView comment);
    LocalGroup& add_alias(StringView name, uint32_t rid, StringView comment, bool is_builtin);
    // Membership of a global group, kept on both sides.
    void join(uint32_t group_rid, uint32_t user_rid);
    void leave(uint32_t group_rid, uint32_t user_rid);
    // Removal with every membership; the RID is not handed out again.
    void remove_user(uint32_t user_rid);
    void remove_group(uint32_t group_rid);
    void remove_alias(uint32_t alias_rid);
    UserAccount* user(StringView name);
    // An account of this database or of BUILTIN by name: its SID and kind.
    std::optional<std::pair<AccountKind, uint32_t>> find(StringView name) const;
    // The name index follows a new name, or a name given up, of an account
    // in the maps above; `drop_name` while the account still has the name.
    void add_name(StringView name, AccountKind kind, uint32_t rid);
    void drop_name(StringView name);
    // The name the account `rid` of `kind` has; empty when there is none.
    StringView name_of(AccountKind kind, uint32_t rid) const;
    platform::Sid sid_of(AccountKind kind, uint32_t rid) const;

  private:
    void forget(const platform::Sid& sid);
    // What the name index confirms its matches with.
    auto namer() const {
        return [this](AccountKind kind, uint32_t id) { return name_of(kind, id); };
    }

    AccountNames names_;
};

struct AccountsState {
    // Null until first used (then the machine's own, or its domain's for a controller).
    std::shared_ptr<AccountDatabase> database;
    std::unordered_map<uint32_t, LogonCounters> counters;  // by user RID
};

namespace op {
inline constexpr Operation NetUserEnum{u"NetUserEnum"};
inline constexpr Operation NetUserGetInfo{u"NetUserGetInfo"};
inline constexpr Operation NetUserSetInfo{u"NetUserSetInfo"};
inline constexpr Operation NetUserAdd{u"NetUserAdd"};
inline constexpr Operation NetUserDel{u"NetUserDel"};
inline constexpr Operation NetUserGetGroups{u"NetUserGetGroups"};
inline constexpr Operation NetUserGetLocalGroups{u"NetUserGetLocalGroups"};
inline constexpr Operation NetGroupEnum{u"NetGroupEnum"};
inline constexpr Operation NetGroupGetInfo{u"NetGroupGetInfo"};
inline constexpr Operation NetGroupSetInfo{u"NetGroupSetInfo"};
inline constexpr Operation NetGroupAdd{u"NetGroupAdd"};
inline constexpr Operation NetGroupDel{u"NetGroupDel"};
inline constexpr Operation NetGroupAddUser{u"NetGroupAddUser"};
inline constexpr Operation NetGroupDelUser{u"NetGroupDelUser"};
inline constexpr Operation NetGroupGetUsers{u"NetGroupGetUsers"};
inline constexpr Operation NetLocalGroupEnum{u"NetLocalGroupEnum"};
inline constexpr Operation NetLocalGroupGetInfo{u"NetLocalGroupGetInfo"};
inline constexpr Operation NetLocalGroupSetInfo{u"NetLocalGroupSetInfo"};
inline constexpr Operation NetLocalGroupAdd{u"NetLocalGroupAdd"};
inline constexpr Operation NetLocalGroupDel{u"NetLocalGroupDel"};
inline constexpr Operation NetLocalGroupAddMembers{u"NetLocalGroupAddMembers"};
inline constexpr Operation NetLocalGroupDelMembers{u"NetLocalGroupDelMembers"};
inline constexpr Operation NetLocalGroupGetMembers{u"NetLocalGroupGetMembers"};
inline constexpr Operation NetUserModalsGet{u"NetUserModalsGet"};
inline constexpr Operation NetUserModalsSet{u"NetUserModalsSet"};
}  // namespace op

// The database a machine answers from, made on first use: a domain's for its
// controllers (kept on the primary), the machine's own otherwise, with the
// built-in accounts and groups.
AccountDatabase& account_database(Network& net, Machine& machine);
// The database of a domain, through whichever controller answers; null when
// none does or the name is no domain.
AccountDatabase* domain_database(Network& net, StringView domain);
// The controller that answers for a domain (the primary first); null when
// none does or the name is no domain.
Machine* domain_controller(Network& net, StringView domain);
// A backup controller of its domain (writes go to the primary).
bool is_backup_controller(Network& net, const Machine& machine);

// Lockout as the policy of the account's database times it. An account is
// locked out while its bit is set and the lockout duration has not run out
// (TIMEQ_FOREVER: until an administrator clears the bit).
bool locked_out(const AccountDatabase& db, const UserAccount& u, platform::FileTime now);
// Logons as the controller (or the machine) `at` that checked them counts
// them. A wrong password counts there, the count starting again once the
// observation window has passed since the last one, and locks the account
// out at the threshold; a good logon counts and clears the bad ones.
void count_bad_password(AccountDatabase& db, UserAccount& u, Machine& at);
void count_logon(UserAccount& u, Machine& at);

}  // namespace vorlek::sim
