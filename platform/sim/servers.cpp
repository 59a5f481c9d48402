// Network management of the simulated machines: server and workstation
// records, the browse list and the domain controllers.
#include "platform/sim/servers.h"

#include <map>

#include "platform/sim/areas.h"
#include "platform/sim/network.h"
#include "platform/sim/walks.h"

namespace vorlek::sim {

namespace {

namespace status = platform::status;
using platform::Result;
using platform::ServerInfo;

// Bytes a SERVER_INFO_101 record takes in the caller's buffer: the fixed part
// and its two strings.
size_t record_size(const ServerInfo& s) {
    return 40 + 2 * (s.name.size() + 1) + 2 * (s.comment.size() + 1);
}

class SimServers : public platform::Servers {
  public:
    explicit SimServers(Network& net) : net_(net) {}

    Result<ServerInfo> server_info(StringView server, uint32_t level) override {
        auto call = net_.enter(op::NetServerGetInfo, server);
        if (!call) return call.failure<ServerInfo>();
        const Machine& m = call.machine();
        if (level != 101 && level != 102) return Result<ServerInfo>::failure(status::kInvalidLevel);
        ServerInfo info = level == 101 ? basic(m) : m.servers.info;
        info.name = m.name;
        return {status::kSuccess, std::move(info)};
    }

    Result<platform::WorkstationInfo> workstation_info(StringView server) override {
        auto call = net_.enter(op::NetWkstaGetInfo, server);
        if (!call) return call.failure<platform::WorkstationInfo>();
        const Machine& m = call.machine();
        const ServerState& s = m.servers;
        platform::WorkstationInfo w;
        w.platform_id = s.info.platform_id;
        w.computer_name = m.name;
        w.lan_group = s.lan_group;
        w.version_major = s.info.version_major;
        w.version_minor = s.info.version_minor;
        w.lan_root = s.lan_root;
        w.logged_on_users = s.logged_on_users;
        return {status::kSuccess, std::move(w)};
    }

    Result<platform::ServerBatch> enumerate(StringView server, uint32_t type_mask,
                                            StringView domain, uint32_t preferred_bytes,
                                            uint32_t& resume_handle) override {
        auto call = net_.enter(op::NetServerEnum, server, {domain});
        if (!call) return call.failure<platform::ServerBatch>();
        const String& own = call.machine().servers.lan_group;
        // The browser keeps the list it started with until the walk ends.
        return walks_.next(
            resume_handle, preferred_bytes, [&]() -> Result<std::vector<ServerInfo>> {
                auto list = browse(domain.empty() ? StringView(own) : domain, type_mask);
                if (!list)
                    return Result<std::vector<ServerInfo>>::failure(status::kNoBrowserServersFound);
                return {status::kSuccess, std::move(*list)};
            });
    }

    platform::Status set_comment(StringView server, StringView comment) override {
        auto call = net_.enter(op::NetServerSetInfo, server, {comment});
        if (!call) return call.status();
        if (comment.size() > kMaxComment) return status::kInvalidParameter;
        call.machine().servers.info.comment = String(comment);
        return status::kSuccess;
    }

    platform::Status set_hidden(StringView server, bool hidden) override {
        auto call = net_.enter(op::NetServerSetInfo, server);
        if (!call) return call.status();
        call.machine().servers.info.hidden = hidden ? 1 : 0;
        return status::kSuccess;
    }

    Result<String> dc_name(StringView server, StringView domain) override {
        auto call = net_.enter(op::NetGetDCName, server, {domain});
        if (!call) return call.failure<String>();
        const Domain* d = domain_of(call, domain);
        if (!d || !net_.answers(d->primary)) return Result<String>::failure(status::kDcNotFound);
        return {status::kSuccess, unc(d->primary)};
    }

    Result<String> any_dc_name(StringView server, StringView domain) override {
        auto call = net_.enter(op::NetGetAnyDCName, server, {domain});
        if (!call) return call.failure<String>();
        const Domain* d = domain_of(call, domain);
        if (!d) return Result<String>::failure(status::kNoSuchDomain);
        if (net_.answers(d->primary)) return {status::kSuccess, unc(d->primary)};
        for (const auto& b : d->backups) {
            if (net_.answers(b)) return {status::kSuccess, unc(b)};
        }
        return Result<String>::failure(status::kNoLogonServers);
    }

  private:
    static constexpr size_t kMaxComment = 256;  // MAXCOMMENTSZ
    // The domain a controller lookup asks about: the named one, or the one
    // the asked server belongs to.
    const Domain* domain_of(const Call& call, StringView domain) {
        return net_.domain(domain.empty() ? StringView(call.machine().servers.lan_group) : domain);
    }

    static String unc(StringView name) { return String(u"\\\\").append(name); }

    // The level-101 part of a machine's record.
    static ServerInfo basic(const Machine& m) {
        const ServerInfo& full = m.servers.info;
        ServerInfo s;
        s.platform_id = full.platform_id;
        s.name = m.name;
        s.version_major = full.version_major;
        s.version_minor = full.version_minor;
        s.type = full.type;
        s.comment = full.comment;
        return s;
    }

    // The records the browse list of a domain or workgroup gives for a type
    // mask; SV_TYPE_DOMAIN_ENUM alone lists the domains and workgroups.
    std::optional<std::vector<ServerInfo>> browse(StringView lan_group, uint32_t type_mask) {
        std::vector<ServerInfo> out;
        if (type_mask == platform::sv_type::kDomainEnum) {
            std::map<String, String> groups;  // name -> master browser
            for (const Machine* m : net_.browse_list_all())
                groups.emplace(m->servers.lan_group, m->name);
            for (const auto& [name, master] : groups) {
                if (name.empty()) continue;
                ServerInfo s;
                s.platform_id = platform::kPlatformIdNt;
                s.name = name;
                s.version_major = 5;
                s.type = platform::sv_type::kDomainEnum | platform::sv_type::kNt;
                const Domain* d = net_.domain(name);
                s.comment = d ? d->primary : master;
                out.push_back(std::move(s));
            }
            return out;
        }
        auto machines = net_.browse_list(lan_group);
        if (machines.empty()) return std::nullopt;
        for (const Machine* m : machines) {
            if (m->servers.info.type & type_mask) out.push_back(basic(*m));
        }
        return out;
    }

    Network& net_;
    Walks<ServerInfo, record_size> walks_;
};

}  // namespace

void join(Machine& machine, StringView lan_group, uint32_t type, StringView comment) {
    machine.servers.lan_group = to_upper(lan_group);
    machine.servers.info.platform_id = platform::kPlatformIdNt;
    machine.servers.info.name = machine.name;
    machine.servers.info.version_major = 5;
    machine.servers.info.version_minor = 0;
    machine.servers.info.type = type;
    machine.servers.info.comment = String(comment);
    const bool server = (type & platform::sv_type::kServerNt) != 0;
    machine.servers.info.users = server ? 0xFFFFFFFF : 10;
    machine.servers.info.auto_disconnect = 15;
    machine.servers.info.announce = 240;
    machine.servers.info.announce_delta = 3000;
    machine.servers.info.licenses = 0;
    machine.servers.info.user_path = u"c:\\";
}

std::shared_ptr<platform::Servers> make_servers(Network& net) {
    return std::make_shared<SimServers>(net);
}

}  // namespace vorlek::sim
