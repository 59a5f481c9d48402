// vorlek-run: a small JScript-compatible script host on duktape. It gives a
// script the globals a cscript JScript program uses (ActiveXObject, WScript,
// Enumerator, VBArray) and reaches the library's classes through their member
// tables, against a simulated network.
#pragma once

#include <functional>
#include <iosfwd>
#include <memory>
#include <string>
#include <vector>

#include "automation/catalogue.h"
#include "platform/platform.h"
#include "platform/sim/network.h"

namespace vorlek::host {

struct ScriptFile {
    std::string name;    // as printed in error messages: "strings.js"
    std::string path;    // WScript.ScriptFullName
    std::string source;  // UTF-8
};

struct RunOptions {
    // Files evaluated before the script in the same global scope (the shared
    // test harness); their errors name their own file and line.
    std::vector<ScriptFile> includes;
    std::vector<std::string> arguments;  // WScript.Arguments, UTF-8
    // Upper bound of the script heap; a script that needs more gets an
    // "Out of memory" error instead of taking the machine down.
    size_t memory_limit = size_t{1} << 30;
    // The classes ActiveXObject can create; null: the library's catalogue.
    const Catalogue* catalogue = nullptr;
    // Called by WScript.Sleep after the simulated time passed (a terminal
    // showing the console lets the time pass for real, taking keys).
    std::function<void(uint32_t ms)> sleep;
};

// Runs one script to its end against `network` (installed as the thread's
// platform for the run), writing WScript.Echo output to `out` and an uncaught
// error to `err`. Returns the process exit status: the WScript.Quit code, 0
// after a normal end, 1 after an uncaught error. Never throws.
int run(const ScriptFile& script, const RunOptions& options, std::shared_ptr<sim::Network> network,
        std::ostream& out, std::ostream& err) noexcept;

// The same against any platform (the remote backend's, say).
int run(const ScriptFile& script, const RunOptions& options,
        std::shared_ptr<platform::Platform> platform, std::ostream& out,
        std::ostream& err) noexcept;

// Reads a script file; false when it cannot be read.
bool load(const std::string& path, ScriptFile& script);

}  // namespace vorlek::host
