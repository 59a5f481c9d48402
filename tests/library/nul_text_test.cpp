// Every member that hands a caller's text to the system as a C string, given
// a text with a NUL inside: the system would read it cut short and act on the
// object the text starts with ("Spooler" & Chr(0) & "x" on Spooler), so it
// is refused with 123 before anything is done. Each case calls late-bound,
// as a script does, and checks what the member reports and that the object
// the cut text names is as it was.
#include <gtest/gtest.h>

#include <functional>

#include "tests/support/simulated.h"

#include "library/client.h"
#include "platform/sim/accounts.h"
#include "platform/sim/registry.h"
#include "platform/sim/services.h"

namespace vorlek {
namespace {

using client::Dispatch;

// `text` & Chr(0) & "x".
String nul(StringView text) {
    return String(text) + u'\0' + u"x";
}

// A result and the error property that goes with it, as one text.
String with(const Variant& result, const Dispatch& o, StringView error = u"LastError") {
    return result.to_string() + u" " + o.get(error).to_string();
}

constexpr int32_t kHklm = static_cast<int32_t>(0x80000002);
constexpr int32_t kAllAccess = 0xF003F;
const String kSamples = u"SOFTWARE\\Vorlek\\Samples";

struct Case {
    std::string what;
    const char16_t* progid;
    // Prepares the object, makes the call, and reports what it saw.
    std::function<String(const Dispatch&)> call;
    String expected;
};

// A write-through let of a loaded object: refused, and the property keeps
// what it showed.
struct Let {
    const char16_t* progid;
    std::function<void(const Dispatch&)> load;
    std::vector<const char16_t*> properties;
    bool readable = true;
};

class NulTextTest : public testing_support::SimulatedTest {
  protected:
    sim::AccountDatabase& corp() { return *sim::domain_database(*net, u"CORP"); }
    sim::AccountDatabase& local_accounts() { return sim::account_database(*net, net->local()); }
    bool key_exists(StringView path) {
        Dispatch r = client::create(u"Vorlek.Registry");
        r.call(u"OpenRegistry", {kHklm});
        const bool found = r.call(u"OpenRegKey", {0x20019, String(path)}).to_long() == 0;
        r.call(u"CloseRegKey");
        return found;
    }
    String sample_text() {
        return client::create(u"Vorlek.Registry")
            .call(u"GetRegValueSZ", {u"", u"HKEY_LOCAL_MACHINE\\" + kSamples, u"Text", u"(none)"})
            .to_string();
    }
    // A Registry with the sample key open for everything.
    static void open_samples(const Dispatch& r) {
        r.call(u"OpenRegistry", {kHklm});
        ASSERT_EQ(r.call(u"OpenRegKey", {kAllAccess, kSamples}).to_long(), 0);
    }
    static String close(const Dispatch& r, String seen) {
        r.call(u"CloseRegKey");
        r.call(u"CloseRegistry");
        return seen;
    }
};

TEST_F(NulTextTest, EveryMemberRefusesAndActsOnNothing) {
    set_privilege(u"SeBackupPrivilege", true);
    set_privilege(u"SeRestorePrivilege", true);
    const String machine = net->local().name;
    std::vector<Case> cases = {
        // Stringer: a variable that cannot be read gives the default.
        {"ReplaceEnvVars", u"Vorlek.Stringer",
         [](const Dispatch& o) {
             return o.call(u"ReplaceEnvVars", {u"%" + nul(u"OS") + u"%", u"dflt"}).to_string();
         },
         u"dflt"},

        // DllClass
        {"GetDomSID", u"Vorlek.DllClass",
         [](const Dispatch& o) {
             return with(o.call(u"GetDomSID", {u"", nul(u"Administrators"), u"dflt"}), o);
         },
         u"dflt 0"},
        {"GetDomSIDArray", u"Vorlek.DllClass",
         [](const Dispatch& o) {
             return with(o.call(u"GetDomSIDArray", {u"", nul(u"Administrators")}), o);
         },
         u" 123"},
        {"GetDomName machine", u"Vorlek.DllClass",
         [](const Dispatch& o) {
             return with(o.call(u"GetDomName", {nul(u"DC01"), u"S-1-5-32-544", u"dflt"}), o);
         },
         u"dflt 123"},
        {"FormatAPIMessage file", u"Vorlek.DllClass",
         [](const Dispatch& o) {
             return with(o.call(u"FormatAPIMessage", {1, u"dflt", nul(u"C:\\vorlekmsg.dll")}), o);
         },
         u"dflt 0"},
        {"EndWindows machine", u"Vorlek.DllClass",
         [](const Dispatch& o) {
             return with(o.call(u"EndWindows", {nul(u"DC01"), u"bye"}), o);
         },
         u"123 0"},
        {"EndWindows message", u"Vorlek.DllClass",
         [](const Dispatch& o) {
             return with(o.call(u"EndWindows", {u"", nul(u"bye")}), o);
         },
         u"123 0"},
        // The open is refused; the time format of no device cannot be set.
        {"PlaySound path", u"Vorlek.DllClass",
         [](const Dispatch& o) {
             return with(o.call(u"PlaySound", {nul(u"C:\\WINNT\\Media\\chord.wav")}), o);
         },
         u"281 0"},

        // Computer
        {"InitComputerInfo name", u"Vorlek.Computer",
         [](const Dispatch& o) { return with(o.call(u"InitComputerInfo", {nul(u"DC01")}), o); },
         u"123 0"},
        {"InitComputerInfo server", u"Vorlek.Computer",
         [](const Dispatch& o) {
             return with(o.call(u"InitComputerInfo", {u"*", -1, u"unknown", 4711, nul(u"DC01")}),
                         o);
         },
         u"123 0"},
        {"InitComputerInfo domain", u"Vorlek.Computer",
         [](const Dispatch& o) {
             return with(
                 o.call(u"InitComputerInfo", {u"*", -1, u"unknown", 4711, u"", nul(u"CORP")}), o);
         },
         u"123 0"},
        {"GetPDCName", u"Vorlek.Computer",
         [](const Dispatch& o) {
             return with(o.call(u"GetPDCName", {u"", nul(u"CORP"), u"ERROR"}), o);
         },
         u"ERROR 123"},
        {"GetDCName", u"Vorlek.Computer",
         [](const Dispatch& o) {
             return with(o.call(u"GetDCName", {nul(u"DC01"), u"CORP", u"none"}), o);
         },
         u"none 123"},
        {"CompComment", u"Vorlek.Computer",
         [](const Dispatch& o) {
             o.let(u"CompComment", nul(u"changed"));
             return o.get(u"LastError").to_string();
         },
         u"123"},

        // UserManager
        {"GetUserInfo", u"Vorlek.UserManager",
         [](const Dispatch& o) {
             return with(o.call(u"GetUserInfo", {nul(u"tnguyen"), u"DC01"}), o, u"Valid");
         },
         u"123 False"},
        {"DeleteUser", u"Vorlek.UserManager",
         [](const Dispatch& o) {
             return o.call(u"DeleteUser", {nul(u"tnguyen"), u"DC01"}).to_string();
         },
         u"123"},
        {"InitUsers computer", u"Vorlek.UserManager",
         [](const Dispatch& o) { return o.call(u"InitUsers", {nul(u"DC01")}).to_string(); },
         u"123"},
        {"InitUsers group", u"Vorlek.UserManager",
         [](const Dispatch& o) {
             return o.call(u"InitUsers", {u"DC01", 2, nul(u"Sales")}).to_string();
         },
         u"123"},
        {"GetSeparateInfos", u"Vorlek.UserManager",
         [](const Dispatch& o) {
             o.call(u"GetUserInfo", {u"tnguyen", u"DC01"});
             return o.call(u"GetSeparateInfos", {nul(u"DC01")}).to_string();
         },
         u"123"},
        {"Create", u"Vorlek.UserManager",
         [](const Dispatch& o) {
             o.let(u"Computer", u"DC01");
             o.let(u"UserName", nul(u"tnguyen"));
             o.let(u"Password", u"Secret#1");
             return o.call(u"Create").to_string();
         },
         u"123"},

        // GroupManager
        {"GetGroupInfo", u"Vorlek.GroupManager",
         [](const Dispatch& o) {
             return with(o.call(u"GetGroupInfo", {nul(u"Sales"), u"DC01"}), o, u"Valid");
         },
         u"123 False"},
        {"DeleteGroup", u"Vorlek.GroupManager",
         [](const Dispatch& o) {
             return o.call(u"DeleteGroup", {nul(u"Sales"), u"DC01"}).to_string();
         },
         u"123"},
        {"InitGroups computer", u"Vorlek.GroupManager",
         [](const Dispatch& o) { return o.call(u"InitGroups", {nul(u"DC01")}).to_string(); },
         u"123"},
        {"InitGroups local group", u"Vorlek.GroupManager",
         [](const Dispatch& o) {
             return o.call(u"InitGroups", {u"DC01", nul(u"File Readers")}).to_string();
         },
         u"123"},
        {"InitGroups user", u"Vorlek.GroupManager",
         [](const Dispatch& o) {
             return o.call(u"InitGroups", {u"DC01", u"", nul(u"tnguyen")}).to_string();
         },
         u"123"},
        {"Create", u"Vorlek.GroupManager",
         [](const Dispatch& o) {
             o.let(u"Computer", u"DC01");
             o.let(u"GroupName", nul(u"Sales"));
             return o.call(u"Create").to_string();
         },
         u"123"},
        {"Create comment", u"Vorlek.GroupManager",
         [](const Dispatch& o) {
             o.let(u"Computer", u"DC01");
             o.let(u"GroupName", u"Project X");
             o.let(u"GroupComment", nul(u"secret"));
             return o.call(u"Create").to_string();
         },
         u"123"},

        // ModalsManager
        {"GetModalsInfo", u"Vorlek.ModalsManager",
         [](const Dispatch& o) {
             return with(o.call(u"GetModalsInfo", {nul(u"DC01")}), o, u"Valid");
         },
         u"123 False"},

        // Registry
        {"OpenRegistry", u"Vorlek.Registry",
         [](const Dispatch& o) {
             return o.call(u"OpenRegistry", {kHklm, nul(u"DC01")}).to_string();
         },
         u"123"},
        {"OpenRegKey", u"Vorlek.Registry",
         [](const Dispatch& o) {
             o.call(u"OpenRegistry", {kHklm});
             return close(o, o.call(u"OpenRegKey", {kAllAccess, nul(u"SOFTWARE")}).to_string());
         },
         u"123"},
        {"SetRegValue", u"Vorlek.Registry",
         [](const Dispatch& o) {
             open_samples(o);
             return close(o, o.call(u"SetRegValue", {nul(u"Text"), 1, u"changed"}).to_string());
         },
         u"123"},
        {"GetRegValueInfo", u"Vorlek.Registry",
         [](const Dispatch& o) {
             open_samples(o);
             return close(o, o.call(u"GetRegValueInfo", {nul(u"Text")}).to_string());
         },
         u"123"},
        {"DeleteRegValue", u"Vorlek.Registry",
         [](const Dispatch& o) {
             open_samples(o);
             return close(o, o.call(u"DeleteRegValue", {nul(u"Text")}).to_string());
         },
         u"123"},
        {"DeleteRegSubKey", u"Vorlek.Registry",
         [](const Dispatch& o) {
             o.call(u"OpenRegistry", {kHklm});
             o.call(u"OpenRegKey", {kAllAccess, u"SOFTWARE\\Vorlek"});
             return close(o, o.call(u"DeleteRegSubKey", {nul(u"Samples")}).to_string());
         },
         u"123"},
        {"CreateRegSubKey", u"Vorlek.Registry",
         [](const Dispatch& o) {
             open_samples(o);
             return close(o, o.call(u"CreateRegSubKey", {nul(u"New")}).to_string());
         },
         u"123"},
        {"CreateRegSubKey class", u"Vorlek.Registry",
         [](const Dispatch& o) {
             open_samples(o);
             return close(o, o.call(u"CreateRegSubKey", {u"New", false, nul(u"cls")}).to_string());
         },
         u"123"},
        {"SaveRegKey", u"Vorlek.Registry",
         [](const Dispatch& o) {
             open_samples(o);
             return close(o, o.call(u"SaveRegKey", {nul(u"C:\\saved.hiv")}).to_string());
         },
         u"123"},
        {"LoadRegKey file", u"Vorlek.Registry",
         [](const Dispatch& o) {
             o.call(u"OpenRegistry", {kHklm});
             return close(o, o.call(u"LoadRegKey", {nul(u"C:\\saved.hiv"), u"New"}).to_string());
         },
         u"123"},
        {"LoadRegKey key", u"Vorlek.Registry",
         [](const Dispatch& o) {
             o.call(u"OpenRegistry", {kHklm});
             return close(o, o.call(u"LoadRegKey", {u"C:\\saved.hiv", nul(u"New")}).to_string());
         },
         u"123"},
        {"UnloadRegKey", u"Vorlek.Registry",
         [](const Dispatch& o) {
             o.call(u"OpenRegistry", {kHklm});
             return close(o, o.call(u"UnloadRegKey", {nul(u"SOFTWARE")}).to_string());
         },
         u"123"},
        {"RestoreRegKey", u"Vorlek.Registry",
         [](const Dispatch& o) {
             open_samples(o);
             return close(o, o.call(u"RestoreRegKey", {nul(u"C:\\saved.hiv")}).to_string());
         },
         u"123"},
        {"GetRegValueSZ value", u"Vorlek.Registry",
         [](const Dispatch& o) {
             return o
                 .call(u"GetRegValueSZ",
                       {u"", u"HKEY_LOCAL_MACHINE\\" + kSamples, nul(u"Text"), u"dflt"})
                 .to_string();
         },
         u"dflt"},
        {"GetRegValueSZ key", u"Vorlek.Registry",
         [](const Dispatch& o) {
             return o
                 .call(u"GetRegValueSZ",
                       {u"", u"HKEY_LOCAL_MACHINE\\" + nul(kSamples), u"Text", u"dflt"})
                 .to_string();
         },
         u"dflt"},
        {"GetRegValueSZ computer", u"Vorlek.Registry",
         [](const Dispatch& o) {
             return o
                 .call(u"GetRegValueSZ",
                       {nul(u"DC01"), u"HKEY_LOCAL_MACHINE\\" + kSamples, u"Text", u"dflt"})
                 .to_string();
         },
         u"dflt"},
        {"SetRegValueSZ value", u"Vorlek.Registry",
         [](const Dispatch& o) {
             return o
                 .call(u"SetRegValueSZ",
                       {u"", u"HKEY_LOCAL_MACHINE\\" + kSamples, nul(u"Text"), u"changed", 1})
                 .to_string();
         },
         u"0"},
        {"SetRegValueSZ value of a new key", u"Vorlek.Registry",
         [](const Dispatch& o) {
             return o
                 .call(u"SetRegValueSZ",
                       {u"", u"HKEY_LOCAL_MACHINE\\SOFTWARE\\New", nul(u"Text"), u"x", 1})
                 .to_string();
         },
         u"0"},
        {"SetRegValueSZ key", u"Vorlek.Registry",
         [](const Dispatch& o) {
             return o
                 .call(u"SetRegValueSZ",
                       {u"", u"HKEY_LOCAL_MACHINE\\" + nul(u"SOFTWARE\\New"), u"Text", u"x", 1})
                 .to_string();
         },
         u"0"},

        // Service
        {"GetServiceInfo", u"Vorlek.Service",
         [](const Dispatch& o) { return with(o.call(u"GetServiceInfo", {nul(u"Spooler")}), o); },
         u"0 123"},
        {"GetServiceInfo computer", u"Vorlek.Service",
         [machine](const Dispatch& o) {
             return with(o.call(u"GetServiceInfo", {u"Spooler", nul(machine)}), o);
         },
         u"0 123"},
        {"GetDisplayName", u"Vorlek.Service",
         [](const Dispatch& o) {
             return with(o.call(u"GetDisplayName", {nul(u"Spooler"), Variant(), u"none"}), o);
         },
         u"none 123"},
        {"GetServiceName", u"Vorlek.Service",
         [](const Dispatch& o) {
             return with(o.call(u"GetServiceName", {nul(u"Print Spooler"), Variant(), u"none"}), o);
         },
         u"none 123"},
        {"RemoveService", u"Vorlek.Service",
         [](const Dispatch& o) { return with(o.call(u"RemoveService", {nul(u"Spooler")}), o); },
         u"0 123"},
        {"InitServices", u"Vorlek.Service",
         [machine](const Dispatch& o) {
             return with(o.call(u"InitServices", {48, nul(machine)}), o);
         },
         u"0 123"},
        {"InitServiceDB", u"Vorlek.Service",
         [machine](const Dispatch& o) { return with(o.call(u"InitServiceDB", {nul(machine)}), o); },
         u"0 123"},

        // Eventer
        {"InitReadEvents log", u"Vorlek.Eventer",
         [](const Dispatch& o) {
             return o.call(u"InitReadEvents", {u"", nul(u"System")}).to_string();
         },
         u"123"},
        {"InitReadEvents computer", u"Vorlek.Eventer",
         [machine](const Dispatch& o) {
             return o.call(u"InitReadEvents", {nul(machine)}).to_string();
         },
         u"123"},
        {"InitReadEvents file", u"Vorlek.Eventer",
         [](const Dispatch& o) {
             return o.call(u"InitReadEvents", {}, {{u"strFile", nul(u"C:\\saved.evt")}})
                 .to_string();
         },
         u"123"},
        {"WriteEvent source", u"Vorlek.Eventer",
         [](const Dispatch& o) {
             return o.call(u"WriteEvent", {int16_t{1}, 1, nul(u"Vorlek"), int16_t{0}, u"x"})
                 .to_string();
         },
         u"123"},
        {"SaveEventLog file", u"Vorlek.Eventer",
         [](const Dispatch& o) {
             return o.call(u"SaveEventLog", {nul(u"C:\\saved.evt")}).to_string();
         },
         u"123"},
        {"SaveEventLog log", u"Vorlek.Eventer",
         [](const Dispatch& o) {
             return o.call(u"SaveEventLog", {u"C:\\saved.evt", u"", nul(u"System")}).to_string();
         },
         u"123"},
        {"CleanEventLog backup file", u"Vorlek.Eventer",
         [](const Dispatch& o) {
             return o.call(u"CleanEventLog", {nul(u"C:\\saved.evt")}).to_string();
         },
         u"123"},

        // Sharer
        {"InitShares machine", u"Vorlek.Sharer",
         [](const Dispatch& o) { return o.call(u"InitShares", {nul(u"SRV01")}).to_string(); },
         u"123"},
        {"GetShareInfo share", u"Vorlek.Sharer",
         [](const Dispatch& o) {
             return o.call(u"GetShareInfo", {u"SRV01", nul(u"public")}).to_string();
         },
         u"123"},
        {"Create path", u"Vorlek.Sharer",
         [](const Dispatch& o) {
             o.let(u"Computer", u"SRV01");
             o.let(u"ShName", u"made");
             o.let(u"ShPath", nul(u"D:\\Public"));
             return o.call(u"Create").to_string();
         },
         u"123"},
        {"RemoveShare share", u"Vorlek.Sharer",
         [](const Dispatch& o) {
             return o.call(u"RemoveShare", {u"SRV01", nul(u"public")}).to_string();
         },
         u"123"},
        {"ShRemark let", u"Vorlek.Sharer",
         [](const Dispatch& o) {
             o.call(u"GetShareInfo", {u"SRV01", u"public"});
             o.let(u"ShRemark", nul(u"changed"));
             return o.get(u"LastError").to_string() + u" " + o.get(u"ShRemark").to_string();
         },
         u"123 Public files"},
        {"NetUse device", u"Vorlek.Sharer",
         [](const Dispatch& o) {
             return o.call(u"NetUse", {nul(u"X:"), u"\\\\SRV01\\public"}).to_string();
         },
         u"123"},
        {"NetUseDel device", u"Vorlek.Sharer",
         [](const Dispatch& o) { return o.call(u"NetUseDel", {nul(u"X:")}).to_string(); }, u"123"},

        // Consoler
        {"ConsoleTitle", u"Vorlek.Consoler",
         [](const Dispatch& o) {
             o.let(u"ConsoleTitle", nul(u"Vorlek"));
             return o.get(u"ConsoleLastError").to_string();
         },
         u"123"},

        // Process
        {"SetMyTokenPrivileges", u"Vorlek.Process",
         [](const Dispatch& o) {
             return o.call(u"SetMyTokenPrivileges", {nul(u"SeDebugPrivilege"), true}).to_string();
         },
         u"123"},
        {"StartProcess command line", u"Vorlek.Process",
         [](const Dispatch& o) {
             return o.call(u"StartProcess", {nul(u"notepad.exe")}).to_string();
         },
         u"123"},
        {"StartProcess user", u"Vorlek.Process",
         [](const Dispatch& o) {
             return o.call(u"StartProcess", {u"notepad.exe", 0, true, nul(u"support"), u"pw"})
                 .to_string();
         },
         u"123"},
        {"StartProcess password", u"Vorlek.Process",
         [](const Dispatch& o) {
             return o.call(u"StartProcess", {u"notepad.exe", 0, true, u"support", nul(u"pw")})
                 .to_string();
         },
         u"123"},
        {"StartProcess domain", u"Vorlek.Process",
         [](const Dispatch& o) {
             return o.call(u"StartProcess", {u"notepad.exe", 0, true, u"support", u"pw", nul(u".")})
                 .to_string();
         },
         u"123"},
        {"StartProcess command line as a user", u"Vorlek.Process",
         [](const Dispatch& o) {
             return o
                 .call(u"StartProcess",
                       {nul(u"notepad.exe"), 0, true, u"support", u"pw", u".", true, u""})
                 .to_string();
         },
         u"123"},
        {"StartProcess profile", u"Vorlek.Process",
         [](const Dispatch& o) {
             return o
                 .call(u"StartProcess", {u"notepad.exe", 0, true, u"support", u"pw", u".", true,
                                         nul(u"C:\\profile")})
                 .to_string();
         },
         u"123"},
    };
    const auto user = [](const Dispatch& o) { o.call(u"GetUserInfo", {u"tnguyen", u"DC01"}); };
    const auto group = [](const Dispatch& o) { o.call(u"GetGroupInfo", {u"Sales", u"DC01"}); };
    const auto service = [](const Dispatch& o) { o.call(u"GetServiceInfo", {u"Spooler"}); };
    const Let lets[] = {
        {u"Vorlek.UserManager",
         user,
         {u"UserName", u"UserComment", u"UserDescription", u"UserFullName", u"Workstations",
          u"Parameters", u"ProfilePath", u"HomeDirectory", u"LogonScriptPath"}},
        {u"Vorlek.UserManager", user, {u"Password"}, false},
        {u"Vorlek.GroupManager", group, {u"GroupName", u"GroupComment"}},
        {u"Vorlek.Service", service, {u"DisplayName", u"BinaryPathName"}},
    };
    for (const Let& l : lets) {
        for (const char16_t* property : l.properties) {
            cases.push_back(
                {"let " + to_utf8(property), l.progid,
                 [l, property](const Dispatch& o) {
                     l.load(o);
                     const String before = l.readable ? o.get(property).to_string() : String();
                     o.let(property, nul(u"changed"));
                     const String after = l.readable ? o.get(property).to_string() : String();
                     return o.get(u"LastError").to_string() + (after == before ? u"" : u" changed");
                 },
                 u"123"});
        }
    }
    // The account of a service: name and password go together.
    cases.push_back({"let ServiceStartName", u"Vorlek.Service",
                     [service](const Dispatch& o) {
                         service(o);
                         o.let(u"ServicePassword", u"pw");
                         o.let(u"ServiceStartName", nul(u".\\support"));
                         return with(o.get(u"ServiceStartName"), o);
                     },
                     u"LocalSystem 123"});
    cases.push_back({"let ServicePassword", u"Vorlek.Service",
                     [service](const Dispatch& o) {
                         service(o);
                         o.let(u"ServiceStartName", u".\\support");
                         o.let(u"ServicePassword", nul(u"pw"));
                         return with(o.get(u"ServiceStartName"), o);
                     },
                     u"LocalSystem 123"});

    local_accounts().user(u"support")->password = u"pw";
    const size_t station_entries =
        sim::process_table(*net, net->local()).window_station.access.size();
    const size_t desktop_entries = sim::process_table(*net, net->local()).desktop.access.size();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const size_t handles = net->handles().open_count();
        {
            Dispatch o = client::create(c.progid);
            EXPECT_EQ(c.call(o), c.expected);
        }
        EXPECT_EQ(net->handles().open_count(), handles);
    }

