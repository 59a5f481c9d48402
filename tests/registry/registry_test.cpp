// Registry through late-bound calls on the default network (WS0001 is the
// local machine; its HKLM\SOFTWARE\Vorlek\Samples holds one value of each
// type, HKCU is the caller's own hive).
#include <gtest/gtest.h>

#include <functional>

#include "tests/support/simulated.h"

#include "bench/heap.h"
#include "library/client.h"
#include "platform/sim/accounts.h"
#include "platform/sim/processes.h"
#include "platform/sim/registry.h"
#include "registry/registry.h"

namespace vorlek {
namespace {

namespace reg = platform::reg;
namespace hk = platform::hkey;
constexpr int32_t kHKLM = static_cast<int32_t>(hk::kLocalMachine);
constexpr int32_t kHKCU = static_cast<int32_t>(hk::kCurrentUser);
constexpr int32_t kRead = static_cast<int32_t>(reg::kRead);
constexpr int32_t kAll = static_cast<int32_t>(reg::kAllAccess);

class RegistryClassTest : public testing_support::SimulatedTest {
  protected:
    client::Dispatch r = client::create(u"Vorlek.Registry");

    int32_t call(StringView member, std::vector<Variant> args = {}) const {
        return r.call(member, std::move(args)).to_long();
    }
    String text(StringView member) const { return r.get(member).to_string(); }
    int32_t number(StringView member) const { return r.get(member).to_long(); }
    // HKCU\Software\Test open with every right.
    void open_test_key() {
        ASSERT_EQ(call(u"OpenRegistry", {kHKCU, u""}), 0);
        sim::predefined_key(*net, net->local(), hk::kCurrentUser)
            ->add_child(u"Software")
            .add_child(u"Test");
        ASSERT_EQ(call(u"OpenRegKey", {kAll, u"Software\\Test"}), 0);
    }
    sim::KeyNode& node(int32_t root, StringView path) {
        return *sim::find_key(*sim::predefined_key(*net, net->local(), static_cast<uint32_t>(root)),
                              path);
    }
    std::vector<String> item_keys(StringView collection) const {
        std::vector<String> out;
        for (const auto& item : client::Dispatch(r.get(collection)).each())
            out.push_back(client::Dispatch(item)
                              .get(collection == u"RegSubKeys" ? u"RegKeyName" : u"RegValueName")
                              .to_string());
        return out;
    }
    void close_all() {
        call(u"CloseRegKey");
        call(u"CloseRegistry");
        EXPECT_EQ(net->handles().open_count(), 0u);
    }
};

TEST_F(RegistryClassTest, OpeningHivesAndKeysFillsTheirFields) {
    ASSERT_EQ(call(u"OpenRegistry", {kHKLM}), 0);
    EXPECT_EQ(number(u"RegKeyRootHandle"), -2147483646);
    EXPECT_EQ(text(u"RegMachine"), u"local");
    EXPECT_EQ(text(u"RegKeyRoot"), u"HKEY_LOCAL_MACHINE");
    EXPECT_EQ(call(u"OpenRegistry", {kHKCU}), 17);
    EXPECT_EQ(text(u"RegKeyRoot"), u"HKEY_LOCAL_MACHINE");

    struct Case {
        StringView path;
        StringView name;
    } cases[] = {{u"", u"HKEY_LOCAL_MACHINE"},
                 {u"SOFTWARE", u"SOFTWARE"},
                 {u"SOFTWARE\\Classes", u"Classes"},
                 {u"SOFTWARE\\Classes\\", u""}};
    for (const Case& c : cases) {
        ASSERT_EQ(call(u"OpenRegKey", {kRead, c.path}), 0) << to_utf8(c.path);
        EXPECT_EQ(call(u"OpenRegKey", {kRead, c.path}), 17);
        EXPECT_EQ(text(u"RegKeyName"), c.name);
        EXPECT_EQ(text(u"RegKeyPath"), c.path);
        ASSERT_EQ(call(u"CloseRegKey"), 0);
    }
    // Without the query right the key opens but its statistics stay empty.
    ASSERT_EQ(
        call(u"OpenRegKey", {static_cast<int32_t>(reg::kSetValue), u"SOFTWARE\\Vorlek\\Samples"}),
        0);
    EXPECT_EQ(number(u"RegKeyNumValues"), 0);
    EXPECT_EQ(r.get(u"RegKeyWriteTime").to_date().serial, 0);
    EXPECT_EQ(r.call(u"InitRegValues").to_long(), 0);
    EXPECT_EQ(client::Dispatch(r.get(u"RegValues")).get(u"Count").to_long(), 0);
    close_all();

    auto other = client::create(u"Vorlek.Registry");
    EXPECT_EQ(other.call(u"OpenRegistry", {5}).to_long(), 0);  // no root of that number
    EXPECT_EQ(other.get(u"RegKeyRoot").to_string(), u"");
}

TEST_F(RegistryClassTest, KeyStatisticsAndWriteTime) {
    ASSERT_EQ(call(u"OpenRegistry", {kHKLM}), 0);
    ASSERT_EQ(call(u"OpenRegKey", {kRead, u"SOFTWARE\\Vorlek\\Samples"}), 0);
    EXPECT_EQ(text(u"RegKeyClass"), u"VorlekSamples");
    EXPECT_EQ(number(u"RegKeyNumValues"), 14);
    EXPECT_EQ(number(u"RegKeyMaxValueNameLen"), 17);  // EmptyRequirements
    EXPECT_EQ(number(u"RegKeyMaxValueLen"), 65536);
    // 2024-07-15 08:30 UTC is 10:30 in the machine's summer time.
    EXPECT_DOUBLE_EQ(r.get(u"RegKeyWriteTime").to_date().serial, 45488 + 10.5 / 24);
    close_all();
}

TEST_F(RegistryClassTest, EveryValueTypeReadsAsItsVariant) {
    ASSERT_EQ(call(u"OpenRegistry", {kHKLM}), 0);
    ASSERT_EQ(call(u"OpenRegKey", {kRead, u"SOFTWARE\\Vorlek\\Samples"}), 0);
    ASSERT_EQ(r.call(u"InitRegValues").to_long(), 0);
    client::Dispatch values(r.get(u"RegValues"));
    struct Case {
        StringView name;
        int32_t type;
        StringView type_text;
        Variant value;
    } cases[] = {
        {u"Default", 1, u"R_SZ", u"Vorlek sample values"},
        {u"Expandable", 2, u"R_EXPAND_SZ", u"%SystemRoot%\\system32"},  // not expanded
        {u"Binary", 3, u"R_BINARY", Variant::byte_array({0xDE, 0xAD, 0xBE, 0xEF, 0, 1})},
        {u"Number", 4, u"R_DWORD", 4711},
        {u"BigEndian", 5, u"R_DWORD_BIG_ENDIAN", 16777216},  // not swapped
        {u"List", 7, u"R_MULTI_SZ", String(u"a\0b\0", 4)},
        {u"ListUnterminated", 7, u"R_MULTI_SZ", String(u"x\0y", 3)},
        {u"Nothing", 0, u"R_NONE", u"unknown"},
        {u"EmptyBinary", 3, u"R_BINARY", Variant::byte_array({})},
        {u"EmptyResources", 8, u"R_RESOURCE_LIST", Variant::byte_array({})},
        {u"EmptyDescriptor", 9, u"R_FULL_RESOURCE_DESCRIPTOR", Variant::byte_array({})},
        {u"EmptyRequirements", 10, u"R_RESOURCE_REQUIREMENTS_LIST", Variant::byte_array({})},
    };
    for (const Case& c : cases) {
        client::Dispatch item(values.call(u"Item", {c.name}));
        EXPECT_EQ(item.get(u"RegValueType").to_long(), c.type) << to_utf8(c.name);
        EXPECT_EQ(item.get(u"RegValueTypeStr").to_string(), c.type_text) << to_utf8(c.name);
        EXPECT_EQ(item.get(u"RegValue"), c.value) << to_utf8(c.name);
        // The same value read alone gives the same fields ("" is the default).
        const StringView alone = c.name == u"Default" ? StringView() : c.name;
        ASSERT_EQ(call(u"GetRegValueInfo", {alone}), 0);
        EXPECT_EQ(r.get(u"RegValue"), c.value) << to_utf8(c.name);
        EXPECT_EQ(text(u"RegValueName"), alone);
    }
    EXPECT_EQ(
        client::Dispatch(values.call(u"Item", {u"BigBinary"})).get(u"RegValue").if_array()->size(),
        65536u);
    close_all();
}

TEST_F(RegistryClassTest, TheDefaultValueIsNamedInTheSystemsLanguage) {
    net->local().locale.system_lcid = 1031;
    ASSERT_EQ(call(u"OpenRegistry", {kHKLM}), 0);
    ASSERT_EQ(call(u"OpenRegKey", {kRead, u"SOFTWARE\\Classes\\.txt"}), 0);
    ASSERT_EQ(r.call(u"InitRegValues").to_long(), 0);
    EXPECT_EQ(item_keys(u"RegValues"), (std::vector<String>{u"Standard", u"Content Type"}));
    close_all();
}

TEST_F(RegistryClassTest, WrittenValuesReadBackAndStoreWhatWasGiven) {
    open_test_key();
    struct Case {
        StringView name;
        int32_t type;
        Variant data;
        std::vector<uint8_t> stored;  // as a hive keeps it
        Variant read;
    } cases[] = {
        // No terminator is added, and none is taken away on reading.
        {u"sz", 1, u"abc", {'a', 0, 'b', 0, 'c', 0}, u"abc"},
        {u"sz0", 1, String(u"abc\0", 4), {'a', 0, 'b', 0, 'c', 0, 0, 0}, u"abc"},
        {u"empty", 2, u"", {}, u""},
        {u"multi",
         7,
         String(u"a\0b\0\0", 5),
         {'a', 0, 0, 0, 'b', 0, 0, 0, 0, 0},
         String(u"a\0b\0", 4)},
        {u"number", 4, u"12", {12, 0, 0, 0}, 12},
        {u"big", 5, -1, {0xFF, 0xFF, 0xFF, 0xFF}, -1},
        {u"bin",
         3,
         Variant::variant_array({1, 2, 255}),
         {1, 2, 255},
         Variant::byte_array({1, 2, 255})},
        {u"res", 8, Variant::byte_array({}), {}, Variant::byte_array({})},
    };
    for (const Case& c : cases) {
        ASSERT_EQ(call(u"SetRegValue", {c.name, c.type, c.data}), 0) << to_utf8(c.name);
        const auto* v = node(kHKCU, u"Software\\Test").value(c.name);
        ASSERT_TRUE(v) << to_utf8(c.name);
        EXPECT_EQ(v->data, c.stored) << to_utf8(c.name);
        ASSERT_EQ(call(u"GetRegValueInfo", {c.name}), 0);
        EXPECT_EQ(r.get(u"RegValue"), c.read) << to_utf8(c.name);
        EXPECT_EQ(number(u"RegValueType"), c.type);
    }
    // A value of 1 MiB goes through whole.
    std::vector<uint8_t> mib(1 << 20);
    for (size_t i = 0; i < mib.size(); ++i)
        mib[i] = static_cast<uint8_t>(i % 251);
    ASSERT_EQ(call(u"SetRegValue", {u"mib", 3, Variant::byte_array(mib)}), 0);
    ASSERT_EQ(call(u"GetRegValueInfo", {u"mib"}), 0);
    EXPECT_EQ(r.get(u"RegValue"), Variant::byte_array(mib));
    close_all();
}

TEST_F(RegistryClassTest, BadDataIsRefusedAndWritesNothing) {
    open_test_key();
    struct Case {
        int32_t type;
        Variant data;
        int32_t result;
    } cases[] = {
        {0, u"x", 87},
        {6, u"x", 87},
        {11, u"x", 87},
        {-1, u"x", 87},
        {3, u"text", 13},  // binary data must be an array
        {3, 5, 13},
        {4, u"abc", 13},                           // not a number
        {9, Variant::variant_array({1, 256}), 6},  // not a byte
    };
    for (const Case& c : cases)
        EXPECT_EQ(call(u"SetRegValue", {u"bad", c.type, c.data}), c.result) << c.type;
    EXPECT_FALSE(node(kHKCU, u"Software\\Test").value(u"bad"));
    EXPECT_EQ(text(u"RegValueName"), u"");
    close_all();
}

TEST_F(RegistryClassTest, ANameLongerThanTheKeyHadWhenOpenedIsStillRead) {
    open_test_key();
    // Added after the key was opened: longer than the name buffer InitRegValues starts with.
    node(kHKCU, u"Software\\Test")
        .set_value(String(300, u'v'), reg::kBinary, std::vector<uint8_t>(70000, 1));
    ASSERT_EQ(call(u"CloseRegKey"), 0);
    node(kHKCU, u"Software\\Test").set_value(u"a", reg::kSz, {});
    ASSERT_EQ(call(u"OpenRegKey", {kAll, u"Software\\Test"}), 0);
    node(kHKCU, u"Software\\Test").remove_value(u"a");
    node(kHKCU, u"Software\\Test").set_value(String(400, u'w'), reg::kSz, sim::utf16_bytes(u"z"));
    EXPECT_EQ(r.call(u"InitRegValues").to_long(), 0);
    EXPECT_EQ(item_keys(u"RegValues"), (std::vector<String>{String(300, u'v'), String(400, u'w')}));
    close_all();
}

TEST_F(RegistryClassTest, SubKeyItemsCarryTheirPathAndOpenThemselves) {
    ASSERT_EQ(call(u"OpenRegistry", {kHKLM}), 0);
    ASSERT_EQ(call(u"OpenRegKey", {kRead, u"SOFTWARE"}), 0);
    ASSERT_EQ(r.call(u"InitRegSubKeys").to_long(), 0);
    EXPECT_EQ(item_keys(u"RegSubKeys"), (std::vector<String>{u"Classes", u"Microsoft", u"Vorlek"}));
    client::Dispatch item(client::Dispatch(r.get(u"RegSubKeys")).call(u"Item", {u"classes"}));
    EXPECT_EQ(item.get(u"RegKeyPath").to_string(), u"SOFTWARE\\Classes");
    EXPECT_EQ(item.get(u"RegKeyRoot").to_string(), u"HKEY_LOCAL_MACHINE");
    ASSERT_EQ(item.call(u"OpenRegKey", {kRead}).to_long(), 0);
    EXPECT_EQ(item.get(u"RegKeyNumSubKeys").to_long(), 3);
    EXPECT_EQ(item.call(u"CloseRegKey").to_long(), 0);
    // Closed, the item has no path; its name and hive stay.
    EXPECT_EQ(item.get(u"RegKeyPath").to_string(), u"");
    EXPECT_EQ(item.get(u"RegKeyName").to_string(), u"Classes");
    EXPECT_EQ(item.get(u"RegMachine").to_string(), u"local");
    client::Dispatch other(client::Dispatch(r.get(u"RegSubKeys")).call(u"Item", {u"Vorlek"}));

    ASSERT_EQ(call(u"CloseRegKey"), 0);
    EXPECT_EQ(client::Dispatch(r.get(u"RegSubKeys")).get(u"Count").to_long(), 3);  // kept
    ASSERT_EQ(call(u"OpenRegKey", {kRead, u""}), 0);
    ASSERT_EQ(r.call(u"InitRegSubKeys").to_long(), 0);
    client::Dispatch top(client::Dispatch(r.get(u"RegSubKeys")).call(u"Item", {1}));
    EXPECT_EQ(top.get(u"RegKeyPath").to_string(), u"SAM");
    close_all();
    EXPECT_EQ(client::Dispatch(r.get(u"RegSubKeys")).get(u"Count").to_long(), 0);
    // An item of an earlier listing keeps its path and hive.
    EXPECT_EQ(other.get(u"RegKeyPath").to_string(), u"SOFTWARE\\Vorlek");
    EXPECT_EQ(other.get(u"RegKeyRoot").to_string(), u"HKEY_LOCAL_MACHINE");
    EXPECT_EQ(other.call(u"CloseRegistry").to_long(), 0);
    EXPECT_EQ(other.get(u"RegKeyPath").to_string(), u"");
    EXPECT_EQ(other.get(u"RegKeyRoot").to_string(), u"");
    EXPECT_EQ(other.get(u"RegKeyName").to_string(), u"Vorlek");
}

// A listed key or value costs at most 300 bytes beyond its texts: the item,
// its place in the collection and its share of what the listing holds. The
// names fit in a String's own storage, so the only text on the heap is the
// collection's copy of each name.
TEST_F(RegistryClassTest, ListedItemsStaySmall) {
    if (!bench::kHeapCounted) GTEST_SKIP() << "the heap is not counted here";
    constexpr int kItems = 4000;
    constexpr double kBound = 300 + 2 * 7;
    sim::KeyNode& big = sim::predefined_key(*net, net->local(), hk::kCurrentUser)
                            ->add_child(u"Software")
                            .add_child(u"Big");
    for (int i = 0; i < kItems; ++i) {
        const String name = u"k" + String(6 - decimal(i).size(), u'0') + decimal(i);
        big.add_child(name);
        big.set_value(name, reg::kDword, {1, 0, 0, 0});
    }
    ASSERT_EQ(call(u"OpenRegistry", {kHKCU}), 0);
    ASSERT_EQ(call(u"OpenRegKey", {kRead, u"Software\\Big"}), 0);
    for (const char16_t* listing : {u"InitRegSubKeys", u"InitRegValues"}) {
        const double per_item = bench::heap_per_item(kItems, [&](auto held) {
            ASSERT_EQ(r.call(listing).to_long(), 0);
            held();
        });
        EXPECT_LE(per_item, kBound) << to_utf8(listing);
    }
    close_all();
}

TEST_F(RegistryClassTest, KeysAreCreatedAndDeleted) {
    open_test_key();
    EXPECT_EQ(call(u"CreateRegSubKey", {u"A"}), 0);
    EXPECT_EQ(call(u"CreateRegSubKey", {u"A"}), -9999);
    EXPECT_EQ(call(u"CreateRegSubKey", {u"A\\B", false, u"Cls"}), 0);
    EXPECT_EQ(node(kHKCU, u"Software\\Test\\A\\B").class_name, u"Cls");
    EXPECT_EQ(call(u"CreateRegSubKey", {u"V", true}), 0);
    EXPECT_TRUE(node(kHKCU, u"Software\\Test\\V").is_volatile);
    EXPECT_EQ(call(u"DeleteRegSubKey", {u"A"}), 5);  // it has a sub-key
    EXPECT_EQ(call(u"DeleteRegSubKey", {u"A\\B"}), 0);
    EXPECT_EQ(call(u"DeleteRegSubKey", {u"A"}), 0);
    EXPECT_EQ(call(u"DeleteRegSubKey", {u"A"}), 2);
    EXPECT_EQ(call(u"DeleteRegValue", {u"none"}), 2);
    close_all();
}

TEST_F(RegistryClassTest, ClosingKeyAndHive) {
    EXPECT_EQ(call(u"CloseRegKey"), 6);  // no key open
    open_test_key();
    ASSERT_EQ(call(u"SetRegValue", {u"v", 1, u"x"}), 0);
    ASSERT_EQ(r.call(u"InitRegValues").to_long(), 0);
    ASSERT_EQ(call(u"CloseRegKey"), 0);
    EXPECT_EQ(text(u"RegValueName"), u"");
    EXPECT_EQ(r.get(u"RegValue"), Variant(u""));
    EXPECT_EQ(client::Dispatch(r.get(u"RegValues")).get(u"Count").to_long(), 0);
    EXPECT_EQ(text(u"RegKeyName"), u"Test");  // left as it was
    ASSERT_EQ(call(u"CloseRegistry"), 0);
    EXPECT_EQ(number(u"RegKeyRootHandle"), 0);
    EXPECT_EQ(text(u"RegMachine"), u"");

    // A remote hive: its connection is closed with it.
    ASSERT_EQ(call(u"OpenRegistry", {kHKLM, u"DC01"}), 0);
    EXPECT_EQ(text(u"RegMachine"), u"DC01");
    ASSERT_EQ(call(u"OpenRegKey",
                   {kRead, u"SYSTEM\\CurrentControlSet\\Control\\ComputerName\\ComputerName"}),
              0);
    ASSERT_EQ(call(u"GetRegValueInfo", {u"ComputerName"}), 0);
    EXPECT_EQ(r.get(u"RegValue"), Variant(u"DC01"));
    EXPECT_EQ(net->handles().open_count(), 2u);
    close_all();
    EXPECT_EQ(call(u"OpenRegistry", {kHKLM, u"SRV03"}), 53);
    EXPECT_EQ(number(u"RegKeyRootHandle"), 0);
    EXPECT_EQ(call(u"OpenRegistry", {kHKLM, u"\\\\DC01"}), 53);  // four backslashes
}

TEST_F(RegistryClassTest, OneShotStringRead) {
    const StringView samples = u"HKEY_LOCAL_MACHINE\\SOFTWARE\\Vorlek\\Samples";
    struct Case {
        StringView computer;
        StringView key;
        StringView value;
        String expected;
    } cases[] = {
        {u"", samples, u"Text", u"Hello, registry"},
        {u"", samples, u"List", String(u"a^b\0", 4)},
        {u"", samples, u"ListUnterminated", u"x^y"},
        {u"", samples, u"Number", u"dflt"},  // not a string type
        {u"", samples, u"Missing", u"dflt"},
        {u"", u"HKLM\\SOFTWARE\\Vorlek\\Samples", u"Text", u"dflt"},  // names no root
        {u"", u"hkey_local_machine\\SOFTWARE", u"Text", u"dflt"},     // case-sensitive
        {u"", u"HKEY_LOCAL_MACHINE", u"Text", u"dflt"},
        {u"DC01",
         u"HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\ComputerName\\ComputerName",
         u"ComputerName", u"DC01"},
        {u"SRV03", samples, u"Text", u"dflt"},
    };
    auto o = client::create(u"Vorlek.Registry");
    for (const Case& c : cases) {
        EXPECT_EQ(o.call(u"GetRegValueSZ", {c.computer, c.key, c.value, u"dflt"}).to_string(),
                  c.expected)
            << to_utf8(c.key) << " " << to_utf8(c.value);
        EXPECT_EQ(net->handles().open_count(), 0u);
    }
    // The read counts its buffer in an Integer: more than 32767 bytes fail.
    node(kHKLM, u"SOFTWARE\\Vorlek\\Samples")
        .set_value(u"Long", reg::kSz, sim::utf16_bytes(String(40000, u'x')));
    EXPECT_EQ(o.call(u"GetRegValueSZ", {u"", samples, u"Long", u"dflt"}).to_string(), u"dflt");
}

TEST_F(RegistryClassTest, OneShotStringWrite) {
    auto o = client::create(u"Vorlek.Registry");
    EXPECT_EQ(
        o.call(u"SetRegValueSZ", {u"", u"HKEY_CURRENT_USER\\Software\\New\\Deep", u"v", u"text", 1})
            .to_long(),
        1);
    EXPECT_EQ(node(kHKCU, u"Software\\New\\Deep").value(u"v")->data, sim::utf16_bytes(u"text"));
    EXPECT_EQ(o.call(u"SetRegValueSZ", {u"", u"Software\\New", u"v", u"x", 1}).to_long(), 0);
    EXPECT_EQ(
        o.call(u"SetRegValueSZ", {u"SRV03", u"HKEY_USERS\\.DEFAULT", u"v", u"x", 1}).to_long(), 0);
    // A write the registry refuses is not reported as done.
    net->faults().fail(sim::op::RegSetValueEx, 5);
    EXPECT_EQ(o.call(u"SetRegValueSZ", {u"", u"HKEY_CURRENT_USER\\Software\\New", u"w", u"x", 1})
                  .to_long(),
              0);
    EXPECT_FALSE(node(kHKCU, u"Software\\New").value(u"w"));
    EXPECT_EQ(o.call(u"SetRegValueSZ", {u"DC01", u"HKEY_USERS\\.DEFAULT\\Software", u"w", u"x", 2})
                  .to_long(),
              1);
    EXPECT_EQ(net->handles().open_count(), 0u);
}

// Every platform call a member makes can fail; the member returns that
// status and leaves nothing open but what it keeps on purpose.
TEST_F(RegistryClassTest, EachMemberReturnsTheStatusOfItsFailedCall) {
    constexpr platform::Status kInjected = 4321;
    struct Case {
        const sim::Operation& op;
        uint32_t after;  // calls of the operation that still succeed
        std::function<int32_t()> member;
    } cases[] = {
        {sim::op::RegOpenKeyEx, 0,
         [&] {
             return call(u"OpenRegKey", {kRead, u"SOFTWARE"});
         }},
        {sim::op::RegQueryInfoKey, 0,
         [&] {
             return call(u"OpenRegKey", {kRead, u"SOFTWARE"});
         }},
        {sim::op::RegEnumKeyEx, 0, [&] { return r.call(u"InitRegSubKeys").to_long(); }},
        {sim::op::RegEnumValue, 0, [&] { return r.call(u"InitRegValues").to_long(); }},
        {sim::op::RegEnumValue, 1, [&] { return r.call(u"InitRegValues").to_long(); }},
        {sim::op::RegQueryValueEx, 0, [&] { return call(u"GetRegValueInfo", {u"Text"}); }},
        {sim::op::RegQueryValueEx, 1, [&] { return call(u"GetRegValueInfo", {u"Text"}); }},
        {sim::op::RegSetValueEx, 0,
         [&] {
             return call(u"SetRegValue", {u"n", 4, 1});
         }},
        {sim::op::RegCreateKeyEx, 0, [&] { return call(u"CreateRegSubKey", {u"N"}); }},
        {sim::op::RegDeleteKey, 0, [&] { return call(u"DeleteRegSubKey", {u"N"}); }},
        {sim::op::RegDeleteValue, 0, [&] { return call(u"DeleteRegValue", {u"n"}); }},
        {sim::op::RegGetKeySecurity, 0, [&] { return call(u"GetRegKeyOwner"); }},
        {sim::op::RegGetKeySecurity, 0, [&] { return call(u"GetRegKeyPrimaryGroup"); }},
        {sim::op::RegGetKeySecurity, 0, [&] { return call(u"InitRegRights"); }},
        {sim::op::LookupAccountSid, 2, [&] { return call(u"InitRegRights"); }},
        {sim::op::RegCloseKey, 0, [&] { return call(u"CloseRegKey"); }},
    };
    for (const Case& c : cases) {
        ASSERT_EQ(call(u"OpenRegistry", {kHKLM}), 0);
        if (&c.op != &sim::op::RegOpenKeyEx && &c.op != &sim::op::RegQueryInfoKey) {
            ASSERT_EQ(call(u"OpenRegKey", {kAll, u"SOFTWARE\\Vorlek\\Samples"}), 0);
        }
        net->faults().fail(c.op, kInjected, 1, c.after);
        EXPECT_EQ(c.member(), static_cast<int32_t>(kInjected)) << to_utf8(c.op.name) << c.after;
        net->faults().clear();
        close_all();
    }
    // Items added before a failed enumeration stay.
    ASSERT_EQ(call(u"OpenRegistry", {kHKLM}), 0);
    ASSERT_EQ(call(u"OpenRegKey", {kRead, u"SOFTWARE\\Vorlek\\Samples"}), 0);
    net->faults().fail(sim::op::RegEnumValue, kInjected, 1, 4);
    EXPECT_EQ(r.call(u"InitRegValues").to_long(), static_cast<int32_t>(kInjected));
    EXPECT_EQ(item_keys(u"RegValues"), (std::vector<String>{u"Default", u"Text"}));
    close_all();
}

TEST_F(RegistryClassTest, RightsOfAKeyAsText) {
    using platform::Ace;
    namespace ace = platform::ace;
    const platform::Sid admins = platform::sid::builtin_alias(544),
                        users = platform::sid::builtin_alias(545);
    struct Case {
        const char* what;
        std::vector<Ace> aces;
        StringView right, type, flags;
    } cases[] = {
        {"full control", {{0, 0, 0xF003F, admins}}, u"ALL", u"ACCESS_ALLOWED_ACE_TYPE", u""},
        {"read", {{0, 0, 0x20019, admins}}, u"READ", u"ACCESS_ALLOWED_ACE_TYPE", u""},
        {"read and write dac",
         {{0, 0, 0x60019, admins}},
         u"QENPR",
         u"ACCESS_ALLOWED_ACE_TYPE",
         u""},
        {"denied", {{1, 0, 0x20019, admins}}, u"ZERO", u"ACCESS_DENIED_ACE_TYPE", u""},
        {"all then read",
         {{0, 0, 0xF003F, admins}, {0, 0, 0x20019, admins}},
         u"READ",
         u"ACCESS_ALLOWED_ACE_TYPE",
         u""},
        {"read then all",
         {{0, 0, 0x20019, admins}, {0, 0, 0xF003F, admins}},
         u"READ",
         u"ACCESS_ALLOWED_ACE_TYPE",
         u""},
        {"zero then read",
         {{1, 0, 1, admins}, {0, 0, 0x20019, admins}},
         u"READ",
         u"ACCESS_ALLOWED_ACE_TYPE",
         u""},
        {"flags win",
         {{0, 0, 0x20019, admins}, {1, 3, 1, admins}},
         u"ZERO",
         u"ACCESS_DENIED_ACE_TYPE",
         u"CONTAINER_INHERIT_ACE;OBJECT_INHERIT_ACE"},
        {"every flag",
         {{0, 0xF, 0, admins}},
         u"",
         u"ACCESS_ALLOWED_ACE_TYPE",
         u"CONTAINER_INHERIT_ACE;INHERIT_ONLY_ACE;NO_PROPAGATE_INHERIT_ACE;OBJECT_INHERIT_ACE"},
    };
    open_test_key();
    for (const Case& c : cases) {
        platform::SecurityDescriptor sd;
        sd.owner = admins;
        sd.dacl = platform::Acl{2, c.aces};
        sd.dacl->aces.push_back({0, 0, 0x20019, users});
        node(kHKCU, u"Software\\Test").security =
            std::make_shared<platform::SecurityDescriptor>(sd);
        ASSERT_EQ(call(u"InitRegRights"), 0) << c.what;
        client::Dispatch rights(r.get(u"RegRights"));
        ASSERT_EQ(rights.get(u"Count").to_long(), 2) << c.what;
        client::Dispatch item(rights.call(u"Item", {u"BUILTIN\\Administrators"}));
        EXPECT_EQ(item.get(u"RegRightStr").to_string(), c.right) << c.what;
        EXPECT_EQ(item.get(u"RegRightTypeStr").to_string(), c.type) << c.what;
        EXPECT_EQ(item.get(u"RegRightFlagsStr").to_string(), c.flags) << c.what;
    }
    // An account with an empty domain is keyed by its name alone.
    platform::SecurityDescriptor sd;
    sd.group = platform::sid::local_system();
    sd.dacl = platform::Acl{2, {{0, 0, 1, platform::sid::everyone()}}};
    node(kHKCU, u"Software\\Test").security = std::make_shared<platform::SecurityDescriptor>(sd);
    ASSERT_EQ(call(u"InitRegRights"), 0);
    EXPECT_EQ(item_keys(u"RegRights").size(), 1u);
    EXPECT_EQ(client::Dispatch(client::Dispatch(r.get(u"RegRights")).call(u"Item", {u"Everyone"}))
                  .get(u"RegRightStr")
                  .to_string(),
              u"Q");
    ASSERT_EQ(call(u"GetRegKeyPrimaryGroup"), 0);
    EXPECT_EQ(text(u"RegPrimaryGroup"), u"SYSTEM");
    EXPECT_EQ(text(u"RegPrimaryGroupDomain"), u"NT AUTHORITY");
    EXPECT_EQ(call(u"GetRegKeyOwner"), 1337);  // there is no owner
    sd.dacl.reset();
    node(kHKCU, u"Software\\Test").security = std::make_shared<platform::SecurityDescriptor>(sd);
    EXPECT_EQ(call(u"InitRegRights"), -9999);
    EXPECT_EQ(item_keys(u"RegRights").size(), 0u);
    ASSERT_EQ(call(u"CloseRegKey"), 0);
    EXPECT_EQ(text(u"RegPrimaryGroup"), u"");
    close_all();

    EXPECT_EQ(Registry::rights_text(0, 0xF003F, true), u"QSCENLDPR");  // audits: no O, no ALL
    EXPECT_EQ(Registry::flags_text(0xC0, true),
              u"FAILED_ACCESS_ACE_FLAG;SUCCESSFUL_ACCESS_ACE_FLAG");
}

// What needs the process's privileges answers "not implemented" for now and
// touches nothing.
// The hive-file members switch their privilege on for the call and off after
// a success; after a failure it stays on. A token without the privilege
// gets the platform's answer and no call is made.
TEST_F(RegistryClassTest, HiveFilesGoThroughTheirPrivileges) {
    const auto& token = *sim::process_table(*net, net->local()).current().token;
    EXPECT_EQ(call(u"SaveRegKey", {u"C:\\none.hiv"}), 6);  // no key open
    EXPECT_TRUE(token.enabled(u"SeBackupPrivilege"));
    set_privilege(u"SeBackupPrivilege", false);

    open_test_key();
    node(kHKCU, u"Software\\Test").add_child(u"Inner");
    ASSERT_EQ(call(u"SetRegValue", {u"v", 4, 7}), 0);
    EXPECT_EQ(call(u"SaveRegKey", {u"C:\\t.hiv"}), 0);
    EXPECT_FALSE(token.enabled(u"SeBackupPrivilege"));
    EXPECT_EQ(call(u"SaveRegKey", {u"C:\\t.hiv"}), 183);  // the file is there already
    EXPECT_TRUE(token.enabled(u"SeBackupPrivilege"));
    // Restored over another key, volatile or not, the key holds what was saved.
    ASSERT_EQ(call(u"DeleteRegValue", {u"v"}), 0);
    EXPECT_EQ(call(u"RestoreRegKey", {u"C:\\t.hiv", true}), 0);
    EXPECT_FALSE(token.enabled(u"SeRestorePrivilege"));
    EXPECT_TRUE(node(kHKCU, u"Software\\Test").value(u"v"));
    EXPECT_EQ(call(u"RestoreRegKey", {u"C:\\missing.hiv"}), 2);
    close_all();

    client::Dispatch hklm = client::create(u"Vorlek.Registry");
    ASSERT_EQ(hklm.call(u"OpenRegistry", {kHKLM}).to_long(), 0);
    EXPECT_EQ(hklm.call(u"LoadRegKey", {u"C:\\t.hiv", u"Loaded"}).to_long(), 0);
    EXPECT_TRUE(node(kHKLM, u"Loaded\\Inner").name() == u"Inner");
    EXPECT_EQ(hklm.call(u"UnloadRegKey", {u"Loaded"}).to_long(), 0);
    EXPECT_EQ(hklm.call(u"UnloadRegKey", {u"Loaded"}).to_long(), 2);
    EXPECT_EQ(hklm.call(u"CloseRegistry").to_long(), 0);

    // A user's token has neither privilege: 1300, and nothing is written.
    auto& host = sim::process_table(*net, net->local()).current();
    const auto admin = host.token;
    host.token = sim::make_token(
        *net, net->local(), sim::account_database(*net, net->local()).domain_sid.with_rid(501));
    open_test_key();
    EXPECT_EQ(call(u"SaveRegKey", {u"C:\\user.hiv"}), 1300);
    EXPECT_FALSE(net->local().files.count(u"C:\\user.hiv"));
    EXPECT_EQ(call(u"InitRegAudits"), 1300);
    close_all();
    host.token = admin;
}

// The audits list: opened under the security privilege, one item per entry
// keyed by its place, never merged; the privilege is off again afterwards.
TEST_F(RegistryClassTest, AuditsAreListedUnderTheSecurityPrivilege) {
    const auto& token = *sim::process_table(*net, net->local()).current().token;
    const int32_t audit_access = kRead | static_cast<int32_t>(reg::kAccessSystemSecurity);
    ASSERT_EQ(call(u"OpenRegistry", {kHKLM}), 0);
    // Without the right on the handle the list cannot be read.
    ASSERT_EQ(call(u"OpenRegKey", {kRead, u"SOFTWARE"}), 0);
    EXPECT_EQ(call(u"InitRegAudits"), 5);
    call(u"CloseRegKey");
    ASSERT_EQ(call(u"OpenRegKey", {audit_access, u"SOFTWARE"}), 0);
    EXPECT_FALSE(token.enabled(u"SeSecurityPrivilege"));
    sim::KeyNode& software = node(kHKLM, u"SOFTWARE");
    platform::SecurityDescriptor sd = *software.security;
    sd.sacl->aces.push_back({platform::ace::kSystemAudit, 0xC0, 0xF003F, sd.sacl->aces[0].sid});
    sd.sacl->aces.push_back({platform::ace::kSystemAudit, 0x40, 0x1,
                             platform::sid::account_domain(9, 9, 9).with_rid(7)});
    software.security = std::make_shared<const platform::SecurityDescriptor>(sd);

    // An entry whose account has no name ends the listing; those before stay.
    EXPECT_EQ(call(u"InitRegAudits"), 1332);
    client::Dispatch audits(r.get(u"RegAudits"));
    ASSERT_EQ(audits.get(u"Count").to_long(), 2);
    client::Dispatch first(audits.call(u"Item", {u"#0"}));
    EXPECT_EQ(first.get(u"RegRightTypeStr").to_string(), u"SYSTEM_AUDIT_ACE_TYPE");
    EXPECT_EQ(first.get(u"RegRightUser").to_string(), u"Everyone");
    EXPECT_EQ(first.get(u"RegRightStr").to_string(), u"SCDP");
    EXPECT_EQ(first.get(u"RegRightFlagsStr").to_string(), u"FAILED_ACCESS_ACE_FLAG");
    client::Dispatch second(audits.call(u"Item", {u"#1"}));
    EXPECT_EQ(second.get(u"RegRightStr").to_string(), u"QSCENLDPR");  // no "ALL", no "O"
    EXPECT_EQ(second.get(u"RegRightFlagsStr").to_string(),
              u"FAILED_ACCESS_ACE_FLAG;SUCCESSFUL_ACCESS_ACE_FLAG");

    sd.sacl->aces.pop_back();
    software.security = std::make_shared<const platform::SecurityDescriptor>(sd);
    EXPECT_EQ(call(u"InitRegAudits"), 0);
    EXPECT_EQ(client::Dispatch(r.get(u"RegAudits")).get(u"Count").to_long(), 2);
    EXPECT_FALSE(token.enabled(u"SeSecurityPrivilege"));
    sd.sacl.reset();
    software.security = std::make_shared<const platform::SecurityDescriptor>(sd);
    EXPECT_EQ(call(u"InitRegAudits"), -9999);
    close_all();
}

}  // namespace
}  // namespace vorlek
