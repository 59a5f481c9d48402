// The service control manager on Windows. Not wired to the system's calls
// yet: every operation answers ERROR_CALL_NOT_IMPLEMENTED, so the classes
// report a failure instead of acting on a machine.
#include "platform/services.h"

#include "platform/win32/areas.h"

namespace vorlek::platform::win32 {

namespace {

class Win32Services : public Services {
  public:
    Result<ScHandle> open_manager(StringView, uint32_t) override { return none<ScHandle>(); }
    Result<std::vector<ServiceEntry>> enumerate(ScHandle, uint32_t, uint32_t) override {
        return none<std::vector<ServiceEntry>>();
    }
    Result<ScHandle> open_service(ScHandle, StringView, uint32_t) override {
        return none<ScHandle>();
    }
    Result<ScHandle> create_service(ScHandle, const NewService&) override {
        return none<ScHandle>();
    }
    Result<ServiceStatus> query_status(ScHandle) override { return none<ServiceStatus>(); }
    Result<ServiceConfig> query_config(ScHandle) override { return none<ServiceConfig>(); }
    Result<LockStatus> query_lock_status(ScHandle) override { return none<LockStatus>(); }
    Result<String> key_name(ScHandle, StringView) override { return none<String>(); }
    Result<String> display_name(ScHandle, StringView) override { return none<String>(); }
    Status start(ScHandle) override { return status::kCallNotImplemented; }
    Result<ServiceStatus> control(ScHandle, uint32_t) override { return none<ServiceStatus>(); }
    Status change_config(ScHandle, const ConfigChange&) override {
        return status::kCallNotImplemented;
    }
    Status remove(ScHandle) override { return status::kCallNotImplemented; }
    Result<ScHandle> lock(ScHandle) override { return none<ScHandle>(); }
    Status unlock(ScHandle) override { return status::kCallNotImplemented; }
    Status close(ScHandle) override { return status::kCallNotImplemented; }

  private:
    template <class T>
    static Result<T> none() {
        return Result<T>::failure(status::kCallNotImplemented);
    }
};

}  // namespace

std::shared_ptr<Services> make_services() {
    return std::make_shared<Win32Services>();
}

}  // namespace vorlek::platform::win32
