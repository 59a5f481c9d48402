// vorlek-describe DIR: writes the IDL and the reference page of every class
// the type library describes, and the index, into DIR. Files of classes that
// are gone are removed, so DIR holds exactly what the tables describe.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <set>

#include "automation/describe.h"
#include "library/library.h"

namespace fs = std::filesystem;
using namespace vorlek;

namespace {

bool write(const fs::path& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
    out.close();
    if (!out) std::fprintf(stderr, "vorlek-describe: cannot write %s\n", path.string().c_str());
    return static_cast<bool>(out);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: vorlek-describe DIRECTORY\n");
        return 2;
    }
    const fs::path dir = argv[1];
    std::error_code error;
    fs::create_directories(dir, error);
    const auto classes = described_classes();
    std::set<fs::path> written;
    bool ok = true;
    auto emit = [&](const std::string& name, const std::string& text) {
        written.insert(dir / name);
        ok = write(dir / name, text) && ok;
    };
    for (const ClassInfo* info : classes) {
        const std::string name = to_utf8(info->name);
        emit(name + ".idl", idl_file(*info));
        emit(name + ".md", reference_page(*info));
    }
    emit("README.md", reference_index(classes));
    for (const auto& entry : fs::directory_iterator(dir, error)) {
        const auto ext = entry.path().extension();
        if ((ext == ".idl" || ext == ".md") && !written.count(entry.path()))
            fs::remove(entry.path(), error);
    }
    return ok ? 0 : 1;
}
