// The consoles of a simulated machine, one per process that has one: the
// screen buffer of cells, the cursor, the window inside the buffer, title,
// code pages and modes, the input buffer of records, and the process's
// control handlers. A test or a terminal pushes records and control signals
// into a console and reads its cells back.
#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <vector>

#include "platform/console.h"
#include "platform/sim/faults.h"
#include "platform/sim/handles.h"

namespace vorlek::sim {

class Network;
struct Machine;
class SimConsole;

// What a real terminal showing a console does for it (vorlek-run
// --console): it is told when the console changed, looks for keys at each
// input call, and is asked to wait for keys when a read needs more.
class ConsoleTerminal {
  public:
    virtual ~ConsoleTerminal() = default;
    // The cells, cursor or title changed.
    virtual void changed(SimConsole& console) = 0;
    // Pushes what was typed meanwhile; does not wait.
    virtual void poll(SimConsole& console) = 0;
    // Waits until something was typed and pushes it; false when nothing
    // more can come.
    virtual bool wait(SimConsole& console) = 0;
};

struct Cell {
    char16_t character = u' ';
    uint16_t attributes = 0x07;
    bool operator==(const Cell&) const = default;
};

// A screen buffer and how text reaches it.
class ScreenBuffer {
  public:
    static constexpr int16_t kMaxExtent = 0x7FFF;
    // The most cells a buffer may have (9,999 x 300 fit, 32,767 x 300 do not).
    static constexpr size_t kMaxCells = size_t{8} << 20;

    ScreenBuffer(platform::Coord size, platform::Coord window, platform::Coord largest);

    platform::Coord size() const noexcept { return size_; }
    platform::Coord cursor() const noexcept { return cursor_; }
    platform::SmallRect window() const noexcept { return window_; }
    platform::Coord largest() const noexcept { return largest_; }
    // The largest window the buffer allows: the screen's, cut to the buffer.
    platform::Coord maximum_window() const noexcept;
    uint16_t attributes() const noexcept { return attributes_; }
    uint32_t mode() const noexcept { return mode_; }
    platform::CursorInfo cursor_info() const noexcept { return cursor_info_; }
    const Cell& at(int16_t x, int16_t y) const { return cells_[index(x, y)]; }
    // One row as text, trailing spaces kept.
    String row(int16_t y) const;

    // WriteConsoleW at the cursor: with processed output CR, LF, BS, TAB and
    // BEL act, the rest are glyphs; at the end of a row the text wraps (with
    // wrap at end of line) or stays in the last column; writing below the
    // last row scrolls the buffer up one row. The window follows the cursor.
    void write(StringView text);
    // Cells from `at` on, row after row, to the buffer's end at most; 87
    // for a start outside the buffer.
    platform::Result<uint32_t> fill(platform::Coord at, uint32_t count, const char16_t* character,
                                    const uint16_t* attributes);

    platform::Status set_mode(uint32_t mode);
    void set_attributes(uint16_t a) noexcept { attributes_ = a; }
    // 87 for a size below the window or beyond the limits; the cells that
    // stay in the buffer keep their contents.
    platform::Status resize(platform::Coord size);
    // 87 outside the buffer; the window moves to show the cursor.
    platform::Status move_cursor(platform::Coord at);
    // 87 for a size outside 1 to 100.
    platform::Status set_cursor_info(platform::CursorInfo info);
    // 87 for a rectangle that is empty, leaves the buffer or is larger than
    // the largest window.
    platform::Status set_window(platform::SmallRect window);
    // The screen's largest window (a terminal sets its own size).
    void set_largest(platform::Coord largest) noexcept { largest_ = largest; }

  private:
    // Rows are kept as a ring: scrolling moves the first row, not the cells.
    size_t index(int16_t x, int16_t y) const noexcept {
        const size_t row = (top_ + static_cast<size_t>(y)) % static_cast<size_t>(size_.y);
        return row * static_cast<size_t>(size_.x) + static_cast<size_t>(x);
    }
    void put(char16_t c);
    void new_line();
    void scroll_up();
    void show_cursor();

    platform::Coord size_;
    platform::Coord cursor_;
    platform::SmallRect window_;
    platform::Coord largest_;
    uint16_t attributes_ = 0x07;
    uint32_t mode_ = platform::con::kProcessedOutput | platform::con::kWrapAtEolOutput;
    platform::CursorInfo cursor_info_{25, true};
    std::vector<Cell> cells_;
    size_t top_ = 0;  // the ring's first row
};

class SimConsole {
  public:
    explicit SimConsole(String title);

    ScreenBuffer screen;
    String title;
    uint32_t input_code_page = 0;
    uint32_t output_code_page = 0;
    uint32_t input_mode =
        platform::con::kProcessedInput | platform::con::kLineInput | platform::con::kEchoInput;
    std::deque<platform::InputRecord> input;
    uint32_t mouse_buttons = 2;
    ConsoleTerminal* terminal = nullptr;

    // Input modes the console takes: the five of the library and insert,
    // quick edit, extended flags; echo only together with line input.
    platform::Status set_input_mode(uint32_t mode);
    // ReadConsoleW. With line input: key-down characters up to the first
    // carriage return, which ends the line as CR LF; backspace takes the
    // last character back; with echo input each is written to the screen
    // as it is read. Without: the characters waiting. When the records run
    // out the terminal is asked to wait; without one (nobody at the
    // keyboard) the read ends with what was typed so far.
    String read(uint32_t max_chars);

