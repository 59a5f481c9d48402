// Security on a remote server: not reached yet; every operation answers 50.
#include "platform/security.h"

#include "platform/remote/areas.h"

#pragma GCC diagnostic ignored "-Wunused-parameter"

namespace vorlek::platform::remote {

namespace {

class RemoteSecurity final : public platform::Security {
  public:
    Result<Account> lookup_account_name(StringView system, StringView name) override {
        return {kNotSupported, {}};
    }
    Result<Account> lookup_account_sid(StringView system, const Sid& sid) override {
        return {kNotSupported, {}};
    }
    Result<String> user_name() override { return {kNotSupported, {}}; }
};

}  // namespace

std::shared_ptr<Security> make_security(const Context&) {
    return std::make_shared<RemoteSecurity>();
}

}  // namespace vorlek::platform::remote
