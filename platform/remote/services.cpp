// Services on a remote server, over the service control manager's RPC
// interface (svcctl). The handles the classes keep are numbers of this area;
// each stands for a context handle of one server, and closing it closes that.
// When the pipe to a server fails, the server forgets the context handles it
// gave out: the area's handles of that server then answer 6.
#include "platform/services.h"

#include <chrono>
#include <map>
#include <mutex>
#include <set>

#include "automation/text.h"
#include "platform/c_strings.h"
#include "platform/remote/areas.h"
#include "platform/remote/connection.h"
#include "platform/remote/svcctl.h"

namespace vorlek::platform::remote {

namespace {

constexpr Status kInvalidServiceLock = 1071;  // ERROR_INVALID_SERVICE_LOCK
// What a server answers for an operation it does not have.
constexpr Status kProcedureOutOfRange = 1745;  // RPC_S_PROCNUM_OUT_OF_RANGE
constexpr Status kInvalidFunction = 1;         // ERROR_INVALID_FUNCTION

bool not_offered(Status s) {
    return s == kNotSupported || s == kProcedureOutOfRange || s == kInvalidFunction ||
           s == status::kCallNotImplemented;
}

bool valid_name(StringView name) {
    return !name.empty() && name.size() <= svc::kMaxNameLength &&
           name.find_first_of(u"\\/") == StringView::npos;
}

enum class Kind { Manager, Service, Lock };

using Clock = std::chrono::steady_clock;

struct Open {
    std::string host;
    ContextHandle remote;
    Kind kind;
    uint64_t generation;
    Clock::time_point since;  // when a lock was taken
};

class RemoteServices final : public platform::Services {
  public:
    explicit RemoteServices(std::shared_ptr<Session> session) : session_(std::move(session)) {}

    ~RemoteServices() override {
        // Whatever the script left open is closed on its server, locks first.
        std::lock_guard g(session_->library_lock());
        for (Kind kind : {Kind::Lock, Kind::Service, Kind::Manager}) {
            for (auto& [h, open] : handles_) {
                if (open.kind != kind || stale(open)) continue;
                call(open.host,
                     kind == Kind::Lock ? svcctl::op::kUnlockServiceDatabase
                                        : svcctl::op::kCloseServiceHandle,
                     svcctl::handle_only(open.remote));
            }
        }
    }

    Result<ScHandle> open_manager(StringView machine, uint32_t access) override {
        std::lock_guard g(session_->library_lock());
        auto host = session_->host(machine);
        if (!host.ok()) return Result<ScHandle>::failure(host.status);
        auto reply = call(host.value, svcctl::op::kOpenSCManagerW,
                          svcctl::open_manager(from_utf8(host.value), access));
        // The manager is reached by RPC: a machine that does not answer
        // reports the RPC server unavailable.
        if (did_not_answer(reply.status)) return Result<ScHandle>::failure(kRpcServerUnavailable);
        if (!reply.ok()) return Result<ScHandle>::failure(reply.status);
        return keep(host.value, svcctl::read_handle(reply.value), Kind::Manager);
    }

    Result<std::vector<ServiceEntry>> enumerate(ScHandle manager, uint32_t type,
                                                uint32_t state) override {
        using R = Result<std::vector<ServiceEntry>>;
        std::lock_guard g(session_->library_lock());
        Found m = find(manager, Kind::Manager);
        if (!m.open) return R::failure(m.status);
        if ((type & (svc::kWin32 | svc::kDriver)) == 0 || (type & ~svc::kTypeAll) ||
            state < svc::kActive || state > svc::kStateAll)
            return R::failure(status::kInvalidParameter);
        const std::string host = m.open->host;
        const ContextHandle remote = m.open->remote;
        std::vector<ServiceEntry> out;
        bool ex = !plain_listing_.count(host);
        uint32_t offered = 64 * 1024, resume = 0;
        // Batches as large as the server takes; a server that neither
        // advances nor asks for more room ends the loop.
        for (int batch = 0; batch < 100000; ++batch) {
            auto reply = call(
                host, ex ? svcctl::op::kEnumServicesStatusExW : svcctl::op::kEnumServicesStatusW,
                svcctl::enumerate(remote, type, state, offered, resume, ex));
            svcctl::EnumReply r;
            if (reply.ok())
                r = svcctl::read_enumeration(reply.value, ex);
            else
                r.status = reply.status;
            if (ex && out.empty() && not_offered(r.status)) {
                // An older manager lists without the process fields.
                plain_listing_.insert(host);
                ex = false;
                continue;
            }
            for (auto& e : r.entries)
                out.push_back(std::move(e));
            if (r.status == status::kSuccess) return {status::kSuccess, std::move(out)};
            if (r.status != status::kMoreData) return {r.status, std::move(out)};
            if (r.entries.empty()) {
                if (r.needed <= offered || offered == svcctl::kMaxEnumBuffer)
                    return {r.status, std::move(out)};
                offered = std::min(r.needed, svcctl::kMaxEnumBuffer);
            } else if (r.resume == resume) {
                // More said to follow from where this batch began: the
                // listing would never end.
                return {svcctl::kBadStubData, std::move(out)};
            }
            resume = r.resume;
        }
        return {status::kMoreData, std::move(out)};
    }

