// Network management of servers and workstations on the real system.
#include "platform/servers.h"
#include "platform/win32/areas.h"
#include "platform/win32/handle.h"
#include "platform/win32/status.h"
#include "platform/win32/text.h"

namespace vorlek::platform::win32 {

namespace {

// SERVER_INFO_102 begins with the fields of SERVER_INFO_101, in the same
// order; both levels fill that part here.
ServerInfo from_101(const SERVER_INFO_101& s) {
    ServerInfo out;
    out.platform_id = s.sv101_platform_id;
    out.name = from_wide(s.sv101_name);
    out.version_major = s.sv101_version_major;
    out.version_minor = s.sv101_version_minor;
    out.type = s.sv101_type;
    out.comment = from_wide(s.sv101_comment);
    return out;
}

ServerInfo from_102(const SERVER_INFO_102& s) {
    ServerInfo out =
        from_101(SERVER_INFO_101{s.sv102_platform_id, s.sv102_name, s.sv102_version_major,
                                 s.sv102_version_minor, s.sv102_type, s.sv102_comment});
    out.users = s.sv102_users;
    out.auto_disconnect = s.sv102_disc;
    out.hidden = s.sv102_hidden;
    out.announce = s.sv102_announce;
    out.announce_delta = s.sv102_anndelta;
    out.licenses = s.sv102_licenses;
    out.user_path = from_wide(s.sv102_userpath);
    return out;
}

class Win32Servers : public Servers {
  public:
    Result<ServerInfo> server_info(StringView server, uint32_t level) override {
        CStrings c;
        const LPWSTR name = c.wide_or_null(server);
        if (c.status()) return Result<ServerInfo>::failure(c.status());
        if (level != 101 && level != 102) return Result<ServerInfo>::failure(status::kInvalidLevel);
        NetBuffer<BYTE> buffer;
        const Status rc = status_from_net(::NetServerGetInfo(name, level, buffer.put()));
        if (rc != status::kSuccess) return Result<ServerInfo>::failure(rc);
        if (level == 101)
            return {status::kSuccess, from_101(*reinterpret_cast<SERVER_INFO_101*>(buffer.get()))};
        return {status::kSuccess, from_102(*reinterpret_cast<SERVER_INFO_102*>(buffer.get()))};
    }

    Result<WorkstationInfo> workstation_info(StringView server) override {
        CStrings c;
        const LPWSTR name = c.wide_or_null(server);
        if (c.status()) return Result<WorkstationInfo>::failure(c.status());
        NetBuffer<WKSTA_INFO_102> buffer;
        const Status rc = status_from_net(::NetWkstaGetInfo(name, 102, buffer.put_bytes()));
        if (rc != status::kSuccess) return Result<WorkstationInfo>::failure(rc);
        const auto& w = *buffer;
        WorkstationInfo out;
        out.platform_id = w.wki102_platform_id;
        out.computer_name = from_wide(w.wki102_computername);
        out.lan_group = from_wide(w.wki102_langroup);
        out.version_major = w.wki102_ver_major;
        out.version_minor = w.wki102_ver_minor;
        out.lan_root = from_wide(w.wki102_lanroot);
        out.logged_on_users = w.wki102_logged_on_users;
        return {status::kSuccess, std::move(out)};
    }

    Result<ServerBatch> enumerate(StringView server, uint32_t type_mask, StringView domain,
                                  uint32_t preferred_bytes, uint32_t& resume_handle) override {
        CStrings c;
        const LPCWSTR name = c.wide_or_null(server), group = c.wide_or_null(domain);
        if (c.status()) return Result<ServerBatch>::failure(c.status());
        NetBuffer<SERVER_INFO_101> buffer;
        DWORD read = 0, total = 0, resume = resume_handle;
        const Status rc =
            status_from_net(::NetServerEnum(name, 101, buffer.put_bytes(), preferred_bytes, &read,
                                            &total, type_mask, group, &resume));
        resume_handle = resume;
        if (rc != status::kSuccess && rc != status::kMoreData)
            return Result<ServerBatch>::failure(rc);
        ServerBatch batch;
        batch.total_entries = total;
        for (DWORD i = 0; i < read && buffer; ++i)
            batch.entries.push_back(from_101(buffer.get()[i]));
        return {rc, std::move(batch)};
    }

    Status set_comment(StringView server, StringView comment) override {
        CStrings c;
        const LPWSTR name = c.wide_or_null(server);
        SERVER_INFO_1005 info{c.wide(comment)};
        if (c.status()) return c.status();
        DWORD parm_err = 0;
        return status_from_net(
            ::NetServerSetInfo(name, 1005, reinterpret_cast<LPBYTE>(&info), &parm_err));
    }

    Status set_hidden(StringView server, bool hidden) override {
        CStrings c;
        const LPWSTR name = c.wide_or_null(server);
        if (c.status()) return c.status();
        SERVER_INFO_1016 info{hidden ? TRUE : FALSE};
        DWORD parm_err = 0;
        return status_from_net(
            ::NetServerSetInfo(name, 1016, reinterpret_cast<LPBYTE>(&info), &parm_err));
    }

    Result<String> dc_name(StringView server, StringView domain) override {
        return controller(server, domain, &::NetGetDCName);
    }

    Result<String> any_dc_name(StringView server, StringView domain) override {
        return controller(server, domain, &::NetGetAnyDCName);
    }

  private:
    using Lookup = NET_API_STATUS(NET_API_FUNCTION*)(LPCWSTR, LPCWSTR, LPBYTE*);

    static Result<String> controller(StringView server, StringView domain, Lookup lookup) {
        CStrings c;
        const LPCWSTR name = c.wide_or_null(server), group = c.wide_or_null(domain);
        if (c.status()) return Result<String>::failure(c.status());
        NetBuffer<WCHAR> buffer;
        const Status rc = status_from_net(lookup(name, group, buffer.put_bytes()));
        if (rc != status::kSuccess) return Result<String>::failure(rc);
        return {status::kSuccess, from_wide(buffer.get())};
    }
};

}  // namespace

std::shared_ptr<Servers> make_servers() {
    return std::make_shared<Win32Servers>();
}

}  // namespace vorlek::platform::win32
