// The networks a new user, the demo and the tests start from.
#include <cstring>

#include "platform/little_endian.h"
#include "platform/sim/messages.h"
#include "platform/sim/network.h"
#include "platform/sim/security.h"
#include "platform/sim/shares.h"

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
    m.security.user = String(user);
}

// 2024-07-15 08:30:00 UTC: summer, so local time shows the daylight bias.
constexpr platform::FileTime kPresetClock = 133655058000000000;

// A short wave file: `samples` frames of 8-bit mono at 22050 Hz, a rising tone.
std::vector<uint8_t> wave_file(uint32_t samples) {
    constexpr uint32_t kRate = 22050;
    std::vector<uint8_t> b(44 + samples);
    uint8_t* p = b.data();
    std::memcpy(p, "RIFF", 4);
    platform::put32(p + 4, 36 + samples);
    std::memcpy(p + 8, "WAVEfmt ", 8);
    platform::put32(p + 16, 16);
    platform::put16(p + 20, 1);  // PCM
    platform::put16(p + 22, 1);  // mono
    platform::put32(p + 24, kRate);
    platform::put32(p + 28, kRate);
    platform::put16(p + 32, 1);
    platform::put16(p + 34, 8);
    std::memcpy(p + 36, "data", 4);
    platform::put32(p + 40, samples);
    for (uint32_t i = 0; i < samples; ++i)
        p[44 + i] = static_cast<uint8_t>(128 + ((i * (1 + i / 2000)) % 64) - 32);
    return b;
}

// One network adapter on the 192.168.1.0 network, host number `host`.
void give_adapter(Machine& m, uint8_t host) {
    m.sockets.adapters.push_back({{192, 168, 1, host}, {0x00, 0xA0, 0xC9, 0x12, 0x34, host}});
}

void standard_machine(Machine& m) {
    m.time.clock = kPresetClock;
    m.files[u"C:\\WINNT\\Media\\chord.wav"] = wave_file(11025);  // half a second
    m.files[u"C:\\WINNT\\Media\\ding.wav"] = wave_file(4410);
    m.time.zone = central_european_zone();
    for (const MessageFileImage& file : message_files())
        m.files[String(kSystemFolder) + String(file.name)] =
            std::vector<uint8_t>(file.bytes.begin(), file.bytes.end());
}

namespace sv = platform::sv_type;
constexpr uint32_t kNtWorkstation = sv::kWorkstation | sv::kNt | sv::kPotentialBrowser;
constexpr uint32_t kNtServer =
    sv::kWorkstation | sv::kServer | sv::kNt | sv::kServerNt | sv::kDomainMember;

namespace uf = platform::uf;
namespace rid = platform::sid::rid;

constexpr uint32_t kPerson = uf::kScript | uf::kNormalAccount;
constexpr platform::FileTime kSecond = 10'000'000;
constexpr platform::FileTime kDay = 86400 * kSecond;
// 2024-07-15 08:30:00 UTC in seconds since 1970.
constexpr uint32_t kPresetUnixTime = 1721032200;

// Logon hours of office staff: Monday to Friday, 06:00 to 18:00 UTC.
std::vector<uint8_t> office_hours() {
    std::vector<uint8_t> bits(platform::kLogonHoursBytes, 0);
    for (int day = 1; day <= 5; ++day) {
        for (int hour = 6; hour < 18; ++hour) {
            const int unit = day * 24 + hour;
            bits[static_cast<size_t>(unit / 8)] |= static_cast<uint8_t>(1u << (unit % 8));
        }
    }
    return bits;
}

struct Person {
    StringView name;
    StringView full_name;
    StringView comment;
    uint32_t extra_flags;  // on top of a normal account with its logon script
    int password_days;     // days since the password was set
    StringView groups;     // global groups besides Domain Users, ";"-separated
};

