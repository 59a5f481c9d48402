// Services on a remote server: not reached yet; every operation answers 50.
#include "platform/services.h"

#include "platform/remote/areas.h"

#pragma GCC diagnostic ignored "-Wunused-parameter"

namespace vorlek::platform::remote {

namespace {

class RemoteServices final : public platform::Services {
  public:
    Result<ScHandle> open_manager(StringView machine, uint32_t access) override {
        return {kNotSupported, {}};
    }
    Result<std::vector<ServiceEntry>> enumerate(ScHandle manager, uint32_t type,
                                                uint32_t state) override {
        return {kNotSupported, {}};
    }
    Result<ScHandle> open_service(ScHandle manager, StringView name, uint32_t access) override {
        return {kNotSupported, {}};
    }
    Result<ScHandle> create_service(ScHandle manager, const NewService& service) override {
        return {kNotSupported, {}};
    }
    Result<ServiceStatus> query_status(ScHandle service) override { return {kNotSupported, {}}; }
    Result<ServiceConfig> query_config(ScHandle service) override { return {kNotSupported, {}}; }
    Result<LockStatus> query_lock_status(ScHandle manager) override { return {kNotSupported, {}}; }
    Result<String> key_name(ScHandle manager, StringView display_name) override {
        return {kNotSupported, {}};
    }
    Result<String> display_name(ScHandle manager, StringView name) override {
        return {kNotSupported, {}};
    }
    Status start(ScHandle service) override { return kNotSupported; }
    Result<ServiceStatus> control(ScHandle service, uint32_t control) override {
        return {kNotSupported, {}};
    }
    Status change_config(ScHandle service, const ConfigChange& change) override {
        return kNotSupported;
    }
    Status remove(ScHandle service) override { return kNotSupported; }
    Result<ScHandle> lock(ScHandle manager) override { return {kNotSupported, {}}; }
    Status unlock(ScHandle lock) override { return kNotSupported; }
    Status close(ScHandle handle) override { return kNotSupported; }
};

}  // namespace

std::shared_ptr<Services> make_services(const Context&) {
    return std::make_shared<RemoteServices>();
}

}  // namespace vorlek::platform::remote
