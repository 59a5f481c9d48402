// docs/reference is generated from the member tables, and the interface ids
// from the same descriptions: a table that changes without the reference
// being regenerated fails here, and so does an interface id that a change of
// the interface would not move.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

#include "automation/collection.h"
#include "automation/describe.h"
#include "library/library.h"
#include "strings/stringer.h"

namespace vorlek {
namespace {

namespace fs = std::filesystem;

std::string read(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

TEST(Reference, CheckedInTextMatchesTheTables) {
    const fs::path dir = VORLEK_REFERENCE_DIR;
    const auto classes = described_classes();
    std::set<std::string> expected{"README.md"};
    auto check = [&](const std::string& name, const std::string& generated) {
        expected.insert(name);
        EXPECT_TRUE(read(dir / name) == generated)
            << "docs/reference/" << name << " is not what the member tables say: run "
            << "`cmake --build --preset dev --target reference` and commit the result";
    };
    for (const ClassInfo* info : classes) {
        check(to_utf8(info->name) + ".idl", idl_file(*info));
        check(to_utf8(info->name) + ".md", reference_page(*info));
    }
    check("README.md", reference_index(classes));
    std::set<std::string> present;
    for (const auto& entry : fs::directory_iterator(dir))
        present.insert(entry.path().filename().string());
    EXPECT_EQ(present, expected) << "docs/reference holds files of no class (or lacks some): "
                                    "run the `reference` target";
}

MemberInfo& edit(ClassInfo& info, StringView name) {
    for (MemberInfo& m : info.members) {
        if (m.name == name) return m;
    }
    throw std::logic_error("no such member");
}

TEST(InterfaceId, MovesWithEveryChangeOfTheInterface) {
    const Uuid original = interface_uuid(Stringer::info());
    struct Change {
        const char* what;
        void (*apply)(ClassInfo&);
        bool moves;
    } changes[] = {
        {"a parameter's type",
         [](ClassInfo& c) { edit(c, u"ReplaceString").params[3].type = VarType::Integer; }, true},
        {"two parameters swapped",
         [](ClassInfo& c) {
             auto& p = edit(c, u"ReplaceEnvVars").params;
             std::swap(p[0], p[1]);
         },
         true},
        {"two members swapped", [](ClassInfo& c) { std::swap(c.members[3], c.members[4]); }, true},
        {"a parameter renamed",
         [](ClassInfo& c) { edit(c, u"GetCharEx").params[0].name = u"bteCode"; }, true},
        {"a default", [](ClassInfo& c) { edit(c, u"ReverseString").params[2].default_value = 2; },
         true},
        {"a default dropped",
         [](ClassInfo& c) { edit(c, u"ReverseString").params[2].has_default = false; }, true},
        {"an optional made required",
         [](ClassInfo& c) {
             auto& p = edit(c, u"ReverseString").params[2];
             p.optional = p.has_default = false;
         },
         true},
        {"a method made a get", [](ClassInfo& c) { edit(c, u"GetCharEx").kind = MemberKind::Get; },
         true},
        {"a result type", [](ClassInfo& c) { edit(c, u"LastError").result = VarType::Integer; },
         true},
        {"a dispatch id", [](ClassInfo& c) { edit(c, u"GetCharEx").dispid = 99; }, true},
        {"a member added", [](ClassInfo& c) { c.members.push_back(c.members.back()); }, true},
        {"a help string", [](ClassInfo& c) { edit(c, u"GetCharEx").help = u"Key names"; }, false},
        {"a constant's value", [](ClassInfo& c) { edit(c, u"REPLACE_ALL").constant = 42; }, false},
    };
    for (const auto& change : changes) {
        ClassInfo copy = Stringer::info();
        change.apply(copy);
        EXPECT_EQ(interface_uuid(copy) != original, change.moves) << change.what;
    }
}

TEST(InterfaceId, FixedForAFixedTableAndClassIdsFromNamesOnly) {
    // The collection's interface does not change: neither does its id.
    EXPECT_EQ(to_text(interface_uuid(Collection::info())), "19b2b437-49a6-56ca-a4f6-fa75ada3b89e");
    // Class ids and the library id are in admins' registries: only the
    // ProgID and the library's name go into them.
    EXPECT_EQ(to_text(class_uuid(Stringer::info())), "b852d280-2ce9-5f44-b289-599c6c04c977");
    EXPECT_EQ(to_text(library_uuid()), "74f13731-f240-5d8d-8118-98befc8b96b6");
    ClassInfo changed = Stringer::info();
    changed.members.pop_back();
    EXPECT_EQ(class_uuid(changed), class_uuid(Stringer::info()));
    // Interfaces of different classes never share an id.
    std::set<std::string> ids;
    for (const ClassInfo* info : described_classes())
        EXPECT_TRUE(ids.insert(to_text(interface_uuid(*info))).second) << to_utf8(info->name);
}

}  // namespace
}  // namespace vorlek
