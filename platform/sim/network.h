// A simulated NT network: machines by name, each with the state the platform
// operations read and change. Deterministic; tests build their own or start
// from a preset and change what they need.
#pragma once

#include <initializer_list>
#include <map>
#include <memory>
#include <mutex>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include "platform/c_strings.h"
#include "platform/sim/faults.h"
#include "platform/sim/handles.h"
#include "platform/sim/machine.h"

namespace vorlek::sim {

using platform::Status;

// A domain's controllers by machine name.
struct Domain {
    String primary;
    std::vector<String> backups;
};
// By upper-case name.
using Domains = std::map<String, Domain, std::less<>>;

class Network;

// An operation in progress: the network is held for the caller until the
// call ends (two apartments of one process may call at once), and the call
// either reached a machine or failed with a status.
class Call {
  public:
    explicit operator bool() const noexcept { return machine_ != nullptr; }
    Status status() const noexcept { return status_; }
    Machine& machine() const noexcept { return *machine_; }
    // The failure as a result of any type, for `return call.failure<T>();`.
    template <class T>
    platform::Result<T> failure() const {
        return platform::Result<T>::failure(status_);
    }

  private:
    friend class Network;
    Call(std::unique_lock<std::recursive_mutex> lock, Status status, Machine* machine)
        : lock_(std::move(lock)), status_(status), machine_(machine) {}
    std::unique_lock<std::recursive_mutex> lock_;
    Status status_;
    Machine* machine_;
};

class Network {
  public:
    explicit Network(StringView local_name);

    // The prologue of every simulated operation: the caller's texts it hands
    // on as C strings first (123 for one with a NUL inside, as the real
    // backend refuses it before the call), then an injected fault, then the
    // local machine.
    Call enter(const Operation& operation, std::initializer_list<StringView> texts = {});
    // The same for an operation addressed to a server: "" (the local machine,
    // which always answers itself), "NAME" or "\\NAME". A name nobody answers
    // to fails with 53, as on a real network.
    Call enter(const Operation& operation, StringView server,
               std::initializer_list<StringView> texts = {});
    // For the few operations of the local machine that cannot fail (the
    // clock, locale settings): the network held, no fault point.
    Call hold();

    // Adds (or returns) a machine by name.
    Machine& add_machine(StringView name);
    // Looks a machine up by "", "NAME" or "\\NAME"; "" is the local machine.
    Machine* find(StringView name);
    Machine& local() {
        // Found by name once: the machine stays where it is until a restore.
        if (!local_) return *(local_ = find(local_name_));
        touch(*local_);
        return *local_;
    }
    // Every machine, reachable or not, in no particular order.
    std::vector<Machine*> machines() const;
    const String& local_name() const noexcept { return local_name_; }
    // Whether a machine of that name exists and answers.
    bool answers(StringView name);

    // Domains by upper-case name; a lan group that is not here is a workgroup.
    Domains& domains() noexcept { return domains_; }
    const Domain* domain(StringView name) const;

    // The machines of a domain or workgroup in its browse list, by name.
    std::vector<const Machine*> browse_list(StringView lan_group) const;
    // Every machine in some browse list.
    std::vector<const Machine*> browse_list_all() const;

    Faults& faults() noexcept { return faults_; }
    HandleLedger& handles() noexcept { return handles_; }

    // Every machine, by name.
    std::vector<Machine*> machines();

    // A state to come back to, for programs that run many short sessions on
    // one network (the fuzz targets). save() keeps a copy of every machine,
    // the domains, the injected faults and the handle ledger; restore() makes
    // the network that state again, exactly: it drops machines added since
    // and copies back every machine looked up since (find, enter, hold, ...)
    // together with those that shared an account database or a token with
    // it when saved. Nothing may refer to a machine or its state across a
    // restore (a platform made on the network is made again after it).
    void save();
    void restore();

    // A restored machine shares its account database and its processes'
    // tokens with the saved state until it first uses them; the parts that
    // read or change them call this first. The part becomes the network's
    // live copy of it: one copy, taken by every machine that shared the part
    // when saved. Without a saved state it leaves the part as it is.
    template <class T>
    void own(std::shared_ptr<T>& part) {
        if (!part || !saved_parts_.contains(part.get())) return;
        std::shared_ptr<void>& copy = live_copies_[part.get()];
        if (!copy) copy = std::make_shared<T>(std::as_const(*part));
        part = std::static_pointer_cast<T>(copy);
    }

  private:
    struct Saved;
    void touch(const Machine& machine);

    String local_name_;
    Domains domains_;
    std::unordered_map<String, std::unique_ptr<Machine>, CaseInsensitiveHash, CaseInsensitiveEqual>
        machines_;
    Faults faults_;
    HandleLedger handles_;
    std::recursive_mutex mutex_;
    std::shared_ptr<const Saved> saved_;
    std::vector<const Machine*> touched_;          // since save() or restore()
    Machine* local_ = nullptr;                     // until the next restore()
    std::unordered_set<const void*> saved_parts_;  // see own()
    std::unordered_map<const void*, std::shared_ptr<void>> live_copies_;  // by saved part
};

// A preset network by name ("default", "empty"); null when unknown.
std::shared_ptr<Network> make_network(StringView preset);
// Names of the presets, for the script host's help text.
std::vector<String> preset_names();

}  // namespace vorlek::sim
