// The interactive desktop of a simulated machine: what was shown on it, the
// answers a user would give, and the message windows of the library.
#pragma once

#include <deque>
#include <thread>
#include <vector>

#include "platform/desktop.h"
#include "platform/sim/faults.h"
#include "platform/sim/handles.h"

namespace vorlek::sim {

// How the user answers the next dialog or message box. A connection dialog
// answered with 0 connects `local` to `remote`; the disconnect dialog
// answered with 0 removes the connection of `local`.
struct DialogAnswer {
    platform::Status status = platform::status::kCancelled;
    String local;
    String remote;
};

// One dialog or message box, as shown.
struct ShownDialog {
    String call;  // the system's call: "WNetConnectionDialog", "MessageBox", ...
    uint32_t resource_type = 0;
    String text;  // the path of a properties dialog, the text of a message box
    String caption;
    platform::Status result = 0;
};

// A connection made or removed through the connection dialogs.
struct DialogConnection {
    String local;
    String remote;
    uint32_t resource_type = 0;
};

struct MessageWindow {
    Handle handle = 0;
    std::thread::id thread;
    String caption;
    String font = u"MS Sans Serif";
    uint32_t color = 0;  // COLORREF
    int32_t font_size = 8;
    bool bold = false;
    platform::TextAlignment alignment = platform::TextAlignment::Left;
    String text;
    int32_t left = 0, top = 0, width = 400, height = 150;
    bool visible = false;
    uint32_t paints = 0;  // times the window painted
};

struct DesktopState {
    int32_t screen_width = 1024;
    int32_t screen_height = 768;
    // Installed font families; names compare without regard to case.
    std::vector<String> fonts = {u"Arial",  u"Courier New",     u"MS Sans Serif",
                                 u"Tahoma", u"Times New Roman", u"Verdana"};
    // Answers for the dialogs and message boxes to come, in order; with
    // none left every dialog is cancelled (and a message box confirmed).
    std::deque<DialogAnswer> answers;
    std::vector<ShownDialog> shown;
    std::vector<DialogConnection> connected;
    std::vector<DialogConnection> disconnected;
    std::vector<MessageWindow> message_windows;

    void answer(DialogAnswer a) { answers.push_back(std::move(a)); }
    const MessageWindow* message_window(std::thread::id thread) const;
    bool has_font(StringView name) const;
};

struct Machine;
class Network;
// A connection made (removed) through the dialogs: a drive connection of the
// caller's session added (cancelled) as WNetAddConnection2
// (WNetCancelConnection2) does, and when that succeeds recorded in
// `desktop.connected` (`desktop.disconnected`). The network must be held.
platform::Status connect_from_dialog(Network& net, Machine& machine,
                                     const DialogConnection& connection);
platform::Status disconnect_from_dialog(Network& net, Machine& machine,
                                        const DialogConnection& connection);

namespace op {
inline constexpr Operation WNetConnectionDialog{u"WNetConnectionDialog"};
inline constexpr Operation WNetDisconnectDialog{u"WNetDisconnectDialog"};
inline constexpr Operation ConnectToPrinterDlg{u"ConnectToPrinterDlg"};
inline constexpr Operation ShellExecuteEx{u"ShellExecuteEx"};
inline constexpr Operation MessageBox{u"MessageBox"};
inline constexpr Operation CreateWindowEx{u"CreateWindowEx"};
}  // namespace op

}  // namespace vorlek::sim
