// The interactive desktop of the real system: the connection, printer and
// properties dialogs, message boxes, and the library's message window.
#include <windows.h>
// After windows.h: the network, printer and shell calls.
#include <shellapi.h>
#include <winnetwk.h>
#include <winspool.h>

#include <memory>

#include "platform/desktop.h"
#include "platform/win32/areas.h"
#include "platform/win32/handle.h"
#include "platform/win32/status.h"
#include "platform/win32/text.h"

namespace vorlek::platform::win32 {

namespace {

inline void destroy_window(HWND h) noexcept {
    ::DestroyWindow(h);
}
inline void delete_font(HFONT h) noexcept {
    ::DeleteObject(h);
}
using WindowHandle = UniqueHandle<ReleasedBy<HWND, destroy_window>>;
using FontHandle = UniqueHandle<ReleasedBy<HFONT, delete_font>>;

// The message window's layout: its size in pixels and the margin of the text.
constexpr int kWindowWidth = 400;
constexpr int kWindowHeight = 150;
constexpr int kMargin = 8;
constexpr wchar_t kWindowClass[] = L"VorlekMessageWindow";

// What the message window shows; the window owns it.
struct MessageState {
    std::wstring text;
    std::wstring font_name = L"MS Sans Serif";
    int32_t font_size = 8;
    bool bold = false;
    COLORREF color = RGB(0, 0, 0);
    TextAlignment alignment = TextAlignment::Left;
    FontHandle font;
};

UINT draw_flags(TextAlignment a) {
    switch (a) {
        case TextAlignment::Right:
            return DT_RIGHT;
        case TextAlignment::Center:
            return DT_CENTER;
        case TextAlignment::Left:
            break;
    }
    return DT_LEFT;
}

LRESULT CALLBACK message_window_proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    auto* state = reinterpret_cast<MessageState*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    switch (msg) {
        case WM_PAINT: {
            PAINTSTRUCT ps;
            HDC dc = ::BeginPaint(hwnd, &ps);
            if (state) {
                RECT r;
                ::GetClientRect(hwnd, &r);
                ::InflateRect(&r, -kMargin, -kMargin);
                HGDIOBJ old = state->font ? ::SelectObject(dc, state->font.get()) : nullptr;
                ::SetTextColor(dc, state->color);
                ::SetBkMode(dc, TRANSPARENT);
                ::DrawTextW(dc, state->text.c_str(), static_cast<int>(state->text.size()), &r,
                            draw_flags(state->alignment) | DT_WORDBREAK | DT_NOPREFIX);
                if (old) ::SelectObject(dc, old);
            }
            ::EndPaint(hwnd, &ps);
            return 0;
        }
        case WM_CLOSE:
            // The window goes with UnloadMessage, not with its close box.
            ::ShowWindow(hwnd, SW_HIDE);
            return 0;
        case WM_NCDESTROY:
            ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
            delete state;
            break;
        default:
            break;
    }
    return ::DefWindowProcW(hwnd, msg, wp, lp);
}

Status register_window_class() {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = message_window_proc;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.hCursor = ::LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = kWindowClass;
    if (::RegisterClassExW(&wc)) return status::kSuccess;
    const Status s = last_error();
    return s == ERROR_CLASS_ALREADY_EXISTS ? status::kSuccess : s;
}

int CALLBACK font_found(const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM found) {
    *reinterpret_cast<bool*>(found) = true;
    return 0;
}

// Whether a font family of that name is installed.
bool font_exists(StringView name) {
    if (name.empty() || name.size() >= LF_FACESIZE || !fits_c_string(name)) return false;
    LOGFONTW lf{};
    lf.lfCharSet = DEFAULT_CHARSET;
    std::copy(name.begin(), name.end(), lf.lfFaceName);
    bool found = false;
    HDC dc = ::GetDC(nullptr);
    if (!dc) return false;
    ::EnumFontFamiliesExW(dc, &lf, font_found, reinterpret_cast<LPARAM>(&found), 0);
    ::ReleaseDC(nullptr, dc);
    return found;
}

FontHandle make_font(const MessageState& s) {
    HDC dc = ::GetDC(nullptr);
    const int dpi = dc ? ::GetDeviceCaps(dc, LOGPIXELSY) : 96;
    if (dc) ::ReleaseDC(nullptr, dc);
    return FontHandle(
        ::CreateFontW(-::MulDiv(s.font_size, dpi, 72), 0, 0, 0, s.bold ? FW_BOLD : FW_NORMAL, FALSE,
                      FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                      DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, s.font_name.c_str()));
}

// The message window of each thread, destroyed with UnloadMessage or when
// the thread ends.
thread_local WindowHandle t_message_window;

class Win32Desktop : public Desktop {
  public:
    Status connection_dialog(uint32_t resource_type) override {
        return static_cast<Status>(::WNetConnectionDialog(nullptr, resource_type));
    }

