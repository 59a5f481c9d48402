// The interactive desktop of the simulated local machine. Dialogs do not
// wait for anybody: each takes the next answer a test or host has set on the
// desktop (DesktopState::answers), or is cancelled, and is recorded as shown.
#include "platform/sim/desktop.h"

#include <algorithm>

#include "platform/desktop.h"
#include "platform/sim/areas.h"
#include "platform/sim/network.h"
#include "platform/sim/shares.h"

namespace vorlek::sim {

const MessageWindow* DesktopState::message_window(std::thread::id thread) const {
    for (const MessageWindow& w : message_windows) {
        if (w.thread == thread) return &w;
    }
    return nullptr;
}

bool DesktopState::has_font(StringView name) const {
    return std::any_of(fonts.begin(), fonts.end(),
                       [&](const String& f) { return equal_ignore_case(f, name); });
}

// A connection the user made through the connection dialog: a drive
// connection of the caller's session like any other (WNetAddConnection2,
// remembered, as the dialog's "reconnect at logon" box is ticked by
// default), and recorded on the desktop when it was made.
platform::Status connect_from_dialog(Network& net, Machine& machine,
                                     const DialogConnection& connection) {
    platform::NetResource resource;
    resource.type = connection.resource_type;
    if (!connection.local.empty()) resource.local_name = connection.local;
    resource.remote_name = connection.remote;
    const platform::Status s = add_drive_connection(
        net, machine, resource, std::nullopt, std::nullopt, platform::net_use::kUpdateProfile);
    if (s == platform::status::kSuccess) machine.desktop.connected.push_back(connection);
    return s;
}

// A connection the user removed through the disconnect dialog
// (WNetCancelConnection2, forgotten as well; the dialog asks before it
// closes open files, which the answer script cannot, so it does not force).
platform::Status disconnect_from_dialog(Network& net, Machine& machine,
                                        const DialogConnection& connection) {
    const StringView name =
        connection.local.empty() ? StringView(connection.remote) : StringView(connection.local);
    const platform::Status s =
        cancel_drive_connection(net, machine, name, platform::net_use::kUpdateProfile, false);
    if (s == platform::status::kSuccess) machine.desktop.disconnected.push_back(connection);
    return s;
}

namespace {

using platform::Status;
namespace status = platform::status;

constexpr Status kSuccess = status::kSuccess;

DialogAnswer next_answer(DesktopState& d) {
    if (d.answers.empty()) return DialogAnswer{};
    DialogAnswer a = std::move(d.answers.front());
    d.answers.pop_front();
    return a;
}

// The resource types the connection dialogs accept (RESOURCETYPE_DISK and
// RESOURCETYPE_PRINT); any other is refused before anything is shown.
bool dialog_type(uint32_t type) {
    return type == 1 || type == 2;
}

class SimDesktop : public platform::Desktop {
  public:
    explicit SimDesktop(Network& net) : net_(net), windows_(net.handles(), HandleKind::Window) {}

    ~SimDesktop() override {
        // Windows of threads that never unloaded them go with the process.
        auto call = net_.hold();
        auto& list = call.machine().desktop.message_windows;
        std::erase_if(list, [&](const MessageWindow& w) { return windows_.find(w.handle); });
    }

    Status connection_dialog(uint32_t type) override {
        auto call = net_.enter(op::WNetConnectionDialog);
        if (!call) return call.status();
        if (!dialog_type(type)) return status::kInvalidParameter;
        Machine& m = call.machine();
        DialogAnswer a = next_answer(m.desktop);
        if (a.status == kSuccess) {
            // The user has to name a resource of a server that answers.
            if (a.remote.size() < 3 || a.remote.substr(0, 2) != u"\\\\") {
                a.status = status::kBadNetPath;
            } else {
                const String server = a.remote.substr(0, a.remote.find(u'\\', 2));
                if (!net_.answers(server)) a.status = status::kBadNetPath;
            }
        }
        if (a.status == kSuccess)
            a.status = connect_from_dialog(net_, m, {a.local, a.remote, type});
        m.desktop.shown.push_back({u"WNetConnectionDialog", type, a.remote, u"", a.status});
        return a.status;
    }

    Status disconnect_dialog(uint32_t type) override {
        auto call = net_.enter(op::WNetDisconnectDialog);
        if (!call) return call.status();
        if (!dialog_type(type)) return status::kInvalidParameter;
        Machine& m = call.machine();
        DialogAnswer a = next_answer(m.desktop);
        if (a.status == kSuccess)
            a.status = disconnect_from_dialog(net_, m, {a.local, a.remote, type});
        m.desktop.shown.push_back({u"WNetDisconnectDialog", type, a.local, u"", a.status});
        return a.status;
    }

