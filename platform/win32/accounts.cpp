// Network management of accounts on the real system.
#include "platform/accounts.h"

#include <cstddef>
#include <cstring>

#include "platform/win32/areas.h"
#include "platform/win32/handle.h"
#include "platform/win32/security.h"
#include "platform/win32/status.h"
#include "platform/win32/text.h"

namespace vorlek::platform::win32 {

namespace {

std::vector<uint8_t> hours_from(PBYTE bitmap, DWORD units) {
    if (!bitmap) return {};
    return std::vector<uint8_t>(bitmap, bitmap + (units + 7) / 8);
}

UserInfo from_3(const USER_INFO_3& u) {
    UserInfo out;
    out.name = from_wide(u.usri3_name);
    out.password_age = u.usri3_password_age;
    out.priv = u.usri3_priv;
    out.home_dir = from_wide(u.usri3_home_dir);
    out.comment = from_wide(u.usri3_comment);
    out.flags = u.usri3_flags;
    out.script_path = from_wide(u.usri3_script_path);
    out.auth_flags = u.usri3_auth_flags;
    out.full_name = from_wide(u.usri3_full_name);
    out.usr_comment = from_wide(u.usri3_usr_comment);
    out.parms = from_wide(u.usri3_parms);
    out.workstations = from_wide(u.usri3_workstations);
    out.last_logon = u.usri3_last_logon;
    out.last_logoff = u.usri3_last_logoff;
    out.acct_expires = u.usri3_acct_expires;
    out.max_storage = u.usri3_max_storage;
    out.units_per_week = u.usri3_units_per_week;
    out.logon_hours = hours_from(u.usri3_logon_hours, u.usri3_units_per_week);
    out.bad_pw_count = u.usri3_bad_pw_count;
    out.num_logons = u.usri3_num_logons;
    out.logon_server = from_wide(u.usri3_logon_server);
    out.country_code = u.usri3_country_code;
    out.code_page = u.usri3_code_page;
    out.user_id = u.usri3_user_id;
    out.primary_group_id = u.usri3_primary_group_id;
    out.profile = from_wide(u.usri3_profile);
    out.home_dir_drive = from_wide(u.usri3_home_dir_drive);
    out.password_expired = u.usri3_password_expired;
    return out;
}

// USER_INFO_2 is the first 24 fields of USER_INFO_3.
UserInfo from_2(const USER_INFO_2& u) {
    USER_INFO_3 three{};
    static_assert(offsetof(USER_INFO_2, usri2_code_page) == offsetof(USER_INFO_3, usri3_code_page));
    std::memcpy(&three, &u, sizeof u);
    return from_3(three);
}

// An enumeration's batch from the buffer the call filled.
template <class Info, class Entry, class Call, class Convert>
Result<Batch<Entry>> batch(Call&& call, Convert&& convert) {
    NetBuffer<Info> buffer;
    DWORD read = 0, total = 0;
    const Status rc = status_from_net(call(buffer.put_bytes(), &read, &total));
    if (rc != status::kSuccess && rc != status::kMoreData) return Result<Batch<Entry>>::failure(rc);
    Batch<Entry> out;
    out.total_entries = total;
    for (DWORD i = 0; i < read && buffer; ++i)
        out.entries.push_back(convert(buffer.get()[i]));
    return {rc, std::move(out)};
}

template <class Info>
String name_of(const Info& info) {
    return from_wide(*reinterpret_cast<const LPWSTR*>(&info));  // every level-0 record: one name
}

// Resume handles are DWORD_PTR for some calls and DWORD for others; the
// platform keeps 32 bits, which is what the system hands out.
struct Resume {
    explicit Resume(uint32_t& handle) : handle_(handle), value_(handle) {}
    ~Resume() { handle_ = static_cast<uint32_t>(value_); }
    Resume(const Resume&) = delete;
    Resume& operator=(const Resume&) = delete;
    PDWORD_PTR get() { return &value_; }

