// Accounts on a remote server: the network management library for users,
// global groups, local groups and policy, and the SAM and LSA interfaces
// directly where the library lacks a call or gets it wrong (local-group
// members, a user's local groups, account control bits).
#include "platform/accounts.h"

#include <netapi.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <unordered_map>

#include "automation/text.h"
#include "platform/c_strings.h"
#include "platform/remote/accounts_detail.h"
#include "platform/remote/areas.h"
#include "platform/remote/samr.h"

namespace vorlek::platform::remote {

namespace detail {

namespace {

// What the library answers where a name does not resolve (ERROR_NONE_MAPPED),
// names another kind of account (ERROR_INVALID_DATATYPE: a local group asked
// for as a global one, say) or the SAM's own codes for a missing user, group
// or local group.
constexpr std::array<uint32_t, 5> kNameMissing{1332, 1804, 1317, 1319, 1376};

bool name_missing(uint32_t rc) {
    return std::find(kNameMissing.begin(), kNameMissing.end(), rc) != kNameMissing.end();
}

}  // namespace

Status library_status(uint32_t rc, Absent absent) {
    // Windows names what is missing.
    if (absent != Absent::Keep && name_missing(rc)) {
        static constexpr std::array kAbsent{status::kUserNotFound, status::kGroupNotFound,
                                            status::kGroupNotFound};
        return kAbsent[static_cast<size_t>(absent)];
    }
    if (rc >= 0x80000000) return win32_from_ntstatus(rc);
    return rc;
}

Status group_user_status(uint32_t rc, bool group_exists) {
    if (name_missing(rc)) return group_exists ? status::kUserNotFound : status::kGroupNotFound;
    if (rc == 1320) return status::kUserInGroup;     // ERROR_MEMBER_IN_GROUP
    if (rc == 1321) return status::kUserNotInGroup;  // ERROR_MEMBER_NOT_IN_GROUP
    return library_status(rc, Absent::Keep);
}

Status taken_status(uint32_t rc) {
    // The SAM's own codes for a name in use; NetUserAdd and NetGroupAdd give
    // the network codes.
    if (rc == 1316) return status::kUserExists;
    if (rc == 1318) return status::kGroupExists;
    return library_status(rc, Absent::Keep);
}

LocalGroupMember member_of(const Sid& sid, const sam::Translated& name) {
    LocalGroupMember m{sid, name.use, {}};
    if (name.use == SidUsage::Unknown || name.use == SidUsage::Invalid || name.name.empty())
        m.domain_and_name = sid.text();
    else if (name.domain.empty())
        m.domain_and_name = name.name;
    else
        m.domain_and_name = name.domain + u"\\" + name.name;
    return m;
}

uint32_t batch_bytes(const LocalGroupMember& m) {
    // A LOCALGROUP_MEMBERS_INFO_2 record, the SID and the name behind it.
    return static_cast<uint32_t>(24 + 8 + 4 * m.sid.sub_authorities().size() +
                                 2 * (m.domain_and_name.size() + 1));
}

Result<Batch<LocalGroupMember>> slice(std::vector<LocalGroupMember> all, uint32_t preferred,
                                      uint32_t& resume_handle) {
    Batch<LocalGroupMember> out;
    const size_t start = std::min<size_t>(resume_handle, all.size());
    out.total_entries = static_cast<uint32_t>(all.size() - start);
    size_t end = start;
    uint64_t bytes = 0;
    while (end < all.size()) {
        bytes += batch_bytes(all[end]);
        if (end > start && bytes > preferred) break;
        ++end;
    }
    out.entries.assign(std::make_move_iterator(all.begin() + static_cast<ptrdiff_t>(start)),
                       std::make_move_iterator(all.begin() + static_cast<ptrdiff_t>(end)));
    const bool more = end < all.size();
    resume_handle = more ? static_cast<uint32_t>(end) : 0;
    return {more ? status::kMoreData : status::kSuccess, std::move(out)};
}

Status member_refusal(SidUsage use) {
    switch (use) {
        case SidUsage::User:
        case SidUsage::Group:
        case SidUsage::WellKnownGroup:
        case SidUsage::Computer:
            return status::kSuccess;
        case SidUsage::Unknown:
        case SidUsage::Invalid:
            return status::kNoSuchMember;
        default:
            return status::kInvalidMember;
    }
}

Status membership_conflict(const std::vector<Sid>& current, const std::vector<Sid>& asked,
                           bool add) {
    for (const Sid& s : asked) {
        const bool member = std::find(current.begin(), current.end(), s) != current.end();
        if (add && member) return status::kMemberInAlias;
        if (!add && !member) return status::kMemberNotInAlias;
    }
    return status::kSuccess;
}

}  // namespace detail

namespace {

using detail::Absent;

// The server of the call this thread is making, for telling why the
// library could not reach it.
thread_local std::string calling;

Status reached(Status s) {
    return s == kCannotComplete && !calling.empty() ? connection_failure(calling) : s;
}

Status net_status(uint32_t rc, Absent absent) {
    return reached(detail::library_status(rc, absent));
}

// UTF-8 copies of a call's texts, alive for the call; 123 for a text with a
// NUL inside, which must not reach the server cut short.
class Texts {
  public:
    const char* utf8(StringView text) {
        if (!fits_c_string(text)) status_ = status::kInvalidName;
        return kept_.emplace_back(to_utf8(text)).c_str();
    }
    const char* utf8_or_null(StringView text) { return text.empty() ? nullptr : utf8(text); }
    Status status() const noexcept { return status_; }

