// The networks a new user, the demo and the tests start from.
#include "platform/sim/messages.h"
#include "platform/sim/network.h"

namespace vorlek::sim {

namespace {

// The variables every NT machine's process environment has.
void standard_environment(Machine& m, StringView user, StringView domain) {
    const String name = m.name;
    const std::pair<StringView, String> vars[] = {
        {u"ALLUSERSPROFILE", u"C:\\Documents and Settings\\All Users"},
        {u"APPDATA",
         String(u"C:\\Documents and Settings\\") + String(user) + u"\\Application Data"},
        {u"CommonProgramFiles", u"C:\\Program Files\\Common Files"},
        {u"COMPUTERNAME", name},
        {u"ComSpec", u"C:\\WINNT\\system32\\cmd.exe"},
        {u"HOMEDRIVE", u"C:"},
        {u"HOMEPATH", String(u"\\Documents and Settings\\") + String(user)},
        {u"LOGONSERVER", String(u"\\\\") + name},
        {u"NUMBER_OF_PROCESSORS", u"2"},
        {u"OS", u"Windows_NT"},
        {u"Path", u"C:\\WINNT\\system32;C:\\WINNT;C:\\WINNT\\System32\\Wbem"},
        {u"PATHEXT", u".COM;.EXE;.BAT;.CMD;.VBS;.VBE;.JS;.JSE;.WSF;.WSH"},
        {u"PROCESSOR_ARCHITECTURE", u"x86"},
        {u"PROCESSOR_IDENTIFIER", u"x86 Family 6 Model 8 Stepping 3, GenuineIntel"},
        {u"PROCESSOR_LEVEL", u"6"},
        {u"PROCESSOR_REVISION", u"0803"},
        {u"ProgramFiles", u"C:\\Program Files"},
        {u"SystemDrive", u"C:"},
        {u"SystemRoot", u"C:\\WINNT"},
        {u"TEMP",
         String(u"C:\\Documents and Settings\\") + String(user) + u"\\Local Settings\\Temp"},
        {u"TMP",
         String(u"C:\\Documents and Settings\\") + String(user) + u"\\Local Settings\\Temp"},
        {u"USERDOMAIN", String(domain)},
        {u"USERNAME", String(user)},
        {u"USERPROFILE", String(u"C:\\Documents and Settings\\") + String(user)},
        {u"windir", u"C:\\WINNT"},
    };
    for (const auto& [k, v] : vars)
        m.system.set_env(k, v);
}

// 2024-07-15 08:30:00 UTC: summer, so local time shows the daylight bias.
constexpr platform::FileTime kPresetClock = 133655058000000000;

void standard_machine(Machine& m) {
    m.time.clock = kPresetClock;
    m.time.zone = central_european_zone();
    auto file = sample_message_file();
    m.files[String(kSampleMessageFilePath)] = std::vector<uint8_t>(file.begin(), file.end());
}

namespace sv = platform::sv_type;
constexpr uint32_t kNtWorkstation = sv::kWorkstation | sv::kNt | sv::kPotentialBrowser;
constexpr uint32_t kNtServer =
    sv::kWorkstation | sv::kServer | sv::kNt | sv::kServerNt | sv::kDomainMember;

// Domain CORP: a primary and a backup controller, member servers (one of
// them switched off but still in the browse list) and workstations; WS0001
// is the local machine. Workgroup LAB has one machine of its own.
std::shared_ptr<Network> default_network() {
    auto net = std::make_shared<Network>(u"WS0001");
    Machine& local = net->local();
    standard_environment(local, u"Administrator", u"CORP");
    net->domains()[u"CORP"] = Domain{u"DC01", {u"DC02"}};
    struct Member {
        StringView name;
        uint32_t type;
        StringView comment;
    };
    const Member members[] = {
        {u"DC01",
         sv::kWorkstation | sv::kServer | sv::kDomainCtrl | sv::kTimeSource | sv::kNt |
             sv::kServerNt | sv::kMasterBrowser | sv::kDomainMaster,
         u"Primary domain controller"},
        {u"DC02",
         sv::kWorkstation | sv::kServer | sv::kDomainBakCtrl | sv::kNt | sv::kServerNt |
             sv::kBackupBrowser,
         u"Backup domain controller"},
        {u"SRV01", kNtServer, u"File server"},
        {u"SRV02", kNtServer | sv::kPrintqServer, u"Print server"},
        {u"SRV03", kNtServer, u"Old application server"},
        {u"WS0001", kNtWorkstation, u""},
        {u"WS0002", kNtWorkstation, u"Reception"},
        {u"WS0003", kNtWorkstation, u""},
    };
    for (const auto& m : members) {
        Machine& machine = net->add_machine(m.name);
        if (&machine != &local) standard_environment(machine, u"Administrator", u"CORP");
        standard_machine(machine);
        join(machine, u"CORP", m.type, m.comment);
        machine.servers.logged_on_users = (m.type & sv::kServerNt) ? 0 : 1;
    }
    net->find(u"SRV03")->reachable = false;
    Machine& lab = net->add_machine(u"LABPC1");
    standard_environment(lab, u"Administrator", u"LABPC1");
    standard_machine(lab);
    join(lab, u"LAB", kNtWorkstation, u"Lab");
    return net;
}

std::shared_ptr<Network> empty_network() {
    auto net = std::make_shared<Network>(u"LONELY");
    standard_environment(net->local(), u"Administrator", u"LONELY");
    standard_machine(net->local());
    join(net->local(), u"WORKGROUP", kNtWorkstation);
    return net;
}

struct Preset {
    StringView name;
    std::shared_ptr<Network> (*make)();
};
constexpr Preset kPresets[] = {{u"default", default_network}, {u"empty", empty_network}};

}  // namespace

std::shared_ptr<Network> make_network(StringView preset) {
    for (const auto& p : kPresets) {
        if (equal_ignore_case(p.name, preset)) return p.make();
    }
    return nullptr;
}

std::vector<String> preset_names() {
    std::vector<String> out;
    for (const auto& p : kPresets)
        out.emplace_back(p.name);
    return out;
}

}  // namespace vorlek::sim
