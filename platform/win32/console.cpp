// The console of the real process. The handles belong to the caller, who
// keeps them across calls and closes them through close_handle; the one
// control handler of the library is reached through a function of the
// system's calling convention.
#include "platform/console.h"

#include <algorithm>
#include <atomic>
#include <vector>

#include "platform/win32/areas.h"
#include "platform/win32/status.h"
#include "platform/win32/text.h"

namespace vorlek::platform::win32 {

namespace {

constexpr DWORD kWriteChunk = 8192;  // units per WriteConsoleW

HANDLE raw(ConsoleHandle h) {
    return h == kNoConsoleHandle ? INVALID_HANDLE_VALUE
                                 : reinterpret_cast<HANDLE>(static_cast<uintptr_t>(h));
}
ConsoleHandle handle_of(HANDLE h) {
    return h == INVALID_HANDLE_VALUE ? kNoConsoleHandle
                                     : static_cast<ConsoleHandle>(reinterpret_cast<uintptr_t>(h));
}
COORD coord(Coord c) {
    return COORD{c.x, c.y};
}
Coord coord(COORD c) {
    return {c.X, c.Y};
}

template <class T>
Result<T> fail(Status s) {
    return Result<T>::failure(s);
}

InputRecord record_of(const INPUT_RECORD& in) {
    InputRecord r;
    r.type = in.EventType;
    switch (in.EventType) {
        case KEY_EVENT: {
            const KEY_EVENT_RECORD& k = in.Event.KeyEvent;
            r.key_down = static_cast<uint32_t>(k.bKeyDown);
            r.repeat = k.wRepeatCount;
            r.virtual_key = k.wVirtualKeyCode;
            r.scan_code = k.wVirtualScanCode;
            r.character = static_cast<char16_t>(k.uChar.UnicodeChar);
            r.control = k.dwControlKeyState;
            break;
        }
        case MOUSE_EVENT: {
            const MOUSE_EVENT_RECORD& m = in.Event.MouseEvent;
            r.position = coord(m.dwMousePosition);
            r.buttons = m.dwButtonState;
            r.control = m.dwControlKeyState;
            r.flags = m.dwEventFlags;
            break;
        }
        case WINDOW_BUFFER_SIZE_EVENT:
            r.size = coord(in.Event.WindowBufferSizeEvent.dwSize);
            break;
        case MENU_EVENT:
            r.command = in.Event.MenuEvent.dwCommandId;
            break;
        case FOCUS_EVENT:
            r.set_focus = static_cast<uint32_t>(in.Event.FocusEvent.bSetFocus);
            break;
        default:
            break;
    }
    return r;
}

// The library's handler, called through the system's convention.
std::atomic<ControlHandler> g_handler{nullptr};

BOOL WINAPI call_handler(DWORD signal) {
    const ControlHandler h = g_handler.load();
    return h && h(signal) ? TRUE : FALSE;
}

class Win32Console : public Console {
  public:
    Status alloc_console() override { return status_from_bool(::AllocConsole()); }
    Status free_console() override { return status_from_bool(::FreeConsole()); }

    Result<ConsoleHandle> std_handle(bool input) override {
        HANDLE h = ::GetStdHandle(input ? STD_INPUT_HANDLE : STD_OUTPUT_HANDLE);
        if (h == INVALID_HANDLE_VALUE) return fail<ConsoleHandle>(last_error());
        return {status::kSuccess, handle_of(h)};
    }

    Result<ConsoleHandle> open_console(bool input) override {
        HANDLE h = ::CreateFileA(input ? "CONIN$" : "CONOUT$", input ? GENERIC_READ : GENERIC_WRITE,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                 FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h == INVALID_HANDLE_VALUE) return fail<ConsoleHandle>(last_error());
        return {status::kSuccess, handle_of(h)};
    }

    Status close_handle(ConsoleHandle h) override {
        return status_from_bool(::CloseHandle(raw(h)));
    }