  private:
    std::deque<std::string> kept_;
    Status status_ = status::kSuccess;
};

// A buffer the library allocated.
struct NetBuffer {
    uint8_t* p = nullptr;
    NetBuffer() = default;
    NetBuffer(const NetBuffer&) = delete;
    NetBuffer& operator=(const NetBuffer&) = delete;
    ~NetBuffer() {
        if (p) NetApiBufferFree(p);
    }
    template <class T>
    const T* as() const {
        return reinterpret_cast<const T*>(p);
    }
};

String text(const char* s) {
    return utf16(s);
}

UserInfo from_3(const USER_INFO_3& u) {
    UserInfo out;
    out.name = text(u.usri3_name);
    out.password_age = u.usri3_password_age;
    out.priv = u.usri3_priv;
    out.home_dir = text(u.usri3_home_dir);
    out.comment = text(u.usri3_comment);
    out.flags = u.usri3_flags;
    out.script_path = text(u.usri3_script_path);
    out.auth_flags = u.usri3_auth_flags;
    out.full_name = text(u.usri3_full_name);
    out.usr_comment = text(u.usri3_usr_comment);
    out.parms = text(u.usri3_parms);
    out.workstations = text(u.usri3_workstations);
    out.last_logon = u.usri3_last_logon;
    out.last_logoff = u.usri3_last_logoff;
    out.acct_expires = u.usri3_acct_expires;
    out.max_storage = u.usri3_max_storage;
    out.units_per_week = u.usri3_units_per_week;
    if (u.usri3_logon_hours && u.usri3_units_per_week)
        out.logon_hours.assign(u.usri3_logon_hours,
                               u.usri3_logon_hours + (u.usri3_units_per_week + 7) / 8);
    out.bad_pw_count = u.usri3_bad_pw_count;
    out.num_logons = u.usri3_num_logons;
    out.logon_server = text(u.usri3_logon_server);
    out.country_code = u.usri3_country_code;
    out.code_page = u.usri3_code_page;
    out.user_id = u.usri3_user_id;
    out.primary_group_id = u.usri3_primary_group_id;
    out.profile = text(u.usri3_profile);
    out.home_dir_drive = text(u.usri3_home_dir_drive);
    out.password_expired = u.usri3_password_expired;
    return out;
}

// A level-2 read is the level-3 record without the fields level 3 adds.
UserInfo to_level_2(UserInfo u) {
    u.user_id = u.primary_group_id = u.password_expired = 0;
    u.profile.clear();
    u.home_dir_drive.clear();
    return u;
}

// Level-0 records of every enumeration: one name each.
template <class Record>
std::vector<String> names_of(const NetBuffer& b, uint32_t read) {
    std::vector<String> out;
    out.reserve(read);
    for (uint32_t i = 0; i < read && b.p; ++i)
        out.push_back(text(*reinterpret_cast<const char* const*>(b.as<Record>() + i)));
    return out;
}

// The level-3 records of the last listing of a server's users, kept so that
// the reads of every listed account that follow (what loading a list of
// accounts does) take one enumeration instead of one round trip each. The
// first read of a listed account goes to the server alone; the second asks
// for the records of all. A record serves one read, for a short while; any
// change made through this area drops them.
class Prefetch {
  public:
    static constexpr auto kLifetime = std::chrono::seconds(30);

    void listed(const std::string& host, uint32_t filter, bool fresh,
                const std::vector<String>& names) {
        if (fresh || host != host_ || filter != filter_) clear();
        host_ = host;
        filter_ = filter;
        for (const String& n : names)
            names_.insert(to_upper(n));
    }
    bool listed(const std::string& host, StringView name) const {
        return host == host_ && names_.count(to_upper(name)) != 0;
    }
    // The kept record of `name`, taken out.
    std::optional<UserInfo> take(const std::string& host, StringView name) {
        if (host != host_ || std::chrono::steady_clock::now() - fetched_ > kLifetime) {
            records_.clear();
            return std::nullopt;
        }
        auto it = records_.find(to_upper(name));
        if (it == records_.end()) return std::nullopt;
        UserInfo out = std::move(it->second);
        records_.erase(it);
        names_.erase(to_upper(name));
        return out;
    }
    // Whether this read of a listed account is the one that should fetch all.
    bool second_read() { return reads_++ == 1; }
    void keep(std::vector<UserInfo> records) {
        records_.clear();
        for (UserInfo& r : records) {
            String key = to_upper(r.name);
            if (names_.count(key)) records_.emplace(std::move(key), std::move(r));
        }
        fetched_ = std::chrono::steady_clock::now();
    }
    uint32_t filter() const noexcept { return filter_; }
    void clear() {
        host_.clear();
        names_.clear();
        records_.clear();
        reads_ = 0;
    }

  private:
    std::string host_;
    uint32_t filter_ = 0;
    std::set<String> names_;
    std::map<String, UserInfo> records_;
    std::chrono::steady_clock::time_point fetched_;
    int reads_ = 0;
};

class RemoteAccounts final : public platform::Accounts {
  public:
    explicit RemoteAccounts(std::shared_ptr<Session> session) : session_(std::move(session)) {}

    // --- Users

    Result<Batch<String>> enum_users(StringView server, uint32_t filter, uint32_t preferred,
                                     uint32_t& resume_handle) override {
        auto host = target(server);
        if (!host.ok()) return {host.status, {}};
        const bool fresh = resume_handle == 0;
        NetBuffer b;
        uint32_t read = 0, total = 0;
        Status rc;
        {
            std::lock_guard g(session_->library_lock());
            rc = net_status(NetUserEnum(host.value.c_str(), 0, filter, &b.p, preferred, &read,
                                        &total, &resume_handle),
                            Absent::Keep);
        }
        if (rc != status::kSuccess && rc != status::kMoreData) return {rc, {}};
        Batch<String> out;
        out.entries = names_of<USER_INFO_0>(b, read);
        // The library leaves the total at 0: count what follows this batch.
        out.total_entries = read;
        if (rc == status::kMoreData) {
            uint32_t rest = 0;
            uint32_t resume = resume_handle;
            const Status more = count_users(host.value, filter, resume, rest);
            if (more != status::kSuccess) return {more, std::move(out)};
            out.total_entries = read + std::max<uint32_t>(rest, 1);
        }
        std::lock_guard g(cache_lock_);
        prefetch_.listed(host.value, filter, fresh, out.entries);
        return {rc, std::move(out)};
    }

    Result<UserInfo> user_info(StringView server, StringView user, uint32_t level) override {
        if (level != 2 && level != 3) return {status::kInvalidLevel, {}};
        auto host = target(server);
        if (!host.ok()) return {host.status, {}};
        Texts t;
        const char* u = t.utf8(user);
        if (t.status()) return {t.status(), {}};
        auto record = cached(host.value, user);
        if (!record) {
            NetBuffer b;
            Status rc;
            {
                std::lock_guard g(session_->library_lock());
                rc = net_status(NetUserGetInfo(host.value.c_str(), u, 3, &b.p), Absent::User);
            }
            if (rc != status::kSuccess) return {rc, {}};
            if (!b.p) return {sam::kBadStubData, {}};
            record = from_3(*b.as<USER_INFO_3>());
        }
        if (level == 2) return {status::kSuccess, to_level_2(std::move(*record))};
        return {status::kSuccess, std::move(*record)};
    }

