// vorlek-run [--machine NAME] [--file SIM=HOST]... [--save SIM=HOST]... [--console] script.js
//            [args...]
// vorlek-run --remote SERVER [--user DOMAIN\\name] [--password-file FILE] script.js [args...]
#include <cstring>
#include <fstream>
#include <iostream>
#include <iterator>

#include "host/host.h"
#include "host/remote_login.h"
#include "host/terminal.h"
#ifdef VORLEK_HAVE_REMOTE
#include <unistd.h>
#include <ext/stdio_filebuf.h>

#include "platform/remote/remote.h"
#endif

namespace {

constexpr int kUsageError = 2;

void usage(std::ostream& out) {
    out << "usage: vorlek-run [--machine NAME] [--include FILE]... script.js [arguments...]\n"
           "  --machine NAME   simulated network preset (default: \"default\"; known:";
    for (const auto& name : vorlek::sim::preset_names())
        out << " " << vorlek::to_utf8(name);
    out << ")\n"
           "  --include FILE   evaluate FILE first, in the same global scope\n"
           "  --file SIM=HOST  put the host's file HOST on the simulated local machine as SIM\n"
           "                   (a hive copied from a real machine, for a dry run)\n"
           "  --save SIM=HOST  after the run, write the simulated machine's file SIM to HOST\n"
           "  --console        show the script's console on this terminal and take its keys\n"
           "  --remote SERVER  run against the real server SERVER (a Windows or Samba machine)\n"
           "                   instead of the simulated network; \"\" in the script names it\n"
           "  --user D\\NAME    the account to act as there (DOMAIN\\name or name@REALM)\n"
           "  --password-file FILE  its password, the file's first line; without it a\n"
           "                   Kerberos ticket is used if there is one, else it is asked for\n";
}

#ifdef VORLEK_HAVE_REMOTE
// The remote platform for `login`; null (with the reason on stderr) when the
// sign-in cannot even be set up.
std::shared_ptr<vorlek::platform::Platform> remote_platform(
    const vorlek::host::RemoteLogin& login) {
    vorlek::platform::remote::Credentials credentials;
    credentials.server = login.server;
    if (credentials.server.starts_with("\\\\")) credentials.server.erase(0, 2);
    vorlek::host::split_user(login.user, credentials.domain, credentials.user);
    if (!login.password_file.empty()) {
        auto password = vorlek::host::read_password_file(login.password_file);
        if (!password) {
            std::cerr << "vorlek-run: cannot read the password file " << login.password_file
                      << "\n";
            return nullptr;
        }
        credentials.password = std::move(*password);
    } else if (vorlek::host::have_ticket_cache()) {
        credentials.kerberos = true;
    } else {
        auto password = vorlek::host::prompt_password("Password for " + login.user + " on " +
                                                      login.server + ": ");
        if (!password) {
            std::cerr << "vorlek-run: no terminal to ask the password on; use --password-file\n";
            return nullptr;
        }
        credentials.password = std::move(*password);
    }
    auto made = vorlek::platform::remote::make_platform(std::move(credentials));
    if (!made.ok()) {
        std::cerr << "vorlek-run: cannot set up the connection to " << login.server << " (status "
                  << made.status << ")\n";
        return nullptr;
    }
    return made.value;
}
#endif

// "SIM=HOST": the simulated path and the host path.
bool split_mapping(std::string_view text, std::string& sim_path, std::string& host_path) {
    const size_t eq = text.find('=');
    if (eq == std::string_view::npos || eq == 0 || eq + 1 == text.size()) return false;
    sim_path = text.substr(0, eq);
    host_path = text.substr(eq + 1);
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    std::ios::sync_with_stdio(false);
    std::string machine = "default";
    vorlek::host::RunOptions options;
    std::vector<std::pair<std::string, std::string>> imports, exports;
    bool console = false;
    vorlek::host::RemoteLogin remote;
    int i = 1;
    for (; i < argc; ++i) {
        std::string_view arg = argv[i];
        if ((arg == "--file" || arg == "--save") && i + 1 < argc) {
            std::string sim_path, host_path;
            if (!split_mapping(argv[++i], sim_path, host_path)) {
                std::cerr << "vorlek-run: " << arg << " takes SIM=HOST\n";
                return kUsageError;
            }
            (arg == "--file" ? imports : exports).emplace_back(sim_path, host_path);
        } else if ((arg == "--machine" || arg == "--include") && i + 1 < argc) {
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
        } else if ((arg == "--remote" || arg == "--user" || arg == "--password-file") &&
                   i + 1 < argc) {
            std::string value = argv[++i];
            if (arg == "--remote") {
                if (value.empty()) {
                    std::cerr << "vorlek-run: --remote needs a server name\n";
                    return kUsageError;
                }
                remote.server = std::move(value);
            } else if (arg == "--user") {
                remote.user = std::move(value);
            } else {
                remote.password_file = std::move(value);
            }
        } else if (arg == "--console") {
            console = true;
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
    if (!remote.server.empty()) {
#ifdef VORLEK_HAVE_REMOTE
        if (console || !imports.empty() || !exports.empty()) {
            std::cerr
                << "vorlek-run: --console, --file and --save work on the simulated network only\n";
            return kUsageError;
        }
        auto platform = remote_platform(remote);
        if (!platform) return kUsageError;
        vorlek::host::ScriptFile script;
        if (!vorlek::host::load(argv[i], script)) {
            std::cerr << "vorlek-run: cannot read script " << argv[i] << "\n";
            return kUsageError;
        }
        for (++i; i < argc; ++i)
            options.arguments.emplace_back(argv[i]);
        // Samba's client library prints some failures on the standard
        // output itself; they go to stderr, and the script's output keeps
        // the standard output to itself.
        std::cout.flush();
        const int script_out = dup(STDOUT_FILENO);
        if (script_out < 0 || dup2(STDERR_FILENO, STDOUT_FILENO) < 0) {
            std::cerr << "vorlek-run: cannot set up the output\n";
            return 1;
        }
        int status;
        {
            __gnu_cxx::stdio_filebuf<char> buffer(script_out, std::ios::out);
            std::ostream out(&buffer);
            status = vorlek::host::run(script, options, std::move(platform), out, std::cerr);
            out.flush();
        }
        return status;
#else
        std::cerr << "vorlek-run: this build has no remote backend (build it with Samba's client "
                     "libraries)\n";
        return kUsageError;
#endif
    } else if (!remote.user.empty() || !remote.password_file.empty()) {
        std::cerr << "vorlek-run: --user and --password-file go with --remote\n";
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
    for (const auto& [sim_path, host_path] : imports) {
        std::ifstream in(host_path, std::ios::binary);
        if (!in) {
            std::cerr << "vorlek-run: cannot read " << host_path << "\n";
            return kUsageError;
        }
        network->local().files[vorlek::from_utf8(sim_path)] =
            std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
    }
    vorlek::host::ScriptFile script;
    if (!vorlek::host::load(argv[i], script)) {
        std::cerr << "vorlek-run: cannot read script " << argv[i] << "\n";
        return kUsageError;
    }
    for (++i; i < argc; ++i)
        options.arguments.emplace_back(argv[i]);
    int status;
    if (console) {
        // The script's output goes to its console, as a console program's does.
        vorlek::host::Terminal terminal(network, 0, 1);
        vorlek::host::TerminalOutput lines(terminal);
        std::ostream out(&lines);
        options.sleep = [&terminal](uint32_t ms) { terminal.sleep(ms); };
        status = vorlek::host::run(script, options, network, out, out);
        out.flush();
    } else {
        status = vorlek::host::run(script, options, network, std::cout, std::cerr);
    }
    for (const auto& [sim_path, host_path] : exports) {
        const auto& files = network->local().files;
        auto found = files.find(vorlek::from_utf8(sim_path));
        if (found == files.end()) {
            std::cerr << "vorlek-run: the simulated machine has no file " << sim_path << "\n";
            return status ? status : 1;
        }
        std::ofstream out(host_path, std::ios::binary);
        out.write(reinterpret_cast<const char*>(found->second.data()),
                  static_cast<std::streamsize>(found->second.size()));
        if (!out) {
            std::cerr << "vorlek-run: cannot write " << host_path << "\n";
            return status ? status : 1;
        }
    }
    return status;
}