    // A key pressed and released (two records); `control` the state bits.
    void type_key(char16_t character, uint16_t virtual_key, uint32_t control = 0);
    // Text typed key by key (CR for Enter).
    void type(StringView text);

    void changed() {
        if (terminal) terminal->changed(*this);
    }

  private:
    String pending_line_;     // a line read, not yet handed out in full
    bool line_done_ = false;  // the line ended: the next read hands out the rest
};

// One open console handle: the process, the console and which of its
// buffers it stands for.
struct ConsoleHandleEntry {
    uint32_t pid = 0;
    uint64_t console = 0;  // the console's serial number
    bool input = false;
};

struct ProcessConsole {
    ProcessConsole() = default;
    // A copy (a machine saved, Network::save) has a console of its own.
    ProcessConsole(const ProcessConsole& other);
    ProcessConsole& operator=(const ProcessConsole& other);
    ProcessConsole(ProcessConsole&&) = default;
    ProcessConsole& operator=(ProcessConsole&&) = default;

    std::shared_ptr<SimConsole> console;  // null: none
    uint64_t serial = 0;
    Handle std_input = 0;
    Handle std_output = 0;
    std::vector<platform::ControlHandler> handlers;  // in the order added
};

struct ConsoleState {
    std::map<uint32_t, ProcessConsole> processes;
    // Every console handle a process of the machine holds open.
    std::map<Handle, ConsoleHandleEntry> handles;
    uint64_t next_serial = 1;
    bool started = false;  // the script host has its console
};

namespace op {
inline constexpr Operation AllocConsole{u"AllocConsole"};
inline constexpr Operation FreeConsole{u"FreeConsole"};
inline constexpr Operation GetStdHandle{u"GetStdHandle"};
inline constexpr Operation CreateFileConsole{u"CreateFile"};
inline constexpr Operation WriteConsole{u"WriteConsole"};
inline constexpr Operation ReadConsole{u"ReadConsole"};
inline constexpr Operation FillConsoleOutputCharacter{u"FillConsoleOutputCharacter"};
inline constexpr Operation FillConsoleOutputAttribute{u"FillConsoleOutputAttribute"};
inline constexpr Operation GetConsoleCP{u"GetConsoleCP"};
inline constexpr Operation SetConsoleCP{u"SetConsoleCP"};
inline constexpr Operation GetConsoleOutputCP{u"GetConsoleOutputCP"};
inline constexpr Operation SetConsoleOutputCP{u"SetConsoleOutputCP"};
inline constexpr Operation GetConsoleTitle{u"GetConsoleTitle"};
inline constexpr Operation SetConsoleTitle{u"SetConsoleTitle"};
inline constexpr Operation GetConsoleMode{u"GetConsoleMode"};
inline constexpr Operation SetConsoleMode{u"SetConsoleMode"};
inline constexpr Operation SetConsoleTextAttribute{u"SetConsoleTextAttribute"};
inline constexpr Operation GetConsoleScreenBufferInfo{u"GetConsoleScreenBufferInfo"};
inline constexpr Operation SetConsoleScreenBufferSize{u"SetConsoleScreenBufferSize"};
inline constexpr Operation SetConsoleCursorPosition{u"SetConsoleCursorPosition"};
inline constexpr Operation GetConsoleCursorInfo{u"GetConsoleCursorInfo"};
inline constexpr Operation SetConsoleCursorInfo{u"SetConsoleCursorInfo"};
inline constexpr Operation SetConsoleWindowInfo{u"SetConsoleWindowInfo"};
inline constexpr Operation GetNumberOfConsoleInputEvents{u"GetNumberOfConsoleInputEvents"};
inline constexpr Operation PeekConsoleInput{u"PeekConsoleInput"};
inline constexpr Operation ReadConsoleInput{u"ReadConsoleInput"};
inline constexpr Operation FlushConsoleInputBuffer{u"FlushConsoleInputBuffer"};
inline constexpr Operation GetNumberOfConsoleMouseButtons{u"GetNumberOfConsoleMouseButtons"};
inline constexpr Operation SetConsoleCtrlHandler{u"SetConsoleCtrlHandler"};
}  // namespace op

// The machine's consoles; on first use the script host, a console
// program, gets its console and standard handles.
ConsoleState& console_state(Network& net, Machine& m);
// The console of a process of the local machine; null when it has none.
std::shared_ptr<SimConsole> process_console(Network& net, uint32_t pid);
// The console of the script host.
std::shared_ptr<SimConsole> host_console(Network& net);

// A control signal for a process of the local machine, as its console
// raises it: its handlers are called, the last added first, on a thread of
// their own, until one handles it; when none does the process ends with
// STATUS_CONTROL_C_EXIT. True when a handler handled it.
bool raise_control_signal(Network& net, uint32_t pid, uint32_t signal);
// A record for the console of a process: a Ctrl+C key with processed input
// raises the signal instead of being queued, as the console does.
void push_input(Network& net, uint32_t pid, const platform::InputRecord& record);

}  // namespace vorlek::sim
