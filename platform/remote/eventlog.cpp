// EventLog on a remote server: not reached yet; every operation answers 50.
#include "platform/eventlog.h"

#include "platform/remote/areas.h"

#pragma GCC diagnostic ignored "-Wunused-parameter"

namespace vorlek::platform::remote {

namespace {

class RemoteEventLog final : public platform::EventLog {
  public:
    Result<EventLogHandle> open(StringView server, StringView log) override {
        return {kNotSupported, {}};
    }
    Result<EventLogHandle> open_backup(StringView server, StringView file) override {
        return {kNotSupported, {}};
    }
    Result<uint32_t> record_count(EventLogHandle log) override { return {kNotSupported, {}}; }
    Result<EventLogRead> read(EventLogHandle log, uint32_t flags, uint32_t record,
                              uint32_t buffer_bytes) override {
        return {kNotSupported, {}};
    }
    Status close(EventLogHandle log) override { return kNotSupported; }
    Result<EventLogHandle> register_source(StringView server, StringView source) override {
        return {kNotSupported, {}};
    }
    Status report(EventLogHandle source, uint16_t type, uint16_t category, uint32_t event_id,
                  std::span<const uint8_t> sid, const std::vector<String>& strings,
                  std::span<const uint8_t> data) override {
        return kNotSupported;
    }
    Status deregister_source(EventLogHandle source) override { return kNotSupported; }
    Status backup(EventLogHandle log, StringView file) override { return kNotSupported; }
    Status clear(EventLogHandle log, std::optional<StringView> backup_file) override {
        return kNotSupported;
    }
};

}  // namespace

std::shared_ptr<EventLog> make_eventlog(const Context&) {
    return std::make_shared<RemoteEventLog>();
}

}  // namespace vorlek::platform::remote