    Result<uint32_t> write(ConsoleHandle h, StringView text) override {
        uint32_t total = 0;
        while (total < text.size()) {
            const DWORD n = static_cast<DWORD>(std::min<size_t>(kWriteChunk, text.size() - total));
            DWORD written = 0;
            if (!::WriteConsoleW(raw(h), text.data() + total, n, &written, nullptr))
                return fail<uint32_t>(last_error());
            if (written == 0) break;
            total += written;
        }
        if (text.empty()) {
            DWORD written = 0;
            if (!::WriteConsoleW(raw(h), L"", 0, &written, nullptr))
                return fail<uint32_t>(last_error());
        }
        return {status::kSuccess, total};
    }

    Result<String> read(ConsoleHandle h, uint32_t max_chars) override {
        std::vector<wchar_t> buffer(std::max<uint32_t>(max_chars, 1));
        DWORD read = 0;
        if (!::ReadConsoleW(raw(h), buffer.data(), max_chars, &read, nullptr))
            return fail<String>(last_error());
        return {status::kSuccess, from_wide(buffer.data(), std::min<DWORD>(read, max_chars))};
    }

    Result<uint32_t> fill_character(ConsoleHandle h, char16_t c, uint32_t count,
                                    Coord at) override {
        DWORD written = 0;
        if (!::FillConsoleOutputCharacterW(raw(h), static_cast<wchar_t>(c), count, coord(at),
                                           &written))
            return fail<uint32_t>(last_error());
        return {status::kSuccess, written};
    }

    Result<uint32_t> fill_attribute(ConsoleHandle h, uint16_t attribute, uint32_t count,
                                    Coord at) override {
        DWORD written = 0;
        if (!::FillConsoleOutputAttribute(raw(h), attribute, count, coord(at), &written))
            return fail<uint32_t>(last_error());
        return {status::kSuccess, written};
    }

    Result<uint32_t> input_code_page() override { return code_page(::GetConsoleCP()); }
    Result<uint32_t> output_code_page() override { return code_page(::GetConsoleOutputCP()); }
    Status set_input_code_page(uint32_t cp) override {
        return status_from_bool(::SetConsoleCP(cp));
    }
    Status set_output_code_page(uint32_t cp) override {
        return status_from_bool(::SetConsoleOutputCP(cp));
    }

    Result<String> title(uint32_t buffer_chars) override {
        std::vector<wchar_t> buffer(std::max<uint32_t>(buffer_chars, 1));
        ::SetLastError(0);
        const DWORD n = ::GetConsoleTitleW(buffer.data(), buffer_chars);
        if (n == 0) {
            const Status s = last_error();
            if (s != status::kSuccess) return fail<String>(s);
        }
        const size_t length = wcsnlen(buffer.data(), std::min<size_t>(n, buffer.size()));
        return {status::kSuccess, from_wide(buffer.data(), length)};
    }

    Status set_title(StringView title) override {
        CStrings texts;
        const wchar_t* t = texts.wide(title);
        if (texts.status()) return texts.status();
        return status_from_bool(::SetConsoleTitleW(t));
    }

    Result<uint32_t> mode(ConsoleHandle h) override {
        DWORD m = 0;
        if (!::GetConsoleMode(raw(h), &m)) return fail<uint32_t>(last_error());
        return {status::kSuccess, m};
    }
    Status set_mode(ConsoleHandle h, uint32_t mode) override {
        return status_from_bool(::SetConsoleMode(raw(h), mode));
    }
    Status set_text_attribute(ConsoleHandle h, uint16_t attribute) override {
        return status_from_bool(::SetConsoleTextAttribute(raw(h), attribute));
    }

