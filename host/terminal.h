// vorlek-run --console: the simulated console of the script's process shown
// on the terminal the host runs in. The window's cells are drawn with their
// colours, the cursor placed, the title sent as the terminal's title; keys
// and mouse reports typed on the terminal become input records, Ctrl+C the
// console's control signal.
#pragma once

#include <memory>
#include <streambuf>
#include <string>

#include "platform/sim/console.h"
#include "platform/sim/network.h"

namespace vorlek::host {

class Terminal : public sim::ConsoleTerminal {
  public:
    // Takes the terminal on `fd_in`/`fd_out` (raw input, mouse reports) and
    // shows the console of the network's script host.
    Terminal(std::shared_ptr<sim::Network> network, int fd_in, int fd_out);
    ~Terminal() override;
    Terminal(const Terminal&) = delete;
    Terminal& operator=(const Terminal&) = delete;

    void changed(sim::SimConsole& console) override;
    void poll(sim::SimConsole& console) override;
    bool wait(sim::SimConsole& console) override;

    // Waits `ms` milliseconds of real time, taking keys meanwhile.
    void sleep(uint32_t ms);
    // Text the host writes to its standard output (WScript.Echo), UTF-8,
    // written to the console as a console program's output is.
    void echo(const std::string& utf8);

    // The bytes typed on the terminal as input records, for tests: the keys
    // with their characters and virtual key codes, SGR mouse reports.
    static std::vector<platform::InputRecord> records_of(std::string& pending);

  private:
    void draw(sim::SimConsole& console);
    // The terminal as it was before (once).
    void restore();
    // Reads what is there (waiting up to `timeout_ms`, -1 for ever); false at
    // the end of input.
    bool take(int timeout_ms);

    std::shared_ptr<sim::Network> network_;
    std::shared_ptr<sim::SimConsole> console_;
    uint32_t pid_ = 0;
    int in_;
    int out_;
    bool raw_ = false;
    bool restored_ = false;
    bool ended_ = false;  // the input is at its end
    struct Saved;
    std::unique_ptr<Saved> saved_;
    std::string pending_;  // bytes of a sequence not yet complete
    std::string title_;
};

// An output stream buffer that hands each line to the terminal.
class TerminalOutput : public std::streambuf {
  public:
    explicit TerminalOutput(Terminal& terminal) : terminal_(terminal) {}

  protected:
    int_type overflow(int_type c) override;
    int sync() override;

  private:
    Terminal& terminal_;
    std::string line_;
};

}  // namespace vorlek::host
