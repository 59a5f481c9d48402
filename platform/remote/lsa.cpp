// Account rights in a remote server's local security authority, over its
// lsarpc pipe: each open policy is the server's context handle behind a
// number of ours, closed on the server by close() or, for those a caller
// left open, when the area goes.
#include "platform/lsa.h"

#include <limits>
#include <map>
#include <mutex>

#include "automation/text.h"
#include "platform/c_strings.h"
#include "platform/remote/areas.h"
#include "platform/remote/lsarpc.h"
#include "platform/tokens.h"

namespace vorlek::platform::remote {

namespace {

// The longest text a counted string holds (its byte length is 16 bits).
constexpr size_t kMaxCountedChars = std::numeric_limits<uint16_t>::max() / 2 - 1;

struct OpenPolicy {
    std::string host;
    ContextHandle handle;
};

class RemoteLsa final : public platform::Lsa {
  public:
    explicit RemoteLsa(std::shared_ptr<Session> session) : session_(std::move(session)) {}

    ~RemoteLsa() override {
        std::lock_guard guard(lock_);
        for (const auto& [id, p] : policies_)
            session_->call(p.host, Pipe::Lsa, lsarpc::kClose, lsarpc::close(p.handle));
    }

    Result<PolicyHandle> open_policy(StringView system, uint32_t access) override {
        using R = Result<PolicyHandle>;
        auto host = session_->host(system);
        if (!host.ok()) return R::failure(host.status);
        auto reply = session_->call(host.value, Pipe::Lsa, lsarpc::kOpenPolicy2,
                                    lsarpc::open_policy2(from_utf8(host.value), access));
        if (!reply.ok()) return R::failure(reply.status);
        ContextHandle handle;
        if (Status s = lsarpc::read_open_policy2(reply.value, handle)) return R::failure(s);
        std::lock_guard guard(lock_);
        const PolicyHandle id = next_++;
        policies_.emplace(id, OpenPolicy{std::move(host.value), handle});
        return {status::kSuccess, id};
    }

    // The policy is ours no more whatever the server answers: a server that
    // went away has dropped it already.
    Status close(PolicyHandle policy) override {
        OpenPolicy p;
        {
            std::lock_guard guard(lock_);
            auto it = policies_.find(policy);
            if (it == policies_.end()) return status::kInvalidHandle;
            p = std::move(it->second);
            policies_.erase(it);
        }
        auto reply = session_->call(p.host, Pipe::Lsa, lsarpc::kClose, lsarpc::close(p.handle));
        if (!reply.ok()) return reply.status;
        return lsarpc::read_close(reply.value);
    }

    Result<std::vector<Sid>> accounts_with_right(PolicyHandle policy, StringView right) override {
        using R = Result<std::vector<Sid>>;
        if (!fits_c_string(right)) return R::failure(status::kInvalidName);
        if (right.size() > kMaxCountedChars) return R::failure(status::kNoSuchPrivilege);
        OpenPolicy p;
        if (!find(policy, p)) return R::failure(status::kInvalidHandle);
        auto reply = session_->call(p.host, Pipe::Lsa, lsarpc::kEnumAccountsWithUserRight,
                                    lsarpc::enum_accounts_with_right(p.handle, right));
        if (!reply.ok()) return R::failure(reply.status);
        std::vector<Sid> sids;
        if (Status s = lsarpc::read_enum_accounts_with_right(reply.value, sids))
            return R::failure(s);
        // Nobody holding it is the authority's "no more entries", whichever
        // way the server says it.
        if (sids.empty()) return R::failure(status::kNoMoreItems);
        // The caller names the holders next.
        prefetch_names(*session_, p.host, sids);
        return {status::kSuccess, std::move(sids)};
    }

    Status add_account_rights(PolicyHandle policy, const Sid& account,
                              const std::vector<String>& rights) override {
        return change(policy, account, nullptr, rights);
    }

    Status remove_account_rights(PolicyHandle policy, const Sid& account, bool all,
                                 const std::vector<String>& rights) override {
        return change(policy, account, &all, rights);
    }

  private:
    bool find(PolicyHandle policy, OpenPolicy& out) {
        std::lock_guard guard(lock_);
        auto it = policies_.find(policy);
        if (it == policies_.end()) return false;
        out = it->second;
        return true;
    }

    Status change(PolicyHandle policy, const Sid& account, const bool* remove_all,
                  const std::vector<String>& rights) {
        if (Status s = c_strings_status(rights)) return s;
        for (const String& r : rights) {
            if (r.size() > kMaxCountedChars) return status::kNoSuchPrivilege;
        }
        OpenPolicy p;
        if (!find(policy, p)) return status::kInvalidHandle;
        if (!account.valid()) return status::kInvalidSid;
        // A Samba server takes rights from an account that holds none and
        // says nothing; Windows answers 2 for it, as for the list of that
        // account's rights, which is asked first.
        if (remove_all) {
            auto held = session_->call(p.host, Pipe::Lsa, lsarpc::kEnumAccountRights,
                                       lsarpc::enum_account_rights(p.handle, account));
            if (!held.ok()) return held.status;
            std::vector<String> rights_held;
            if (Status s = lsarpc::read_enum_account_rights(held.value, rights_held)) return s;
        }
        const Bytes request =
            remove_all ? lsarpc::remove_account_rights(p.handle, account, *remove_all, rights)
                       : lsarpc::add_account_rights(p.handle, account, rights);
        auto reply = session_->call(
            p.host, Pipe::Lsa,
            remove_all ? lsarpc::kRemoveAccountRights : lsarpc::kAddAccountRights, request);
        if (!reply.ok()) return reply.status;
        return lsarpc::read_status(reply.value);
    }

    std::shared_ptr<Session> session_;
    std::mutex lock_;
    std::map<PolicyHandle, OpenPolicy> policies_;
    PolicyHandle next_ = 1;
};

}  // namespace

std::shared_ptr<Lsa> make_lsa(const Context& context) {
    return std::make_shared<RemoteLsa>(context.session);
}

}  // namespace vorlek::platform::remote