    Status set_user_info(StringView server, StringView user, uint32_t level, const UserInfo& in,
                         uint32_t& parm_err) override {
        parm_err = 0;
        auto host = target(server);
        if (!host.ok()) return host.status;
        forget();
        Texts t;
        const char* u = t.utf8(user);
        const char* h = host.value.c_str();
        auto set = [&](const auto& record) -> Status {
            if (t.status()) return t.status();
            std::lock_guard g(session_->library_lock());
            return net_status(
                NetUserSetInfo(h, u, level,
                               reinterpret_cast<uint8_t*>(
                                   const_cast<std::decay_t<decltype(record)>*>(&record)),
                               &parm_err),
                Absent::User);
        };
        std::vector<uint8_t> hours = in.logon_hours;
        // The library answers success for logon hours but leaves them as
        // they were; like the levels it does not write at all (50), they go
        // as the account's level-3 record with that field changed.
        const Status rc =
            level == 1020 ? kNotSupported
                          : set_one_level(set, t, h, host.value, user, level, in, hours, parm_err);
        if (rc != kNotSupported || level < 1006) return rc;
        auto current = user_info(server, user, 3);
        if (!current.ok()) return current.status;
        UserInfo merged = std::move(current.value);
        merged.password.clear();
        if (!copy_field(level, in, merged)) return rc;
        std::vector<uint8_t> merged_hours = merged.logon_hours;
        const Status written = set_level_3(h, user, merged, merged_hours, parm_err);
        if (written != status::kSuccess || level != 1020) return written;
        // Samba's SAM answers success and keeps the hours it had: a change
        // that did not happen is not reported as made.
        forget();
        auto after = user_info(server, user, 3);
        if (!after.ok()) return after.status;
        return after.value.logon_hours == in.logon_hours ? status::kSuccess : kNotSupported;
    }

    // The field a single-field level sets; false for other levels.
    static bool copy_field(uint32_t level, const UserInfo& in, UserInfo& out) {
        switch (level) {
            case 1006:
                out.home_dir = in.home_dir;
                return true;
            case 1007:
                out.comment = in.comment;
                return true;
            case 1009:
                out.script_path = in.script_path;
                return true;
            case 1011:
                out.full_name = in.full_name;
                return true;
            case 1012:
                out.usr_comment = in.usr_comment;
                return true;
            case 1013:
                out.parms = in.parms;
                return true;
            case 1014:
                out.workstations = in.workstations;
                return true;
            case 1017:
                out.acct_expires = in.acct_expires;
                return true;
            case 1018:
                out.max_storage = in.max_storage;
                return true;
            case 1020:
                out.units_per_week = in.units_per_week;
                out.logon_hours = in.logon_hours;
                return true;
            case 1024:
                out.country_code = in.country_code;
                return true;
            case 1025:
                out.code_page = in.code_page;
                return true;
            case 1051:
                out.primary_group_id = in.primary_group_id;
                return true;
            case 1052:
                out.profile = in.profile;
                return true;
            case 1053:
                out.home_dir_drive = in.home_dir_drive;
                return true;
            default:
                return false;
        }
    }

    template <class Set>
    Status set_one_level(Set& set, Texts& t, const char* h, const std::string& host,
                         StringView user, uint32_t level, const UserInfo& in,
                         std::vector<uint8_t>& hours, uint32_t& parm_err) {
        switch (level) {
            case 0:
                return set(USER_INFO_0{t.utf8(in.name)});
            case 1:
                return set_level_1(h, user, in, parm_err);
            case 3:
                return set_level_3(h, user, in, hours, parm_err);
            case 1003:
                return set(USER_INFO_1003{t.utf8(in.password)});
            case 1006:
                return set(USER_INFO_1006{t.utf8(in.home_dir)});
            case 1007:
                return set(USER_INFO_1007{t.utf8(in.comment)});
            case 1008:
                // The library does not write this level: the account control
                // bits go to the SAM directly.
                if (t.status()) return t.status();
                return set_control(host, user, in.flags);
            case 1009:
                return set(USER_INFO_1009{t.utf8(in.script_path)});
            case 1011:
                return set(USER_INFO_1011{t.utf8(in.full_name)});
            case 1012:
                return set(USER_INFO_1012{t.utf8(in.usr_comment)});
            case 1013:
                return set(USER_INFO_1013{t.utf8(in.parms)});
            case 1014:
                return set(USER_INFO_1014{t.utf8(in.workstations)});
            case 1017:
                return set(USER_INFO_1017{in.acct_expires});
            case 1018:
                return set(USER_INFO_1018{in.max_storage});
            case 1020:
                return set(
                    USER_INFO_1020{in.units_per_week, hours.empty() ? nullptr : hours.data()});
            case 1024:
                return set(USER_INFO_1024{in.country_code});
            case 1025:
                return set(USER_INFO_1025{in.code_page});
            case 1051:
                return set(USER_INFO_1051{in.primary_group_id});
            case 1052:
                return set(USER_INFO_1052{t.utf8(in.profile)});
            case 1053:
                return set(USER_INFO_1053{t.utf8(in.home_dir_drive)});
            default:
                return status::kInvalidLevel;
        }
    }

    Status add_user(StringView server, uint32_t level, const UserInfo& in,
                    uint32_t& parm_err) override {
        parm_err = 0;
        if (level != 1) return status::kInvalidLevel;
        auto host = target(server);
        if (!host.ok()) return host.status;
        Texts t;
        // The library stores usri1_flags as the SAM's control bits without
        // converting them (UF_SCRIPT would come out as a disabled account):
        // hand it the control bits the flags stand for.
        USER_INFO_1 record{t.utf8(in.name),
                           t.utf8_or_null(in.password),
                           in.password_age,
                           in.priv,
                           t.utf8_or_null(in.home_dir),
                           t.utf8_or_null(in.comment),
                           sam::acb_from_uf(in.flags),
                           t.utf8_or_null(in.script_path)};
        if (t.status()) return t.status();
        forget();
        std::lock_guard g(session_->library_lock());
        return reached(detail::taken_status(
            NetUserAdd(host.value.c_str(), 1, reinterpret_cast<uint8_t*>(&record), &parm_err)));
    }

