// The service control manager of a machine: the installed services with
// their status and configuration, starting and controlling them, changing
// and removing them, and the database lock. Names are the single-byte ("A")
// calls' view. Buffer sizes are the backend's business: every call returns
// its records whole, or the status the system gives.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "automation/string.h"
#include "platform/status.h"

namespace vorlek::platform {

namespace status {
constexpr Status kDependentServicesRunning = 1051;  // ERROR_DEPENDENT_SERVICES_RUNNING
constexpr Status kInvalidServiceControl = 1052;     // ERROR_INVALID_SERVICE_CONTROL
constexpr Status kServiceDatabaseLocked = 1055;     // ERROR_SERVICE_DATABASE_LOCKED
constexpr Status kServiceAlreadyRunning = 1056;     // ERROR_SERVICE_ALREADY_RUNNING
constexpr Status kInvalidServiceAccount = 1057;     // ERROR_INVALID_SERVICE_ACCOUNT
constexpr Status kServiceDisabled = 1058;           // ERROR_SERVICE_DISABLED
constexpr Status kCircularDependency = 1059;        // ERROR_CIRCULAR_DEPENDENCY
constexpr Status kServiceDoesNotExist = 1060;       // ERROR_SERVICE_DOES_NOT_EXIST
constexpr Status kServiceCannotAcceptCtrl = 1061;   // ERROR_SERVICE_CANNOT_ACCEPT_CTRL
constexpr Status kServiceNotActive = 1062;          // ERROR_SERVICE_NOT_ACTIVE
constexpr Status kServiceSpecificError = 1066;      // ERROR_SERVICE_SPECIFIC_ERROR
constexpr Status kServiceDependencyFail = 1068;     // ERROR_SERVICE_DEPENDENCY_FAIL
constexpr Status kServiceMarkedForDelete = 1072;    // ERROR_SERVICE_MARKED_FOR_DELETE
constexpr Status kServiceExists = 1073;             // ERROR_SERVICE_EXISTS
constexpr Status kDuplicateServiceName = 1078;      // ERROR_DUPLICATE_SERVICE_NAME
constexpr Status kRpcServerUnavailable = 1722;      // RPC_S_SERVER_UNAVAILABLE
}  // namespace status

// An open manager, service or lock handle; 0 is none.
using ScHandle = uint64_t;

namespace svc {
// Service types.
constexpr uint32_t kKernelDriver = 0x1;
constexpr uint32_t kFileSystemDriver = 0x2;
constexpr uint32_t kAdapter = 0x4;
constexpr uint32_t kRecognizerDriver = 0x8;
constexpr uint32_t kDriver = 0xB;
constexpr uint32_t kOwnProcess = 0x10;
constexpr uint32_t kShareProcess = 0x20;
constexpr uint32_t kWin32 = 0x30;
constexpr uint32_t kInteractive = 0x100;
constexpr uint32_t kTypeAll = 0x13F;

// Start types and error control.
constexpr uint32_t kBootStart = 0, kSystemStart = 1, kAutoStart = 2, kDemandStart = 3,
                   kDisabled = 4;
constexpr uint32_t kErrorIgnore = 0, kErrorNormal = 1, kErrorSevere = 2, kErrorCritical = 3;
// SERVICE_NO_CHANGE, for a number ChangeServiceConfig leaves alone.
constexpr uint32_t kNoChange = 0xFFFFFFFF;

// Current states.
constexpr uint32_t kStopped = 1, kStartPending = 2, kStopPending = 3, kRunning = 4,
                   kContinuePending = 5, kPausePending = 6, kPaused = 7;
// Enumeration state filter.
constexpr uint32_t kActive = 1, kInactive = 2, kStateAll = 3;

// Controls and the bits of the controls a service accepts.
constexpr uint32_t kControlStop = 1, kControlPause = 2, kControlContinue = 3,
                   kControlInterrogate = 4, kControlShutdown = 5;
constexpr uint32_t kAcceptStop = 0x1, kAcceptPauseContinue = 0x2, kAcceptShutdown = 0x4,
                   kAcceptParamChange = 0x8, kAcceptNetBindChange = 0x10;
// SERVICE_RUNS_IN_SYSTEM_PROCESS.
constexpr uint32_t kRunsInSystemProcess = 0x1;

// Manager access rights.
constexpr uint32_t kManagerConnect = 0x1;
constexpr uint32_t kManagerCreateService = 0x2;
constexpr uint32_t kManagerEnumerate = 0x4;
constexpr uint32_t kManagerLock = 0x8;
constexpr uint32_t kManagerQueryLockStatus = 0x10;
constexpr uint32_t kManagerAllAccess = 0xF003F;
// Service access rights.
constexpr uint32_t kQueryConfig = 0x1;
constexpr uint32_t kChangeConfig = 0x2;
constexpr uint32_t kQueryStatus = 0x4;
constexpr uint32_t kEnumerateDependents = 0x8;
constexpr uint32_t kStart = 0x10;
constexpr uint32_t kStop = 0x20;
constexpr uint32_t kPauseContinue = 0x40;
constexpr uint32_t kInterrogate = 0x80;
constexpr uint32_t kUserDefinedControl = 0x100;
constexpr uint32_t kDelete = 0x10000;
constexpr uint32_t kServiceAllAccess = 0xF01FF;
// The generic rights a caller may ask for.
constexpr uint32_t kGenericRead = 0x80000000;
constexpr uint32_t kGenericWrite = 0x40000000;
constexpr uint32_t kGenericExecute = 0x20000000;
constexpr uint32_t kGenericAll = 0x10000000;

// The longest service and display name the manager takes (characters).
constexpr size_t kMaxNameLength = 256;
}  // namespace svc

// SERVICE_STATUS_PROCESS.
struct ServiceStatus {
    uint32_t type = 0;
    uint32_t state = 0;
    uint32_t controls_accepted = 0;
    uint32_t win32_exit_code = 0;
    uint32_t service_exit_code = 0;
    uint32_t check_point = 0;
    uint32_t wait_hint = 0;
    uint32_t process_id = 0;
    uint32_t flags = 0;
};

// ENUM_SERVICE_STATUS_PROCESS.
struct ServiceEntry {
    String name;
    String display_name;
    ServiceStatus status;
};

// QUERY_SERVICE_CONFIG. `dependencies` is the system's run of NUL-ended
// names closed by an empty one; group names start with "+".
struct ServiceConfig {
    uint32_t type = 0;
    uint32_t start_type = 0;
    uint32_t error_control = 0;
    String binary_path;
    String load_order_group;
    uint32_t tag = 0;
    String dependencies;
    String start_name;
    String display_name;
};

// QUERY_SERVICE_LOCK_STATUS; `duration` in seconds.
struct LockStatus {
    bool locked = false;
    String owner;
    uint32_t duration = 0;
};

// What ChangeServiceConfig changes: svc::kNoChange numbers and absent texts
// stay as they are.
struct ConfigChange {
    uint32_t type = svc::kNoChange;
    uint32_t start_type = svc::kNoChange;
    uint32_t error_control = svc::kNoChange;
    std::optional<String> binary_path;
    std::optional<String> load_order_group;
    std::optional<String> dependencies;  // as in ServiceConfig
    std::optional<String> start_name;
    std::optional<String> password;
    std::optional<String> display_name;
};

// What CreateService installs.
struct NewService {
    String name;
    String display_name;
    uint32_t access = svc::kServiceAllAccess;
    uint32_t type = svc::kOwnProcess;
    uint32_t start_type = svc::kDemandStart;
    uint32_t error_control = svc::kErrorNormal;
    String binary_path;
    String load_order_group;
    String dependencies;  // as in ServiceConfig
    String start_name;    // "" is LocalSystem
    String password;
};

class Services {
  public:
    virtual ~Services() = default;