  private:
    uint32_t& handle_;
    DWORD_PTR value_;
};

class Win32Accounts : public Accounts {
  public:
    // --- Users

    Result<Batch<String>> enum_users(StringView server, uint32_t filter, uint32_t preferred,
                                     uint32_t& resume_handle) override {
        CStrings c;
        const LPCWSTR s = c.wide_or_null(server);
        if (c.status()) return Result<Batch<String>>::failure(c.status());
        DWORD resume = resume_handle;
        auto out = batch<USER_INFO_0, String>(
            [&](LPBYTE* buf, LPDWORD read, LPDWORD total) {
                return ::NetUserEnum(s, 0, filter, buf, preferred, read, total, &resume);
            },
            name_of<USER_INFO_0>);
        resume_handle = resume;
        return out;
    }

    Result<UserInfo> user_info(StringView server, StringView user, uint32_t level) override {
        if (level != 2 && level != 3) return Result<UserInfo>::failure(status::kInvalidLevel);
        CStrings c;
        const LPCWSTR s = c.wide_or_null(server), u = c.wide(user);
        if (c.status()) return Result<UserInfo>::failure(c.status());
        NetBuffer<BYTE> buffer;
        const Status rc = status_from_net(::NetUserGetInfo(s, u, level, buffer.put()));
        if (rc != status::kSuccess) return Result<UserInfo>::failure(rc);
        if (level == 2)
            return {status::kSuccess, from_2(*reinterpret_cast<USER_INFO_2*>(buffer.get()))};
        return {status::kSuccess, from_3(*reinterpret_cast<USER_INFO_3*>(buffer.get()))};
    }

    Status set_user_info(StringView server, StringView user, uint32_t level, const UserInfo& in,
                         uint32_t& parm_err) override {
        CStrings t;
        const LPCWSTR s = t.wide_or_null(server), u = t.wide(user);
        std::vector<uint8_t> hours = in.logon_hours;
        auto set = [&](auto record) {
            if (t.status()) return t.status();
            DWORD err = 0;
            const Status rc = status_from_net(
                ::NetUserSetInfo(s, u, level, reinterpret_cast<LPBYTE>(&record), &err));
            parm_err = err;
            return rc;
        };
        switch (level) {
            case 0:
                return set(USER_INFO_0{t.wide(in.name)});
            case 1:
                return set(info_1(in, t));
            case 3:
                return set(info_3(in, t, hours));
            case 1003:
                return set(USER_INFO_1003{t.wide(in.password)});
            case 1006:
                return set(USER_INFO_1006{t.wide(in.home_dir)});
            case 1007:
                return set(USER_INFO_1007{t.wide(in.comment)});
            case 1008:
                return set(USER_INFO_1008{in.flags});
            case 1009:
                return set(USER_INFO_1009{t.wide(in.script_path)});
            case 1011:
                return set(USER_INFO_1011{t.wide(in.full_name)});
            case 1012:
                return set(USER_INFO_1012{t.wide(in.usr_comment)});
            case 1013:
                return set(USER_INFO_1013{t.wide(in.parms)});
            case 1014:
                return set(USER_INFO_1014{t.wide(in.workstations)});
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
                return set(USER_INFO_1052{t.wide(in.profile)});
            case 1053:
                return set(USER_INFO_1053{t.wide(in.home_dir_drive)});
            default:
                return status::kInvalidLevel;
        }
    }

    Status add_user(StringView server, uint32_t level, const UserInfo& in,
                    uint32_t& parm_err) override {
        if (level != 1) return status::kInvalidLevel;
        CStrings t;
        const LPCWSTR s = t.wide_or_null(server);
        USER_INFO_1 record = info_1(in, t);
        if (t.status()) return t.status();
        DWORD err = 0;
        const Status rc =
            status_from_net(::NetUserAdd(s, 1, reinterpret_cast<LPBYTE>(&record), &err));
        parm_err = err;
        return rc;
    }

