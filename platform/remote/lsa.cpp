// Lsa on a remote server: not reached yet; every operation answers 50.
#include "platform/lsa.h"

#include "platform/remote/areas.h"

#pragma GCC diagnostic ignored "-Wunused-parameter"

namespace vorlek::platform::remote {

namespace {

class RemoteLsa final : public platform::Lsa {
  public:
    Result<PolicyHandle> open_policy(StringView system, uint32_t access) override {
        return {kNotSupported, {}};
    }
    Status close(PolicyHandle policy) override { return kNotSupported; }
    Result<std::vector<Sid>> accounts_with_right(PolicyHandle policy, StringView right) override {
        return {kNotSupported, {}};
    }
    Status add_account_rights(PolicyHandle policy, const Sid& account,
                              const std::vector<String>& rights) override {
        return kNotSupported;
    }
    Status remove_account_rights(PolicyHandle policy, const Sid& account, bool all,
                                 const std::vector<String>& rights) override {
        return kNotSupported;
    }
};

}  // namespace

std::shared_ptr<Lsa> make_lsa(const Context&) {
    return std::make_shared<RemoteLsa>();
}

}  // namespace vorlek::platform::remote
