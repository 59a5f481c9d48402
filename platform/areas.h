// Every platform area, once: its interface class and the accessor the classes
// call it by (`platform::current().servers()`). The platform holder, the
// factory each backend provides for an area and the construction of both
// backends all follow from this list, so a new area is one line here.
#pragma once

// X(Interface, accessor)
#define VORLEK_PLATFORM_AREAS(X) \
    X(System, system)            \
    X(Locale, locale)            \
    X(Time, time)                \
    X(Messages, messages)        \
    X(Servers, servers)          \
    X(Security, security)        \
    X(Accounts, accounts)        \
    X(Processes, processes)      \
    X(Registry, registry)        \
    X(Services, services)        \
    X(EventLog, eventlog)        \
    X(Sockets, sockets)          \
    X(NetBios, netbios)          \
    X(Ras, ras)                  \
    X(Desktop, desktop)          \
    X(Multimedia, multimedia)    \
    X(Lsa, lsa)                  \
    X(Shares, shares)            \
    X(Console, console)
