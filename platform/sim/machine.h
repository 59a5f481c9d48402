// One simulated machine: its name, whether it answers, and the state of each
// platform area, every one in its own struct and header.
#pragma once

#include "platform/sim/accounts.h"
#include "platform/sim/console.h"
#include "platform/sim/copy_on_write.h"
#include "platform/sim/desktop.h"
#include "platform/sim/eventlog.h"
#include "platform/sim/files.h"
#include "platform/sim/locale.h"
#include "platform/sim/lsa.h"
#include "platform/sim/multimedia.h"
#include "platform/sim/netbios.h"
#include "platform/sim/processes.h"
#include "platform/sim/ras.h"
#include "platform/sim/registry.h"
#include "platform/sim/security.h"
#include "platform/sim/servers.h"
#include "platform/sim/services.h"
#include "platform/sim/shares.h"
#include "platform/sim/sockets.h"
#include "platform/sim/system.h"
#include "platform/sim/time.h"

namespace vorlek::sim {

struct Machine {
    String name;  // NetBIOS name, upper case
    // A name that is on the network but does not answer fails every remote call.
    bool reachable = true;

    SystemState system;
    LocaleState locale;
    TimeState time;
    ServerState servers;
    AccountsState accounts;
    SecurityState security;
    CopyOnWrite<ProcessesState> processes;
    RegistryState registry;
    CopyOnWrite<ServicesState> services;
    CopyOnWrite<EventLogState> eventlog;
    SocketsState sockets;
    NetBiosState netbios;
    RasState ras;
    DesktopState desktop;
    MultimediaState multimedia;
    CopyOnWrite<LsaState> lsa;
    SharesState shares;
    ConsoleState console;
    FileStore files;
};

}  // namespace vorlek::sim