    // What the cut texts name is as it was.
    EXPECT_TRUE(corp().user(u"tnguyen"));
    EXPECT_TRUE(corp().find(u"Sales"));
    EXPECT_FALSE(corp().find(u"Project X"));
    EXPECT_TRUE(key_exists(kSamples));
    EXPECT_FALSE(key_exists(kSamples + u"\\New"));
    EXPECT_FALSE(key_exists(u"SOFTWARE\\New"));
    EXPECT_EQ(sample_text(), u"Hello, registry");
    EXPECT_FALSE(net->local().files.count(u"C:\\saved.hiv"));
    EXPECT_FALSE(net->local().files.count(u"C:\\saved.evt"));
    Dispatch events = client::create(u"Vorlek.Eventer");
    EXPECT_EQ(
        events.call(u"InitReadEvents", {}, {{u"lngID", 1}, {u"strSource", u"Vorlek"}}).to_long(),
        0);
    const int32_t application = events.get(u"EventRecordsNum").to_long();
    EXPECT_GT(application, 0);  // not cleared
    EXPECT_EQ(client::create(u"Vorlek.Computer").get(u"CompComment").to_string(), u"");
    Dispatch spooler = client::create(u"Vorlek.Service");
    EXPECT_EQ(spooler.call(u"GetServiceInfo", {u"Spooler"}).to_long(), 1);
    EXPECT_EQ(spooler.get(u"CurrentState").to_string(), u"SERVICE_RUNNING");
    const sim::ProcessesState& processes = sim::process_table(*net, net->local());
    EXPECT_TRUE(processes.shutdowns.empty());
    EXPECT_TRUE(processes.profiles_loaded.empty());
    EXPECT_EQ(processes.window_station.access.size(), station_entries);
    EXPECT_EQ(processes.desktop.access.size(), desktop_entries);
    EXPECT_TRUE(sim::process_table(*net, *net->find(u"DC01")).shutdowns.empty());
}

}  // namespace
}  // namespace vorlek