    Status delete_user(StringView server, StringView user) override {
        return by_name(server, user, Absent::User,
                       [](const char* h, const char* u) { return NetUserDel(h, u); });
    }

    Result<Batch<String>> user_groups(StringView server, StringView user,
                                      uint32_t preferred) override {
        auto host = target(server);
        if (!host.ok()) return {host.status, {}};
        Texts t;
        const char* u = t.utf8(user);
        if (t.status()) return {t.status(), {}};
        NetBuffer b;
        uint32_t read = 0, total = 0;
        Status rc;
        {
            std::lock_guard g(session_->library_lock());
            rc = net_status(
                NetUserGetGroups(host.value.c_str(), u, 0, &b.p, preferred, &read, &total),
                Absent::User);
        }
        return batch<GROUP_USERS_INFO_0>(rc, b, read, total);
    }

    // The library fails (1301) once the user is in a domain-local group: the
    // memberships come from the SAM, in the account domain and BUILTIN.
    Result<Batch<String>> user_local_groups(StringView server, StringView user, uint32_t flags,
                                            uint32_t) override {
        auto host = target(server);
        if (!host.ok()) return {host.status, {}};
        if (!fits_c_string(user)) return {status::kInvalidName, {}};
        auto found = sam::lookup_names(*session_, host.value, {String(user)});
        if (!found.ok()) return {found.status, {}};
        const sam::Translated& who = found.value.at(0);
        if (who.use != SidUsage::User && who.use != SidUsage::Computer)
            return {status::kUserNotFound, {}};
        sam::SamClient sam(*session_, host.value);
        std::vector<Sid> sids{who.sid};
        auto account = sam.domain_sid(false);
        if (!account.ok()) return {account.status, {}};
        if ((flags & kLgIncludeIndirect) && who.sid.domain() == account.value) {
            sam::Handle u(*session_, host.value, Pipe::Samr, sam::op::kClose);
            Status rc = sam.open(false, sam::op::kOpenUser, who.sid.rid(), u);
            if (rc != status::kSuccess) return {rc, {}};
            auto reply = sam.call(sam::op::kGetGroupsForUser, sam::handle_request(u.h));
            if (!reply.ok()) return {reply.status, {}};
            auto groups = sam::groups_reply(reply.value);
            if (!groups.ok()) return {groups.status, {}};
            for (uint32_t rid : groups.value)
                sids.push_back(account.value.with_rid(rid));
        }
        Batch<String> out;
        for (bool builtin : {false, true}) {
            auto d = sam.domain(builtin);
            if (!d.ok()) return {d.status, {}};
            auto reply = sam.call(sam::op::kGetAliasMembership,
                                  sam::alias_membership_request(*d.value, sids));
            if (!reply.ok()) return {reply.status, {}};
            auto rids = sam::ulongs_reply(reply.value);
            if (!rids.ok()) return {rids.status, {}};
            if (rids.value.empty()) continue;
            auto names = alias_names(sam, *d.value);
            if (!names.ok()) return {names.status, {}};
            for (uint32_t rid : rids.value) {
                auto it = names.value.find(rid);
                if (it != names.value.end()) out.entries.push_back(it->second);
            }
        }
        out.total_entries = static_cast<uint32_t>(out.entries.size());
        return {status::kSuccess, std::move(out)};
    }

    // --- Global groups

    Result<Batch<String>> enum_groups(StringView server, uint32_t preferred,
                                      uint32_t& resume_handle) override {
        auto host = target(server);
        if (!host.ok()) return {host.status, {}};
        NetBuffer b;
        uint32_t read = 0, total = 0;
        Status rc;
        {
            std::lock_guard g(session_->library_lock());
            rc = net_status(
                NetGroupEnum(host.value.c_str(), 0, &b.p, preferred, &read, &total, &resume_handle),
                Absent::Keep);
        }
        return batch<GROUP_INFO_0>(rc, b, read, total);
    }

    // The library's NetGroupGetInfo hands back texts it has already freed
    // (the group's name and comment stay in the call's own memory), so a
    // group is read from the level-2 listing, which copies them. The listing
    // is kept for the reads of one listing of the classes (each item reads
    // its group), and any write through this area drops it.
    Result<GroupInfo> group_info(StringView server, StringView group, uint32_t level) override {
        if (level > 2) return {status::kInvalidLevel, {}};
        auto host = target(server);
        if (!host.ok()) return {host.status, {}};
        if (!fits_c_string(group)) return {status::kInvalidName, {}};
        std::vector<GroupInfo> groups;
        {
            std::lock_guard g(cache_lock_);
            if (groups_host_ == host.value &&
                std::chrono::steady_clock::now() - groups_at_ < kGroupsKept)
                groups = groups_;
        }
        if (groups.empty()) {
            uint32_t resume = 0;
            Status rc;
            do {
                NetBuffer b;
                uint32_t read = 0, total = 0;
                {
                    std::lock_guard g(session_->library_lock());
                    rc = net_status(NetGroupEnum(host.value.c_str(), 2, &b.p, kWholeList, &read,
                                                 &total, &resume),
                                    Absent::Keep);
                }
                if (rc != status::kSuccess && rc != status::kMoreData) return {rc, {}};
                const auto* r = b.as<GROUP_INFO_2>();
                for (uint32_t i = 0; r && i < read; ++i)
                    groups.push_back(GroupInfo{text(r[i].grpi2_name), text(r[i].grpi2_comment),
                                               r[i].grpi2_group_id, r[i].grpi2_attributes});
            } while (rc == status::kMoreData);
            std::lock_guard g(cache_lock_);
            groups_host_ = host.value;
            groups_at_ = std::chrono::steady_clock::now();
            groups_ = groups;
        }
        for (GroupInfo& found : groups) {
            if (!equal_ignore_case(found.name, group)) continue;
            GroupInfo out{std::move(found.name), {}, 0, 0};
            if (level >= 1) out.comment = std::move(found.comment);
            if (level == 2) {
                out.group_id = found.group_id;
                out.attributes = found.attributes;
            }
            return {status::kSuccess, std::move(out)};
        }
        return {kGroupNotFound, {}};
    }