    Result<ScreenBufferInfo> screen_buffer_info(ConsoleHandle h) override {
        CONSOLE_SCREEN_BUFFER_INFO i{};
        if (!::GetConsoleScreenBufferInfo(raw(h), &i)) return fail<ScreenBufferInfo>(last_error());
        ScreenBufferInfo out;
        out.size = coord(i.dwSize);
        out.cursor = coord(i.dwCursorPosition);
        out.attributes = i.wAttributes;
        out.window = {i.srWindow.Left, i.srWindow.Top, i.srWindow.Right, i.srWindow.Bottom};
        out.maximum_window = coord(i.dwMaximumWindowSize);
        return {status::kSuccess, out};
    }

    Status set_screen_buffer_size(ConsoleHandle h, Coord size) override {
        return status_from_bool(::SetConsoleScreenBufferSize(raw(h), coord(size)));
    }
    Status set_cursor_position(ConsoleHandle h, Coord at) override {
        return status_from_bool(::SetConsoleCursorPosition(raw(h), coord(at)));
    }

    Result<CursorInfo> cursor_info(ConsoleHandle h) override {
        CONSOLE_CURSOR_INFO i{};
        if (!::GetConsoleCursorInfo(raw(h), &i)) return fail<CursorInfo>(last_error());
        return {status::kSuccess, {i.dwSize, i.bVisible != FALSE}};
    }
    Status set_cursor_info(ConsoleHandle h, CursorInfo info) override {
        CONSOLE_CURSOR_INFO i{info.size, info.visible ? TRUE : FALSE};
        return status_from_bool(::SetConsoleCursorInfo(raw(h), &i));
    }
    Status set_window_info(ConsoleHandle h, SmallRect w) override {
        SMALL_RECT r{w.left, w.top, w.right, w.bottom};
        return status_from_bool(::SetConsoleWindowInfo(raw(h), TRUE, &r));
    }

    Result<uint32_t> input_count(ConsoleHandle h) override {
        DWORD n = 0;
        if (!::GetNumberOfConsoleInputEvents(raw(h), &n)) return fail<uint32_t>(last_error());
        return {status::kSuccess, n};
    }

    Result<std::vector<InputRecord>> peek_input(ConsoleHandle h, uint32_t max) override {
        return records(h, max, false);
    }
    Result<std::vector<InputRecord>> read_input(ConsoleHandle h, uint32_t max) override {
        return records(h, max, true);
    }

    Status flush_input(ConsoleHandle h) override {
        return status_from_bool(::FlushConsoleInputBuffer(raw(h)));
    }

    Result<uint32_t> mouse_buttons() override {
        DWORD n = 0;
        if (!::GetNumberOfConsoleMouseButtons(&n)) return fail<uint32_t>(last_error());
        return {status::kSuccess, n};
    }

    Status set_control_handler(ControlHandler handler, bool add) override {
        if (add) g_handler.store(handler);
        return status_from_bool(::SetConsoleCtrlHandler(&call_handler, add ? TRUE : FALSE));
    }

  private:
    static Result<uint32_t> code_page(UINT cp) {
        if (cp == 0) return fail<uint32_t>(last_error());
        return {status::kSuccess, cp};
    }

    static Result<std::vector<InputRecord>> records(ConsoleHandle h, uint32_t max, bool remove) {
        std::vector<INPUT_RECORD> buffer(std::max<uint32_t>(max, 1));
        DWORD n = 0;
        const BOOL ok = remove ? ::ReadConsoleInputW(raw(h), buffer.data(), max, &n)
                               : ::PeekConsoleInputW(raw(h), buffer.data(), max, &n);
        if (!ok) return fail<std::vector<InputRecord>>(last_error());
        std::vector<InputRecord> out;
        out.reserve(n);
        for (DWORD i = 0; i < std::min<DWORD>(n, max); ++i)
            out.push_back(record_of(buffer[i]));
        return {status::kSuccess, std::move(out)};
    }
};

}  // namespace

std::shared_ptr<Console> make_console() {
    return std::make_shared<Win32Console>();
}

}  // namespace vorlek::platform::win32