    Status delete_user(StringView server, StringView user) override {
        CStrings c;
        const LPCWSTR s = c.wide_or_null(server), u = c.wide(user);
        if (c.status()) return c.status();
        return status_from_net(::NetUserDel(s, u));
    }

    Result<Batch<String>> user_groups(StringView server, StringView user,
                                      uint32_t preferred) override {
        CStrings c;
        const LPCWSTR s = c.wide_or_null(server), u = c.wide(user);
        if (c.status()) return Result<Batch<String>>::failure(c.status());
        return batch<GROUP_USERS_INFO_0, String>(
            [&](LPBYTE* buf, LPDWORD read, LPDWORD total) {
                return ::NetUserGetGroups(s, u, 0, buf, preferred, read, total);
            },
            name_of<GROUP_USERS_INFO_0>);
    }

    Result<Batch<String>> user_local_groups(StringView server, StringView user, uint32_t flags,
                                            uint32_t preferred) override {
        CStrings c;
        const LPCWSTR s = c.wide_or_null(server), u = c.wide(user);
        if (c.status()) return Result<Batch<String>>::failure(c.status());
        return batch<LOCALGROUP_USERS_INFO_0, String>(
            [&](LPBYTE* buf, LPDWORD read, LPDWORD total) {
                return ::NetUserGetLocalGroups(s, u, 0, flags, buf, preferred, read, total);
            },
            name_of<LOCALGROUP_USERS_INFO_0>);
    }

    // --- Global groups

    Result<Batch<String>> enum_groups(StringView server, uint32_t preferred,
                                      uint32_t& resume_handle) override {
        CStrings c;
        const LPCWSTR s = c.wide_or_null(server);
        if (c.status()) return Result<Batch<String>>::failure(c.status());
        Resume resume(resume_handle);
        return batch<GROUP_INFO_0, String>(
            [&](LPBYTE* buf, LPDWORD read, LPDWORD total) {
                return ::NetGroupEnum(s, 0, buf, preferred, read, total, resume.get());
            },
            name_of<GROUP_INFO_0>);
    }

    Result<GroupInfo> group_info(StringView server, StringView group, uint32_t level) override {
        if (level > 2) return Result<GroupInfo>::failure(status::kInvalidLevel);
        CStrings c;
        const LPCWSTR s = c.wide_or_null(server), g = c.wide(group);
        if (c.status()) return Result<GroupInfo>::failure(c.status());
        NetBuffer<BYTE> buffer;
        const Status rc = status_from_net(::NetGroupGetInfo(s, g, level, buffer.put()));
        if (rc != status::kSuccess) return Result<GroupInfo>::failure(rc);
        GroupInfo out;
        if (level == 2) {
            const auto& info = *reinterpret_cast<GROUP_INFO_2*>(buffer.get());
            out = {from_wide(info.grpi2_name), from_wide(info.grpi2_comment), info.grpi2_group_id,
                   info.grpi2_attributes};
        } else if (level == 1) {
            const auto& info = *reinterpret_cast<GROUP_INFO_1*>(buffer.get());
            out = {from_wide(info.grpi1_name), from_wide(info.grpi1_comment)};
        } else {
            out.name = from_wide(reinterpret_cast<GROUP_INFO_0*>(buffer.get())->grpi0_name);
        }
        return {status::kSuccess, std::move(out)};
    }

    Status set_group_info(StringView server, StringView group, uint32_t level, const GroupInfo& in,
                          uint32_t& parm_err) override {
        return set_group_record(&::NetGroupSetInfo, server, group, level, in, parm_err);
    }

    Status add_group(StringView server, uint32_t level, const GroupInfo& in,
                     uint32_t& parm_err) override {
        return add_group_record(&::NetGroupAdd, server, level, in, parm_err);
    }

    Status delete_group(StringView server, StringView group) override {
        CStrings c;
        const LPCWSTR s = c.wide_or_null(server), g = c.wide(group);
        if (c.status()) return c.status();
        return status_from_net(::NetGroupDel(s, g));
    }