    Status set_group_info(StringView server, StringView group, uint32_t level, const GroupInfo& in,
                          uint32_t& parm_err) override {
        return set_group_record(&NetGroupSetInfo, server, group, level, in, parm_err);
    }

    Status add_group(StringView server, uint32_t level, const GroupInfo& in,
                     uint32_t& parm_err) override {
        return add_group_record(&NetGroupAdd, server, level, in, parm_err);
    }

    Status delete_group(StringView server, StringView group) override {
        return by_name(server, group, Absent::Group,
                       [](const char* h, const char* g) { return NetGroupDel(h, g); });
    }

    Status add_group_user(StringView server, StringView group, StringView user) override {
        return group_user(&NetGroupAddUser, server, group, user);
    }

    Status delete_group_user(StringView server, StringView group, StringView user) override {
        return group_user(&NetGroupDelUser, server, group, user);
    }

    Result<Batch<String>> group_users(StringView server, StringView group, uint32_t preferred,
                                      uint32_t& resume_handle) override {
        auto host = target(server);
        if (!host.ok()) return {host.status, {}};
        Texts t;
        const char* g = t.utf8(group);
        if (t.status()) return {t.status(), {}};
        NetBuffer b;
        uint32_t read = 0, total = 0;
        Status rc;
        {
            std::lock_guard lock(session_->library_lock());
            rc = net_status(NetGroupGetUsers(host.value.c_str(), g, 0, &b.p, preferred, &read,
                                             &total, &resume_handle),
                            Absent::Group);
        }
        return batch<GROUP_USERS_INFO_0>(rc, b, read, total);
    }

    // --- Local groups

    Result<Batch<String>> enum_local_groups(StringView server, uint32_t preferred,
                                            uint32_t& resume_handle) override {
        auto host = target(server);
        if (!host.ok()) return {host.status, {}};
        NetBuffer b;
        uint32_t read = 0, total = 0;
        Status rc;
        {
            std::lock_guard g(session_->library_lock());
            rc = net_status(NetLocalGroupEnum(host.value.c_str(), 0, &b.p, preferred, &read, &total,
                                              &resume_handle),
                            Absent::Keep);
        }
        return batch<LOCALGROUP_INFO_0>(rc, b, read, total);
    }

    Result<GroupInfo> local_group_info(StringView server, StringView group,
                                       uint32_t level) override {
        if (level > 1) return {status::kInvalidLevel, {}};
        auto host = target(server);
        if (!host.ok()) return {host.status, {}};
        Texts t;
        const char* g = t.utf8(group);
        if (t.status()) return {t.status(), {}};
        NetBuffer b;
        Status rc;
        {
            std::lock_guard lock(session_->library_lock());
            rc = net_status(NetLocalGroupGetInfo(host.value.c_str(), g, 1, &b.p),
                            Absent::LocalGroup);
        }
        if (rc != status::kSuccess) return {rc, {}};
        if (!b.p) return {sam::kBadStubData, {}};
        const auto& r = *b.as<LOCALGROUP_INFO_1>();
        GroupInfo out{text(r.lgrpi1_name), {}, 0, 0};
        if (level == 1) out.comment = text(r.lgrpi1_comment);
        return {status::kSuccess, std::move(out)};
    }

    Status set_local_group_info(StringView server, StringView group, uint32_t level,
                                const GroupInfo& in, uint32_t& parm_err) override {
        return set_group_record(&NetLocalGroupSetInfo, server, group, level, in, parm_err);
    }

    Status add_local_group(StringView server, uint32_t level, const GroupInfo& in,
                           uint32_t& parm_err) override {
        return add_group_record(&NetLocalGroupAdd, server, level, in, parm_err);
    }

    Status delete_local_group(StringView server, StringView group) override {
        return by_name(server, group, Absent::LocalGroup,
                       [](const char* h, const char* g) { return NetLocalGroupDel(h, g); });
    }

    // By name the library ends the process: the names are resolved here and
    // the members added by SID, all checked before the first change.
    Status add_local_group_members(StringView server, StringView group,
                                   const std::vector<String>& members) override {
        return change_members(server, group, members, true);
    }

    Status delete_local_group_members(StringView server, StringView group,
                                      const std::vector<String>& members) override {
        return change_members(server, group, members, false);
    }

    // Not in the library at all: the members' SIDs from the SAM, their names
    // from the LSA in one look-up.
    Result<Batch<LocalGroupMember>> local_group_members(StringView server, StringView group,
                                                        uint32_t preferred,
                                                        uint32_t& resume_handle) override {
        auto host = target(server);
        if (!host.ok()) return {host.status, {}};
        if (!fits_c_string(group)) return {status::kInvalidName, {}};
        std::vector<Sid> sids;
        if (Status rc = alias_members(host.value, group, sids); rc != status::kSuccess)
            return {rc, {}};
        auto names = sam::lookup_sids(*session_, host.value, sids);
        if (!names.ok()) return {names.status, {}};
        std::vector<LocalGroupMember> all;
        all.reserve(sids.size());
        for (size_t i = 0; i < sids.size(); ++i)
            all.push_back(detail::member_of(sids[i], names.value[i]));
        return detail::slice(std::move(all), preferred, resume_handle);
    }

    // --- Policy