    Result<ScHandle> open_service(ScHandle manager, StringView name, uint32_t access) override {
        std::lock_guard g(session_->library_lock());
        if (!fits_c_string(name)) return Result<ScHandle>::failure(status::kInvalidName);
        Found m = find(manager, Kind::Manager);
        if (!m.open) return Result<ScHandle>::failure(m.status);
        if (!valid_name(name)) return Result<ScHandle>::failure(status::kInvalidName);
        const std::string host = m.open->host;
        auto reply = call(host, svcctl::op::kOpenServiceW,
                          svcctl::open_service(m.open->remote, name, access));
        if (!reply.ok()) return Result<ScHandle>::failure(reply.status);
        return keep(host, svcctl::read_handle(reply.value), Kind::Service);
    }

    Result<ScHandle> create_service(ScHandle manager, const NewService& n) override {
        using R = Result<ScHandle>;
        std::lock_guard g(session_->library_lock());
        if (Status s = c_strings_status({n.name, n.display_name, n.binary_path, n.load_order_group,
                                         n.start_name, n.password}))
            return R::failure(s);
        Found m = find(manager, Kind::Manager);
        if (!m.open) return R::failure(m.status);
        if (!valid_name(n.name) || n.display_name.size() > svc::kMaxNameLength)
            return R::failure(status::kInvalidName);
        // The manager takes a service's password only sealed with the key of
        // the SMB session under the pipe, which the client library does not
        // hand out: a password cannot be sent.
        if (!n.password.empty()) return R::failure(kNotSupported);
        const std::string host = m.open->host;
        auto reply =
            call(host, svcctl::op::kCreateServiceW, svcctl::create_service(m.open->remote, n));
        if (!reply.ok()) return R::failure(reply.status);
        return keep(host, svcctl::read_handle(reply.value, true), Kind::Service);
    }

    Result<ServiceStatus> query_status(ScHandle service) override {
        using R = Result<ServiceStatus>;
        std::lock_guard g(session_->library_lock());
        Found s = find(service, Kind::Service);
        if (!s.open) return R::failure(s.status);
        const std::string host = s.open->host;
        const ContextHandle remote = s.open->remote;
        if (!plain_status_.count(host)) {
            auto reply =
                call(host, svcctl::op::kQueryServiceStatusEx, svcctl::query_status_ex(remote));
            auto r =
                reply.ok() ? svcctl::read_status_process(reply.value) : R::failure(reply.status);
            if (!not_offered(r.status)) return r;
            plain_status_.insert(host);
        }
        auto reply =
            call(host, svcctl::op::kQueryServiceStatus, svcctl::handle_only(s.open->remote));
        if (!reply.ok()) return R::failure(reply.status);
        auto r = svcctl::read_service_status(reply.value);
        if (!r.ok()) r.value = {};
        return r;
    }

    Result<ServiceConfig> query_config(ScHandle service) override {
        using R = Result<ServiceConfig>;
        std::lock_guard g(session_->library_lock());
        Found s = find(service, Kind::Service);
        if (!s.open) return R::failure(s.status);
        auto r = config_of(s.open->host, s.open->remote);
        return {r.status, std::move(r.config)};
    }

