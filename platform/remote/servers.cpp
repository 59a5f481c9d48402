// Servers on a remote server: not reached yet; every operation answers 50.
#include "platform/servers.h"

#include "platform/remote/areas.h"

#pragma GCC diagnostic ignored "-Wunused-parameter"

namespace vorlek::platform::remote {

namespace {

class RemoteServers final : public platform::Servers {
  public:
    Result<ServerInfo> server_info(StringView server, uint32_t level) override {
        return {kNotSupported, {}};
    }
    Result<WorkstationInfo> workstation_info(StringView server) override {
        return {kNotSupported, {}};
    }
    Result<ServerBatch> enumerate(StringView server, uint32_t type_mask, StringView domain,
                                  uint32_t preferred_bytes, uint32_t& resume_handle) override {
        return {kNotSupported, {}};
    }
    Status set_comment(StringView server, StringView comment) override { return kNotSupported; }
    Status set_hidden(StringView server, bool hidden) override { return kNotSupported; }
    Result<String> dc_name(StringView server, StringView domain) override {
        return {kNotSupported, {}};
    }
    Result<String> any_dc_name(StringView server, StringView domain) override {
        return {kNotSupported, {}};
    }
};

}  // namespace

std::shared_ptr<Servers> make_servers(const Context&) {
    return std::make_shared<RemoteServers>();
}

}  // namespace vorlek::platform::remote