    Status printer_connection_dialog() override {
        auto call = net_.enter(op::ConnectToPrinterDlg);
        if (!call) return call.status();
        Machine& m = call.machine();
        DialogAnswer a = next_answer(m.desktop);
        // Cancelling is no error here: the dialog gives no printer and the
        // last error stays 0.
        Status result = a.status == status::kCancelled ? kSuccess : a.status;
        if (a.status == kSuccess) {
            const String server = a.remote.substr(0, a.remote.find(u'\\', 2));
            if (a.remote.size() < 3 || !net_.answers(server)) result = status::kBadNetPath;
        }
        m.desktop.shown.push_back({u"ConnectToPrinterDlg", 2, a.remote, u"", result});
        return result;
    }

    Status show_properties(StringView path) override {
        auto call = net_.enter(op::ShellExecuteEx, {path});
        if (!call) return call.status();
        Machine& m = call.machine();
        Status result = exists(m, path) ? kSuccess : status::kFileNotFound;
        // The properties sheet opens and closes without a process to wait for.
        m.desktop.shown.push_back({u"ShellExecuteEx", 0, String(path), u"properties", result});
        return result;
    }

    Status message_box(StringView text, StringView caption) override {
        auto call = net_.enter(op::MessageBox, {text, caption});
        if (!call) return call.status();
        Machine& m = call.machine();
        // A message box with only OK needs no answer; one set is used up.
        if (!m.desktop.answers.empty()) m.desktop.answers.pop_front();
        m.desktop.shown.push_back({u"MessageBox", 0, String(text), String(caption), kSuccess});
        return kSuccess;
    }

    Status show_message_window(const platform::MessageLook& look) override {
        auto call = net_.enter(op::CreateWindowEx);
        if (!call) return call.status();
        DesktopState& d = call.machine().desktop;
        const auto me = std::this_thread::get_id();
        auto it = std::find_if(d.message_windows.begin(), d.message_windows.end(),
                               [&](const MessageWindow& w) { return w.thread == me; });
        if (it == d.message_windows.end()) {
            MessageWindow w;
            w.thread = me;
            w.handle = windows_.open(0);
            d.message_windows.push_back(std::move(w));
            it = d.message_windows.end() - 1;
        }
        MessageWindow& w = *it;
        // A caption is handed to the system as a C string; one with a NUL inside is left out.
        if (look.caption && platform::fits_c_string(*look.caption)) w.caption = *look.caption;
        if (look.font && d.has_font(*look.font)) w.font = *look.font;
        if (look.color) w.color = *look.color & 0xFFFFFF;
        if (look.font_size && *look.font_size >= platform::kMinFontSize &&
            *look.font_size <= platform::kMaxFontSize)
            w.font_size = *look.font_size;
        if (look.bold) w.bold = *look.bold;
        if (look.alignment) w.alignment = *look.alignment;
        if (look.text) w.text = *look.text;
        w.left = (d.screen_width - w.width) / 2;
        w.top = (d.screen_height - w.height) / 2;
        w.visible = true;
        ++w.paints;
        return kSuccess;
    }

    void unload_message_window() override {
        auto call = net_.hold();
        auto& list = call.machine().desktop.message_windows;
        const auto me = std::this_thread::get_id();
        std::erase_if(list, [&](const MessageWindow& w) {
            if (w.thread != me) return false;
            windows_.close(w.handle);
            return true;
        });
    }

  private:
    // A file of the machine's store, or a folder that holds one.
    static bool exists(const Machine& m, StringView path) {
        if (path.empty() || path.find(u'"') != StringView::npos) return false;
        String folder = String(path);
        if (folder.back() != u'\\') folder += u'\\';
        for (const auto& [name, bytes] : m.files) {
            if (equal_ignore_case(name, path)) return true;
            if (name.size() > folder.size() &&
                equal_ignore_case(StringView(name).substr(0, folder.size()), folder))
                return true;
        }
        return false;
    }

    Network& net_;
    HandleTable<int> windows_;
};

}  // namespace

std::shared_ptr<platform::Desktop> make_desktop(Network& net) {
    return std::make_shared<SimDesktop>(net);
}

}  // namespace vorlek::sim
