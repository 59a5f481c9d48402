// The simulated registry's contract: statuses of the real calls, sizes and
// 234, handles by access, remote roots, key security and its inheritance,
// hive files loaded, unloaded and restored.
#include <gtest/gtest.h>

#include <functional>

#include "tests/support/simulated.h"

#include "platform/registry.h"
#include "platform/sim/accounts.h"
#include "platform/sim/hive_file.h"
#include "platform/sim/registry.h"

namespace vorlek {
namespace {

namespace reg = platform::reg;
namespace hk = platform::hkey;
namespace st = platform::status;
using platform::RegKey;

class RegistryTest : public testing_support::SimulatedTest {
  protected:
    platform::Registry& r = platform::current().registry();

    RegKey open(RegKey parent, StringView path, uint32_t access = reg::kAllAccess) {
        auto k = r.open_key(parent, path, access);
        EXPECT_EQ(k.status, 0u) << to_utf8(path);
        return k.value;
    }
    RegKey create(RegKey parent, StringView path, uint32_t options = 0) {
        auto k = r.create_key(parent, path, u"", options, reg::kAllAccess);
        EXPECT_EQ(k.status, 0u) << to_utf8(path);
        return k.value.key;
    }
    std::vector<uint8_t> bytes(StringView ansi) { return {ansi.begin(), ansi.end()}; }
};

TEST_F(RegistryTest, OpenAnswersAsTheSystemForEachKindOfPath) {
    const String long_name(300, u'x'), with_nul(u"SOFTWARE\0junk", 13);
    struct Case {
        RegKey root;
        StringView path;
        platform::Status status;
    } cases[] = {
        {hk::kLocalMachine, u"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion", 0},
        {hk::kLocalMachine, u"software\\MICROSOFT", 0},  // case does not matter
        {hk::kLocalMachine, u"SOFTWARE\\", 0},           // a trailing separator
        {hk::kLocalMachine, u"SOFTWARE\\\\Microsoft", 0},
        {hk::kLocalMachine, u"\\SOFTWARE", 161},
        {hk::kLocalMachine, u"SOFTWARE\\Nothing", st::kFileNotFound},
        {hk::kLocalMachine, long_name, st::kFileNotFound},
        {hk::kLocalMachine, with_nul, st::kInvalidName},  // read cut short it names SOFTWARE
        {hk::kClassesRoot, u".txt", 0},                   // HKLM\SOFTWARE\Classes
        {hk::kCurrentUser, u"Environment", 0},
        {hk::kCurrentConfig, u"Software", 0},
        {0x1234, u"SOFTWARE", st::kInvalidHandle},
    };
    for (const Case& c : cases) {
        auto k = r.open_key(c.root, c.path, reg::kRead);
        EXPECT_EQ(k.status, c.status) << to_utf8(c.path);
        if (k.ok()) {
            EXPECT_EQ(r.close_key(k.value), 0u);
        }
    }
    EXPECT_EQ(net->handles().open_count(), 0u);
}

TEST_F(RegistryTest, TheDefaultContentAgreesWithTheRestOfTheMachine) {
    auto sz = [&](StringView path, StringView name) {
        RegKey k = open(hk::kLocalMachine, path, reg::kQueryValue);
        auto v = r.query_value(k, name, 4096);
        r.close_key(k);
        EXPECT_EQ(v.status, 0u) << to_utf8(name);
        return String(v.value.data.begin(), v.value.data.end());
    };
    EXPECT_EQ(
        sz(u"SYSTEM\\CurrentControlSet\\Control\\ComputerName\\ComputerName", u"ComputerName"),
        String(u"WS0001\0", 7));
    EXPECT_EQ(sz(u"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion", u"CurrentVersion"),
              String(u"5.0\0", 4));
    EXPECT_EQ(sz(u"SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\Vorlek",
                 u"EventMessageFile"),
              String(u"C:\\WINNT\\system32\\vorlekmsg.dll") + u'\0');
    RegKey services = open(hk::kLocalMachine, u"SYSTEM\\CurrentControlSet\\Services");
    for (StringView s : {u"EventLog", u"LanmanServer", u"LanmanWorkstation", u"Spooler",
                         u"Netlogon", u"RemoteRegistry", u"Schedule", u"Browser"}) {
        RegKey k = open(services, s, reg::kQueryValue);
        for (StringView v : {u"Type", u"Start", u"ErrorControl", u"ImagePath", u"DisplayName"})
            EXPECT_EQ(r.query_value(k, v, std::nullopt).status, 0u) << to_utf8(s);
        r.close_key(k);
    }
    r.close_key(services);
}

TEST_F(RegistryTest, DataSizesAndTheBufferNegotiation) {
    RegKey k = create(hk::kCurrentUser, u"Software\\Sizes");
    ASSERT_EQ(r.set_value(k, u"text", reg::kSz, bytes(u"abc")), 0u);
    std::vector<uint8_t> big(1 << 20, 0x5A);
    ASSERT_EQ(r.set_value(k, u"big", reg::kBinary, big), 0u);
    struct Case {
        StringView name;
        std::optional<uint32_t> capacity;
        platform::Status status;
        uint32_t size;
        size_t returned;
    } cases[] = {
        {u"text", std::nullopt, 0, 3, 0},  // no buffer: the size alone
        {u"text", 2, st::kMoreData, 3, 0},
        {u"text", 3, 0, 3, 3},
        {u"text", 100, 0, 3, 3},
        {u"big", 1 << 19, st::kMoreData, 1 << 20, 0},
        {u"big", 1 << 20, 0, 1 << 20, 1 << 20},
        {u"missing", 10, st::kFileNotFound, 0, 0},
    };
    for (const Case& c : cases) {
        auto v = r.query_value(k, c.name, c.capacity);
        EXPECT_EQ(v.status, c.status) << to_utf8(c.name);
        EXPECT_EQ(v.value.size, c.size) << to_utf8(c.name);
        EXPECT_EQ(v.value.data.size(), c.returned) << to_utf8(c.name);
    }
    // Enumeration: a name buffer one short asks for the name's size.
    auto e = r.enum_value(k, 0, {4, 0, std::nullopt});
    EXPECT_EQ(e.status, st::kMoreData);
    EXPECT_EQ(e.value.name_needed, 5u);
    EXPECT_EQ(r.enum_value(k, 2, {100, 0, std::nullopt}).status, st::kNoMoreItems);
    r.close_key(k);
}

TEST_F(RegistryTest, StringDataIsKeptAsUnicodeAndHandedOutInTheCodePage) {
    RegKey k = create(hk::kCurrentUser, u"Software\\Text");
    const std::vector<uint8_t> latin = {'c', 'a', 'f', 0xE9};  // "café" in 1252
    ASSERT_EQ(r.set_value(k, u"s", reg::kSz, latin), 0u);
    auto& node = *sim::find_key(*sim::predefined_key(*net, net->local(), hk::kCurrentUser),
                                u"Software\\Text");
    EXPECT_EQ(sim::utf16_text(node.value(u"s")->data), u"caf\u00E9");
    EXPECT_EQ(r.query_value(k, u"s", 10).value.data, latin);
    r.close_key(k);
}

TEST_F(RegistryTest, HandlesAllowWhatTheyWereOpenedFor) {
    RegKey read = open(hk::kCurrentUser, u"Environment", reg::kRead);
    RegKey set = open(hk::kCurrentUser, u"Environment", reg::kSetValue);
    EXPECT_EQ(r.set_value(read, u"x", reg::kSz, bytes(u"1")), st::kAccessDenied);
    EXPECT_EQ(r.set_value(set, u"x", reg::kSz, bytes(u"1")), 0u);
    EXPECT_EQ(r.query_info(set, 0).status, st::kAccessDenied);
    EXPECT_EQ(r.enum_key(set, 0, {256, 0, {}}).status, st::kAccessDenied);
    EXPECT_EQ(r.create_key(read, u"new", u"", 0, reg::kRead).status, st::kAccessDenied);
    EXPECT_EQ(r.key_security(read, platform::security_info::kSacl).status, st::kAccessDenied);
    EXPECT_EQ(r.key_security(read, platform::security_info::kOwner).status, 0u);
    r.close_key(read);
    r.close_key(set);
    EXPECT_EQ(r.close_key(read), st::kInvalidHandle);
}

TEST_F(RegistryTest, KeysAreCreatedDeletedAndTheirHandlesOutliveThem) {
    auto made = r.create_key(hk::kCurrentUser, u"Software\\A\\B", u"Cls", 0, reg::kAllAccess);
    ASSERT_EQ(made.status, 0u);
    EXPECT_EQ(made.value.disposition, reg::kCreatedNewKey);
    auto again = r.create_key(hk::kCurrentUser, u"Software\\A\\B", u"", 0, reg::kAllAccess);
    EXPECT_EQ(again.value.disposition, reg::kOpenedExistingKey);
    EXPECT_EQ(r.query_info(again.value.key, 10).value.class_name, u"Cls");
    EXPECT_EQ(r.query_info(again.value.key, 3).status, st::kMoreData);

    RegKey a = open(hk::kCurrentUser, u"Software\\A");
    EXPECT_EQ(r.delete_key(a, u""), st::kAccessDenied);  // it has a sub-key
    EXPECT_EQ(r.delete_key(a, u"missing"), st::kFileNotFound);
    EXPECT_EQ(r.delete_key(a, u"B"), 0u);
    EXPECT_EQ(r.set_value(made.value.key, u"v", reg::kSz, {}), st::kKeyDeleted);
    EXPECT_EQ(r.open_key(made.value.key, u"", reg::kRead).status, st::kKeyDeleted);
    EXPECT_EQ(r.delete_key(hk::kLocalMachine, u"SOFTWARE"), st::kAccessDenied);
    EXPECT_EQ(r.create_key(hk::kLocalMachine, u"NEWHIVE", u"", 0, reg::kRead).status,
              st::kAccessDenied);
    EXPECT_EQ(r.create_key(a, String(256, u'n'), u"", 0, reg::kRead).status, st::kInvalidParameter);
    String deep;
    for (int i = 0; i < 600; ++i)
        deep += u"d\\";
    EXPECT_EQ(r.create_key(a, deep, u"", 0, reg::kRead).status, st::kInvalidParameter);
    EXPECT_EQ(r.open_key(a, u"d", reg::kRead).status, st::kFileNotFound);  // nothing made
    RegKey vol = create(a, u"Vol", reg::kOptionVolatile);
    EXPECT_EQ(r.create_key(vol, u"Stable", u"", 0, reg::kRead).status, st::kChildMustBeVolatile);
    for (RegKey k : {made.value.key, again.value.key, a, vol})
        EXPECT_EQ(r.close_key(k), 0u);
    EXPECT_EQ(net->handles().open_count(), 0u);
}

TEST_F(RegistryTest, ANewKeyInheritsTheContainerEntriesOfItsParent) {
    RegKey k = create(hk::kLocalMachine, u"SOFTWARE\\Vorlek\\Inherit");
    auto sd = r.key_security(k, platform::security_info::kOwner | platform::security_info::kDacl);
    ASSERT_EQ(sd.status, 0u);
    EXPECT_EQ(*sd.value.owner, platform::sid::builtin_alias(platform::sid::rid::kAdmins));
    EXPECT_FALSE(sd.value.group);  // not asked for
    bool creator_owner_kept = false;
    for (const auto& a : sd.value.dacl->aces) {
        EXPECT_TRUE(a.flags & platform::ace::kInherited);
        if (a.sid == platform::sid::creator_owner())
            creator_owner_kept = (a.flags & platform::ace::kInheritOnly) != 0;
    }
    EXPECT_TRUE(creator_owner_kept);
    r.close_key(k);
}

TEST_F(RegistryTest, RemoteRootsAndMachinesThatDoNotAnswer) {
    auto remote = r.connect(u"\\\\DC01", hk::kLocalMachine);
    ASSERT_EQ(remote.status, 0u);
    RegKey k = open(remote.value, u"SYSTEM\\CurrentControlSet\\Control\\ComputerName\\ComputerName",
                    reg::kQueryValue);
    EXPECT_EQ(r.query_value(k, u"ComputerName", 64).value.data, bytes(String(u"DC01\0", 5)));
    EXPECT_EQ(r.connect(u"\\\\SRV03", hk::kLocalMachine).status, st::kBadNetPath);
    EXPECT_EQ(r.connect(u"\\\\NOSUCH", hk::kLocalMachine).status, st::kBadNetPath);
    EXPECT_EQ(r.connect(u"\\\\DC01", hk::kCurrentUser).status, st::kInvalidHandle);
    r.close_key(k);
    r.close_key(remote.value);
    EXPECT_EQ(net->handles().open_count(), 0u);
}

TEST_F(RegistryTest, HivesAreSavedLoadedUnloadedAndRestored) {
    RegKey src = create(hk::kCurrentUser, u"Software\\Saved\\Child");
    ASSERT_EQ(r.set_value(src, u"n", reg::kDword, {1, 0, 0, 0}), 0u);
    RegKey saved = open(hk::kCurrentUser, u"Software\\Saved");
    // Each call needs its privilege enabled, not merely held.
    EXPECT_EQ(r.save_key(saved, u"C:\\saved.hiv"), st::kPrivilegeNotHeld);
    EXPECT_EQ(r.load_key(hk::kLocalMachine, u"Copy", u"C:\\saved.hiv"), st::kPrivilegeNotHeld);
    set_privilege(u"SeBackupPrivilege", true);
    set_privilege(u"SeRestorePrivilege", true);
    EXPECT_EQ(r.save_key(saved, u"C:\\saved.hiv"), 0u);
    EXPECT_EQ(r.save_key(saved, u"c:\\SAVED.HIV"), st::kAlreadyExists);

    EXPECT_EQ(r.load_key(hk::kLocalMachine, u"Copy", u"C:\\saved.hiv"), 0u);
    EXPECT_EQ(r.load_key(hk::kLocalMachine, u"Copy", u"C:\\saved.hiv"), st::kAlreadyExists);
    EXPECT_EQ(r.load_key(hk::kCurrentUser, u"Copy", u"C:\\saved.hiv"), st::kInvalidParameter);
    EXPECT_EQ(r.load_key(hk::kUsers, u"X", u"C:\\none.hiv"), st::kFileNotFound);
    RegKey copy = open(hk::kLocalMachine, u"Copy\\Child", reg::kAllAccess);
    EXPECT_EQ(r.query_value(copy, u"n", 4).value.data, (std::vector<uint8_t>{1, 0, 0, 0}));
    ASSERT_EQ(r.set_value(copy, u"m", reg::kDword, {2, 0, 0, 0}), 0u);
    EXPECT_EQ(r.unload_key(hk::kLocalMachine, u"SOFTWARE"), st::kInvalidParameter);
    EXPECT_EQ(r.unload_key(hk::kLocalMachine, u"Copy"), 0u);
    EXPECT_EQ(r.query_value(copy, u"n", 4).status, st::kKeyDeleted);
    // What changed while it was loaded went back to its file.
    auto file = sim::read_hive(net->local().files.at(u"C:\\saved.hiv"));
    ASSERT_EQ(file.status, 0u);
    EXPECT_TRUE(file.value->child(u"Child")->value(u"m"));

    // A restore with a sub-key held open is refused, and changes nothing.
    RegKey target = create(hk::kCurrentUser, u"Software\\Target\\Old");
    RegKey target_root = open(hk::kCurrentUser, u"Software\\Target");
    EXPECT_EQ(r.restore_key(target_root, u"C:\\saved.hiv", 0), st::kAccessDenied);
    r.close_key(target);
    net->local().files[u"C:\\bad.hiv"] = {'r', 'e', 'g', 'f'};
    EXPECT_EQ(r.restore_key(target_root, u"C:\\bad.hiv", 0), st::kFileCorrupt);
    EXPECT_EQ(r.enum_key(target_root, 0, {64, 0, {}}).value.name, u"Old");
    EXPECT_EQ(r.restore_key(target_root, u"C:\\saved.hiv", reg::kWholeHiveVolatile), 0u);
    EXPECT_EQ(r.enum_key(target_root, 0, {64, 0, {}}).value.name, u"Child");
    EXPECT_EQ(r.enum_key(target_root, 1, {64, 0, {}}).status, st::kNoMoreItems);
    for (RegKey k : {src, saved, copy, target_root})
        r.close_key(k);
    EXPECT_EQ(net->handles().open_count(), 0u);
}

// Opens and creates are checked against the key's list and the caller's
// token: an administrator may not read SAM, a guest may read but not change
// the machine's software, and the system list needs the security privilege.
TEST_F(RegistryTest, OpensAreCheckedAgainstTheCallersToken) {
    EXPECT_EQ(r.open_key(hk::kLocalMachine, u"SAM", reg::kRead).status, st::kAccessDenied);
    RegKey sam = open(hk::kLocalMachine, u"SAM", reg::kReadControl);
    EXPECT_EQ(r.query_info(sam, 0).status, st::kAccessDenied);  // the handle has no more
    r.close_key(sam);
    // Generic and maximum rights become what the key's list allows.
    RegKey max = open(hk::kLocalMachine, u"SOFTWARE\\Vorlek", 0x2000000);
    EXPECT_EQ(r.set_value(max, u"x", reg::kDword, {1, 0, 0, 0}), 0u);
    r.close_key(max);
    RegKey gen = open(hk::kLocalMachine, u"SOFTWARE\\Vorlek", 0x80000000);
    EXPECT_EQ(r.set_value(gen, u"x", reg::kDword, {1, 0, 0, 0}), st::kAccessDenied);
    r.close_key(gen);

    EXPECT_EQ(
        r.open_key(hk::kLocalMachine, u"SOFTWARE", reg::kRead | reg::kAccessSystemSecurity).status,
        st::kPrivilegeNotHeld);
    set_privilege(u"SeSecurityPrivilege", true);
    RegKey audited = open(hk::kLocalMachine, u"SOFTWARE", reg::kRead | reg::kAccessSystemSecurity);
    EXPECT_EQ(r.key_security(audited, platform::security_info::kSacl).value.sacl->aces.size(), 1u);
    r.close_key(audited);

    auto& table = sim::process_table(*net, net->local());
    table.impersonation = sim::make_token(
        *net, net->local(), sim::account_database(*net, net->local()).domain_sid.with_rid(501));
    RegKey read = open(hk::kLocalMachine, u"SOFTWARE\\Vorlek", reg::kRead);
    r.close_key(read);
    EXPECT_EQ(r.open_key(hk::kLocalMachine, u"SOFTWARE\\Vorlek", reg::kWrite).status,
              st::kAccessDenied);
    EXPECT_EQ(r.create_key(hk::kLocalMachine, u"SOFTWARE\\Guest", u"", 0, reg::kRead).status,
              st::kAccessDenied);
    EXPECT_FALSE(
        sim::registry_state(*net, net->local()).local_machine->child(u"SOFTWARE")->child(u"Guest"));
    table.impersonation = nullptr;
    EXPECT_EQ(net->handles().open_count(), 0u);
}

// Each operation has its own fault point, and an injected fault reaches the
// caller before anything happens.
TEST_F(RegistryTest, EveryOperationCanBeMadeToFail) {
    constexpr platform::Status kInjected = 1234;
    RegKey k = create(hk::kCurrentUser, u"Software\\Faults\\Sub");
    RegKey parent = open(hk::kCurrentUser, u"Software\\Faults");
    net->local().files[u"C:\\f.hiv"] = sim::write_hive(sim::KeyNode(u"f"), 0);
    struct Case {
        const sim::Operation& op;
        std::function<platform::Status()> call;
    } cases[] = {
        {sim::op::RegConnectRegistry, [&] { return r.connect(u"\\\\DC01", hk::kUsers).status; }},
        {sim::op::RegOpenKeyEx, [&] { return r.open_key(parent, u"Sub", reg::kRead).status; }},
        {sim::op::RegCreateKeyEx,
         [&] { return r.create_key(parent, u"New", u"", 0, reg::kRead).status; }},
        {sim::op::RegCloseKey, [&] { return r.close_key(k); }},
        {sim::op::RegQueryInfoKey, [&] { return r.query_info(k, 0).status; }},
        {sim::op::RegEnumKeyEx,
         [&] {
             return r.enum_key(parent, 0, {99, 0, {}}).status;
         }},
        {sim::op::RegEnumValue,
         [&] {
             return r.enum_value(k, 0, {99, 0, {}}).status;
         }},
        {sim::op::RegQueryValueEx, [&] { return r.query_value(k, u"", {}).status; }},
        {sim::op::RegSetValueEx, [&] { return r.set_value(k, u"v", reg::kSz, {}); }},
        {sim::op::RegDeleteKey, [&] { return r.delete_key(parent, u"Sub"); }},
        {sim::op::RegDeleteValue, [&] { return r.delete_value(k, u"v"); }},
        {sim::op::RegGetKeySecurity, [&] { return r.key_security(k, 1).status; }},
        {sim::op::RegSaveKey, [&] { return r.save_key(k, u"C:\\g.hiv"); }},
        {sim::op::RegLoadKey, [&] { return r.load_key(hk::kUsers, u"F", u"C:\\f.hiv"); }},
        {sim::op::RegUnLoadKey, [&] { return r.unload_key(hk::kUsers, u"F"); }},
        {sim::op::RegRestoreKey, [&] { return r.restore_key(k, u"C:\\f.hiv", 0); }},
    };
    for (const Case& c : cases) {
        net->faults().fail(c.op, kInjected);
        EXPECT_EQ(c.call(), kInjected) << to_utf8(c.op.name);
    }
    EXPECT_TRUE(sim::find_key(*sim::predefined_key(*net, net->local(), hk::kCurrentUser),
                              u"Software\\Faults\\Sub"));
    EXPECT_EQ(net->handles().open_count(), 2u);  // nothing opened, nothing closed
    r.close_key(k);
    r.close_key(parent);
}

}  // namespace
}  // namespace vorlek
