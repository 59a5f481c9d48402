// vorlek-run [--machine NAME] script.js [args...]
#include <cstring>
#include <iostream>

#include "host/host.h"

namespace {

constexpr int kUsageError = 2;

void usage(std::ostream& out) {
    out << "usage: vorlek-run [--machine NAME] [--include FILE]... script.js [arguments...]\n"
           "  --machine NAME   simulated network preset (default: \"default\"; known:";
    for (const auto& name : vorlek::sim::preset_names())
        out << " " << vorlek::to_utf8(name);
    out << ")\n"
           "  --include FILE   evaluate FILE first, in the same global scope\n";
}

}  // namespace

int main(int argc, char** argv) {
    std::ios::sync_with_stdio(false);
    std::string machine = "default";
    vorlek::host::RunOptions options;
    int i = 1;
    for (; i < argc; ++i) {
        std::string_view arg = argv[i];
        if ((arg == "--machine" || arg == "--include") && i + 1 < argc) {
            std::string value = argv[++i];
            if (arg == "--machine") {
                machine = value;
                continue;
            }
            vorlek::host::ScriptFile include;
            if (!vorlek::host::load(value, include)) {
                std::cerr << "vorlek-run: cannot read " << value << "\n";
                return kUsageError;
            }
            options.includes.push_back(std::move(include));
        } else if (arg == "--help" || arg == "-h") {
            usage(std::cout);
            return 0;
        } else if (arg == "--") {
            ++i;
            break;
        } else if (arg.starts_with("--")) {
            std::cerr << "vorlek-run: unknown option " << arg << "\n";
            usage(std::cerr);
            return kUsageError;
        } else {
            break;
        }
    }
    if (i >= argc) {
        usage(std::cerr);
        return kUsageError;
    }
    auto network = vorlek::sim::make_network(vorlek::from_utf8(machine));
    if (!network) {
        std::cerr << "vorlek-run: no simulated machine preset named \"" << machine << "\" (known:";
        for (const auto& name : vorlek::sim::preset_names())
            std::cerr << " " << vorlek::to_utf8(name);
        std::cerr << ")\n";
        return kUsageError;
    }
    vorlek::host::ScriptFile script;
    if (!vorlek::host::load(argv[i], script)) {
        std::cerr << "vorlek-run: cannot read script " << argv[i] << "\n";
        return kUsageError;
    }
    for (++i; i < argc; ++i)
        options.arguments.emplace_back(argv[i]);
    return vorlek::host::run(script, options, std::move(network), std::cout, std::cerr);
}
