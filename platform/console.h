// The console of the calling process: allocating and freeing it, its
// standard handles, the screen buffer (cells of a character and an
// attribute, the cursor, the window inside the buffer), the title, code
// pages and modes, the input buffer of event records, and the process's
// control-signal handlers.
#pragma once

#include <cstdint>
#include <vector>

#include "automation/string.h"
#include "platform/status.h"

namespace vorlek::platform {

// A console input or output handle; 0 is none (every call with it fails
// with 6), kNoConsoleHandle the system's INVALID_HANDLE_VALUE.
using ConsoleHandle = uint64_t;
constexpr ConsoleHandle kNoConsoleHandle = ~ConsoleHandle{0};

namespace con {
// Input modes.
constexpr uint32_t kProcessedInput = 0x1, kLineInput = 0x2, kEchoInput = 0x4, kWindowInput = 0x8,
                   kMouseInput = 0x10;
// Output modes.
constexpr uint32_t kProcessedOutput = 0x1, kWrapAtEolOutput = 0x2;
// Input record types.
constexpr uint16_t kKeyEvent = 0x1, kMouseEvent = 0x2, kWindowBufferSizeEvent = 0x4,
                   kMenuEvent = 0x8, kFocusEvent = 0x10;
// Control-key state bits.
constexpr uint32_t kRightAlt = 0x1, kLeftAlt = 0x2, kRightCtrl = 0x4, kLeftCtrl = 0x8,
                   kShift = 0x10, kNumLock = 0x20, kScrollLock = 0x40, kCapsLock = 0x80,
                   kEnhancedKey = 0x100;
// Mouse event flags (0: a button pressed or released).
constexpr uint32_t kMouseMoved = 0x1, kDoubleClick = 0x2, kMouseWheeled = 0x4;
// Control signals.
constexpr uint32_t kCtrlC = 0, kCtrlBreak = 1, kCtrlClose = 2, kCtrlLogoff = 5, kCtrlShutdown = 6;
// The bytes one input record takes in a read buffer.
constexpr uint32_t kInputRecordBytes = 20;
}  // namespace con

struct Coord {
    int16_t x = 0;
    int16_t y = 0;
    bool operator==(const Coord&) const = default;
};

struct SmallRect {
    int16_t left = 0;
    int16_t top = 0;
    int16_t right = 0;
    int16_t bottom = 0;
    bool operator==(const SmallRect&) const = default;
};

// GetConsoleScreenBufferInfo.
struct ScreenBufferInfo {
    Coord size;
    Coord cursor;
    uint16_t attributes = 0;
    SmallRect window;
    Coord maximum_window;
};

struct CursorInfo {
    uint32_t size = 0;  // percent of the cell, 1 to 100
    bool visible = false;
};

// One input record; the fields its type does not use stay zero.
struct InputRecord {
    uint16_t type = 0;
    // Key.
    uint32_t key_down = 0;
    uint16_t repeat = 0;
    uint16_t virtual_key = 0;
    uint16_t scan_code = 0;
    char16_t character = 0;
    uint32_t control = 0;  // key and mouse
    // Mouse.
    Coord position;
    uint32_t buttons = 0;
    uint32_t flags = 0;
    // Buffer size.
    Coord size;
    // Menu.
    uint32_t command = 0;
    // Focus.
    uint32_t set_focus = 0;
};

// The library's control handler: called on a thread of the system's own
// with the signal; true when it handled the signal.
using ControlHandler = bool (*)(uint32_t signal) noexcept;

class Console {
  public:
    virtual ~Console() = default;

    // AllocConsole: 5 when the process has a console already.
    virtual Status alloc_console() = 0;
    // FreeConsole: the process leaves its console (6 when it has none).
    virtual Status free_console() = 0;
    // GetStdHandle(STD_INPUT_HANDLE or STD_OUTPUT_HANDLE): the handle as the
    // process keeps it (0 when it has none; a closed one stays what it was).
    virtual Result<ConsoleHandle> std_handle(bool input) = 0;
    // CreateFileA("CONIN$" or "CONOUT$"), read or write access, shared for
    // both, an existing file: the console's input or screen buffer.
    virtual Result<ConsoleHandle> open_console(bool input) = 0;
    // CloseHandle.
    virtual Status close_handle(ConsoleHandle h) = 0;

    // WriteConsoleW: the number of units written.
    virtual Result<uint32_t> write(ConsoleHandle h, StringView text) = 0;
    // ReadConsoleW: up to `max_chars` units.
    virtual Result<String> read(ConsoleHandle h, uint32_t max_chars) = 0;
    // FillConsoleOutputCharacterW and FillConsoleOutputAttribute: the number
    // of cells written from `at` on, row after row, up to the buffer's end.
    virtual Result<uint32_t> fill_character(ConsoleHandle h, char16_t c, uint32_t count,
                                            Coord at) = 0;
    virtual Result<uint32_t> fill_attribute(ConsoleHandle h, uint16_t attribute, uint32_t count,
                                            Coord at) = 0;

    // GetConsoleCP, SetConsoleCP, GetConsoleOutputCP, SetConsoleOutputCP.
    virtual Result<uint32_t> input_code_page() = 0;
    virtual Status set_input_code_page(uint32_t code_page) = 0;
    virtual Result<uint32_t> output_code_page() = 0;
    virtual Status set_output_code_page(uint32_t code_page) = 0;
    // GetConsoleTitleW into a buffer of `buffer_chars` (the text is cut to
    // fit with its terminating NUL); SetConsoleTitleW.
    virtual Result<String> title(uint32_t buffer_chars) = 0;
    virtual Status set_title(StringView title) = 0;

    // GetConsoleMode, SetConsoleMode (input or output handle).
    virtual Result<uint32_t> mode(ConsoleHandle h) = 0;
    virtual Status set_mode(ConsoleHandle h, uint32_t mode) = 0;
    // SetConsoleTextAttribute.
    virtual Status set_text_attribute(ConsoleHandle h, uint16_t attribute) = 0;
    virtual Result<ScreenBufferInfo> screen_buffer_info(ConsoleHandle h) = 0;
    virtual Status set_screen_buffer_size(ConsoleHandle h, Coord size) = 0;
    virtual Status set_cursor_position(ConsoleHandle h, Coord at) = 0;
    virtual Result<CursorInfo> cursor_info(ConsoleHandle h) = 0;
    virtual Status set_cursor_info(ConsoleHandle h, CursorInfo info) = 0;
    // SetConsoleWindowInfo with absolute coordinates.
    virtual Status set_window_info(ConsoleHandle h, SmallRect window) = 0;

    // GetNumberOfConsoleInputEvents.
    virtual Result<uint32_t> input_count(ConsoleHandle h) = 0;
    // PeekConsoleInputW (the records stay) and ReadConsoleInputW (they go):
    // up to `max` records, in order.
    virtual Result<std::vector<InputRecord>> peek_input(ConsoleHandle h, uint32_t max) = 0;
    virtual Result<std::vector<InputRecord>> read_input(ConsoleHandle h, uint32_t max) = 0;
    // FlushConsoleInputBuffer.
    virtual Status flush_input(ConsoleHandle h) = 0;
    // GetNumberOfConsoleMouseButtons.
    virtual Result<uint32_t> mouse_buttons() = 0;
    // SetConsoleCtrlHandler: adds the handler to the process's list, or
    // removes it (a handler that is not in the list: 87).
    virtual Status set_control_handler(ControlHandler handler, bool add) = 0;
};

}  // namespace vorlek::platform