    Status disconnect_dialog(uint32_t resource_type) override {
        return static_cast<Status>(::WNetDisconnectDialog(nullptr, resource_type));
    }

    Status printer_connection_dialog() override {
        ::SetLastError(ERROR_SUCCESS);
        OpenedPrinter printer(::ConnectToPrinterDlg(nullptr, 0));
        if (printer) return status::kSuccess;
        return last_error();
    }

    Status show_properties(StringView path) override {
        CStrings c;
        const wchar_t* file = c.wide(path);
        if (c.status()) return c.status();
        SHELLEXECUTEINFOW info{};
        info.cbSize = sizeof(info);
        info.fMask = SEE_MASK_INVOKEIDLIST | SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI;
        info.lpVerb = L"properties";
        info.lpFile = file;
        info.lpParameters = L"";
        info.lpDirectory = L"";
        info.nShow = SW_HIDE;
        if (!::ShellExecuteExW(&info)) return last_error();
        KernelHandle process(info.hProcess);  // none for a properties sheet, as a rule
        return status::kSuccess;
    }

    Status message_box(StringView text, StringView caption) override {
        CStrings c;
        const wchar_t* t = c.wide(text);
        const wchar_t* title = c.wide(caption);
        if (c.status()) return c.status();
        if (::MessageBoxW(nullptr, t, title, MB_OK) == 0) return last_error();
        return status::kSuccess;
    }

    Status show_message_window(const MessageLook& look) override {
        if (!t_message_window) {
            if (Status s = register_window_class()) return s;
            const int x = (::GetSystemMetrics(SM_CXSCREEN) - kWindowWidth) / 2;
            const int y = (::GetSystemMetrics(SM_CYSCREEN) - kWindowHeight) / 2;
            WindowHandle w(::CreateWindowExW(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, kWindowClass, L"",
                                             WS_POPUP | WS_CAPTION | WS_BORDER, x, y, kWindowWidth,
                                             kWindowHeight, nullptr, nullptr,
                                             ::GetModuleHandleW(nullptr), nullptr));
            if (!w) return last_error();
            auto state = std::make_unique<MessageState>();
            state->font = make_font(*state);
            ::SetWindowLongPtrW(w.get(), GWLP_USERDATA,
                                reinterpret_cast<LONG_PTR>(state.release()));
            t_message_window = std::move(w);
        }
        HWND hwnd = t_message_window.get();
        auto* state = reinterpret_cast<MessageState*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
        // Each setting that cannot be made is left as it was.
        if (look.caption && fits_c_string(*look.caption)) {
            CStrings c;
            ::SetWindowTextW(hwnd, c.wide(*look.caption));
        }
        bool new_font = false;
        if (look.font && font_exists(*look.font)) {
            state->font_name.assign(look.font->begin(), look.font->end());
            new_font = true;
        }
        if (look.color) state->color = *look.color & 0xFFFFFF;
        if (look.font_size && *look.font_size >= kMinFontSize && *look.font_size <= kMaxFontSize) {
            state->font_size = *look.font_size;
            new_font = true;
        }
        if (look.bold && *look.bold != state->bold) {
            state->bold = *look.bold;
            new_font = true;
        }
        if (look.alignment) state->alignment = *look.alignment;
        if (look.text) state->text.assign(look.text->begin(), look.text->end());
        if (new_font) {
            if (FontHandle f = make_font(*state)) state->font = std::move(f);
        }
        ::InvalidateRect(hwnd, nullptr, TRUE);
        ::ShowWindow(hwnd, SW_SHOWNOACTIVATE);
        ::UpdateWindow(hwnd);
        // Let the window (and whatever else of the thread waits) paint.
        MSG msg;
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
        return status::kSuccess;
    }

    void unload_message_window() override { t_message_window.reset(); }
};

}  // namespace

std::shared_ptr<Desktop> make_desktop() {
    return std::make_shared<Win32Desktop>();
}

}  // namespace vorlek::platform::win32