    Result<ModalsInfo> user_modals(StringView server, uint32_t level) override {
        if (level > 3) return {status::kInvalidLevel, {}};
        auto host = target(server);
        if (!host.ok()) return {host.status, {}};
        NetBuffer b;
        Status rc;
        {
            std::lock_guard g(session_->library_lock());
            rc = net_status(NetUserModalsGet(host.value.c_str(), level, &b.p), Absent::Keep);
        }
        if (rc != status::kSuccess) return {rc, {}};
        if (!b.p) return {sam::kBadStubData, {}};
        ModalsInfo out;
        switch (level) {
            case 0: {
                const auto& m = *b.as<USER_MODALS_INFO_0>();
                out.min_passwd_len = m.usrmod0_min_passwd_len;
                out.max_passwd_age = m.usrmod0_max_passwd_age;
                out.min_passwd_age = m.usrmod0_min_passwd_age;
                out.force_logoff = m.usrmod0_force_logoff;
                out.password_hist_len = m.usrmod0_password_hist_len;
                break;
            }
            case 1: {
                const auto& m = *b.as<USER_MODALS_INFO_1>();
                out.role = m.usrmod1_role;
                out.primary = text(m.usrmod1_primary);
                break;
            }
            case 2: {
                const auto& m = *b.as<USER_MODALS_INFO_2>();
                out.domain_name = text(m.usrmod2_domain_name);
                if (const domsid* d = m.usrmod2_domain_id) {
                    uint64_t authority = 0;
                    for (uint8_t a : d->id_auth)
                        authority = authority << 8 | a;
                    const size_t n = std::min<size_t>(d->num_auths, MAXSUBAUTHS);
                    out.domain_id =
                        Sid(authority, {d->sub_auths, d->sub_auths + n}, d->sid_rev_num);
                }
                break;
            }
            default: {
                const auto& m = *b.as<USER_MODALS_INFO_3>();
                out.lockout_duration = m.usrmod3_lockout_duration;
                out.lockout_observation_window = m.usrmod3_lockout_observation_window;
                out.lockout_threshold = m.usrmod3_lockout_threshold;
                break;
            }
        }
        return {status::kSuccess, std::move(out)};
    }

    Status set_user_modals(StringView server, uint32_t level, const ModalsInfo& in,
                           uint32_t& parm_err) override {
        parm_err = 0;
        auto host = target(server);
        if (!host.ok()) return host.status;
        auto set = [&](auto record) {
            std::lock_guard g(session_->library_lock());
            return net_status(NetUserModalsSet(host.value.c_str(), level,
                                               reinterpret_cast<uint8_t*>(&record), &parm_err),
                              Absent::Keep);
        };
        switch (level) {
            case 0:
                return set(USER_MODALS_INFO_0{in.min_passwd_len, in.max_passwd_age,
                                              in.min_passwd_age, in.force_logoff,
                                              in.password_hist_len});
            case 3:
                return set(USER_MODALS_INFO_3{in.lockout_duration, in.lockout_observation_window,
                                              in.lockout_threshold});
            case 1001:
                return set(USER_MODALS_INFO_1001{in.min_passwd_len});
            case 1002:
                return set(USER_MODALS_INFO_1002{in.max_passwd_age});
            case 1003:
                return set(USER_MODALS_INFO_1003{in.min_passwd_age});
            case 1004:
                return set(USER_MODALS_INFO_1004{in.force_logoff});
            case 1005:
                return set(USER_MODALS_INFO_1005{in.password_hist_len});
            default:
                return status::kInvalidLevel;
        }
    }

  private:
    // The host `server` names, kept as the server this thread is calling.
    Result<std::string> target(StringView server) {
        auto host = session_->host(server);
        calling = host.ok() ? host.value : std::string();
        return host;
    }

    template <class Record>
    static Result<Batch<String>> batch(Status rc, const NetBuffer& b, uint32_t read,
                                       uint32_t total) {
        if (rc != status::kSuccess && rc != status::kMoreData) return {rc, {}};
        Batch<String> out;
        out.entries = names_of<Record>(b, read);
        // A batch with more to come never claims to hold everything.
        out.total_entries = rc == status::kMoreData ? std::max(total, read + 1) : read;
        return {rc, std::move(out)};
    }

    // How many accounts follow `resume` (one more level-0 call; they are
    // names only and come in one reply).
    Status count_users(const std::string& host, uint32_t filter, uint32_t resume, uint32_t& n) {
        NetBuffer b;
        uint32_t read = 0, total = 0;
        std::lock_guard g(session_->library_lock());
        const Status rc = net_status(
            NetUserEnum(host.c_str(), 0, filter, &b.p, kMaxPreferredLength, &read, &total, &resume),
            Absent::Keep);
        n = read;
        return rc == status::kMoreData ? status::kSuccess : rc;
    }

    // A listed account's record from the batch, fetching the batch on the
    // second read of a listed account.
    std::optional<UserInfo> cached(const std::string& host, StringView user) {
        std::lock_guard g(cache_lock_);
        if (!prefetch_.listed(host, user)) return std::nullopt;
        if (auto r = prefetch_.take(host, user)) return r;
        if (!prefetch_.second_read()) return std::nullopt;
        NetBuffer b;
        uint32_t read = 0, total = 0, resume = 0;
        Status rc;
        {
            std::lock_guard lock(session_->library_lock());
            rc = net_status(NetUserEnum(host.c_str(), 3, prefetch_.filter(), &b.p,
                                        kMaxPreferredLength, &read, &total, &resume),
                            Absent::Keep);
        }
        if (rc != status::kSuccess || !b.p) return std::nullopt;  // each read alone, then
        std::vector<UserInfo> records;
        records.reserve(read);
        for (uint32_t i = 0; i < read; ++i)
            records.push_back(from_3(b.as<USER_INFO_3>()[i]));
        prefetch_.keep(std::move(records));
        return prefetch_.take(host, user);
    }

    void forget() {
        std::lock_guard g(cache_lock_);
        prefetch_.clear();
        groups_.clear();
        groups_host_.clear();
    }

    template <class Call>
    Status by_name(StringView server, StringView name, Absent absent, Call&& call) {
        auto host = target(server);
        if (!host.ok()) return host.status;
        Texts t;
        const char* n = t.utf8(name);
        if (t.status()) return t.status();
        forget();
        std::lock_guard g(session_->library_lock());
        return net_status(call(host.value.c_str(), n), absent);
    }

