// Network management of the simulated machines: server and workstation
// records, the browse list and the domain controllers.
#include <algorithm>
#include <map>
#include <unordered_map>

#include "platform/sim/areas.h"

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
        if (auto s = net_.faults().take(u"NetServerGetInfo"))
            return Result<ServerInfo>::failure(*s);
        Machine* m = reach(server);
        if (!m) return Result<ServerInfo>::failure(status::kBadNetPath);
        if (level != 101 && level != 102) return Result<ServerInfo>::failure(status::kInvalidLevel);
        ServerInfo info = level == 101 ? basic(*m) : m->server;
        info.name = m->name;
        return {status::kSuccess, std::move(info)};
    }

    Result<platform::WorkstationInfo> workstation_info(StringView server) override {
        using R = Result<platform::WorkstationInfo>;
        if (auto s = net_.faults().take(u"NetWkstaGetInfo")) return R::failure(*s);
        Machine* m = reach(server);
        if (!m) return R::failure(status::kBadNetPath);
        platform::WorkstationInfo w;
        w.platform_id = m->server.platform_id;
        w.computer_name = m->name;
        w.lan_group = m->lan_group;
        w.version_major = m->server.version_major;
        w.version_minor = m->server.version_minor;
        w.lan_root = m->lan_root;
        w.logged_on_users = m->logged_on_users;
        return {status::kSuccess, std::move(w)};
    }

    Result<platform::ServerBatch> enumerate(StringView server, uint32_t type_mask,
                                            StringView domain, uint32_t preferred_bytes,
                                            uint32_t& resume_handle) override {
        using R = Result<platform::ServerBatch>;
        if (auto s = net_.faults().take(u"NetServerEnum")) return R::failure(*s);
        Machine* m = reach(server);
        if (!m) return R::failure(status::kBadNetPath);
        if (resume_handle == 0) {
            auto list = browse(domain.empty() ? StringView(m->lan_group) : domain, type_mask);
            if (!list) return R::failure(status::kNoBrowserServersFound);
            // The browser keeps the list it started with until the walk ends.
            if (walks_.size() >= kMaxWalks) walks_.clear();  // abandoned walks
            resume_handle = next_walk_++;
            if (next_walk_ == 0) next_walk_ = 1;
            walks_[resume_handle] = Walk{std::move(*list), 0};
        }
        auto it = walks_.find(resume_handle);
        if (it == walks_.end()) return R::failure(status::kInvalidParameter);
        Walk& walk = it->second;
        platform::ServerBatch batch;
        batch.total_entries = static_cast<uint32_t>(walk.entries.size() - walk.position);
        size_t used = 0;
        while (walk.position < walk.entries.size()) {
            const ServerInfo& next = walk.entries[walk.position];
            used += record_size(next);
            if (!batch.entries.empty() && used > preferred_bytes) break;
            batch.entries.push_back(next);
            ++walk.position;
        }
        if (walk.position < walk.entries.size()) return {status::kMoreData, std::move(batch)};
        walks_.erase(it);
        resume_handle = 0;
        return {status::kSuccess, std::move(batch)};
    }

    platform::Status set_comment(StringView server, StringView comment) override {
        if (auto s = net_.faults().take(u"NetServerSetInfo")) return *s;
        Machine* m = reach(server);
        if (!m) return status::kBadNetPath;
        if (comment.size() > kMaxComment) return status::kInvalidParameter;
        m->server.comment = String(comment);
        return status::kSuccess;
    }

    platform::Status set_hidden(StringView server, bool hidden) override {
        if (auto s = net_.faults().take(u"NetServerSetInfo")) return *s;
        Machine* m = reach(server);
        if (!m) return status::kBadNetPath;
        m->server.hidden = hidden ? 1 : 0;
        return status::kSuccess;
    }

    Result<String> dc_name(StringView server, StringView domain) override {
        if (auto s = net_.faults().take(u"NetGetDCName")) return Result<String>::failure(*s);
        Machine* m = reach(server);
        if (!m) return Result<String>::failure(status::kBadNetPath);
        const Domain* d = net_.domain(domain.empty() ? StringView(m->lan_group) : domain);
        if (!d) return Result<String>::failure(status::kDcNotFound);
        if (!answers(d->primary)) return Result<String>::failure(status::kDcNotFound);
        return {status::kSuccess, u"\\\\" + d->primary};
    }

    Result<String> any_dc_name(StringView server, StringView domain) override {
        if (auto s = net_.faults().take(u"NetGetAnyDCName")) return Result<String>::failure(*s);
        Machine* m = reach(server);
        if (!m) return Result<String>::failure(status::kBadNetPath);
        const Domain* d = net_.domain(domain.empty() ? StringView(m->lan_group) : domain);
        if (!d) return Result<String>::failure(status::kNoSuchDomain);
        if (answers(d->primary)) return {status::kSuccess, u"\\\\" + d->primary};
        for (const auto& b : d->backups) {
            if (answers(b)) return {status::kSuccess, u"\\\\" + b};
        }
        return Result<String>::failure(status::kNoLogonServers);
    }

  private:
    static constexpr size_t kMaxComment = 256;  // MAXCOMMENTSZ
    static constexpr size_t kMaxWalks = 64;

    struct Walk {
        std::vector<ServerInfo> entries;
        size_t position;
    };

    // The machine a call reaches, or null when nobody answers to the name.
    Machine* reach(StringView server) {
        if (server.empty()) return &net_.local();  // a machine always answers itself
        if (server.size() > 2 && server.substr(0, 2) == u"\\\\" &&
            server.substr(2).find(u'\\') != StringView::npos)
            return nullptr;
        Machine* m = net_.find(server);
        return m && m->reachable ? m : nullptr;
    }

    bool answers(StringView name) {
        const Machine* m = name.empty() ? nullptr : net_.find(name);
        return m && m->reachable;
    }

    static ServerInfo basic(const Machine& m) {
        ServerInfo s;
        s.platform_id = m.server.platform_id;
        s.name = m.name;
        s.version_major = m.server.version_major;
        s.version_minor = m.server.version_minor;
        s.type = m.server.type;
        s.comment = m.server.comment;
        return s;
    }

    // The records the browse list of a domain or workgroup gives for a type
    // mask; SV_TYPE_DOMAIN_ENUM alone lists the domains and workgroups.
    std::optional<std::vector<ServerInfo>> browse(StringView lan_group, uint32_t type_mask) {
        std::vector<ServerInfo> out;
        if (type_mask == platform::sv_type::kDomainEnum) {
            std::map<String, String> groups;  // name -> master browser
            for (const Machine* m : net_.browse_list_all())
                groups.emplace(m->lan_group, m->name);
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
            if (m->server.type & type_mask) out.push_back(basic(*m));
        }
        return out;
    }

    Network& net_;
    std::unordered_map<uint32_t, Walk> walks_;
    uint32_t next_walk_ = 1;
};

}  // namespace

std::unique_ptr<platform::Servers> make_servers(Network& net) {
    return std::make_unique<SimServers>(net);
}

}  // namespace vorlek::sim
