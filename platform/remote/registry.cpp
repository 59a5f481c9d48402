// Registry on a remote server: not reached yet; every operation answers 50.
#include "platform/registry.h"

#include "platform/remote/areas.h"

#pragma GCC diagnostic ignored "-Wunused-parameter"

namespace vorlek::platform::remote {

namespace {

class RemoteRegistry final : public platform::Registry {
  public:
    Result<RegKey> connect(StringView machine, RegKey root) override { return {kNotSupported, {}}; }
    Result<RegKey> open_key(RegKey parent, StringView path, uint32_t access) override {
        return {kNotSupported, {}};
    }
    Result<CreatedKey> create_key(RegKey parent, StringView path, StringView class_name,
                                  uint32_t options, uint32_t access) override {
        return {kNotSupported, {}};
    }
    Status close_key(RegKey key) override { return kNotSupported; }
    Result<KeyInfo> query_info(RegKey key, uint32_t class_capacity) override {
        return {kNotSupported, {}};
    }
    Result<SubKey> enum_key(RegKey key, uint32_t index, Buffers buffers) override {
        return {kNotSupported, {}};
    }
    Result<Value> enum_value(RegKey key, uint32_t index, Buffers buffers) override {
        return {kNotSupported, {}};
    }
    Result<Value> query_value(RegKey key, StringView name,
                              std::optional<uint32_t> data_capacity) override {
        return {kNotSupported, {}};
    }
    Status set_value(RegKey key, StringView name, uint32_t type,
                     const std::vector<uint8_t>& data) override {
        return kNotSupported;
    }
    Status delete_key(RegKey key, StringView sub_key) override { return kNotSupported; }
    Status delete_value(RegKey key, StringView name) override { return kNotSupported; }
    Result<SecurityDescriptor> key_security(RegKey key, uint32_t information) override {
        return {kNotSupported, {}};
    }
    Status save_key(RegKey key, StringView file) override { return kNotSupported; }
    Status load_key(RegKey root, StringView sub_key, StringView file) override {
        return kNotSupported;
    }
    Status unload_key(RegKey root, StringView sub_key) override { return kNotSupported; }
    Status restore_key(RegKey key, StringView file, uint32_t flags) override {
        return kNotSupported;
    }
};

}  // namespace

std::shared_ptr<Registry> make_registry(const Context&) {
    return std::make_shared<RemoteRegistry>();
}

}  // namespace vorlek::platform::remote
