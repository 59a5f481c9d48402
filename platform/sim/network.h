// A simulated NT network: machines by name, each with the state the platform
// operations read and change. Deterministic; tests build their own or start
// from a preset and change what they need.
#pragma once

#include <memory>
#include <optional>
#include <unordered_map>
#include <vector>

#include "automation/text.h"
#include "platform/platform.h"

namespace vorlek::sim {

using platform::Status;

struct Machine {
    String name;  // NetBIOS name, upper case
    // Variables keyed by their upper-case name; the value keeps the name as set.
    std::unordered_map<String, std::pair<String, String>, CaseInsensitiveHash, CaseInsensitiveEqual>
        environment;
    uint32_t ansi_code_page = 1252;
    uint32_t user_lcid = 1033;
    uint32_t system_lcid = 1033;
    // A name that is on the network but does not answer fails every remote call.
    bool reachable = true;

    void set_env(StringView name, StringView value);
    std::optional<String> env(StringView name) const;
};

// Makes a named platform operation fail with a status, to drive failure paths.
class Faults {
  public:
    // The next `times` calls of `operation` fail with `status` (0 = every call
    // from now on until cleared).
    void fail(StringView operation, Status status, uint32_t times = 1);
    void clear() { rules_.clear(); }
    // Consumed by the simulation at the start of each operation.
    std::optional<Status> take(StringView operation);

  private:
    struct Rule {
        Status status;
        uint32_t remaining;  // 0: unlimited
    };
    std::unordered_map<String, Rule, CaseInsensitiveHash, CaseInsensitiveEqual> rules_;
};

// Counts every handle the simulation hands out, so a test can check that a
// member closed what it opened.
class HandleLedger {
  public:
    using Handle = uint64_t;
    Handle open(StringView kind);
    // False (and no change) for a handle that is not open.
    bool close(Handle handle);
    bool is_open(Handle handle) const { return open_.count(handle) != 0; }
    size_t open_count() const noexcept { return open_.size(); }
    size_t open_count(StringView kind) const;

  private:
    Handle next_ = 0x100;
    std::unordered_map<Handle, String> open_;
};

class Network {
  public:
    explicit Network(StringView local_name);

    // Adds (or returns) a machine by name.
    Machine& add_machine(StringView name);
    // Looks a machine up by "", "NAME" or "\\NAME"; "" is the local machine.
    Machine* find(StringView name);
    Machine& local() { return *find(local_name_); }
    const String& local_name() const noexcept { return local_name_; }

    Faults& faults() noexcept { return faults_; }
    HandleLedger& handles() noexcept { return handles_; }

  private:
    String local_name_;
    std::unordered_map<String, std::unique_ptr<Machine>, CaseInsensitiveHash, CaseInsensitiveEqual>
        machines_;
    Faults faults_;
    HandleLedger handles_;
};

// A preset network by name ("default", "empty"); null when unknown.
std::shared_ptr<Network> make_network(StringView preset);
// Names of the presets, for the script host's help text.
std::vector<String> preset_names();

// The platform operations over a simulated network, seen from its local
// machine.
class SimPlatform : public platform::Platform {
  public:
    explicit SimPlatform(std::shared_ptr<Network> network);
    ~SimPlatform() override;

    platform::System& system() override;
    platform::Locale& locale() override;

    Network& network() noexcept { return *network_; }

  private:
    std::shared_ptr<Network> network_;
    struct Areas;
    std::unique_ptr<Areas> areas_;
};

}  // namespace vorlek::sim
