// Network management of servers and workstations on the real system.
#include <windows.h>
// lm.h needs the types of windows.h.
#include <lm.h>

#include "platform/win32/areas.h"
#include "platform/win32/text.h"

namespace vorlek::platform::win32 {

namespace {

// A buffer the network-management functions allocate, released with
// NetApiBufferFree once its contents are copied.
struct NetBufferFree {
    void operator()(void* buffer) const noexcept {
        const DWORD saved = ::GetLastError();
        ::NetApiBufferFree(buffer);
        ::SetLastError(saved);
    }
};
template <class T>
using NetBuffer = std::unique_ptr<T, NetBufferFree>;

// Receives a buffer from a call that takes LPBYTE*.
template <class T>
class Receive {
  public:
    explicit Receive(NetBuffer<T>& owner) : owner_(owner) {}
    ~Receive() { owner_.reset(reinterpret_cast<T*>(raw_)); }
    operator LPBYTE*() { return &raw_; }

  private:
    NetBuffer<T>& owner_;
    LPBYTE raw_ = nullptr;
};

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

class Win32Servers : public Servers {
  public:
    Result<ServerInfo> server_info(StringView server, uint32_t level) override {
        const std::wstring name = wide(server);
        if (level != 101 && level != 102) return Result<ServerInfo>::failure(status::kInvalidLevel);
        NetBuffer<BYTE> buffer;
        const NET_API_STATUS rc = ::NetServerGetInfo(const_cast<LPWSTR>(wide_or_null(name)), level,
                                                     Receive<BYTE>(buffer));
        if (rc != NERR_Success) return Result<ServerInfo>::failure(rc);
        if (level == 101)
            return {status::kSuccess, from_101(*reinterpret_cast<SERVER_INFO_101*>(buffer.get()))};
        const auto& s = *reinterpret_cast<SERVER_INFO_102*>(buffer.get());
        ServerInfo out;
        out.platform_id = s.sv102_platform_id;
        out.name = from_wide(s.sv102_name);
        out.version_major = s.sv102_version_major;
        out.version_minor = s.sv102_version_minor;
        out.type = s.sv102_type;
        out.comment = from_wide(s.sv102_comment);
        out.users = s.sv102_users;
        out.auto_disconnect = s.sv102_disc;
        out.hidden = s.sv102_hidden;
        out.announce = s.sv102_announce;
        out.announce_delta = s.sv102_anndelta;
        out.licenses = s.sv102_licenses;
        out.user_path = from_wide(s.sv102_userpath);
        return {status::kSuccess, std::move(out)};
    }

    Result<WorkstationInfo> workstation_info(StringView server) override {
        const std::wstring name = wide(server);
        NetBuffer<WKSTA_INFO_102> buffer;
        const NET_API_STATUS rc = ::NetWkstaGetInfo(const_cast<LPWSTR>(wide_or_null(name)), 102,
                                                    Receive<WKSTA_INFO_102>(buffer));
        if (rc != NERR_Success) return Result<WorkstationInfo>::failure(rc);
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
        const std::wstring name = wide(server), group = wide(domain);
        NetBuffer<SERVER_INFO_101> buffer;
        DWORD read = 0, total = 0, resume = resume_handle;
        const NET_API_STATUS rc = ::NetServerEnum(
            wide_or_null(name), 101, Receive<SERVER_INFO_101>(buffer), preferred_bytes, &read,
            &total, type_mask, wide_or_null(group), &resume);
        resume_handle = resume;
        if (rc != NERR_Success && rc != ERROR_MORE_DATA) return Result<ServerBatch>::failure(rc);
        ServerBatch batch;
        batch.total_entries = total;
        for (DWORD i = 0; i < read && buffer; ++i)
            batch.entries.push_back(from_101(buffer.get()[i]));
        return {rc, std::move(batch)};
    }

    Status set_comment(StringView server, StringView comment) override {
        const std::wstring name = wide(server);
        std::wstring text = wide(comment);
        SERVER_INFO_1005 info{text.data()};
        DWORD parm_err = 0;
        return ::NetServerSetInfo(const_cast<LPWSTR>(wide_or_null(name)), 1005,
                                  reinterpret_cast<LPBYTE>(&info), &parm_err);
    }

    Status set_hidden(StringView server, bool hidden) override {
        const std::wstring name = wide(server);
        SERVER_INFO_1016 info{hidden ? TRUE : FALSE};
        DWORD parm_err = 0;
        return ::NetServerSetInfo(const_cast<LPWSTR>(wide_or_null(name)), 1016,
                                  reinterpret_cast<LPBYTE>(&info), &parm_err);
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
        const std::wstring name = wide(server), group = wide(domain);
        NetBuffer<WCHAR> buffer;
        const NET_API_STATUS rc =
            lookup(wide_or_null(name), wide_or_null(group), Receive<WCHAR>(buffer));
        if (rc != NERR_Success) return Result<String>::failure(rc);
        return {status::kSuccess, from_wide(buffer.get())};
    }
};

}  // namespace

std::unique_ptr<Servers> make_servers() {
    return std::make_unique<Win32Servers>();
}

}  // namespace vorlek::platform::win32
