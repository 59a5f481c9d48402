// Processes, tokens, windows and logons belong to the machine a script runs
// on, which under the remote backend is the Linux host: they answer 50. A
// shutdown is asked of a named server over its shutdown interface.
#include "platform/processes.h"

#include "platform/c_strings.h"
#include "platform/remote/areas.h"
#include "platform/remote/ndr.h"

#pragma GCC diagnostic ignored "-Wunused-parameter"

namespace vorlek::platform::remote {

namespace {

// Operation numbers of the shutdown interface.
constexpr uint32_t kInitiateShutdown = 0;

class RemoteProcesses final : public platform::Processes {
  public:
    explicit RemoteProcesses(std::shared_ptr<Session> session) : session_(std::move(session)) {}

    // InitiateSystemShutdown of a server: its shutdown interface checks the
    // caller's right to shut it down (5 or 1314 without it).
    Status initiate_shutdown(StringView machine, StringView message, uint32_t timeout, bool force,
                             bool reboot) override {
        if (!fits_c_string(message)) return status::kInvalidName;
        auto host = session_->host(machine);
        if (!host.ok()) return host.status;
        NdrWriter w;
        w.pointer(false);  // the server's name: the pipe says it
        w.pointer(true);
        w.counted_string(message);
        w.flush();
        w.u32(timeout);
        w.u8(force ? 1 : 0);
        w.u8(reboot ? 1 : 0);
        auto reply = session_->call(host.value, Pipe::Initshutdown, kInitiateShutdown, w.bytes());
        if (!reply.ok()) return reply.status;
        NdrReader r(reply.value);
        const uint32_t result = r.u32();
        return r.ok() ? result : kBadStubData;
    }
    Result<std::vector<uint32_t>> enum_processes(uint32_t buffer_bytes) override {
        return {kNotSupported, {}};
    }
    Result<ObjectHandle> open_process(uint32_t access, bool inherit, uint32_t pid) override {
        return {kNotSupported, {}};
    }
    Result<std::vector<uint64_t>> enum_process_modules(ObjectHandle process,
                                                       uint32_t buffer_bytes) override {
        return {kNotSupported, {}};
    }
    Result<String> module_base_name(ObjectHandle process, uint64_t module,
                                    uint32_t buffer_chars) override {
        return {kNotSupported, {}};
    }
    Result<String> module_file_name(ObjectHandle process, uint64_t module,
                                    uint32_t buffer_chars) override {
        return {kNotSupported, {}};
    }
    Result<MemoryCounters> memory_info(ObjectHandle process) override {
        return {kNotSupported, {}};
    }
    Status close_handle(ObjectHandle handle) override { return kNotSupported; }
    int32_t enum_vdm_tasks(uint32_t pid, const std::function<bool(const VdmTask&)>& task) override {
        return 0;
    }
    Result<ProcessInformation> create_process(ObjectHandle token, StringView command_line,
                                              const StartupInfo& startup, bool inherit_handles,
                                              uint32_t creation_flags) override {
        return {kNotSupported, {}};
    }
    Status wait(ObjectHandle handle, uint32_t milliseconds) override { return kNotSupported; }
    Result<uint32_t> exit_code(ObjectHandle process) override { return {kNotSupported, {}}; }
    Status terminate(ObjectHandle process, uint32_t exit_code) override { return kNotSupported; }
    Result<ObjectHandle> duplicate_handle(ObjectHandle handle) override {
        return {kNotSupported, {}};
    }
    Result<uint64_t> procedure_address(StringView module, StringView name) override {
        return {kNotSupported, {}};
    }
    Result<ObjectHandle> create_remote_thread(ObjectHandle process, uint64_t start,
                                              uint64_t parameter) override {
        return {kNotSupported, {}};
    }
    Status enum_windows(const std::function<bool(WindowHandle)>& each) override {
        return kNotSupported;
    }
    String window_text(WindowHandle window, uint32_t buffer_chars) override { return {}; }
    uint32_t window_process_id(WindowHandle window) override { return 0; }
    Status post_message(WindowHandle window, uint32_t message, uint64_t wparam,
                        int64_t lparam) override {
        return kNotSupported;
    }
    bool is_window(WindowHandle window) override { return false; }
    Result<ObjectHandle> process_window_station() override { return {kNotSupported, {}}; }
    Result<ObjectHandle> thread_desktop() override { return {kNotSupported, {}}; }
    Result<ObjectHandle> open_window_station(StringView name, uint32_t access) override {
        return {kNotSupported, {}};
    }
    Result<ObjectHandle> open_desktop(StringView name, uint32_t access) override {
        return {kNotSupported, {}};
    }
    Status set_process_window_station(ObjectHandle station) override { return kNotSupported; }
    Status set_thread_desktop(ObjectHandle desktop) override { return kNotSupported; }
    Status close_window_station(ObjectHandle station) override { return kNotSupported; }
    Status close_desktop(ObjectHandle desktop) override { return kNotSupported; }
    Result<AccessList> window_object_access(ObjectHandle object) override {
        return {kNotSupported, {}};
    }
    Status set_window_object_access(ObjectHandle object, const AccessList& list) override {
        return kNotSupported;
    }
    Result<ObjectHandle> open_process_token(uint32_t access) override {
        return {kNotSupported, {}};
    }
    Result<ObjectHandle> open_thread_token(uint32_t access, bool open_as_self) override {
        return {kNotSupported, {}};
    }
    uint32_t token_groups_size(ObjectHandle token) override { return 0; }
    Result<std::vector<TokenGroup>> token_groups(ObjectHandle token,
                                                 uint32_t buffer_bytes) override {
        return {kNotSupported, {}};
    }
    Result<Luid> lookup_privilege_value(StringView system, StringView name) override {
        return {kNotSupported, {}};
    }
    Result<std::vector<PrivilegeState>> adjust_token_privileges(
        ObjectHandle token, const std::vector<PrivilegeState>& new_state) override {
        return {kNotSupported, {}};
    }
    Result<ObjectHandle> logon_user(StringView user, StringView domain, StringView password,
                                    uint32_t logon_type, uint32_t provider) override {
        return {kNotSupported, {}};
    }
    Status impersonate(ObjectHandle token) override { return kNotSupported; }
    Status revert_to_self() override { return kNotSupported; }
    Result<ObjectHandle> load_user_profile(ObjectHandle token,
                                           const ProfileInfo& profile) override {
        return {kNotSupported, {}};
    }
    Status unload_user_profile(ObjectHandle token, ObjectHandle profile) override {
        return kNotSupported;
    }
    Status exit_windows(uint32_t flags, uint32_t reserved) override { return kNotSupported; }

  private:
    std::shared_ptr<Session> session_;
};

}  // namespace

std::shared_ptr<Processes> make_processes(const Context& context) {
    return std::make_shared<RemoteProcesses>(context.session);
}

}  // namespace vorlek::platform::remote