// The people of CORP, in the order their accounts were made (RIDs from 1005,
// after the five groups of their departments).
constexpr Person kCorpPeople[] = {
    {u"jsmith", u"John Smith", u"IT manager", 0, 12, u"Domain Admins;IT Staff"},
    {u"mmueller", u"Maria M\u00FCller", u"Sales", 0, 30, u"Sales"},
    {u"pdubois", u"Pierre Dubois", u"Sales", 0, 95, u"Sales"},
    {u"akowalski", u"Anna Kowalski", u"Accounting", 0, 5, u"Accounting"},
    {u"tnguyen", u"Tran Nguyen", u"Engineering", 0, 40, u"Engineering"},
    {u"rgarcia", u"Rosa Garcia", u"Engineering", 0, 60, u"Engineering"},
    {u"bjohnson", u"Bob Johnson", u"Help desk", 0, 20, u"Helpdesk;IT Staff"},
    {u"lchen", u"Li Chen", u"Help desk", 0, 2, u"Helpdesk;IT Staff"},
    {u"kwilliams", u"Karen Williams", u"Left the company", uf::kAccountDisable, 200, u"Sales"},
    {u"dbrown", u"David Brown", u"Locked out after bad passwords", uf::kLockout, 10,
     u"Engineering"},
    {u"contractor1", u"Temporary contractor", u"Account expired", 0, 100, u"Engineering"},
    {u"reception", u"Reception desk", u"Office hours only", uf::kPasswordCantChange, 50, u""},
    {u"svc_backup", u"Backup service", u"Runs the nightly backup", uf::kDontExpirePassword, 400,
     u""},
    {u"svc_sql", u"SQL service", u"Database service account", uf::kDontExpirePassword, 400, u""},
    {u"printadmin", u"Print administrator", u"", 0, 15, u"IT Staff"},
    {u"hwagner", u"Hans Wagner", u"Accounting", 0, 70, u"Accounting"},
    {u"ssato", u"Sachiko Sato", u"Engineering", 0, 8, u"Engineering"},
    {u"olduser", u"Former employee", u"", 0, 300, u""},
};

struct MachineAccount {
    StringView name;
    uint32_t type;
};
constexpr MachineAccount kCorpMachines[] = {
    {u"DC02$", uf::kServerTrustAccount},        {u"SRV01$", uf::kWorkstationTrustAccount},
    {u"SRV02$", uf::kWorkstationTrustAccount},  {u"SRV03$", uf::kWorkstationTrustAccount},
    {u"WS0001$", uf::kWorkstationTrustAccount}, {u"WS0002$", uf::kWorkstationTrustAccount},
    {u"WS0003$", uf::kWorkstationTrustAccount}, {u"PARTNER$", uf::kInterdomainTrustAccount},
};

