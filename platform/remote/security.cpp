// Names and SIDs as a remote server translates them, over its local
// security authority (LsarLookupNames3, LsarLookupSids). One lookup policy
// per server is opened at the first lookup and kept for the run; it is
// closed when the area goes. SIDs that a listing is about to have named
// (the holders of a right) are translated in one call beforehand, and each
// translation kept is handed out once.
#include "platform/security.h"

#include <map>
#include <mutex>
#include <optional>

#include "automation/text.h"
#include "platform/c_strings.h"
#include "platform/lsa.h"
#include "platform/remote/areas.h"
#include "platform/remote/lsarpc.h"

namespace vorlek::platform::remote {

namespace {

constexpr Status kProcedureOutOfRange = 1745;  // RPC_S_PROCNUM_OUT_OF_RANGE
constexpr uint32_t kLookupAccess =
    policy_access::kLookupNames | policy_access::kViewLocalInformation;

class RemoteSecurity final : public platform::Security {
  public:
    explicit RemoteSecurity(std::shared_ptr<Session> session) : session_(std::move(session)) {}

    ~RemoteSecurity() override {
        std::lock_guard guard(lock_);
        for (const auto& [host, policy] : policies_)
            session_->call(host, Pipe::Lsa, lsarpc::kClose, lsarpc::close(policy));
    }

    Result<Account> lookup_account_name(StringView system, StringView name) override {
        using R = Result<Account>;
        if (!fits_c_string(name)) return R::failure(status::kInvalidName);
        auto host = session_->host(system);
        if (!host.ok()) return R::failure(host.status);
        // Nothing longer fits in a counted string, so nothing longer has a SID.
        if (name.empty() || name.size() > 0x7FFE) return R::failure(status::kNoneMapped);
        std::vector<Account> found;
        const Status s = lookup(host.value, [&](const ContextHandle& policy) {
            const std::vector<String> names{String(name)};
            auto reply = session_->call(host.value, Pipe::Lsa, lsarpc::kLookupNames3,
                                        lsarpc::lookup_names3(policy, names));
            if (reply.ok()) return lsarpc::read_lookup_names3(reply.value, found);
            // A server older than the call answers "procedure number out of
            // range"; the older call gives the same.
            if (reply.status != kProcedureOutOfRange) return reply.status;
            reply = session_->call(host.value, Pipe::Lsa, lsarpc::kLookupNames,
                                   lsarpc::lookup_names(policy, names));
            if (!reply.ok()) return reply.status;
            return lsarpc::read_lookup_names(reply.value, found);
        });
        if (s != status::kSuccess) return R::failure(s);
        if (found.size() != 1) return R::failure(lsarpc::kBadReply);
        Account& a = found.front();
        if (a.usage == SidUsage::Unknown || a.usage == SidUsage::Invalid || !a.sid.valid())
            return R::failure(status::kNoneMapped);
        // The server answers the SID and its domain; the account's own name
        // is the one asked for (a domain's name is the domain).
        const size_t slash = name.find(u'\\');
        a.name = a.usage == SidUsage::Domain
                     ? a.domain
                     : String(slash == StringView::npos ? name : name.substr(slash + 1));
        if (a.usage == SidUsage::Domain) a.domain.clear();
        return {status::kSuccess, std::move(a)};
    }

    Result<Account> lookup_account_sid(StringView system, const Sid& sid) override {
        using R = Result<Account>;
        auto host = session_->host(system);
        if (!host.ok()) return R::failure(host.status);
        if (!sid.valid()) return R::failure(status::kInvalidSid);
        if (auto kept = take_kept(host.value, sid)) return named(std::move(*kept), sid);
        std::vector<Account> found;
        const Status s = lookup(host.value, [&](const ContextHandle& policy) {
            auto reply = session_->call(host.value, Pipe::Lsa, lsarpc::kLookupSids,
                                        lsarpc::lookup_sids(policy, {sid}));
            if (!reply.ok()) return reply.status;
            return lsarpc::read_lookup_sids(reply.value, found);
        });
        if (s != status::kSuccess) return R::failure(s);
        if (found.size() != 1) return R::failure(lsarpc::kBadReply);
        return named(std::move(found.front()), sid);
    }