    // Level 1 through the calls that work: the password on its own, then the
    // record as level 3 with the texts given and the flags as control bits.
    Status set_level_1(const char* h, StringView user, const UserInfo& in, uint32_t& parm_err) {
        Texts t;
        const char* u = t.utf8(user);
        const char* password = t.utf8_or_null(in.password);
        t.utf8(in.home_dir);
        t.utf8(in.comment);
        t.utf8(in.script_path);
        if (t.status()) return t.status();
        NetBuffer b;
        std::lock_guard g(session_->library_lock());
        Status rc = net_status(NetUserGetInfo(h, u, 3, &b.p), Absent::User);
        if (rc != status::kSuccess) return rc;
        if (!b.p) return sam::kBadStubData;
        UserInfo record = from_3(*b.as<USER_INFO_3>());
        if (!in.home_dir.empty()) record.home_dir = in.home_dir;
        if (!in.comment.empty()) record.comment = in.comment;
        if (!in.script_path.empty()) record.script_path = in.script_path;
        record.flags = in.flags;
        if (password) {
            USER_INFO_1003 p{password};
            rc = net_status(NetUserSetInfo(h, u, 1003, reinterpret_cast<uint8_t*>(&p), &parm_err),
                            Absent::User);
            if (rc != status::kSuccess) return rc;
        }
        std::vector<uint8_t> hours = record.logon_hours;
        record.password.clear();
        rc = set_level_3(h, user, record, hours, parm_err);
        // The fields are level 1's numbers where the server names one.
        return rc;
    }

    // Level 3: the password (when one is given) by its own level, which the
    // library's level-3 record has no field for; the flags as control bits.
    Status set_level_3(const char* h, StringView user, const UserInfo& in,
                       std::vector<uint8_t>& hours, uint32_t& parm_err) {
        Texts t;
        const char* u = t.utf8(user);
        const char* password = t.utf8_or_null(in.password);
        USER_INFO_3 r{};
        // The name stays (renaming is level 0's): the library would rename.
        r.usri3_name = u;
        r.usri3_password_age = in.password_age;
        r.usri3_priv = in.priv;
        r.usri3_home_dir = t.utf8(in.home_dir);
        r.usri3_comment = t.utf8(in.comment);
        r.usri3_flags = sam::acb_from_uf(in.flags);
        r.usri3_script_path = t.utf8(in.script_path);
        r.usri3_auth_flags = in.auth_flags;
        r.usri3_full_name = t.utf8(in.full_name);
        r.usri3_usr_comment = t.utf8(in.usr_comment);
        r.usri3_parms = t.utf8(in.parms);
        r.usri3_workstations = t.utf8(in.workstations);
        r.usri3_last_logon = in.last_logon;
        r.usri3_last_logoff = in.last_logoff;
        r.usri3_acct_expires = in.acct_expires;
        r.usri3_max_storage = in.max_storage;
        r.usri3_units_per_week = in.units_per_week;
        r.usri3_logon_hours = hours.empty() ? nullptr : hours.data();
        r.usri3_bad_pw_count = in.bad_pw_count;
        r.usri3_num_logons = in.num_logons;
        r.usri3_logon_server = t.utf8(in.logon_server);
        r.usri3_country_code = in.country_code;
        r.usri3_code_page = in.code_page;
        r.usri3_user_id = in.user_id;
        r.usri3_primary_group_id = in.primary_group_id;
        r.usri3_profile = t.utf8(in.profile);
        r.usri3_home_dir_drive = t.utf8(in.home_dir_drive);
        r.usri3_password_expired = in.password_expired;
        if (t.status()) return t.status();
        std::lock_guard g(session_->library_lock());
        if (password) {
            USER_INFO_1003 p{password};
            const Status rc =
                net_status(NetUserSetInfo(h, u, 1003, reinterpret_cast<uint8_t*>(&p), &parm_err),
                           Absent::User);
            if (rc != status::kSuccess) return rc;
        }
        Status rc = net_status(NetUserSetInfo(h, u, 3, reinterpret_cast<uint8_t*>(&r), &parm_err),
                               Absent::User);
        if (rc != status::kSuccess) return rc;
        // The library drops usri3_password_expired: the expiry goes to the
        // SAM directly, when it is asked for or when it is to end (leaving
        // an unexpired password as it is, its age included).
        bool expired = in.password_expired != 0;
        if (!expired) {
            NetBuffer b;
            rc = net_status(NetUserGetInfo(h, u, 3, &b.p), Absent::User);
            if (rc != status::kSuccess) return rc;
            if (!b.p || !b.as<USER_INFO_3>()->usri3_password_expired) return status::kSuccess;
        }
        return set_user_field(h, user, [expired](const ContextHandle& uh) {
            return sam::set_expired_request(uh, expired);
        });
    }

    Status set_control(const std::string& host, StringView user, uint32_t flags) {
        const uint32_t acb = sam::acb_from_uf(flags);
        return set_user_field(host, user, [acb](const ContextHandle& uh) {
            return sam::set_control_request(uh, acb);
        });
    }

    // One SetUserInfo on the SAM's record of `user`.
    template <class Request>
    Status set_user_field(const std::string& host, StringView user, Request&& request) {
        sam::SamClient sam(*session_, host);
        auto d = sam.domain(false);
        if (!d.ok()) return d.status;
        auto reply =
            sam.call(sam::op::kLookupNames, sam::lookup_names_request(*d.value, {String(user)}));
        if (!reply.ok()) return reply.status;
        auto found = sam::lookup_names_reply(reply.value);
        if (found.status == 1332 ||
            (found.ok() && found.value.size() == 1 && found.value[0].use != SidUsage::User))
            return status::kUserNotFound;
        if (!found.ok()) return found.status;
        if (found.value.size() != 1) return sam::kBadStubData;
        sam::Handle u(*session_, host, Pipe::Samr, sam::op::kClose);
        if (Status rc = sam.open(false, sam::op::kOpenUser, found.value[0].rid, u); rc != 0)
            return rc;
        reply = sam.call(sam::op::kSetUserInfo, request(u.h));
        if (!reply.ok()) return reply.status;
        return sam::status_reply(reply.value);
    }

    using SetInfo = NET_API_STATUS (*)(const char*, const char*, uint32_t, uint8_t*, uint32_t*);
    using AddInfo = NET_API_STATUS (*)(const char*, uint32_t, uint8_t*, uint32_t*);
    using GroupUser = NET_API_STATUS (*)(const char*, const char*, const char*);

