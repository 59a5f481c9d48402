// A simulated NT network: machines by name, each with the state the platform
// operations read and change. Deterministic; tests build their own or start
// from a preset and change what they need.
#pragma once

#include <map>
#include <memory>
#include <optional>
#include <span>
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

    // Time: the machine's clock (UTC) and its time zone.
    platform::FileTime clock = 0;
    platform::TimeZone time_zone;

    // Files by path (compared without regard to case), as far as the
    // simulation reads them (message files).
    std::unordered_map<String, std::vector<uint8_t>, CaseInsensitiveHash, CaseInsensitiveEqual>
        files;

    // Server and workstation: the domain or workgroup the machine belongs to,
    // its server record (name and hidden flag included) and workstation
    // details. A machine is in its domain's browse list unless hidden or
    // `browsing` is false.
    String lan_group;
    platform::ServerInfo server;
    String lan_root = u"C:\\WINNT";
    uint32_t logged_on_users = 0;
    bool browsing = true;

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

// A domain's controllers by machine name.
struct Domain {
    String primary;
    std::vector<String> backups;
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

    // Domains by upper-case name; a lan group that is not here is a workgroup.
    std::map<String, Domain>& domains() noexcept { return domains_; }
    const Domain* domain(StringView name) const;

    // The machines of a domain or workgroup in its browse list, by name.
    std::vector<const Machine*> browse_list(StringView lan_group) const;
    // Every machine in some browse list.
    std::vector<const Machine*> browse_list_all() const;

    Faults& faults() noexcept { return faults_; }
    HandleLedger& handles() noexcept { return handles_; }

  private:
    String local_name_;
    std::map<String, Domain> domains_;
    std::unordered_map<String, std::unique_ptr<Machine>, CaseInsensitiveHash, CaseInsensitiveEqual>
        machines_;
    Faults faults_;
    HandleLedger handles_;
};

// Puts a machine in a domain or workgroup with a server record of the given
// type bits (the name, platform and version are filled in).
void join(Machine& machine, StringView lan_group, uint32_t type, StringView comment = {});

// A time-zone record with yearly daylight rules ("day of month" form).
platform::TimeZone central_european_zone();  // bias -60, last Sunday of March/October
platform::TimeZone us_eastern_zone();        // bias 300, 2nd Sunday of March, 1st of November

// The bytes of the sample message file (vorlekmsg.dll) that every preset
// machine carries as C:\WINNT\system32\vorlekmsg.dll.
std::span<const uint8_t> sample_message_file();
constexpr StringView kSampleMessageFilePath = u"C:\\WINNT\\system32\\vorlekmsg.dll";

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
    platform::Time& time() override;
    platform::Messages& messages() override;
    platform::Servers& servers() override;

    Network& network() noexcept { return *network_; }

  private:
    std::shared_ptr<Network> network_;
    struct Areas;
    std::unique_ptr<Areas> areas_;
};

}  // namespace vorlek::sim