// The accounts of domain CORP, on its primary controller (the backup shares them).
void corp_accounts(Network& net) {
    Machine& dc01 = *net.find(u"DC01");
    AccountDatabase& db = account_database(net, dc01);
    const platform::FileTime now = dc01.time.clock;
    db.policy.min_passwd_len = 8;
    db.policy.max_passwd_age = 90 * 86400;
    db.policy.min_passwd_age = 86400;
    db.policy.password_hist_len = 5;
    db.policy.lockout_threshold = 5;

    const struct {
        StringView name;
        StringView comment;
    } groups[] = {
        {u"IT Staff", u"Information technology"},  {u"Sales", u"Sales department"},
        {u"Accounting", u"Accounting department"}, {u"Engineering", u"Engineering department"},
        {u"Helpdesk", u"First-level support"},
    };
    for (const auto& g : groups)
        db.add_group(g.name, db.next_rid, g.comment);

    for (const Person& p : kCorpPeople) {
        UserAccount& u = db.add_user(p.name, db.next_rid, kPerson | p.extra_flags);
        u.info.full_name = String(p.full_name);
        u.info.comment = String(p.comment);
        u.info.script_path = u"logon.cmd";
        u.info.home_dir = u"\\\\SRV01\\home\\" + String(p.name);
        u.info.home_dir_drive = u"H:";
        u.info.profile = u"\\\\SRV01\\profiles\\" + String(p.name);
        u.password = u"Secret#" + String(p.name);
        u.password_set = now - static_cast<platform::FileTime>(p.password_days) * kDay;
        const uint32_t id = u.info.user_id;
        for (StringView rest = p.groups; !rest.empty();) {
            const size_t semi = rest.find(u';');
            const StringView g = rest.substr(0, semi);
            db.join(db.find(g)->second, id);
            rest = semi == StringView::npos ? StringView() : rest.substr(semi + 1);
        }
    }
    db.user(u"contractor1")->info.acct_expires = kPresetUnixTime - 14 * 86400;
    UserAccount& reception = *db.user(u"reception");
    reception.info.logon_hours = office_hours();
    reception.info.workstations = u"WS0002";
    db.user(u"pdubois")->must_change = true;

    for (const auto& m : kCorpMachines) {
        UserAccount& u = db.add_user(m.name, db.next_rid, uf::kScript | m.type);
        u.password_set = now - 7 * kDay;
    }

    // Operators and the domain's own local groups.
    auto sid_named = [&](StringView name) { return db.domain_sid.with_rid(db.find(name)->second); };
    db.builtin[rid::kAccountOps].members.push_back(sid_named(u"Helpdesk"));
    db.builtin[rid::kPrintOps].members.push_back(sid_named(u"printadmin"));
    db.builtin[rid::kBackupOps].members.push_back(sid_named(u"svc_backup"));
    LocalGroup& readers =
        db.add_alias(u"File Readers", db.next_rid, u"Read access to the file shares", false);
    readers.members = {sid_named(u"Sales"), sid_named(u"Engineering"), sid_named(u"hwagner"),
                       platform::sid::everyone()};

    // Each controller counts logons for itself.
    Machine& dc02 = *net.find(u"DC02");
    const uint32_t jsmith = db.user(u"jsmith")->info.user_id;
    dc01.accounts.counters[jsmith] = {0, 412, kPresetUnixTime - 3600, kPresetUnixTime - 7200};
    dc02.accounts.counters[jsmith] = {1, 97, kPresetUnixTime - 90000, kPresetUnixTime - 86000};
    // dbrown locked himself out on DC01 ten minutes ago (the lockout lasts half an hour).
    UserAccount& locked = *db.user(u"dbrown");
    const uint32_t dbrown = locked.info.user_id;
    locked.locked_at = now - 600 * kSecond;
    dc01.accounts.counters[dbrown] = {5, 150, kPresetUnixTime - 86400 * 3, 0, locked.locked_at};
    dc02.accounts.counters[dbrown] = {2, 40, kPresetUnixTime - 86400 * 4, 0};
}

// WS0001, a member workstation: local accounts, and local groups that hold
// accounts of CORP, one that was removed since and one of a domain nobody knows.
void ws0001_accounts(Network& net) {
    Machine& ws = *net.find(u"WS0001");
    AccountDatabase& db = account_database(net, ws);
    AccountDatabase& corp = *domain_database(net, u"CORP");
    const platform::FileTime now = ws.time.clock;
    UserAccount& support = db.add_user(u"support", db.next_rid, kPerson);
    support.info.full_name = u"Local support";
    support.password_set = now - 3 * kDay;
    UserAccount& kiosk = db.add_user(u"kiosk", db.next_rid, kPerson | uf::kDontExpirePassword);
    kiosk.info.comment = u"Shop-window display";
    kiosk.password_set = now - 500 * kDay;
    UserAccount& test = db.add_user(u"test", db.next_rid, kPerson | uf::kAccountDisable);
    test.password_set = now - 60 * kDay;
    for (uint32_t id : {support.info.user_id, kiosk.info.user_id, test.info.user_id})
        db.builtin[rid::kUsers].members.push_back(db.domain_sid.with_rid(id));
    db.builtin[rid::kPowerUsers].members = {
        db.domain_sid.with_rid(support.info.user_id),
        corp.domain_sid.with_rid(corp.find(u"Helpdesk")->second)};

    const platform::Sid old = corp.domain_sid.with_rid(corp.find(u"olduser")->second);
    auto& admins = db.builtin[rid::kAdmins].members;
    admins.push_back(corp.domain_sid.with_rid(corp.find(u"jsmith")->second));
    admins.push_back(old);
    admins.push_back(platform::sid::account_domain(1, 2, 3).with_rid(1105));
    corp.remove_user(old.rid());
}

