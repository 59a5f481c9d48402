#include "console/consoler.h"

#include "automation/variant.h"
#include "console/control.h"
#include "platform/locale.h"
#include "platform/platform.h"
#include "strings/stringer.h"

namespace vorlek {

namespace {

namespace st = platform::status;
namespace con = platform::con;
using platform::Coord;
using platform::CursorInfo;
using platform::InputRecord;
using platform::Result;
using platform::SmallRect;
using platform::Status;

constexpr uint32_t kReadChars = 1024;
constexpr uint32_t kTitleChars = 1024;
constexpr uint32_t kRecordsPerCall = 256;

struct Flag {
    uint32_t bit;
    StringView text;
};

constexpr Flag kInputModes[] = {
    {con::kEchoInput, u"ENABLE_ECHO_INPUT"},     {con::kLineInput, u"ENABLE_LINE_INPUT"},
    {con::kMouseInput, u"ENABLE_MOUSE_INPUT"},   {con::kProcessedInput, u"ENABLE_PROCESSED_INPUT"},
    {con::kWindowInput, u"ENABLE_WINDOW_INPUT"},
};
constexpr Flag kOutputModes[] = {
    {con::kProcessedOutput, u"ENABLE_PROCESSED_OUTPUT"},
    {con::kWrapAtEolOutput, u"ENABLE_WRAP_AT_EOL_OUTPUT"},
};
constexpr Flag kAttributes[] = {
    {0x01, u"FOREGROUND_BLUE"},      {0x02, u"FOREGROUND_GREEN"},     {0x04, u"FOREGROUND_RED"},
    {0x08, u"FOREGROUND_INTENSITY"}, {0x10, u"BACKGROUND_BLUE"},      {0x20, u"BACKGROUND_GREEN"},
    {0x40, u"BACKGROUND_RED"},       {0x80, u"BACKGROUND_INTENSITY"},
};
constexpr Flag kControlKeys[] = {
    {con::kRightAlt, u"RIGHT_ALT_PRESSED"},   {con::kLeftAlt, u"LEFT_ALT_PRESSED"},
    {con::kRightCtrl, u"RIGHT_CTRL_PRESSED"}, {con::kLeftCtrl, u"LEFT_CTRL_PRESSED"},
    {con::kShift, u"SHIFT_PRESSED"},          {con::kNumLock, u"NUMLOCK_ON"},
    {con::kScrollLock, u"SCROLLLOCK_ON"},     {con::kCapsLock, u"CAPSLOCK_ON"},
    {con::kEnhancedKey, u"ENHANCED_KEY"},
};
// The first of these set in the low byte names the button.
constexpr Flag kMouseButtons[] = {
    {0x01, u"FROM_LEFT_1ST_BUTTON_PRESSED"}, {0x02, u"RIGHTMOST_BUTTON_PRESSED"},
    {0x04, u"FROM_LEFT_2ND_BUTTON_PRESSED"}, {0x08, u"FROM_LEFT_3RD_BUTTON_PRESSED"},
    {0x10, u"FROM_LEFT_4TH_BUTTON_PRESSED"},
};
constexpr Flag kMouseActions[] = {
    {con::kDoubleClick, u"DOUBLE_CLICK"},
    {con::kMouseMoved, u"MOUSE_MOVED"},
    {con::kMouseWheeled, u"MOUSE_WHEELED"},
};
constexpr Flag kControlEvents[] = {
    {con::kCtrlC, u"CTRL_C_EVENT"},
    {con::kCtrlBreak, u"CTRL_BREAK_EVENT"},
    {con::kCtrlClose, u"CTRL_CLOSE_EVENT"},
    {con::kCtrlLogoff, u"CTRL_LOGOFF_EVENT"},
    {con::kCtrlShutdown, u"CTRL_SHUTDOWN_EVENT"},
};
constexpr Flag kEventTypes[] = {
    {con::kKeyEvent, u"KEY_EVENT"},
    {con::kMouseEvent, u"MOUSE_EVENT"},
    {con::kWindowBufferSizeEvent, u"WINDOW_BUFFER_SIZE_EVENT"},
    {con::kMenuEvent, u"MENU_EVENT"},
    {con::kFocusEvent, u"FOCUS_EVENT"},
};

template <size_t N>
String joined(const Flag (&flags)[N], uint32_t word, StringView separator) {
    String out;
    for (const Flag& f : flags) {
        if (!(word & f.bit)) continue;
        if (!out.empty()) out.append(separator);
        out.append(f.text);
    }
    return out;
}

template <size_t N>
StringView text_of(const Flag (&table)[N], uint32_t value, StringView otherwise) {
    for (const Flag& f : table)
        if (f.bit == value) return f.text;
    return otherwise;
}

int32_t code(Status s) {
    return as_long(s);
}

platform::Console& console() {
    return platform::current().console();
}

// A handle made usable: none (0) and INVALID_HANDLE_VALUE alike.
bool usable(platform::ConsoleHandle h) {
    return h != 0 && h != platform::kNoConsoleHandle;
}

}  // namespace

String input_mode_text(uint32_t mode) {
    return joined(kInputModes, mode, u";");
}
String output_mode_text(uint32_t mode) {
    return joined(kOutputModes, mode, u";");
}
String attribute_text(uint32_t attributes) {
    return joined(kAttributes, attributes, u";");
}
String control_key_text(uint32_t state) {
    String out = joined(kControlKeys, state, u"+");
    return out.empty() ? String(u"NO_CONTROLKEY_PRESSED") : out;
}
String mouse_button_text(uint32_t buttons) {
    for (const Flag& f : kMouseButtons)
        if (buttons & f.bit) return String(f.text);
    return u"UNKNOWN";
}
String mouse_action_text(uint32_t flags) {
    return String(text_of(kMouseActions, flags, u"MOUSE_EVENT"));
}
String control_event_text(uint32_t signal) {
    for (const Flag& f : kControlEvents)
        if (f.bit == signal) return String(f.text);
    return decimal(signal);
}

// --- Handles

platform::ConsoleHandle Consoler::output() const {
    return platform_id_ == platform::current().id() ? output_ : 0;
}
platform::ConsoleHandle Consoler::input() const {
    return platform_id_ == platform::current().id() ? input_ : 0;
}

int32_t Consoler::ConsoleOpen() {
    auto& c = console();
    if (usable(output())) c.close_handle(output());
    if (usable(input())) c.close_handle(input());
    output_ = input_ = 0;
    platform_id_ = platform::current().id();
    c.alloc_console();
    // A standard handle serves when it is a working console handle; one
    // closed by an earlier open (the handles just closed may be the
    // standard ones) or sent to a file gives way to the console's own.
    auto handle = [&](bool in) -> Result<platform::ConsoleHandle> {
        auto h = c.std_handle(in);
        if (h.ok() && usable(h.value) && c.mode(h.value).ok()) return h;
        return c.open_console(in);
    };
    auto out = handle(false);
    if (!out.ok()) return code(out.status);
    output_ = out.value;
    auto in = handle(true);
    if (!in.ok()) return code(in.status);
    input_ = in.value;
    control::clear_last_event();
    return 0;
}

int32_t Consoler::ConsoleClose() {
    auto& c = console();
    if (usable(output())) c.close_handle(output());
    if (usable(input())) c.close_handle(input());
    // A closed handle is not kept: its number may come back for another
    // object of the process.
    output_ = input_ = 0;
    return code(c.free_console());
}

// --- Output and input

int32_t Consoler::ConsoleWrite(String strString) {
    return code(console().write(output(), strString).status);
}

int32_t Consoler::FillConsoleWithChar(String strChar, int32_t lngRepeat, int16_t intPosX,
                                      int16_t intPosY) {
    if (lngRepeat <= 0) {
        last_error_ = err::kNotAvailable;
        return 0;
    }
    // The character as it is: a round trip through a single-byte code page
    // would turn characters of its upper half into control characters.
    const char16_t c = strChar.empty() ? u'\0' : strChar[0];
    auto r = console().fill_character(output(), c, as_dword(lngRepeat), {intPosX, intPosY});
    return record(r.status) ? as_long(r.value) : 0;
}

int32_t Consoler::FillConsoleWithAttribute(int32_t lngAttribute, int32_t lngRepeat, int16_t intPosX,
                                           int16_t intPosY) {
    if (lngRepeat <= 0) {
        last_error_ = err::kNotAvailable;
        return 0;
    }
    auto r = console().fill_attribute(output(), static_cast<uint16_t>(lngAttribute & 0xFFFF),
                                      as_dword(lngRepeat), {intPosX, intPosY});
    return record(r.status) ? as_long(r.value) : 0;
}

String Consoler::ConsoleRead(String strDefault) {
    auto r = console().read(input(), kReadChars);
    return record(r.status) ? std::move(r.value) : strDefault;
}

// --- Properties

bool Consoler::record(Status s) {
    last_error_ = code(s);
    return s == st::kSuccess;
}

Result<platform::ScreenBufferInfo> Consoler::buffer_info() {
    auto r = console().screen_buffer_info(output());
    record(r.status);
    return r;
}

Result<CursorInfo> Consoler::cursor_info() {
    auto r = console().cursor_info(output());
    record(r.status);
    return r;
}

void Consoler::SetConsoleInputCP(int32_t value) {
    record(console().set_input_code_page(as_dword(value)));
}
int32_t Consoler::ConsoleInputCP() {
    return as_long(console().input_code_page().value);
}
void Consoler::SetConsoleOutputCP(int32_t value) {
    record(console().set_output_code_page(as_dword(value)));
}
int32_t Consoler::ConsoleOutputCP() {
    return as_long(console().output_code_page().value);
}

void Consoler::SetConsoleTitle(String value) {
    record(console().set_title(value));
}
String Consoler::ConsoleTitle() {
    auto r = console().title(kTitleChars);
    return record(r.status) ? std::move(r.value) : String();
}

void Consoler::SetConsoleInputMode(int32_t value) {
    record(console().set_mode(input(), as_dword(value)));
}
int32_t Consoler::ConsoleInputMode() {
    auto r = console().mode(input());
    return record(r.status) ? as_long(r.value) : 0;
}
String Consoler::ConsoleInputModeStr() {
    auto r = console().mode(input());
    return record(r.status) ? input_mode_text(r.value) : String(u"unknown");
}
int32_t Consoler::ConsoleOutputMode() {
    auto r = console().mode(output());
    return record(r.status) ? as_long(r.value) : 0;
}
void Consoler::SetConsoleOutputMode(int32_t value) {
    record(console().set_mode(output(), as_dword(value)));
}
String Consoler::ConsoleOutputModeStr() {
    auto r = console().mode(output());
    return record(r.status) ? output_mode_text(r.value) : String(u"unknown");
}

void Consoler::SetConsoleTextMode(int32_t value) {
    // An attribute is a 16-bit word: what the get returns (sign-extended)
    // and the word itself are taken, a wider value is refused.
    if (value < -0x8000 || value > 0xFFFF) {
        last_error_ = code(st::kInvalidParameter);
        return;
    }
    record(console().set_text_attribute(output(), static_cast<uint16_t>(value & 0xFFFF)));
}
int32_t Consoler::ConsoleTextMode() {
    auto r = buffer_info();
    return r.ok() ? static_cast<int16_t>(r.value.attributes) : 0;
}
String Consoler::ConsoleTextModeStr() {
    auto r = buffer_info();
    return r.ok() ? attribute_text(r.value.attributes) : String(u"unknown");
}

void Consoler::SetConsoleScreenBufferSizeX(int16_t value) {
    auto r = buffer_info();
    if (r.ok()) record(console().set_screen_buffer_size(output(), {value, r.value.size.y}));
}
int16_t Consoler::ConsoleScreenBufferSizeX() {
    auto r = buffer_info();
    return r.ok() ? r.value.size.x : int16_t{0};
}
void Consoler::SetConsoleScreenBufferSizeY(int16_t value) {
    auto r = buffer_info();
    if (r.ok()) record(console().set_screen_buffer_size(output(), {r.value.size.x, value}));
}
int16_t Consoler::ConsoleScreenBufferSizeY() {
    auto r = buffer_info();
    return r.ok() ? r.value.size.y : int16_t{0};
}
int16_t Consoler::ConsoleMaxWindowSizeX() {
    auto r = buffer_info();
    return r.ok() ? r.value.maximum_window.x : int16_t{0};
}
int16_t Consoler::ConsoleMaxWindowSizeY() {
    auto r = buffer_info();
    return r.ok() ? r.value.maximum_window.y : int16_t{0};
}

void Consoler::SetConsoleCursorPosX(int16_t value) {
    auto r = buffer_info();
    if (r.ok()) record(console().set_cursor_position(output(), {value, r.value.cursor.y}));
}
int16_t Consoler::ConsoleCursorPosX() {
    auto r = buffer_info();
    return r.ok() ? r.value.cursor.x : int16_t{0};
}
void Consoler::SetConsoleCursorPosY(int16_t value) {
    auto r = buffer_info();
    if (r.ok()) record(console().set_cursor_position(output(), {r.value.cursor.x, value}));
}
int16_t Consoler::ConsoleCursorPosY() {
    auto r = buffer_info();
    return r.ok() ? r.value.cursor.y : int16_t{0};
}

void Consoler::SetConsoleCursorSize(int32_t value) {
    auto r = cursor_info();
    if (r.ok()) record(console().set_cursor_info(output(), {as_dword(value), r.value.visible}));
}
int32_t Consoler::ConsoleCursorSize() {
    auto r = cursor_info();
    return r.ok() ? as_long(r.value.size) : 0;
}
void Consoler::SetConsoleCursorVisible(bool value) {
    auto r = cursor_info();
    if (r.ok()) record(console().set_cursor_info(output(), {r.value.size, value}));
}
bool Consoler::ConsoleCursorVisible() {
    auto r = cursor_info();
    return r.ok() && r.value.visible;
}

void Consoler::set_window_edge(int16_t SmallRect::*edge, int16_t value) {
    auto r = buffer_info();
    if (!r.ok()) return;
    SmallRect w = r.value.window;
    w.*edge = value;
    record(console().set_window_info(output(), w));
}
int16_t Consoler::window_edge(int16_t SmallRect::*edge) {
    auto r = buffer_info();
    return r.ok() ? r.value.window.*edge : int16_t{0};
}
void Consoler::SetConsoleWindowPosLeft(int16_t v) {
    set_window_edge(&SmallRect::left, v);
}
int16_t Consoler::ConsoleWindowPosLeft() {
    return window_edge(&SmallRect::left);
}
void Consoler::SetConsoleWindowPosTop(int16_t v) {
    set_window_edge(&SmallRect::top, v);
}
int16_t Consoler::ConsoleWindowPosTop() {
    return window_edge(&SmallRect::top);
}
void Consoler::SetConsoleWindowPosRight(int16_t v) {
    set_window_edge(&SmallRect::right, v);
}
int16_t Consoler::ConsoleWindowPosRight() {
    return window_edge(&SmallRect::right);
}
void Consoler::SetConsoleWindowPosBottom(int16_t v) {
    set_window_edge(&SmallRect::bottom, v);
}
int16_t Consoler::ConsoleWindowPosBottom() {
    return window_edge(&SmallRect::bottom);
}

// --- Input events

int32_t Consoler::ConsoleUnread() {
    auto r = console().input_count(input());
    return record(r.status) ? as_long(r.value) : 0;
}

int32_t Consoler::ConsoleEventsFlush() {
    return code(console().flush_input(input()));
}

int32_t Consoler::ConsoleMouseButtons() {
    auto r = console().mouse_buttons();
    if (r.ok()) return as_long(r.value);
    last_error_ = code(r.status);
    return 0;
}

int32_t Consoler::InitConsoleEvents(bool booPeek) {
    SetConsoleEvents(make<Collection>());
    return attempt([&] {
        const int32_t waiting = ConsoleUnread();
        if (waiting <= 0) return;
        const uint32_t n = std::min(as_dword(waiting), kRecordsPerCall);
        auto r = booPeek ? console().peek_input(input(), n) : console().read_input(input(), n);
        if (!r.ok()) throw RuntimeError(code(r.status));
        Collection& events = *events_;
        for (size_t i = 0; i < r.value.size(); ++i) {
            auto item = make<Consoler>();
            item->load_event(r.value[i]);
            events.add(Variant(std::move(item)),
                       decimal(static_cast<int64_t>(i) * con::kInputRecordBytes));
        }
    });
}

void Consoler::load_event(const InputRecord& r) {
    switch (r.type) {
        case con::kKeyEvent: {
            key_down_ = r.key_down != 0;
            repeat_ = r.repeat;
            control_key_ = control_key_text(r.control);
            const uint8_t c = static_cast<uint8_t>(r.character & 0xFF);
            if (r.character > 0xFF) {
                // A character beyond the single-byte range is its own text: its
                // low byte alone would name another key.
                key_ = String(1, r.character);
            } else if (c == 0 || c < 32) {
                key_ = make<Stringer>()->GetCharEx(
                    c == 0 ? static_cast<uint8_t>(r.virtual_key & 0xFF) : c);
            } else {
                auto& locale = platform::current().locale();
                auto text = locale.multibyte_to_wide(locale.ansi_code_page(), {c});
                key_ = text.ok() ? std::move(text.value) : String(1, char16_t{c});
            }
            break;
        }
        case con::kMouseEvent:
            control_key_ = control_key_text(r.control);
            x_ = r.position.x;
            y_ = r.position.y;
            mouse_button_ = mouse_button_text(r.buttons & 0xFF);
            mouse_action_ = mouse_action_text(r.flags);
            break;
        case con::kWindowBufferSizeEvent:
            x_ = r.size.x;
            y_ = r.size.y;
            break;
        case con::kMenuEvent:
            command_id_ = err::kNotAvailable;
            break;
        case con::kFocusEvent:
            focus_ = r.set_focus != 0;
            break;
        default:
            return;
    }
    event_type_ = String(text_of(kEventTypes, r.type, u""));
}

// --- The control handler

int32_t Consoler::SetControlHandler() {
    auto& c = console();
    c.set_control_handler(&control::handler, false);
    control::clear_last_event();
    control::listen();
    return code(c.set_control_handler(&control::handler, true));
}

int32_t Consoler::ReleaseControlHandler() {
    const Status s = console().set_control_handler(&control::handler, false);
    if (s == st::kSuccess) control::stop_listening();
    return code(s);
}

String Consoler::ConsoleLastCTRLEvent() const {
    return control::last_event();
}

// --- The interface

const ClassInfo& Consoler::info() {
    static const ClassInfo info = [] {
        static constexpr StringView kInputModeHelp =
            u"Used like a constant to set the consoles input mode";
        static constexpr StringView kOutputModeHelp =
            u"Used like a constant to set the consoles output mode";
        static constexpr StringView kAttributeHelp =
            u"Used like a constant to set the text and color attributes";
        static constexpr StringView kEventsHelp = u"Returns a collection of console events";
        static constexpr StringView kInputCPHelp = u"Sets or returns the console input codepage";
        static constexpr StringView kOutputCPHelp = u"Sets or returns the console output codepage";
        static constexpr StringView kTitleHelp = u"Sets or returns the consoles title";
        static constexpr StringView kInputModeMemberHelp =
            u"Sets or returns the console input mode";
        static constexpr StringView kOutputModeMemberHelp =
            u"Sets or returns the console output mode";
        static constexpr StringView kTextModeHelp = u"Sets or returns the consoles textmode";
        static constexpr StringView kBufferXHelp =
            u"Sets or returns the consoles screenbuffer size X";
        static constexpr StringView kBufferYHelp =
            u"Sets or returns the consoles screenbuffer size Y";
        static constexpr StringView kCursorXHelp = u"Sets or returns the current cursor position X";
        static constexpr StringView kCursorYHelp = u"Sets or returns the current cursor position Y";
        static constexpr StringView kCursorSizeHelp =
            u"Sets or returns the current cursor size in percent";
        static constexpr StringView kCursorVisibleHelp =
            u"Sets or returns the current cursor visibility";
        static constexpr StringView kWindowHelp =
            u"Sets or returns the console window position and size";
        ClassBuilder<Consoler> b(u"Consoler");
        b.get<&Consoler::ConsoleEvents>(u"ConsoleEvents", {}, kEventsHelp)
            .set<&Consoler::SetConsoleEvents>(u"ConsoleEvents", kEventsHelp)
            .method<&Consoler::SetControlHandler>(u"SetControlHandler", {},
                                                  u"Sets a controlhandler to the console")
            .method<&Consoler::ReleaseControlHandler>(
                u"ReleaseControlHandler", {}, u"Releases a controlhandler set by SetControlHandler")
            .method<&Consoler::ConsoleOpen>(u"ConsoleOpen", {}, u"Opens a console")
            .method<&Consoler::ConsoleClose>(u"ConsoleClose", {}, u"Closes a console")
            .method<&Consoler::ConsoleWrite>(u"ConsoleWrite", {param(u"strString")},
                                             u"Writes a string to a consoles screenbuffer")
            .method<&Consoler::FillConsoleWithChar>(
                u"FillConsoleWithChar",
                {param(u"strChar"), param(u"lngRepeat"), optional(u"intPosX", int16_t{0}),
                 optional(u"intPosY", int16_t{0})},
                u"Writes a char in the screenbuffer for a specified number of cells")
            .method<&Consoler::FillConsoleWithAttribute>(
                u"FillConsoleWithAttribute",
                {param(u"lngAttribute"), param(u"lngRepeat"), optional(u"intPosX", int16_t{0}),
                 optional(u"intPosY", int16_t{0})},
                u"Sets the text and color attributes for a specified number of cells")
            .method<&Consoler::ConsoleRead>(u"ConsoleRead", {optional(u"strDefault", u"unknown")},
                                            u"reads a string from the consoles screenbuffer")
            .get<&Consoler::ConsoleUnread>(
                u"ConsoleUnread", {}, u"Returns the unread events in the consoles screenbuffer")
            .method<&Consoler::ConsoleEventsFlush>(
                u"ConsoleEventsFlush", {}, u"Removes console events from the console buffer")
            .method<&Consoler::InitConsoleEvents>(
                u"InitConsoleEvents", {optional(u"booPeek", false)},
                u"Fills the collection ConsoleEvents with informations")
            .get<&Consoler::ConsoleMouseButtons>(u"ConsoleMouseButtons", {},
                                                 u"Returns the number of mousebuttons")
            .get<&Consoler::ConsoleLastCTRLEvent>(u"ConsoleLastCTRLEvent")
            .get<&Consoler::ConsoleEventType>(u"ConsoleEventType")
            .get<&Consoler::ConsoleEventKeyDown>(u"ConsoleEventKeyDown")
            .get<&Consoler::ConsoleEventKey>(u"ConsoleEventKey")
            .get<&Consoler::ConsoleEventKeyRepeat>(u"ConsoleEventKeyRepeat")
            .get<&Consoler::ConsoleEventControlKey>(u"ConsoleEventControlKey")
            .get<&Consoler::ConsoleEventMouseButtonState>(u"ConsoleEventMouseButtonState")
            .get<&Consoler::ConsoleEventMouse>(u"ConsoleEventMouse")
            .get<&Consoler::ConsoleEventX>(u"ConsoleEventX")
            .get<&Consoler::ConsoleEventY>(u"ConsoleEventY")
            .get<&Consoler::ConsoleEventCommandID>(u"ConsoleEventCommandID")
            .get<&Consoler::ConsoleEventFocus>(u"ConsoleEventFocus")
            .let<&Consoler::SetConsoleInputCP>(u"ConsoleInputCP", kInputCPHelp)
            .get<&Consoler::ConsoleInputCP>(u"ConsoleInputCP", {}, kInputCPHelp)
            .let<&Consoler::SetConsoleOutputCP>(u"ConsoleOutputCP", kOutputCPHelp)
            .get<&Consoler::ConsoleOutputCP>(u"ConsoleOutputCP", {}, kOutputCPHelp)
            .let<&Consoler::SetConsoleTitle>(u"ConsoleTitle", kTitleHelp)
            .get<&Consoler::ConsoleTitle>(u"ConsoleTitle", {}, kTitleHelp)
            .let<&Consoler::SetConsoleInputMode>(u"ConsoleInputMode", kInputModeMemberHelp)
            .get<&Consoler::ConsoleInputMode>(u"ConsoleInputMode", {}, kInputModeMemberHelp)
            .get<&Consoler::ConsoleInputModeStr>(
                u"ConsoleInputModeStr", {},
                u"Returns the console input mode as string for better understanding")
            .get<&Consoler::ConsoleOutputMode>(u"ConsoleOutputMode", {}, kOutputModeMemberHelp)
            .let<&Consoler::SetConsoleOutputMode>(u"ConsoleOutputMode", kOutputModeMemberHelp)
            .get<&Consoler::ConsoleOutputModeStr>(
                u"ConsoleOutputModeStr", {},
                u"Returns the console output mode as string for better understanding")
            .let<&Consoler::SetConsoleTextMode>(u"ConsoleTextMode", kTextModeHelp)
            .get<&Consoler::ConsoleTextMode>(u"ConsoleTextMode", {}, kTextModeHelp)
            .get<&Consoler::ConsoleTextModeStr>(
                u"ConsoleTextModeStr", {},
                u"Returns the consoles textmode as string for better understanding")
            .let<&Consoler::SetConsoleScreenBufferSizeX>(u"ConsoleScreenBufferSizeX", kBufferXHelp)
            .get<&Consoler::ConsoleScreenBufferSizeX>(u"ConsoleScreenBufferSizeX", {}, kBufferXHelp)
            .let<&Consoler::SetConsoleScreenBufferSizeY>(u"ConsoleScreenBufferSizeY", kBufferYHelp)
            .get<&Consoler::ConsoleScreenBufferSizeY>(u"ConsoleScreenBufferSizeY", {}, kBufferYHelp)
            .get<&Consoler::ConsoleMaxWindowSizeX>(u"ConsoleMaxWindowSizeX", {},
                                                   u"Returns the max size of a consoles window X")
            .get<&Consoler::ConsoleMaxWindowSizeY>(u"ConsoleMaxWindowSizeY", {},
                                                   u"Returns the max size of a consoles window Y")
            .let<&Consoler::SetConsoleCursorPosX>(u"ConsoleCursorPosX", kCursorXHelp)
            .let<&Consoler::SetConsoleCursorSize>(u"ConsoleCursorSize", kCursorSizeHelp)
            .get<&Consoler::ConsoleCursorSize>(u"ConsoleCursorSize", {}, kCursorSizeHelp)
            .let<&Consoler::SetConsoleCursorVisible>(u"ConsoleCursorVisible", kCursorVisibleHelp)
            .get<&Consoler::ConsoleCursorVisible>(u"ConsoleCursorVisible", {}, kCursorVisibleHelp)
            .get<&Consoler::ConsoleCursorPosX>(u"ConsoleCursorPosX", {}, kCursorXHelp)
            .let<&Consoler::SetConsoleCursorPosY>(u"ConsoleCursorPosY", kCursorYHelp)
            .get<&Consoler::ConsoleCursorPosY>(u"ConsoleCursorPosY", {}, kCursorYHelp)
            .let<&Consoler::SetConsoleWindowPosLeft>(u"ConsoleWindowPosLeft", kWindowHelp)
            .get<&Consoler::ConsoleWindowPosLeft>(u"ConsoleWindowPosLeft", {}, kWindowHelp)
            .let<&Consoler::SetConsoleWindowPosTop>(u"ConsoleWindowPosTop", kWindowHelp)
            .get<&Consoler::ConsoleWindowPosTop>(u"ConsoleWindowPosTop", {}, kWindowHelp)
            .let<&Consoler::SetConsoleWindowPosRight>(u"ConsoleWindowPosRight", kWindowHelp)
            .get<&Consoler::ConsoleWindowPosRight>(u"ConsoleWindowPosRight", {}, kWindowHelp)
            .let<&Consoler::SetConsoleWindowPosBottom>(u"ConsoleWindowPosBottom", kWindowHelp)
            .get<&Consoler::ConsoleWindowPosBottom>(u"ConsoleWindowPosBottom", {}, kWindowHelp)
            .get<&Consoler::ConsoleLastError>(u"ConsoleLastError")
            .constant(u"ENABLE_PROCESSED_INPUT", con::kProcessedInput, kInputModeHelp)
            .constant(u"ENABLE_LINE_INPUT", con::kLineInput, kInputModeHelp)
            .constant(u"ENABLE_ECHO_INPUT", con::kEchoInput, kInputModeHelp)
            .constant(u"ENABLE_WINDOW_INPUT", con::kWindowInput, kInputModeHelp)
            .constant(u"ENABLE_MOUSE_INPUT", con::kMouseInput, kInputModeHelp)
            .constant(u"ENABLE_PROCESSED_OUTPUT", con::kProcessedOutput, kOutputModeHelp)
            .constant(u"ENABLE_WRAP_AT_EOL_OUTPUT", con::kWrapAtEolOutput, kOutputModeHelp)
            .constant(u"FOREGROUND_GREEN", 0x02, kAttributeHelp)
            .constant(u"FOREGROUND_BLUE", 0x01, kAttributeHelp)
            .constant(u"FOREGROUND_RED", 0x04, kAttributeHelp)
            .constant(u"FOREGROUND_INTENSITY", 0x08, kAttributeHelp)
            .constant(u"BACKGROUND_GREEN", 0x20, kAttributeHelp)
            .constant(u"BACKGROUND_BLUE", 0x10, kAttributeHelp)
            .constant(u"BACKGROUND_RED", 0x40, kAttributeHelp)
            .constant(u"BACKGROUND_INTENSITY", 0x80, kAttributeHelp);
        return b.build();
    }();
    return info;
}

}  // namespace vorlek