    // OpenSCManager("NAME", "\\NAME" or "" for the local machine): 5 when the
    // access is refused; a machine that does not answer gives 1722.
    virtual Result<ScHandle> open_manager(StringView machine, uint32_t access) = 0;
    // EnumServicesStatusEx (level SC_ENUM_PROCESS_INFO, no group): the
    // services of the types and states asked for, by name; 87 for a type or
    // state filter without a known bit.
    virtual Result<std::vector<ServiceEntry>> enumerate(ScHandle manager, uint32_t type,
                                                        uint32_t state) = 0;
    // OpenService by key name: 1060 for an unknown one, 123 for an invalid name.
    virtual Result<ScHandle> open_service(ScHandle manager, StringView name, uint32_t access) = 0;
    // CreateService: 1073 when the name exists, 1078 when the display name does.
    virtual Result<ScHandle> create_service(ScHandle manager, const NewService& service) = 0;
    // QueryServiceStatusEx (level SC_STATUS_PROCESS_INFO).
    virtual Result<ServiceStatus> query_status(ScHandle service) = 0;
    virtual Result<ServiceConfig> query_config(ScHandle service) = 0;
    virtual Result<LockStatus> query_lock_status(ScHandle manager) = 0;
    // GetServiceKeyName and GetServiceDisplayName: 1060 for an unknown name.
    virtual Result<String> key_name(ScHandle manager, StringView display_name) = 0;
    virtual Result<String> display_name(ScHandle manager, StringView name) = 0;
    // StartService without arguments (its stopped dependencies start first).
    virtual Status start(ScHandle service) = 0;
    // ControlService: the status after the control was sent.
    virtual Result<ServiceStatus> control(ScHandle service, uint32_t control) = 0;
    virtual Status change_config(ScHandle service, const ConfigChange& change) = 0;
    // DeleteService: marks the service; it goes when it is stopped and its
    // last handle is closed.
    virtual Status remove(ScHandle service) = 0;
    // LockServiceDatabase and UnlockServiceDatabase.
    virtual Result<ScHandle> lock(ScHandle manager) = 0;
    virtual Status unlock(ScHandle lock) = 0;
    // CloseServiceHandle of a manager or service handle.
    virtual Status close(ScHandle handle) = 0;
};

}  // namespace vorlek::platform