    Status add_group_user(StringView server, StringView group, StringView user) override {
        CStrings c;
        const LPCWSTR s = c.wide_or_null(server), g = c.wide(group), u = c.wide(user);
        if (c.status()) return c.status();
        return status_from_net(::NetGroupAddUser(s, g, u));
    }

    Status delete_group_user(StringView server, StringView group, StringView user) override {
        CStrings c;
        const LPCWSTR s = c.wide_or_null(server), g = c.wide(group), u = c.wide(user);
        if (c.status()) return c.status();
        return status_from_net(::NetGroupDelUser(s, g, u));
    }

    Result<Batch<String>> group_users(StringView server, StringView group, uint32_t preferred,
                                      uint32_t& resume_handle) override {
        CStrings c;
        const LPCWSTR s = c.wide_or_null(server), g = c.wide(group);
        if (c.status()) return Result<Batch<String>>::failure(c.status());
        Resume resume(resume_handle);
        return batch<GROUP_USERS_INFO_0, String>(
            [&](LPBYTE* buf, LPDWORD read, LPDWORD total) {
                return ::NetGroupGetUsers(s, g, 0, buf, preferred, read, total, resume.get());
            },
            name_of<GROUP_USERS_INFO_0>);
    }

    // --- Local groups

    Result<Batch<String>> enum_local_groups(StringView server, uint32_t preferred,
                                            uint32_t& resume_handle) override {
        CStrings c;
        const LPCWSTR s = c.wide_or_null(server);
        if (c.status()) return Result<Batch<String>>::failure(c.status());
        Resume resume(resume_handle);
        return batch<LOCALGROUP_INFO_0, String>(
            [&](LPBYTE* buf, LPDWORD read, LPDWORD total) {
                return ::NetLocalGroupEnum(s, 0, buf, preferred, read, total, resume.get());
            },
            name_of<LOCALGROUP_INFO_0>);
    }

    Result<GroupInfo> local_group_info(StringView server, StringView group,
                                       uint32_t level) override {
        if (level > 1) return Result<GroupInfo>::failure(status::kInvalidLevel);
        CStrings c;
        const LPCWSTR s = c.wide_or_null(server), g = c.wide(group);
        if (c.status()) return Result<GroupInfo>::failure(c.status());
        NetBuffer<BYTE> buffer;
        const Status rc = status_from_net(::NetLocalGroupGetInfo(s, g, level, buffer.put()));
        if (rc != status::kSuccess) return Result<GroupInfo>::failure(rc);
        GroupInfo out;
        if (level == 1) {
            const auto& info = *reinterpret_cast<LOCALGROUP_INFO_1*>(buffer.get());
            out = {from_wide(info.lgrpi1_name), from_wide(info.lgrpi1_comment)};
        } else {
            out.name = from_wide(reinterpret_cast<LOCALGROUP_INFO_0*>(buffer.get())->lgrpi0_name);
        }
        return {status::kSuccess, std::move(out)};
    }

    Status set_local_group_info(StringView server, StringView group, uint32_t level,
                                const GroupInfo& in, uint32_t& parm_err) override {
        return set_group_record(&::NetLocalGroupSetInfo, server, group, level, in, parm_err);
    }

    Status add_local_group(StringView server, uint32_t level, const GroupInfo& in,
                           uint32_t& parm_err) override {
        return add_group_record(&::NetLocalGroupAdd, server, level, in, parm_err);
    }

    Status delete_local_group(StringView server, StringView group) override {
        CStrings c;
        const LPCWSTR s = c.wide_or_null(server), g = c.wide(group);
        if (c.status()) return c.status();
        return status_from_net(::NetLocalGroupDel(s, g));
    }

    Status add_local_group_members(StringView server, StringView group,
                                   const std::vector<String>& members) override {
        return change_members(&::NetLocalGroupAddMembers, server, group, members);
    }