    Result<LockStatus> query_lock_status(ScHandle manager) override {
        using R = Result<LockStatus>;
        std::lock_guard g(session_->library_lock());
        Found m = find(manager, Kind::Manager);
        if (!m.open) return R::failure(m.status);
        const std::string host = m.open->host;
        auto reply = call(host, svcctl::op::kQueryServiceLockStatusW,
                          svcctl::query_lock_status(m.open->remote, 1024));
        if (reply.ok()) return svcctl::read_lock_status(reply.value);
        if (!not_offered(reply.status)) return R::failure(reply.status);
        // A manager without the lock status (Samba's) keeps a lock that
        // stops nothing and that any caller may take again: the lock that
        // counts is the one taken through this area, as NT reports it.
        LockStatus out;
        for (const auto& [h, open] : handles_) {
            if (open.kind != Kind::Lock || open.host != host || stale(open)) continue;
            out.locked = true;
            out.owner = locker();
            out.duration = static_cast<uint32_t>(
                std::chrono::duration_cast<std::chrono::seconds>(Clock::now() - open.since)
                    .count());
        }
        return {status::kSuccess, std::move(out)};
    }

    // A key name is found in the listing by its display name (one call for
    // every service), a display name in the service's configuration: the
    // servers agree on the layouts of those calls, not on those of the
    // look-up calls (Samba's take their names and sizes as unique pointers).
    Result<String> key_name(ScHandle manager, StringView display) override {
        std::lock_guard g(session_->library_lock());
        if (!fits_c_string(display)) return Result<String>::failure(status::kInvalidName);
        Found m = find(manager, Kind::Manager);
        if (!m.open) return Result<String>::failure(m.status);
        if (display.empty() || display.size() > svc::kMaxNameLength)
            return Result<String>::failure(status::kInvalidName);
        auto listed = enumerate(manager, svc::kTypeAll, svc::kStateAll);
        if (!listed.ok()) return Result<String>::failure(listed.status);
        for (const ServiceEntry& e : listed.value)
            if (equal_ignore_case(e.display_name, display)) return {status::kSuccess, e.name};
        return Result<String>::failure(status::kServiceDoesNotExist);
    }

    Result<String> display_name(ScHandle manager, StringView name) override {
        std::lock_guard g(session_->library_lock());
        auto opened = open_service(manager, name, svc::kQueryConfig);
        if (!opened.ok()) return Result<String>::failure(opened.status);
        auto config = query_config(opened.value);
        close(opened.value);
        if (!config.ok()) return Result<String>::failure(config.status);
        return {status::kSuccess, std::move(config.value.display_name)};
    }

    Status start(ScHandle service) override {
        return simple(service, Kind::Service, svcctl::op::kStartServiceW,
                      [](const ContextHandle& h) { return svcctl::start(h); });
    }

    Result<ServiceStatus> control(ScHandle service, uint32_t control) override {
        using R = Result<ServiceStatus>;
        std::lock_guard g(session_->library_lock());
        Found s = find(service, Kind::Service);
        if (!s.open) return R::failure(s.status);
        auto reply = call(s.open->host, svcctl::op::kControlService,
                          svcctl::control(s.open->remote, control));
        if (!reply.ok()) return R::failure(reply.status);
        return svcctl::read_service_status(reply.value);
    }

    Status change_config(ScHandle service, const ConfigChange& c) override {
        const auto text = [](const std::optional<String>& t) {
            return t ? StringView(*t) : StringView();
        };
        if (Status s =
                c_strings_status({text(c.binary_path), text(c.load_order_group), text(c.start_name),
                                  text(c.password), text(c.display_name)}))
            return s;
        // As at creation, a password cannot be sent; an empty one is no
        // password and goes as none (the account needs none).
        ConfigChange sent = c;
        if (sent.password && !sent.password->empty()) {
            std::lock_guard g(session_->library_lock());
            Found s = find(service, Kind::Service);
            return s.open ? kNotSupported : s.status;
        }
        sent.password.reset();
        return simple(
            service, Kind::Service, svcctl::op::kChangeServiceConfigW,
            [&](const ContextHandle& h) { return svcctl::change_config(h, sent); }, true);
    }

    Status remove(ScHandle service) override {
        return simple(service, Kind::Service, svcctl::op::kDeleteService,
                      [](const ContextHandle& h) { return svcctl::handle_only(h); });
    }

    Result<ScHandle> lock(ScHandle manager) override {
        std::lock_guard g(session_->library_lock());
        Found m = find(manager, Kind::Manager);
        if (!m.open) return Result<ScHandle>::failure(m.status);
        const std::string host = m.open->host;
        // The database has one lock: while one taken through this area is
        // held, another is refused here (Samba's manager would hand out a
        // second one).
        for (const auto& [h, open] : handles_)
            if (open.kind == Kind::Lock && open.host == host && !stale(open))
                return Result<ScHandle>::failure(status::kServiceDatabaseLocked);
        auto reply =
            call(host, svcctl::op::kLockServiceDatabase, svcctl::handle_only(m.open->remote));
        if (!reply.ok()) return Result<ScHandle>::failure(reply.status);
        return keep(host, svcctl::read_handle(reply.value), Kind::Lock);
    }