// The shares of the file server and the print server, with their folders,
// the rights of their lists and the printers behind the printer shares.
void corp_shares(Network& net) {
    namespace sh = platform::share;
    using platform::Ace;
    using platform::SecurityDescriptor;
    AccountDatabase& corp = *domain_database(net, u"CORP");
    auto corp_sid = [&](StringView name) {
        return corp.domain_sid.with_rid(corp.find(name)->second);
    };
    const platform::Sid admins = platform::sid::builtin_alias(rid::kAdmins);
    const platform::Sid everyone = platform::sid::everyone();
    // Full control, change and read of a share; print, manage documents and
    // full control of a printer.
    constexpr uint32_t kFull = 0x1F01FF, kChange = 0x1301BF, kRead = 0x1200A9;
    constexpr uint32_t kPrint = 0x20008, kManageDocuments = 0x30000, kManagePrinter = 0xF000C;
    auto list = [&](std::vector<Ace> aces) {
        SecurityDescriptor sd;
        sd.owner = admins;
        sd.group = platform::sid::local_system();
        sd.dacl = platform::Acl{platform::Acl::kRevision, std::move(aces)};
        return sd;
    };
    auto add = [&](Machine& m, StringView name, uint32_t type, StringView remark, StringView path,
                   std::optional<SecurityDescriptor> sd) -> SimShare& {
        SimShare s;
        s.name = String(name);
        s.type = type;
        s.remark = String(remark);
        s.path = String(path);
        s.security = std::move(sd);
        if (type == sh::kDiskTree) m.files[String(path) + u"\\readme.txt"] = {'h', 'i'};
        return shares_state(net, m).shares[to_upper(name)] = std::move(s);
    };
    const uint8_t deny = platform::ace::kAccessDenied;
    Machine& srv01 = *net.find(u"SRV01");
    add(srv01, u"public", sh::kDiskTree, u"Public files", u"D:\\Public", std::nullopt);
    add(srv01, u"home", sh::kDiskTree, u"Home folders", u"D:\\Home",
        list({{0, 0, kFull, admins}, {0, 0, kChange, corp_sid(u"Domain Users")}}));
    add(srv01, u"profiles", sh::kDiskTree, u"Roaming profiles", u"D:\\Profiles",
        list({{0, 0, kFull, admins}, {0, 0, kFull, everyone}}));
    SimShare& sales = add(srv01, u"sales", sh::kDiskTree, u"Sales department", u"D:\\Sales",
                          list({{0, 0, kChange, corp_sid(u"Sales")},
                                {0, 0, kRead, corp_sid(u"File Readers")},
                                {deny, 0, kFull, corp_sid(u"kwilliams")},
                                {0, 0, kFull, admins}}));
    sales.max_uses = 10;
    srv01.shares.local_drives = u"ACD";

    Machine& srv02 = *net.find(u"SRV02");
    const SecurityDescriptor printer =
        list({{0, 0, kPrint, everyone},
              {0, 0, kManagePrinter, admins},
              {0, 0, kManagePrinter, platform::sid::builtin_alias(rid::kPowerUsers)},
              {0, 0, kManageDocuments, corp_sid(u"Helpdesk")}});
    const struct {
        StringView share, printer, remark, driver, port;
    } printers[] = {
        {u"LaserJet", u"LaserJet 4 Floor 2", u"Second floor, by the kitchen", u"HP LaserJet 4",
         u"LPT1:"},
        {u"ColorJet", u"Color LaserJet Sales", u"Sales office", u"HP Color LaserJet",
         u"IP_10.0.0.41"},
    };
    for (const auto& p : printers) {
        SimShare& s = add(srv02, p.share, sh::kPrintQueue, p.remark, p.printer, std::nullopt);
        s.driver = String(p.driver);
        s.port = String(p.port);
        s.printer_security = printer;
    }
}

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
        give_adapter(machine, static_cast<uint8_t>(10 + (&m - members)));
    }
    // The local machine is also on a dial-up line to the head office, and
    // has a second adapter for it.
    local.sockets.adapters.push_back({{10, 8, 0, 17}, {0x00, 0x53, 0x45, 0x00, 0x00, 0x00}});
    local.ras.connections = {u"Zentrale"};
    corp_accounts(*net);
    ws0001_accounts(*net);
    corp_shares(*net);
    net->find(u"SRV03")->reachable = false;
    Machine& lab = net->add_machine(u"LABPC1");
    standard_environment(lab, u"Administrator", u"LABPC1");
    standard_machine(lab);
    join(lab, u"LAB", kNtWorkstation, u"Lab");
    give_adapter(lab, 50);
    lab.netbios.installed = false;
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