    Status delete_local_group_members(StringView server, StringView group,
                                      const std::vector<String>& members) override {
        return change_members(&::NetLocalGroupDelMembers, server, group, members);
    }

    Result<Batch<LocalGroupMember>> local_group_members(StringView server, StringView group,
                                                        uint32_t preferred,
                                                        uint32_t& resume_handle) override {
        CStrings c;
        const LPCWSTR s = c.wide_or_null(server), g = c.wide(group);
        if (c.status()) return Result<Batch<LocalGroupMember>>::failure(c.status());
        Resume resume(resume_handle);
        return batch<LOCALGROUP_MEMBERS_INFO_2, LocalGroupMember>(
            [&](LPBYTE* buf, LPDWORD read, LPDWORD total) {
                return ::NetLocalGroupGetMembers(s, g, 2, buf, preferred, read, total,
                                                 resume.get());
            },
            [](const LOCALGROUP_MEMBERS_INFO_2& m) {
                return LocalGroupMember{sid_from(m.lgrmi2_sid).value_or(Sid()),
                                        static_cast<SidUsage>(m.lgrmi2_sidusage),
                                        from_wide(m.lgrmi2_domainandname)};
            });
    }

    // --- Policy

    Result<ModalsInfo> user_modals(StringView server, uint32_t level) override {
        if (level > 3) return Result<ModalsInfo>::failure(status::kInvalidLevel);
        CStrings c;
        const LPCWSTR s = c.wide_or_null(server);
        if (c.status()) return Result<ModalsInfo>::failure(c.status());
        NetBuffer<BYTE> buffer;
        const Status rc = status_from_net(::NetUserModalsGet(s, level, buffer.put()));
        if (rc != status::kSuccess) return Result<ModalsInfo>::failure(rc);
        ModalsInfo out;
        const void* p = buffer.get();
        switch (level) {
            case 0: {
                const auto& m = *static_cast<const USER_MODALS_INFO_0*>(p);
                out.min_passwd_len = m.usrmod0_min_passwd_len;
                out.max_passwd_age = m.usrmod0_max_passwd_age;
                out.min_passwd_age = m.usrmod0_min_passwd_age;
                out.force_logoff = m.usrmod0_force_logoff;
                out.password_hist_len = m.usrmod0_password_hist_len;
                break;
            }
            case 1: {
                const auto& m = *static_cast<const USER_MODALS_INFO_1*>(p);
                out.role = m.usrmod1_role;
                out.primary = from_wide(m.usrmod1_primary);
                break;
            }
            case 2: {
                const auto& m = *static_cast<const USER_MODALS_INFO_2*>(p);
                out.domain_name = from_wide(m.usrmod2_domain_name);
                out.domain_id = sid_from(m.usrmod2_domain_id).value_or(Sid());
                break;
            }
            default: {
                const auto& m = *static_cast<const USER_MODALS_INFO_3*>(p);
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
        CStrings c;
        const LPCWSTR s = c.wide_or_null(server);
        if (c.status()) return c.status();
        auto set = [&](auto record) {
            DWORD err = 0;
            const Status rc = status_from_net(
                ::NetUserModalsSet(s, level, reinterpret_cast<LPBYTE>(&record), &err));
            parm_err = err;
            return rc;
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
    static USER_INFO_1 info_1(const UserInfo& in, CStrings& t) {
        return USER_INFO_1{
            t.wide(in.name), t.wide_or_null(in.password),   in.password_age,
            in.priv,         t.wide_or_null(in.home_dir),   t.wide_or_null(in.comment),
            in.flags,        t.wide_or_null(in.script_path)};
    }

    static USER_INFO_3 info_3(const UserInfo& in, CStrings& t, std::vector<uint8_t>& hours) {
        USER_INFO_3 r{};
        r.usri3_name = t.wide(in.name);
        r.usri3_password = t.wide_or_null(in.password);
        r.usri3_password_age = in.password_age;
        r.usri3_priv = in.priv;
        r.usri3_home_dir = t.wide(in.home_dir);
        r.usri3_comment = t.wide(in.comment);
        r.usri3_flags = in.flags;
        r.usri3_script_path = t.wide(in.script_path);
        r.usri3_auth_flags = in.auth_flags;
        r.usri3_full_name = t.wide(in.full_name);
        r.usri3_usr_comment = t.wide(in.usr_comment);
        r.usri3_parms = t.wide(in.parms);
        r.usri3_workstations = t.wide(in.workstations);
        r.usri3_last_logon = in.last_logon;
        r.usri3_last_logoff = in.last_logoff;
        r.usri3_acct_expires = in.acct_expires;
        r.usri3_max_storage = in.max_storage;
        r.usri3_units_per_week = in.units_per_week;
        r.usri3_logon_hours = hours.empty() ? nullptr : hours.data();
        r.usri3_bad_pw_count = in.bad_pw_count;
        r.usri3_num_logons = in.num_logons;
        r.usri3_logon_server = t.wide(in.logon_server);
        r.usri3_country_code = in.country_code;
        r.usri3_code_page = in.code_page;
        r.usri3_user_id = in.user_id;
        r.usri3_primary_group_id = in.primary_group_id;
        r.usri3_profile = t.wide(in.profile);
        r.usri3_home_dir_drive = t.wide(in.home_dir_drive);
        r.usri3_password_expired = in.password_expired;
        return r;
    }

    using SetInfo = NET_API_STATUS(NET_API_FUNCTION*)(LPCWSTR, LPCWSTR, DWORD, LPBYTE, LPDWORD);
    using AddInfo = NET_API_STATUS(NET_API_FUNCTION*)(LPCWSTR, DWORD, LPBYTE, LPDWORD);
    using Members = NET_API_STATUS(NET_API_FUNCTION*)(LPCWSTR, LPCWSTR, DWORD, LPBYTE, DWORD);

    // GROUP_INFO_0 / LOCALGROUP_INFO_0 and the _1002 records share their
    // layout (one text), as do the level-1 records (name, comment).
    static Status set_group_record(SetInfo call, StringView server, StringView group,
                                   uint32_t level, const GroupInfo& in, uint32_t& parm_err) {
        if (level != 0 && level != 1002) return status::kInvalidLevel;
        CStrings t;
        const LPCWSTR s = t.wide_or_null(server), g = t.wide(group);
        LPWSTR text = t.wide(level == 0 ? in.name : in.comment);
        if (t.status()) return t.status();
        DWORD err = 0;
        const Status rc = status_from_net(call(s, g, level, reinterpret_cast<LPBYTE>(&text), &err));
        parm_err = err;
        return rc;
    }

    static Status add_group_record(AddInfo call, StringView server, uint32_t level,
                                   const GroupInfo& in, uint32_t& parm_err) {
        if (level > 1) return status::kInvalidLevel;
        CStrings t;
        const LPCWSTR s = t.wide_or_null(server);
        LPWSTR record[2] = {t.wide(in.name), t.wide(in.comment)};
        if (t.status()) return t.status();
        DWORD err = 0;
        const Status rc = status_from_net(call(s, level, reinterpret_cast<LPBYTE>(record), &err));
        parm_err = err;
        return rc;
    }

    static Status change_members(Members call, StringView server, StringView group,
                                 const std::vector<String>& members) {
        CStrings t;
        const LPCWSTR s = t.wide_or_null(server), g = t.wide(group);
        std::vector<LOCALGROUP_MEMBERS_INFO_3> entries;
        for (const String& m : members)
            entries.push_back(LOCALGROUP_MEMBERS_INFO_3{t.wide(m)});
        if (t.status()) return t.status();
        return status_from_net(call(s, g, 3, reinterpret_cast<LPBYTE>(entries.data()),
                                    static_cast<DWORD>(entries.size())));
    }
};

}  // namespace

std::shared_ptr<Accounts> make_accounts() {
    return std::make_shared<Win32Accounts>();
}

}  // namespace vorlek::platform::win32