    // Translates `sids` at `host` in one call and keeps the answers for the
    // lookups that follow; a failure leaves those to ask one by one.
    void prefetch(const std::string& host, const std::vector<Sid>& sids) {
        std::vector<Sid> valid;
        for (const Sid& sid : sids) {
            if (sid.valid() && valid.size() < lsarpc::kMaxLookup) valid.push_back(sid);
        }
        if (valid.size() < 2) return;
        std::vector<Account> found;
        const Status s = lookup(host, [&](const ContextHandle& policy) {
            auto reply = session_->call(host, Pipe::Lsa, lsarpc::kLookupSids,
                                        lsarpc::lookup_sids(policy, valid));
            if (!reply.ok()) return reply.status;
            return lsarpc::read_lookup_sids(reply.value, found);
        });
        std::lock_guard guard(lock_);
        kept_.clear();
        if ((s != status::kSuccess && s != status::kNoneMapped) || found.size() != valid.size())
            return;
        for (size_t i = 0; i < valid.size(); ++i)
            kept_.emplace(host + '/' + to_utf8(valid[i].text()), std::move(found[i]));
    }

    // The account the backend signs in to the servers as.
    Result<String> user_name() override {
        const std::string& user = session_->credentials().user;
        if (user.empty()) return Result<String>::failure(status::kNoneMapped);
        return {status::kSuccess, from_utf8(user)};
    }

  private:
    static Result<Account> named(Account a, const Sid& sid) {
        if (a.usage == SidUsage::Unknown || a.usage == SidUsage::DeletedAccount ||
            a.usage == SidUsage::Invalid)
            return Result<Account>::failure(status::kNoneMapped);
        a.sid = sid;
        // A domain comes back as its own name, referencing itself.
        if (a.usage == SidUsage::Domain) a.domain.clear();
        return {status::kSuccess, std::move(a)};
    }

    std::optional<Account> take_kept(const std::string& host, const Sid& sid) {
        std::lock_guard guard(lock_);
        auto it = kept_.find(host + '/' + to_utf8(sid.text()));
        if (it == kept_.end()) return std::nullopt;
        Account a = std::move(it->second);
        kept_.erase(it);
        return a;
    }

    // Runs `call` with the server's lookup policy, opening it first when
    // there is none; a policy the server no longer knows is opened anew
    // once.
    template <class Call>
    Status lookup(const std::string& host, Call&& call) {
        std::lock_guard guard(lock_);
        for (int attempt = 0; attempt < 2; ++attempt) {
            auto it = policies_.find(host);
            if (it == policies_.end()) {
                auto reply = session_->call(host, Pipe::Lsa, lsarpc::kOpenPolicy2,
                                            lsarpc::open_policy2(from_utf8(host), kLookupAccess));
                if (!reply.ok()) return reply.status;
                ContextHandle policy;
                if (Status s = lsarpc::read_open_policy2(reply.value, policy)) return s;
                it = policies_.emplace(host, policy).first;
            }
            const Status s = call(it->second);
            if (s != status::kInvalidHandle && s != lsarpc::kBadReply) return s;
            if (attempt == 0)
                policies_.erase(it);
            else
                return s;
        }
        return lsarpc::kBadReply;
    }

    std::shared_ptr<Session> session_;
    std::mutex lock_;
    std::map<std::string, ContextHandle> policies_;
    std::map<std::string, Account> kept_;  // by host and SID text
};

// The security area of each session, for the other areas' prefetches.
std::mutex areas_lock;
std::map<const Session*, std::weak_ptr<RemoteSecurity>> areas;

}  // namespace

void prefetch_names(const Session& session, const std::string& host, const std::vector<Sid>& sids) {
    std::shared_ptr<RemoteSecurity> area;
    {
        std::lock_guard guard(areas_lock);
        auto it = areas.find(&session);
        if (it != areas.end()) area = it->second.lock();
    }
    if (area) area->prefetch(host, sids);
}

std::shared_ptr<Security> make_security(const Context& context) {
    auto area = std::make_shared<RemoteSecurity>(context.session);
    std::lock_guard guard(areas_lock);
    areas[context.session.get()] = area;
    return area;
}

}  // namespace vorlek::platform::remote