    Status unlock(ScHandle lock) override {
        std::lock_guard g(session_->library_lock());
        auto it = handles_.find(lock);
        if (it == handles_.end() || it->second.kind != Kind::Lock) return kInvalidServiceLock;
        const Open open = it->second;
        handles_.erase(it);
        if (stale(open)) return kInvalidServiceLock;
        auto reply =
            call(open.host, svcctl::op::kUnlockServiceDatabase, svcctl::handle_only(open.remote));
        if (!reply.ok()) return reply.status;
        return svcctl::read_closed(reply.value);
    }

    Status close(ScHandle handle) override {
        std::lock_guard g(session_->library_lock());
        auto it = handles_.find(handle);
        if (it == handles_.end() || it->second.kind == Kind::Lock) return status::kInvalidHandle;
        const Open open = it->second;
        handles_.erase(it);
        if (stale(open)) return status::kInvalidHandle;
        auto reply =
            call(open.host, svcctl::op::kCloseServiceHandle, svcctl::handle_only(open.remote));
        if (!reply.ok()) return reply.status;
        return svcctl::read_closed(reply.value);
    }

  private:
    struct Found {
        Open* open = nullptr;
        Status status = status::kSuccess;
    };

    // One request to `host`; a failed transport means the server's handles
    // of this connection are gone.
    Result<Bytes> call(const std::string& host, uint32_t opnum, const Bytes& request) {
        auto r = session_->call(host, Pipe::Svcctl, opnum, request);
        if (connection_lost(r.status)) {
            ++generations_[host];
            r.status = lost_status(r.status);
        }
        return r;
    }

    // The lock owner's name as the manager reports it: DOMAIN\\user.
    String locker() const {
        const Credentials& c = session_->credentials();
        return from_utf8(c.domain.empty() ? c.user : c.domain + "\\" + c.user);
    }

    bool stale(const Open& open) { return open.generation != generations_[open.host]; }

    Found find(ScHandle h, Kind kind) {
        auto it = handles_.find(h);
        if (it == handles_.end() || it->second.kind != kind || stale(it->second))
            return {nullptr, status::kInvalidHandle};
        return {&it->second, status::kSuccess};
    }

    Result<ScHandle> keep(const std::string& host, Result<ContextHandle> remote, Kind kind) {
        if (!remote.ok()) return Result<ScHandle>::failure(remote.status);
        const ScHandle h = next_++;
        handles_.emplace(h, Open{host, remote.value, kind, generations_[host], Clock::now()});
        return {status::kSuccess, h};
    }

    svcctl::ConfigReply config_of(const std::string& host, const ContextHandle& remote) {
        svcctl::ConfigReply r;
        uint32_t offered = svcctl::kMaxConfigBuffer;
        for (int tries = 0; tries < 2; ++tries) {
            auto reply =
                call(host, svcctl::op::kQueryServiceConfigW, svcctl::query_config(remote, offered));
            if (!reply.ok()) return {reply.status, {}, 0};
            r = svcctl::read_config(reply.value);
            if (r.status != status::kInsufficientBuffer || r.needed <= offered) break;
            offered = r.needed;
        }
        return r;
    }

    template <class Request>
    Status simple(ScHandle h, Kind kind, uint32_t opnum, Request&& request,
                  bool tag_first = false) {
        std::lock_guard g(session_->library_lock());
        Found f = find(h, kind);
        if (!f.open) return f.status;
        auto reply = call(f.open->host, opnum, request(f.open->remote));
        if (!reply.ok()) return reply.status;
        return svcctl::read_status(reply.value, tag_first);
    }

    std::shared_ptr<Session> session_;
    std::map<ScHandle, Open> handles_;
    ScHandle next_ = 0x1000;
    std::map<std::string, uint64_t> generations_;
    std::set<std::string> plain_listing_, plain_status_;
};

}  // namespace

std::shared_ptr<Services> make_services(const Context& context) {
    return std::make_shared<RemoteServices>(context.session);
}

}  // namespace vorlek::platform::remote
