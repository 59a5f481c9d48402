// The service control manager of a simulated machine. The configuration of
// every service is its key under HKLM\SYSTEM\CurrentControlSet\Services, as
// on NT; this state holds only what runs: each service's state, process and
// check point, the transitions in progress (timed on the machine clock the
// processes share), and the database lock.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <vector>

#include "automation/text.h"
#include "platform/services.h"
#include "platform/sim/faults.h"

namespace vorlek::sim {

class KeyNode;
class Network;
struct Machine;

struct ServiceRuntime {
    String name;  // the key's name, as it spells it
    uint32_t state = platform::svc::kStopped;
    uint32_t pid = 0;
    uint32_t win32_exit_code = 0;
    uint32_t service_exit_code = 0;
    uint32_t controls_accepted = platform::svc::kAcceptStop | platform::svc::kAcceptShutdown;
    // How long a start, stop, pause or continue takes (machine milliseconds):
    // the pending state lasts that long and its wait hint says so; 0 is at once.
    uint32_t transition_ms = 0;
    uint64_t pending_since = 0;
    // Rights nobody is granted on this service (a service whose own security
    // shuts even administrators out).
    uint32_t denied_access = 0;
    bool marked_for_delete = false;
    uint32_t open_handles = 0;
    // The service's key under ...\Services, once found, while it stays in
    // the tree (the listings read it for every service).
    std::weak_ptr<KeyNode> key;
};

struct ServiceLockState {
    bool locked = false;
    String owner;  // "DOMAIN\user" of whoever took it
    uint64_t since_ms = 0;
};

struct ServicesState {
    bool built = false;
    // By upper-case key name, in the manager's (alphabetical) order.
    std::map<String, ServiceRuntime> services;
    ServiceLockState lock;
    uint32_t next_tag = 1;
    // HKLM\SYSTEM\CurrentControlSet\Services, once found.
    std::weak_ptr<KeyNode> services_key;
};

namespace op {
inline constexpr Operation OpenSCManager{u"OpenSCManager"};
inline constexpr Operation EnumServicesStatusEx{u"EnumServicesStatusEx"};
inline constexpr Operation OpenService{u"OpenService"};
inline constexpr Operation CreateService{u"CreateService"};
inline constexpr Operation QueryServiceStatusEx{u"QueryServiceStatusEx"};
inline constexpr Operation QueryServiceConfig{u"QueryServiceConfig"};
inline constexpr Operation QueryServiceLockStatus{u"QueryServiceLockStatus"};
inline constexpr Operation GetServiceKeyName{u"GetServiceKeyName"};
inline constexpr Operation GetServiceDisplayName{u"GetServiceDisplayName"};
inline constexpr Operation StartService{u"StartService"};
inline constexpr Operation ControlService{u"ControlService"};
inline constexpr Operation ChangeServiceConfig{u"ChangeServiceConfig"};
inline constexpr Operation DeleteService{u"DeleteService"};
inline constexpr Operation LockServiceDatabase{u"LockServiceDatabase"};
inline constexpr Operation UnlockServiceDatabase{u"UnlockServiceDatabase"};
inline constexpr Operation CloseServiceHandle{u"CloseServiceHandle"};
}  // namespace op

// The machine's service manager, started on first use from the registry:
// every key under ...\Services with a Type value is a service; those that
// start automatically run (as the boot would leave them).
ServicesState& service_table(Network& net, Machine& machine);
// Restarts the manager as a reboot would: the runtime state goes, services
// marked for deletion go from the registry, and the registry is read again.
void restart_service_manager(Network& net, Machine& machine);

}  // namespace vorlek::sim