    Status set_group_record(SetInfo call, StringView server, StringView group, uint32_t level,
                            const GroupInfo& in, uint32_t& parm_err) {
        parm_err = 0;
        if (level != 0 && level != 1002) return status::kInvalidLevel;
        auto host = target(server);
        if (!host.ok()) return host.status;
        Texts t;
        const char* g = t.utf8(group);
        const char* value = t.utf8(level == 0 ? in.name : in.comment);
        if (t.status()) return t.status();
        forget();
        std::lock_guard lock(session_->library_lock());
        return net_status(
            call(host.value.c_str(), g, level, reinterpret_cast<uint8_t*>(&value), &parm_err),
            call == &NetGroupSetInfo ? Absent::Group : Absent::LocalGroup);
    }

    Status add_group_record(AddInfo call, StringView server, uint32_t level, const GroupInfo& in,
                            uint32_t& parm_err) {
        parm_err = 0;
        if (level > 1) return status::kInvalidLevel;
        auto host = target(server);
        if (!host.ok()) return host.status;
        Texts t;
        const char* record[2] = {t.utf8(in.name), t.utf8(in.comment)};
        if (t.status()) return t.status();
        forget();
        std::lock_guard lock(session_->library_lock());
        return reached(detail::taken_status(
            call(host.value.c_str(), level, reinterpret_cast<uint8_t*>(record), &parm_err)));
    }

    // Which of the two names is missing: the library says only that one is.
    Status group_user(GroupUser call, StringView server, StringView group, StringView user) {
        auto host = target(server);
        if (!host.ok()) return host.status;
        Texts t;
        const char* g = t.utf8(group);
        const char* u = t.utf8(user);
        if (t.status()) return t.status();
        forget();
        std::lock_guard lock(session_->library_lock());
        const uint32_t rc = call(host.value.c_str(), g, u);
        if (rc == 0) return status::kSuccess;
        NetBuffer b;
        const bool group_there = NetGroupGetInfo(host.value.c_str(), g, 0, &b.p) == 0;
        return reached(detail::group_user_status(rc, group_there));
    }

    // The SIDs of a local group's members.
    Status alias_members(const std::string& host, StringView group, std::vector<Sid>& out) {
        sam::SamClient sam(*session_, host);
        auto found = sam.find(group, true);
        if (!found.ok()) return found.status;
        sam::Handle alias(*session_, host, Pipe::Samr, sam::op::kClose);
        if (Status rc = sam.open(found.value.builtin, sam::op::kOpenAlias, found.value.rid, alias);
            rc != status::kSuccess)
            return rc;
        auto reply = sam.call(sam::op::kGetMembersInAlias, sam::handle_request(alias.h));
        if (!reply.ok()) return reply.status;
        auto sids = sam::sids_reply(reply.value);
        if (!sids.ok()) return sids.status;
        out = std::move(sids.value);
        return status::kSuccess;
    }

    Status change_members(StringView server, StringView group, const std::vector<String>& members,
                          bool add) {
        auto host = target(server);
        if (!host.ok()) return host.status;
        if (!fits_c_string(group)) return status::kInvalidName;
        for (const String& m : members)
            if (!fits_c_string(m)) return status::kInvalidName;
        forget();
        auto found = sam::lookup_names(*session_, host.value, members);
        if (!found.ok()) return found.status;
        std::vector<Sid> sids;
        for (const sam::Translated& m : found.value) {
            const Status refused = detail::member_refusal(m.use);
            if (refused != status::kSuccess) return refused;
            sids.push_back(m.sid);
        }
        sam::SamClient sam(*session_, host.value);
        auto alias = sam.find(group, true);
        if (!alias.ok()) return alias.status;
        sam::Handle h(*session_, host.value, Pipe::Samr, sam::op::kClose);
        if (Status rc = sam.open(alias.value.builtin, sam::op::kOpenAlias, alias.value.rid, h);
            rc != status::kSuccess)
            return rc;
        auto reply = sam.call(sam::op::kGetMembersInAlias, sam::handle_request(h.h));
        if (!reply.ok()) return reply.status;
        auto current = sam::sids_reply(reply.value);
        if (!current.ok()) return current.status;
        if (Status rc = detail::membership_conflict(current.value, sids, add); rc != 0) return rc;
        // Every entry can be applied: apply them, undoing those done if the
        // server refuses one on the way.
        const uint32_t apply = add ? sam::op::kAddMemberToAlias : sam::op::kRemoveMemberFromAlias;
        const uint32_t undo = add ? sam::op::kRemoveMemberFromAlias : sam::op::kAddMemberToAlias;
        for (size_t i = 0; i < sids.size(); ++i) {
            auto r = sam.call(apply, sam::sid_request(h.h, sids[i]));
            const Status rc = r.ok() ? sam::status_reply(r.value) : r.status;
            if (rc == status::kSuccess) continue;
            for (size_t j = i; j-- > 0;)
                sam.call(undo, sam::sid_request(h.h, sids[j]));
            return rc;
        }
        return status::kSuccess;
    }

    // RID to name of a domain's local groups.
    Result<std::unordered_map<uint32_t, String>> alias_names(sam::SamClient& sam,
                                                             const ContextHandle& domain) {
        std::unordered_map<uint32_t, String> out;
        uint32_t context = 0;
        bool more = true;
        while (more) {
            auto reply = sam.call(sam::op::kEnumAliases, sam::enum_request(domain, context));
            if (!reply.ok()) return {reply.status, {}};
            auto list = sam::enum_reply(reply.value, context, more);
            if (!list.ok()) return {list.status, {}};
            for (sam::RidName& a : list.value)
                out.emplace(a.rid, std::move(a.name));
            if (list.value.empty()) break;
        }
        return {status::kSuccess, std::move(out)};
    }

    std::shared_ptr<Session> session_;
    std::mutex cache_lock_;
    Prefetch prefetch_;
    // The global groups of one server at level 2, as `group_info` reads them.
    static constexpr std::chrono::seconds kGroupsKept{30};
    static constexpr uint32_t kWholeList = 0xFFFFFFFF;  // MAX_PREFERRED_LENGTH
    static constexpr Status kGroupNotFound = 2220;      // NERR_GroupNotFound
    std::string groups_host_;
    std::chrono::steady_clock::time_point groups_at_;
    std::vector<GroupInfo> groups_;
};

}  // namespace

std::shared_ptr<Accounts> make_accounts(const Context& context) {
    return std::make_shared<RemoteAccounts>(context.session);
}

}  // namespace vorlek::platform::remote
