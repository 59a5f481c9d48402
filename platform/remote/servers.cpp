// Server, workstation and controller records of remote machines: the
// server service (srvsvc) for the server's record and its changes, the
// workstation service (wkssvc) for the workstation's, and libnetapi for the
// controllers of a domain.
#include "platform/servers.h"

#include <netapi.h>

#include "automation/text.h"
#include "platform/c_strings.h"
#include "platform/remote/areas.h"
#include "platform/remote/rpc_glue.h"
#include "platform/remote/srvsvc.h"

namespace vorlek::platform::remote {

namespace {

// The server types that keep a browse list.
constexpr uint32_t kBrowsers =
    sv_type::kMasterBrowser | sv_type::kBackupBrowser | sv_type::kDomainMaster;

class RemoteServers final : public platform::Servers {
  public:
    explicit RemoteServers(std::shared_ptr<Session> session) : session_(std::move(session)) {}

    Result<ServerInfo> server_info(StringView server, uint32_t level) override {
        using R = Result<ServerInfo>;
        auto host = session_->host(server);
        if (!host.ok()) return R::failure(host.status);
        if (level != 101 && level != 102) return R::failure(status::kInvalidLevel);
        ServerInfo info;
        if (Status s = get_info(host.value, level, info)) return R::failure(s);
        // The name the target reports about itself addresses it from now on.
        if (session_->is_target(host.value) && !info.name.empty())
            session_->set_target_name(info.name);
        return {status::kSuccess, std::move(info)};
    }

    Result<WorkstationInfo> workstation_info(StringView server) override {
        using R = Result<WorkstationInfo>;
        auto host = session_->host(server);
        if (!host.ok()) return R::failure(host.status);
        WorkstationInfo info;
        Status s = wksta_info(host.value, kWorkstation, info);
        // A Samba server refuses level 102 even to its administrators, whom
        // a Windows server answers: for a caller the server service gives
        // its own level 102 (as to an administrator), level 101 is the
        // record without the count of logged-on users.
        if (s == status::kAccessDenied) {
            ServerInfo admin_only;
            if (get_info(host.value, 102, admin_only) == status::kSuccess)
                s = wksta_info(host.value, kWorkstationBasic, info);
        }
        if (s != status::kSuccess) return R::failure(s);
        return {status::kSuccess, std::move(info)};
    }

    // The browse list is kept by the computer browser service and read over
    // the LAN Manager remote administration protocol, neither of which this
    // backend reaches. A server that answers and keeps no browse list (no
    // browser role in its type, as a Samba DC without NetBIOS) gives what a
    // Windows client gets from it, 6118; a browser's list is out of reach,
    // 50.
    Result<ServerBatch> enumerate(StringView server, uint32_t, StringView domain, uint32_t,
                                  uint32_t&) override {
        using R = Result<ServerBatch>;
        if (!fits_c_string(domain)) return R::failure(status::kInvalidName);
        auto host = session_->host(server);
        if (!host.ok()) return R::failure(host.status);
        ServerInfo info;
        if (Status s = get_info(host.value, 101, info)) return R::failure(s);
        if (info.type & kBrowsers) return R::failure(kNotSupported);
        return R::failure(status::kNoBrowserServersFound);
    }

    Status set_comment(StringView server, StringView comment) override {
        if (!fits_c_string(comment)) return status::kInvalidName;
        auto host = session_->host(server);
        if (!host.ok()) return host.status;
        return set_info(host.value, srvsvc::server_set_comment(srvsvc::unc(host.value), comment));
    }

    Status set_hidden(StringView server, bool hidden) override {
        auto host = session_->host(server);
        if (!host.ok()) return host.status;
        return set_info(host.value, srvsvc::server_set_hidden(srvsvc::unc(host.value), hidden));
    }

    Result<String> dc_name(StringView server, StringView domain) override {
        return controller(server, domain, &NetGetDCName, status::kDcNotFound);
    }

    // A Windows controller asked about its own domain answers 1355 too: only
    // the domains it trusts are "any" domain's to it.
    Result<String> any_dc_name(StringView server, StringView domain) override {
        return controller(server, domain, &NetGetAnyDCName, status::kNoSuchDomain);
    }

  private:
    static constexpr uint32_t kWorkstation = 102, kWorkstationBasic = 101;
    using Lookup = NET_API_STATUS (*)(const char*, const char*, uint8_t**);

    Status get_info(const std::string& host, uint32_t level, ServerInfo& info) {
        auto reply = session_->call(host, Pipe::Srvsvc, srvsvc::kServerGetInfo,
                                    srvsvc::server_get_info(srvsvc::unc(host), level));
        if (!reply.ok()) return reply.status;
        return srvsvc::read_server_get_info(reply.value, level, info);
    }

    Status wksta_info(const std::string& host, uint32_t level, WorkstationInfo& info) {
        auto reply = session_->call(host, Pipe::Wkssvc, srvsvc::kWkstaGetInfo,
                                    srvsvc::wksta_get_info(srvsvc::unc(host), level));
        if (!reply.ok()) return reply.status;
        info = {};
        return srvsvc::read_wksta_get_info(reply.value, level, info);
    }

    Status set_info(const std::string& host, const Bytes& request) {
        auto reply = session_->call(host, Pipe::Srvsvc, srvsvc::kServerSetInfo, request);
        if (!reply.ok()) return reply.status;
        uint32_t parm_error = 0;
        return srvsvc::read_parm_error(reply.value, parm_error);
    }

    // `unknown` is what the call answers for a domain name that cannot be one.
    Result<String> controller(StringView server, StringView domain, Lookup lookup, Status unknown) {
        using R = Result<String>;
        if (!fits_c_string(domain)) return R::failure(status::kInvalidName);
        auto host = session_->host(server);
        if (!host.ok()) return R::failure(host.status);
        // Nothing longer than a DNS name names a domain.
        if (domain.size() > 255) return R::failure(unknown);
        const std::string group = to_utf8(domain);
        struct Call {
            Lookup lookup;
            const char* host;
            const char* domain;
            Status status = 0;
            String name;
        } call{lookup, host.value.c_str(), group.empty() ? nullptr : group.c_str()};
        {
            std::lock_guard guard(session_->library_lock());
            vorlek_with_stackframe(
                [](void* arg) {
                    auto& c = *static_cast<Call*>(arg);
                    uint8_t* buffer = nullptr;
                    c.status = static_cast<Status>(c.lookup(c.host, c.domain, &buffer));
                    if (buffer && c.status == status::kSuccess)
                        c.name = utf16(reinterpret_cast<const char*>(buffer));
                    if (buffer) NetApiBufferFree(buffer);
                },
                &call);
        }
        if (call.status != status::kSuccess) return R::failure(call.status);
        return {status::kSuccess, std::move(call.name)};
    }

    std::shared_ptr<Session> session_;
};

}  // namespace

std::shared_ptr<Servers> make_servers(const Context& context) {
    return std::make_shared<RemoteServers>(context.session);
}

}  // namespace vorlek::platform::remote
