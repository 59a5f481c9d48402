// Handles the simulation hands out: one ledger per network counts them by
// kind, so a test can check that a member closed what it opened, and a typed
// table per area keeps what each open handle stands for.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <unordered_map>

#include "automation/string.h"

namespace vorlek::sim {

using Handle = uint64_t;

// Every kind of handle the platform's operations hand out.
enum class HandleKind : uint8_t {
    Module,          // LoadLibraryEx
    RegistryKey,     // RegOpenKeyEx, RegCreateKeyEx, RegConnectRegistry
    ServiceManager,  // OpenSCManager
    Service,         // OpenService, CreateService
    ServiceLock,     // LockServiceDatabase
    EventLog,        // OpenEventLog, OpenBackupEventLog
    EventSource,     // RegisterEventSource
    Process,         // OpenProcess, CreateProcess
    Thread,          // CreateProcess, CreateRemoteThread
    Token,           // OpenProcessToken, LogonUser
    WindowStation,   // OpenWindowStation
    Desktop,         // OpenDesktop
    Profile,         // LoadUserProfile
    LsaPolicy,       // LsaOpenPolicy
    Console,         // GetStdHandle, CreateFile("CONOUT$")
    Sockets,         // WSAStartup (a session, ended by WSACleanup)
    MciDevice,       // mciSendString("open ...")
    Window,          // CreateWindowEx
    Printer,         // OpenPrinter
};
constexpr size_t kHandleKinds = static_cast<size_t>(HandleKind::Printer) + 1;

StringView handle_kind_name(HandleKind kind);

class HandleLedger {
  public:
    Handle open(HandleKind kind);
    // False (and no change) for a handle that is not open.
    bool close(Handle handle);
    std::optional<HandleKind> kind_of(Handle handle) const;
    bool is_open(Handle handle) const { return open_.count(handle) != 0; }
    size_t open_count() const noexcept { return open_.size(); }
    size_t open_count(HandleKind kind) const noexcept { return counts_[static_cast<size_t>(kind)]; }

  private:
    Handle next_ = 0x100;
    std::unordered_map<Handle, HandleKind> open_;
    std::array<size_t, kHandleKinds> counts_{};
};

// The open handles of one kind and what each refers to. Handles a table
// still holds when it goes are closed then, as a process's are when it ends.
template <class T>
class HandleTable {
  public:
    HandleTable(HandleLedger& ledger, HandleKind kind) : ledger_(ledger), kind_(kind) {}
    ~HandleTable() {
        for (const auto& entry : entries_)
            ledger_.close(entry.first);
    }
    HandleTable(const HandleTable&) = delete;
    HandleTable& operator=(const HandleTable&) = delete;

    Handle open(T value) {
        const Handle h = ledger_.open(kind_);
        entries_.emplace(h, std::move(value));
        return h;
    }
    // Null for a handle this table did not hand out or that is closed.
    T* find(Handle h) {
        auto it = entries_.find(h);
        return it == entries_.end() ? nullptr : &it->second;
    }
    // False for a handle this table does not hold (6 on the system).
    bool close(Handle h) {
        auto it = entries_.find(h);
        if (it == entries_.end()) return false;
        entries_.erase(it);
        ledger_.close(h);
        return true;
    }
    size_t size() const noexcept { return entries_.size(); }

    auto begin() { return entries_.begin(); }
    auto end() { return entries_.end(); }

  private:
    HandleLedger& ledger_;
    HandleKind kind_;
    std::unordered_map<Handle, T> entries_;
};

}  // namespace vorlek::sim
