// Writes the seed corpus of the hive-file target (fuzz/corpus/hive_file):
// keys of the default network's registry as RegSaveKey saves them, and one
// small tree with what those lack (every value type, a class, a name that is
// not Latin-1, an empty value, data past one cell's inline bytes, an own
// security descriptor), and one with more sub-keys than one list holds.
//
//   build/fuzz/fuzz/save-hive-seeds fuzz/corpus/hive_file
#include <cstdio>
#include <fstream>

#include "platform/sim/hive_file.h"
#include "platform/sim/network.h"

int main(int argc, char** argv) {
    using namespace vorlek;
    using namespace vorlek::sim;
    namespace reg = platform::reg;
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s DIRECTORY\n", argv[0]);
        return 2;
    }
    bool ok = true;
    auto save = [&](const char* name, const KeyNode& key, platform::FileTime when) {
        const auto file = write_hive(key, when);
        std::ofstream out(std::string(argv[1]) + "/" + name, std::ios::binary);
        out.write(reinterpret_cast<const char*>(file.data()),
                  static_cast<std::streamsize>(file.size()));
        if (!out) {
            std::fprintf(stderr, "cannot write %s/%s\n", argv[1], name);
            ok = false;
        }
    };

    auto net = make_network(u"default");
    Machine& m = net->local();
    const platform::FileTime now = m.time.clock;
    KeyNode& hklm = *predefined_key(*net, m, platform::hkey::kLocalMachine);
    save("eventlog.hiv", *find_key(hklm, u"SYSTEM\\CurrentControlSet\\Services\\EventLog"), now);
    save("user.hiv", *predefined_key(*net, m, platform::hkey::kCurrentUser), now);
    save("select.hiv", *find_key(hklm, u"SYSTEM\\Select"), now);

    KeyNode mixed(u"Mixed");
    mixed.class_name = u"Seed";
    mixed.write_time = now;
    mixed.security = hklm.security;
    mixed.set_value(u"", reg::kSz, utf16_bytes(String(u"d\u00E9faut\0", 7)));
    mixed.set_value(u"Expand", reg::kExpandSz, utf16_bytes(String(u"%TEMP%\0", 7)));
    mixed.set_value(u"Multi", reg::kMultiSz, utf16_bytes(String(u"a\0bc\0\0", 6)));
    mixed.set_value(u"Dword", reg::kDword, {1, 0, 0, 0});
    mixed.set_value(u"Binary", reg::kBinary, {1, 2, 3, 4, 5, 6, 7, 8, 9});
    mixed.set_value(u"None", reg::kNone, {});
    mixed.set_value(u"\u0416\u20AC", reg::kDwordBigEndian, {0, 0, 0, 1});
    mixed.set_value(u"Qword", 11 /* REG_QWORD */, {1, 2, 3, 4, 5, 6, 7, 8});
    KeyNode& wide = mixed.add_child(u"Sub\u0416");
    wide.class_name = u"Klasse";
    wide.add_child(u"Leaf").set_value(u"x", reg::kSz, utf16_bytes(String(u"y\0", 2)));
    save("mixed.hiv", mixed, now);

    KeyNode many(u"Many");
    many.write_time = now;
    for (int i = 0; i < 513; ++i)
        many.add_child(u"k" + decimal(i));
    save("many.hiv", many, now);
    return ok ? 0 : 1;
}
