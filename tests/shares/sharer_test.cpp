// Sharer on the default network: the texts of types, permissions and
// rights, listing and loading shares, the write-through lets, creating and
// removing shares, drive connections with their profile entries, and the
// rights of shares and printers.
#include <gtest/gtest.h>

#include "tests/support/simulated.h"

#include "bench/heap.h"

#include "library/client.h"
#include "platform/registry.h"
#include "platform/sim/registry.h"
#include "platform/sim/shares.h"
#include "shares/sharer.h"

namespace vorlek {
namespace {

namespace st = platform::status;

class SharerTest : public testing_support::SimulatedTest {
  protected:
    client::Dispatch s = client::create(u"Vorlek.Sharer");

    int32_t get_info(StringView computer, StringView share) {
        return s.call(u"GetShareInfo", {String(computer), String(share)}).to_long();
    }
    String text(const client::Dispatch& d, StringView member) { return d.get(member).to_string(); }
    client::Dispatch item(StringView collection, const Variant& key) {
        return client::Dispatch(client::Dispatch(s.get(collection)).call(u"Item", {key}));
    }
    int32_t count(StringView collection) {
        return client::Dispatch(s.get(collection)).get(u"Count").to_long();
    }
    int32_t net_use(StringView local, StringView remote, StringView user = u"",
                    StringView password = u"", bool remember = true) {
        return s
            .call(u"NetUse",
                  {String(local), String(remote), String(user), String(password), remember})
            .to_long();
    }
    int32_t net_use_del(StringView local, bool force = false, bool remember = true) {
        return s.call(u"NetUseDel", {String(local), force, remember}).to_long();
    }
    sim::KeyNode* remembered(StringView letter) {
        auto hive = sim::predefined_key(*net, net->local(), platform::hkey::kCurrentUser);
        sim::KeyNode* network = hive->child(u"Network");
        return network ? network->child(letter) : nullptr;
    }
    std::vector<sim::DriveConnection>& connections() {
        return sim::session_connections(*net, net->local());
    }
    // A share of SRV01 with the given list, loaded into `s`.
    void share_with(std::vector<platform::Ace> aces) {
        platform::ShareInfo r;
        r.name = u"listed";
        r.path = u"D:\\Public";
        r.security = platform::SecurityDescriptor{};
        r.security->dacl = platform::Acl{platform::Acl::kRevision, std::move(aces)};
        uint32_t parm = 0;
        ASSERT_EQ(platform::current().shares().add_share(u"\\\\SRV01", r, parm), 0u);
        ASSERT_EQ(get_info(u"SRV01", u"listed"), 0);
    }
};

TEST(SharerTextTest, TypesPermissionsAndRights) {
    const std::pair<uint32_t, StringView> types[] = {
        {0, u"STYPE_DISKTREE"},
        {1, u"STYPE_PRINTQ"},
        {2, u"STYPE_DEVICE"},
        {3, u"STYPE_IPC"},
        {0x80000003, u"STYPE_IPC"},
        {0x80000002, u"STYPE_DEVICE"},
        {0x80000000, u"STYPE_SPECIAL"},
        {0x80000001, u""},
        {7, u""},
    };
    for (const auto& [type, expected] : types)
        EXPECT_EQ(Sharer::type_text(type), expected) << type;
    const std::pair<uint32_t, StringView> permissions[] = {
        {0, u""},
        {0x7F, u"ACCESS_ALL"},
        {0xFF, u"ACCESS_ALL"},
        {0x9, u"ACCESS_READ;ACCESS_EXEC"},
        {0x40 | 0x80, u"ACCESS_PERM"},
    };
    for (const auto& [bits, expected] : permissions)
        EXPECT_EQ(Sharer::permissions_text(bits), expected) << bits;
    const std::pair<uint32_t, StringView> share_rights[] = {
        {0x1F01FF, u"FULL"},
        {0x120089 | 0x1200A0, u"READ"},
        {0x120089 | 0x120116 | 0x1200A0 | 0x10000, u"CHANGE"},
        {0x1301BF, u"CHANGE"},
        {0x120089, u"R"},
        {0x120089 | 0x40000 | 0x80000, u"RPO"},
        {0x1, u"ZERO"},
    };
    for (const auto& [mask, expected] : share_rights)
        EXPECT_EQ(Sharer::share_right_text(mask), expected) << std::hex << mask;
    const std::pair<uint32_t, StringView> printer_rights[] = {
        {0x20008, u"PRINT"},
        {0x20000, u"MANAGE DOCUMENTS"},
        {0x30000, u"MANAGE DOCUMENTS"},
        {0xF000C, u"FULL"},
        {0x8, u"ZERO"},
        {0, u"ZERO"},
    };
    for (const auto& [mask, expected] : printer_rights)
        EXPECT_EQ(Sharer::printer_right_text(mask), expected) << std::hex << mask;
}

TEST_F(SharerTest, InitSharesLoadsEveryShare) {
    EXPECT_EQ(s.call(u"InitShares", {u"SRV01"}).to_long(), 0);
    EXPECT_EQ(count(u"Shares"), 7);  // IPC$, ADMIN$, C$ and four of its own
    auto pub = item(u"Shares", u"PUBLIC");
    EXPECT_EQ(text(pub, u"ShRemark"), u"Public files");
    EXPECT_EQ(text(pub, u"ShPath"), u"D:\\Public");
    EXPECT_EQ(text(pub, u"ShTypeStr"), u"STYPE_DISKTREE");
    EXPECT_EQ(text(pub, u"Computer"), u"SRV01");
    EXPECT_EQ(text(pub, u"ShPassword"), u"********");
    EXPECT_EQ(pub.get(u"ShMaxUses").to_long(), -1);
    EXPECT_TRUE(pub.get(u"Valid").to_bool());
    EXPECT_EQ(text(item(u"Shares", u"C$"), u"ShTypeStr"), u"STYPE_SPECIAL");
    EXPECT_EQ(text(item(u"Shares", u"IPC$"), u"ShTypeStr"), u"STYPE_IPC");

    // The local machine by an empty name: its items name it.
    EXPECT_EQ(s.call(u"InitShares", {u""}).to_long(), 0);
    EXPECT_EQ(text(item(u"Shares", 1), u"Computer"), u"WS0001");
    // A failing load ends the listing with its status; what was added stays.
    net->faults().fail(sim::op::NetShareGetInfo, 5, 1, 2);
    EXPECT_EQ(s.call(u"InitShares", {u"SRV01"}).to_long(), 5);
    EXPECT_EQ(count(u"Shares"), 1);
    EXPECT_EQ(s.call(u"InitShares", {u"SRV03"}).to_long(), 53);
    // Two names that are one once trimmed: the run-time error, not success.
    platform::ShareInfo r;
    r.path = u"D:\\Public";
    uint32_t parm = 0;
    for (StringView name : {u" twice", u"twice"}) {
        r.name = String(name);
        ASSERT_EQ(platform::current().shares().add_share(u"SRV01", r, parm), 0u);
    }
    EXPECT_EQ(s.call(u"InitShares", {u"SRV01"}).to_long(), 457);
}

TEST_F(SharerTest, GetShareInfoStatuses) {
    const struct {
        StringView computer, share;
        int32_t result;
    } cases[] = {
        {u"SRV01", u"", 87},        {u"SRV01", u"nothing", 2310},
        {u"SRV03", u"public", 53},  {u"SRV01", StringView(u"pub\0lic", 7), 123},
        {u"\\\\SRV01", u"home", 0}, {u"", u"C$", 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(get_info(c.computer, c.share), c.result) << to_utf8(c.share);
    EXPECT_EQ(text(s, u"Computer"), u"WS0001");
    EXPECT_TRUE(s.get(u"Valid").to_bool());
    net->find(u"SRV01")->shares.shares.at(u"PUBLIC").dfs_flags = 3;
    ASSERT_EQ(get_info(u"SRV01", u"public"), 0);
    EXPECT_EQ(s.get(u"ShDFSFlag").to_long(), s.get(u"FLAGS_DFS").to_long() | 2);
    // The DFS flags are the second read: its failure leaves the share unloaded.
    net->faults().fail(sim::op::NetShareGetInfo, 2310, 1, 1);
    EXPECT_EQ(get_info(u"SRV01", u"public"), 2310);
    EXPECT_FALSE(s.get(u"Valid").to_bool());
    // Only administrators read a share's record.
    sim::process_table(*net, net->local()).current().token =
        sim::make_token(*net, net->local(), *platform::Sid::parse(u"S-1-5-21-1-2-3-1001"));
    EXPECT_EQ(get_info(u"SRV01", u"public"), 5);
}

TEST_F(SharerTest, LetsStoreOrWriteThrough) {
    // Unloaded: the lets store; a loaded share's name, path and type stay.
    s.let(u"ShName", u"x");
    s.let(u"ShPassword", u"123456789");
    EXPECT_EQ(text(s, u"ShName"), u"x");
    EXPECT_EQ(text(s, u"ShPassword"), u"********");
    ASSERT_EQ(get_info(u"SRV01", u"home"), 0);
    for (StringView member : {u"ShName", u"ShPath", u"Computer"}) {
        s.let(member, u"changed");
        EXPECT_EQ(s.get(u"LastError").to_long(), 0);
    }
    EXPECT_EQ(text(s, u"ShName"), u"home");

    // A write changes that one field; the others stay as the server had them.
    s.let(u"ShMaxUses", 25);
    EXPECT_EQ(s.get(u"LastError").to_long(), 0);
    EXPECT_EQ(s.get(u"ShMaxUses").to_long(), 25);
    EXPECT_EQ(text(s, u"ShRemark"), u"Home folders");
    s.let(u"ShRemark", u"Homes");
    EXPECT_EQ(net->find(u"SRV01")->shares.shares.at(u"HOME").max_uses, 25);
    EXPECT_EQ(text(s, u"ShRemark"), u"Homes");

    const struct {
        StringView member;
        Variant value;
        int32_t error;
    } refused[] = {
        {u"ShPassword", u"123456789", 87},
        {u"ShPermissions", 0x80, 87},
        {u"ShMaxUses", -2, 87},
        {u"ShRemark", String(300, u'r'), 87},
        {u"ShRemark", String(u"a\0b", 3), 123},
    };
    for (const auto& r : refused) {
        s.let(r.member, r.value);
        EXPECT_EQ(s.get(u"LastError").to_long(), r.error) << to_utf8(r.member);
    }
    net->faults().fail(sim::op::NetShareSetInfo, 5);
    s.let(u"ShRemark", u"lost");
    EXPECT_EQ(s.get(u"LastError").to_long(), 5);
    const sim::SimShare& home = net->find(u"SRV01")->shares.shares.at(u"HOME");
    EXPECT_EQ(home.remark, u"Homes");
    EXPECT_EQ(home.max_uses, 25);
    EXPECT_EQ(home.permissions, 0u);
    EXPECT_EQ(text(s, u"ShRemark"), u"Homes");
}

TEST_F(SharerTest, CreateAndRemove) {
    const String long_name(81, u'n'), long_path = u"D:\\" + String(300, u'p');
    const struct {
        StringView computer, name, path, password;
        int32_t max_uses, permissions, result;
    } cases[] = {
        {u"SRV01", u"", u"D:\\Public", u"", 0, 0, 87},
        {u"SRV01", u"new", u"", u"", 0, 0, 87},
        {u"SRV01", u"new", u"D:\\Public", u"123456789", 0, 0, 87},
        {u"SRV01", u"home", u"D:\\Public", u"", 0, 0, 2118},
        {u"SRV01", u"new", u"D:\\Nowhere", u"", 0, 0, 2116},
        {u"SRV03", u"new", u"D:\\Public", u"", 0, 0, 53},
        {u"SRV01", StringView(u"n\0w", 3), u"D:\\Public", u"", 0, 0, 123},
        {u"SRV01", long_name, u"D:\\Public", u"", 0, 0, 87},
        {u"SRV01", u"new", long_path, u"", 0, 0, 87},
        {u"SRV01", u"new", u"D:\\Public", u"", -5, 0, 87},
        {u"SRV01", u"new", u"D:\\Public", u"", 0, 0x80, 87},
        {u"SRV01", u"a\\b", u"D:\\Public", u"", 0, 0, 87},
    };
    for (const auto& c : cases) {
        auto t = client::create(u"Vorlek.Sharer");
        t.let(u"Computer", String(c.computer));
        t.let(u"ShName", String(c.name));
        t.let(u"ShPath", String(c.path));
        t.let(u"ShPassword", String(c.password));
        t.let(u"ShMaxUses", c.max_uses);
        t.let(u"ShPermissions", c.permissions);
        EXPECT_EQ(t.call(u"Create").to_long(), c.result) << to_utf8(c.name) << to_utf8(c.path);
        EXPECT_FALSE(t.get(u"Valid").to_bool());
    }
    EXPECT_EQ(net->find(u"SRV01")->shares.shares.count(u"NEW"), 0u);

    // Maximum uses 0 is unlimited; the empty and the own name are the local machine.
    for (StringView computer : {u"", u"ws0001"}) {
        auto t = client::create(u"Vorlek.Sharer");
        t.let(u"Computer", String(computer));
        t.let(u"ShName", u"Tools");
        t.let(u"ShPath", u"C:\\");
        t.let(u"ShPassword", u"12345678");
        EXPECT_EQ(t.call(u"Create").to_long(), 0);
        EXPECT_TRUE(t.get(u"Valid").to_bool());
        EXPECT_EQ(t.get(u"ShMaxUses").to_long(), -1);
        EXPECT_EQ(text(t, u"Computer"), computer.empty() ? u"WS0001" : computer);
        // Share-level security: the share's password is asked for.
        EXPECT_EQ(net_use(u"T:", u"\\\\WS0001\\Tools", u"", u"wrong", false), 86);
        const Variant removed = t.call(u"RemoveShare", {String(computer), u"tools"});
        EXPECT_EQ(removed.type(), VarType::Integer);
        EXPECT_EQ(removed.to_long(), 0);
    }
    const Variant missing = s.call(u"RemoveShare", {u"", u"tools"});
    EXPECT_EQ(missing.type(), VarType::Long);
    EXPECT_EQ(missing.to_long(), 2310);
}

TEST_F(SharerTest, NetUseSearchesAFreeLetter) {
    EXPECT_EQ(net_use(u"*", u"\\\\SRV01\\public"), 0);
    ASSERT_EQ(connections().size(), 1u);
    EXPECT_EQ(connections()[0].local, u"D:");
    // E: is remembered from another session: the search passes it by.
    ASSERT_EQ(net_use(u"E:", u"\\\\SRV01\\home"), 0);
    ASSERT_EQ(net_use_del(u"E:", false, false), 0);
    ASSERT_NE(remembered(u"E"), nullptr);
    EXPECT_EQ(net_use(u"E:", u"\\\\SRV01\\home"), 1202);
    EXPECT_EQ(net_use(u"*", u"\\\\SRV01\\home"), 0);
    EXPECT_EQ(connections().back().local, u"F:");
    EXPECT_EQ(net_use(u"D:", u"\\\\SRV01\\home"), 85);
    EXPECT_EQ(net_use(u"C:", u"\\\\SRV01\\home"), 85);
    ASSERT_EQ(get_info(u"SRV01", u"home"), 0);
    EXPECT_EQ(s.get(u"ShCurUses").to_long(), 1);

    const struct {
        StringView remote;
        int32_t result;
    } remotes[] = {
        {u"", 87},
        {u"SRV01\\public", 67},
        {u"\\\\", 67},
        {u"\\\\SRV01", 67},
        {u"\\\\SRV01\\", 87},
        {u"\\\\SRV01\\public\\", 2310},
        {u"\\\\SRV01\\nothing", 2310},
        {u"\\\\SRV03\\public", 53},
        {StringView(u"\\\\SRV01\\pub\0lic", 15), 123},
    };
    for (const auto& r : remotes)
        EXPECT_EQ(net_use(u"G:", r.remote), r.result) << to_utf8(r.remote);
    EXPECT_EQ(connections().size(), 2u);
}

TEST_F(SharerTest, RememberedConnectionsAndCredentials) {
    ASSERT_EQ(net_use(u"x:", u"\\\\SRV01\\sales", u"CORP\\mmueller", u"Secret#mmueller"), 0);
    sim::KeyNode* key = remembered(u"X");
    ASSERT_NE(key, nullptr);
    EXPECT_EQ(sim::text_of(*key->value(u"RemotePath")), u"\\\\SRV01\\sales");
    EXPECT_EQ(sim::text_of(*key->value(u"UserName")), u"CORP\\mmueller");
    // Another account to the same server, a wrong password, a printer.
    EXPECT_EQ(net_use(u"Y:", u"\\\\SRV01\\home", u"CORP\\jsmith", u"Secret#jsmith"), 1219);
    EXPECT_EQ(net_use(u"Y:", u"\\\\SRV02\\print$", u"CORP\\jsmith", u"wrong"), 86);
    EXPECT_EQ(net_use(u"Y:", u"\\\\SRV02\\print$", u"CORP\\nobody", u"x"), 1326);
    EXPECT_EQ(net_use(u"", u"\\\\SRV02\\LaserJet"), 0);

    // Open files keep a connection unless forced; forgetting removes the key.
    connections()[0].open_files = 2;
    EXPECT_EQ(net_use_del(u"X:"), 2401);
    EXPECT_NE(remembered(u"X"), nullptr);
    EXPECT_EQ(net_use_del(u"X:", true), 0);
    EXPECT_EQ(remembered(u"X"), nullptr);
    EXPECT_EQ(net_use_del(u"X:"), 2250);
    EXPECT_EQ(net_use_del(u"\\\\SRV02\\LaserJet"), 0);
    EXPECT_TRUE(connections().empty());
    EXPECT_EQ(net->find(u"SRV01")->shares.shares.at(u"SALES").current_uses, 0);
    // An empty device fails the call itself.
    try {
        net_use_del(u"");
        ADD_FAILURE() << "NetUseDel returned";
    } catch (const DispatchError& e) {
        EXPECT_EQ(e.detail(), 87);
    }
}

TEST_F(SharerTest, ShareAndPrinterRights) {
    const struct {
        StringView share;
        std::vector<std::array<StringView, 4>> items;  // user, domain, type, right
    } cases[] = {
        {u"home",
         {{u"Administrators", u"BUILTIN", u"ACCESS_ALLOWED_ACE_TYPE", u"FULL"},
          {u"Domain Users", u"CORP", u"ACCESS_ALLOWED_ACE_TYPE", u"CHANGE"}}},
        {u"sales",
         {{u"Sales", u"CORP", u"ACCESS_ALLOWED_ACE_TYPE", u"CHANGE"},
          {u"File Readers", u"CORP", u"ACCESS_ALLOWED_ACE_TYPE", u"READ"},
          {u"kwilliams", u"CORP", u"ACCESS_DENIED_ACE_TYPE", u"ZERO"},
          {u"Administrators", u"BUILTIN", u"ACCESS_ALLOWED_ACE_TYPE", u"FULL"}}},
        {u"public", {{u"Everyone", u"", u"ACCESS_ALLOWED_ACE_TYPE", u"FULL"}}},
        {u"C$",
         {{u"Administrative Share", u"Administrative Share", u"Administrative Share",
           u"Administrative Share"}}},
        {u"IPC$",
         {{u"Administrative Share", u"Administrative Share", u"Administrative Share",
           u"Administrative Share"}}},
    };
    for (const auto& c : cases) {
        ASSERT_EQ(get_info(u"SRV01", c.share), 0);
        ASSERT_EQ(s.call(u"InitShareRights").to_long(), 0);
        ASSERT_EQ(count(u"ShareRights"), static_cast<int32_t>(c.items.size())) << to_utf8(c.share);
        for (size_t i = 0; i < c.items.size(); ++i) {
            auto r = item(u"ShareRights", static_cast<int32_t>(i + 1));
            EXPECT_EQ(text(r, u"ShRightUser"), c.items[i][0]);
            EXPECT_EQ(text(r, u"ShRightDomain"), c.items[i][1]);
            EXPECT_EQ(text(r, u"ShRightTypeStr"), c.items[i][2]);
            EXPECT_EQ(text(r, u"ShRightStr"), c.items[i][3]);
        }
    }
    // An unloaded object names its share itself; no computer is this machine.
    auto unloaded = client::create(u"Vorlek.Sharer");
    unloaded.let(u"ShName", u"C$");
    ASSERT_EQ(unloaded.call(u"InitShareRights").to_long(), 0);
    EXPECT_EQ(text(client::Dispatch(
                       client::Dispatch(unloaded.get(u"ShareRights")).call(u"Item", {u"Everyone"})),
                   u"ShRightStr"),
              u"FULL");
    ASSERT_EQ(get_info(u"SRV02", u"LaserJet"), 0);
    ASSERT_EQ(s.call(u"InitShareRights").to_long(), 0);
    EXPECT_EQ(text(item(u"ShareRights", u"Everyone"), u"ShRightStr"), u"PRINT");
    EXPECT_EQ(text(item(u"ShareRights", u"BUILTIN\\Power Users"), u"ShRightStr"), u"FULL");
    EXPECT_EQ(text(item(u"ShareRights", u"CORP\\Helpdesk"), u"ShRightStr"), u"MANAGE DOCUMENTS");
    // Every failure of the printer read ends the listing, the printer closed.
    for (const sim::Operation* op : {&sim::op::OpenPrinter, &sim::op::GetPrinter}) {
        net->faults().fail(*op, 1801);
        EXPECT_EQ(s.call(u"InitShareRights").to_long(), 1801);
        EXPECT_EQ(count(u"ShareRights"), 0);
    }
    EXPECT_EQ(net->handles().open_count(), 0u);
}

TEST_F(SharerTest, EntriesOfOneAccountMerge) {
    const platform::Sid admins = *platform::Sid::parse(u"S-1-5-32-544");
    const platform::Sid orphan = *platform::Sid::parse(u"S-1-5-21-9-9-9-1234");
    constexpr uint32_t kFull = 0x1F01FF, kRead = 0x1200A9;
    const struct {
        platform::Ace first, second;
        StringView right, type;
    } cases[] = {
        {{0, 0, kFull, admins}, {0, 0, kRead, admins}, u"READ", u"ACCESS_ALLOWED_ACE_TYPE"},
        {{0, 0, kFull, admins}, {1, 0, kRead, admins}, u"FULL", u"ACCESS_ALLOWED_ACE_TYPE"},
        {{1, 0, kFull, admins}, {0, 0, kRead, admins}, u"READ", u"ACCESS_ALLOWED_ACE_TYPE"},
        {{0, 0, kRead, admins}, {0, 0, kFull, admins}, u"READ", u"ACCESS_ALLOWED_ACE_TYPE"},
    };
    for (const auto& c : cases) {
        share_with({c.first, c.second, {0, 0, kRead, orphan}, {0, 0, kFull, orphan}});
        ASSERT_EQ(s.call(u"InitShareRights").to_long(), 0);
        ASSERT_EQ(count(u"ShareRights"), 2);
        auto merged = item(u"ShareRights", u"BUILTIN\\Administrators");
        EXPECT_EQ(text(merged, u"ShRightStr"), c.right);
        EXPECT_EQ(text(merged, u"ShRightTypeStr"), c.type);
        // Accounts without a name share one item.
        auto unknown = item(u"ShareRights", u"UNKNOWN\\UNKNOWN");
        EXPECT_EQ(text(unknown, u"ShRightStr"), u"READ");
        ASSERT_EQ(s.call(u"RemoveShare", {u"SRV01", u"listed"}).to_long(), 0);
    }
    // An empty list lists nobody.
    share_with({});
    EXPECT_EQ(s.call(u"InitShareRights").to_long(), 0);
    EXPECT_EQ(count(u"ShareRights"), 0);
}

// A listed share costs its object, its place in the collection and its share
// of what the listing holds. Its texts are the name, kept once by the item
// and once by the collection, the path, the remark, the type's text and the
// password mask.
TEST_F(SharerTest, ListedItemsStaySmall) {
    if (!bench::kHeapCounted) GTEST_SKIP() << "the heap is not counted here";
    constexpr int kAdded = 3000;
    for (int i = 0; i < kAdded; ++i) {
        platform::ShareInfo r;
        r.name = u"L" + String(6 - decimal(i).size(), u'0') + decimal(i);
        r.remark = u"Listed share";
        r.path = u"D:\\Public";
        uint32_t parm = 0;
        ASSERT_EQ(platform::current().shares().add_share(u"\\\\SRV01", r, parm), 0u);
    }
    int32_t listed = 0;
    const double per_item = bench::heap_per_item(kAdded, [&](auto held) {
        ASSERT_EQ(s.call(u"InitShares", {u"SRV01"}).to_long(), 0);
        listed = count(u"Shares");
        held();
    });
    ASSERT_GE(listed, kAdded);
    // Each text also keeps its length in a code unit.
    constexpr double kTexts = 2 * (2 * 7 + 9 + 12 + 14 + 8) + 2 * 5;
    EXPECT_LE(per_item, 300 + kTexts);
}

}  // namespace
}  // namespace vorlek
