// Shares on a remote server: not reached yet; every operation answers 50.
#include "platform/shares.h"

#include "platform/remote/areas.h"

#pragma GCC diagnostic ignored "-Wunused-parameter"

namespace vorlek::platform::remote {

namespace {

class RemoteShares final : public platform::Shares {
  public:
    Result<ShareBatch> enumerate(StringView server, uint32_t& resume_handle) override {
        return {kNotSupported, {}};
    }
    Result<ShareInfo> share_info(StringView server, StringView name) override {
        return {kNotSupported, {}};
    }
    Result<uint32_t> share_flags(StringView server, StringView name) override {
        return {kNotSupported, {}};
    }
    Status set_share_info(StringView server, StringView name, const ShareInfo& record,
                          uint32_t& parm_error) override {
        return kNotSupported;
    }
    Status add_share(StringView server, const ShareInfo& record, uint32_t& parm_error) override {
        return kNotSupported;
    }
    Status delete_share(StringView server, StringView name) override { return kNotSupported; }
    Result<SecurityDescriptor> share_security(StringView unc_name) override {
        return {kNotSupported, {}};
    }
    Result<PrinterHandle> open_printer(StringView name) override { return {kNotSupported, {}}; }
    Result<PrinterInfo> printer_info(PrinterHandle printer) override { return {kNotSupported, {}}; }
    Status close_printer(PrinterHandle printer) override { return kNotSupported; }
    Status add_connection(const NetResource& resource, std::optional<StringView> password,
                          std::optional<StringView> user, uint32_t flags) override {
        return kNotSupported;
    }
    Status cancel_connection(StringView name, uint32_t flags, bool force) override {
        return kNotSupported;
    }
};

}  // namespace

std::shared_ptr<Shares> make_shares(const Context&) {
    return std::make_shared<RemoteShares>();
}

}  // namespace vorlek::platform::remote
