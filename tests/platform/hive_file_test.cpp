// Hive files: what the simulation writes reads back whole and opens in an
// independent reader (regfexport), and broken or hostile files are refused
// with the registry's statuses rather than crashing or running away.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <functional>
#include <random>

#include "platform/sim/hive_file.h"
#include "tests/support/reader_tool.h"

namespace vorlek {
namespace {

namespace reg = platform::reg;
namespace st = platform::status;
using sim::KeyNode;

uint32_t get32(const std::vector<uint8_t>& f, size_t at) {
    return uint32_t{f[at]} | uint32_t{f[at + 1]} << 8 | uint32_t{f[at + 2]} << 16 |
           uint32_t{f[at + 3]} << 24;
}
void put32(std::vector<uint8_t>& f, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        f[at + static_cast<size_t>(i)] = static_cast<uint8_t>(v >> (8 * i));
}
void fix_checksum(std::vector<uint8_t>& f) {
    uint32_t sum = 0;
    for (size_t i = 0; i < 0x1FC; i += 4)
        sum ^= get32(f, i);
    put32(f, 0x1FC, sum);
}

std::shared_ptr<KeyNode> sample_tree(size_t children) {
    auto root = std::make_shared<KeyNode>(u"ROOT");
    root->write_time = 133655058000000000;
    root->class_name = u"RootClass";
    platform::SecurityDescriptor sd;
    sd.owner = platform::sid::builtin_alias(544);
    sd.group = platform::sid::local_system();
    sd.dacl = platform::Acl{2, {{0, 2, reg::kAllAccess, platform::sid::everyone()}}};
    root->security = std::make_shared<const platform::SecurityDescriptor>(sd);
    const auto text = sim::utf16_bytes(String(u"caf\u00E9\0", 5));
    root->set_value(u"", reg::kSz, text);
    root->set_value(u"Dword", reg::kDword, {1, 2, 3, 4});
    root->set_value(u"Empty", reg::kBinary, {});
    root->set_value(u"Big", reg::kBinary, std::vector<uint8_t>(100000, 7));
    root->set_value(u"\u0416", reg::kMultiSz, sim::utf16_bytes(String(u"a\0b", 3)));
    for (size_t i = 0; i < children; ++i) {
        KeyNode& c = root->add_child(u"Key" + decimal(static_cast<int64_t>(i)));
        c.write_time = 133655058000000000 + i;
        c.security = root->security;
    }
    root->add_child(u"Volatile").is_volatile = true;
    return root;
}

TEST(HiveFileTest, ATreeReadsBackWithEverythingButItsVolatileKeys) {
    auto tree = sample_tree(1500);  // past one list: an ri index of lf lists
    const auto file = sim::write_hive(*tree, 1);
    auto back = sim::read_hive(file);
    ASSERT_EQ(back.status, 0u);
    const KeyNode& b = *back.value;
    EXPECT_EQ(b.class_name, u"RootClass");
    EXPECT_EQ(b.write_time, tree->write_time);
    EXPECT_EQ(*b.security, *tree->security);
    ASSERT_EQ(b.values().size(), tree->values().size());
    for (const auto& v : tree->values()) {
        ASSERT_TRUE(b.value(v.name)) << to_utf8(v.name);
        EXPECT_EQ(b.value(v.name)->type, v.type);
        EXPECT_EQ(b.value(v.name)->data, v.data);
    }
    EXPECT_EQ(b.child_count(), 1500u);
    EXPECT_FALSE(b.child(u"Volatile"));
    EXPECT_EQ(b.child(u"Key1499")->write_time, tree->child(u"Key1499")->write_time);
    EXPECT_EQ(b.child(u"key7")->security, b.security);  // one descriptor, shared
}

// The independent reader: regfexport of libregf-utils.
TEST(HiveFileTest, AnotherToolReadsTheSavedFile) {
    const std::string out = testing_support::run_reader(
        "regfexport", sim::write_hive(*sample_tree(700), 1), "/tmp/vorlek_hive_test.hiv");
    auto count = [&](const std::string& what) { return testing_support::occurrences(out, what); };
    EXPECT_EQ(count("Key path: ROOT\\Key"), 700u);
    EXPECT_EQ(count("Key path: ROOT\\Volatile"), 0u);
    EXPECT_EQ(count("Class name: RootClass"), 1u);
    EXPECT_EQ(count("Data: caf\xC3\xA9"), 1u) << out.substr(0, 400);  // UTF-8 of its output
    EXPECT_EQ(count("Data: 67305985"), 1u);
    EXPECT_EQ(count("Data size: 100000"), 1u);
    EXPECT_EQ(count("(REG_MULTI_SZ)"), 1u);
    EXPECT_EQ(out.find("Unable"), std::string::npos) << out.substr(0, 2000);
}

TEST(HiveFileTest, BrokenFilesAreRefusedWithTheRegistrysStatuses) {
    const auto good = sim::write_hive(*sample_tree(3), 1);
    const uint32_t root = get32(good, 0x24);
    const size_t root_cell = 4096 + root;
    struct Case {
        const char* what;
        std::function<void(std::vector<uint8_t>&)> spoil;
        platform::Status status;
    } cases[] = {
        {"no signature", [](auto& f) { f[0] = 'x'; }, st::kBadDb},
        {"checksum", [](auto& f) { f[0x30] ^= 1; }, st::kBadDb},
        {"header only", [](auto& f) { f.resize(100); }, st::kFileCorrupt},
        {"cut in the bins", [](auto& f) { f.resize(f.size() - 4096); }, st::kFileCorrupt},
        {"root outside",
         [](auto& f) {
             put32(f, 0x24, 0x7FFFFFF0);
             fix_checksum(f);
         },
         st::kBadKey},
        {"root not a key", [&](auto& f) { f[root_cell + 4] = 'x'; }, st::kBadKey},
        {"a key that is its own child",
         [&](auto& f) {
             const uint32_t list = get32(f, root_cell + 4 + 0x1C);
             put32(f, 4096 + list + 4 + 4, root);  // first lf entry -> root
         },
         st::kBadKey},
        {"a sub-key count no list holds",
         [&](auto& f) { put32(f, root_cell + 4 + 0x14, 0xFFFFFFFF); }, st::kBadKey},
        {"a value count no list holds",
         [&](auto& f) { put32(f, root_cell + 4 + 0x24, 0x40000000); }, st::kBadKey},
        {"a name longer than its cell",
         [&](auto& f) { f[root_cell + 4 + 0x48] = 0xFF, f[root_cell + 4 + 0x49] = 0xFF; },
         st::kBadKey},
        {"a cell size past the end", [&](auto& f) { put32(f, root_cell, 0x80000008); },
         st::kBadKey},
    };
    for (const Case& c : cases) {
        auto f = good;
        c.spoil(f);
        EXPECT_EQ(sim::read_hive(f).status, c.status) << c.what;
    }
}

// Any damage is either read or refused; nothing crashes, hangs or grows.
TEST(HiveFileTest, DamagedFilesNeverCrashTheReader) {
    const auto good = sim::write_hive(*sample_tree(40), 1);
    std::mt19937 random(42);
    for (int round = 0; round < 2000; ++round) {
        auto f = good;
        const int flips = 1 + round % 8;
        for (int i = 0; i < flips; ++i) {
            const size_t at = 4096 + random() % (f.size() - 4096);
            f[at] = static_cast<uint8_t>(random());
        }
        if (round % 5 == 0) f.resize(4096 + random() % (f.size() - 4096));
        const auto r = sim::read_hive(f);
        EXPECT_TRUE(r.status == 0 || r.status == st::kBadKey || r.status == st::kFileCorrupt ||
                    r.status == st::kBadDb)
            << r.status;
    }
}

}  // namespace
}  // namespace vorlek
