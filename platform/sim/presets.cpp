// The networks a new user, the demo and the tests start from.
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
        m.set_env(k, v);
}

std::shared_ptr<Network> default_network() {
    auto net = std::make_shared<Network>(u"WS0001");
    standard_environment(net->local(), u"Administrator", u"CORP");
    return net;
}

std::shared_ptr<Network> empty_network() {
    auto net = std::make_shared<Network>(u"LONELY");
    standard_environment(net->local(), u"Administrator", u"LONELY");
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
