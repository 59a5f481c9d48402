// The interactive desktop of the calling process: the system's dialogs for
// network and printer connections and an object's properties, message boxes,
// and the library's own message window (one per calling thread).
#pragma once

#include <cstdint>
#include <optional>

#include "automation/string.h"
#include "platform/status.h"

namespace vorlek::platform {

namespace status {
constexpr Status kNoNetwork = 1222;  // ERROR_NO_NETWORK
constexpr Status kCancelled = 1223;  // ERROR_CANCELLED
}  // namespace status

enum class TextAlignment : uint8_t { Left, Right, Center };

// What ShowMessage sets on the message window; a field left empty keeps
// the window's value.
struct MessageLook {
    std::optional<String> caption;
    std::optional<String> font;
    std::optional<uint32_t> color;     // COLORREF: 0x00BBGGRR
    std::optional<int32_t> font_size;  // points
    std::optional<bool> bold;
    std::optional<TextAlignment> alignment;
    std::optional<String> text;
};

// Font sizes a window accepts, in points.
constexpr int32_t kMinFontSize = 1;
constexpr int32_t kMaxFontSize = 2048;

class Desktop {
  public:
    virtual ~Desktop() = default;
    // WNetConnectionDialog / WNetDisconnectDialog with no owner window: 0 when
    // the user connected (disconnected) something, 1223 when cancelled.
    virtual Status connection_dialog(uint32_t resource_type) = 0;
    virtual Status disconnect_dialog(uint32_t resource_type) = 0;
    // ConnectToPrinterDlg, no owner window, no flags: 0 when a printer was
    // connected (the printer handle it gives is closed again) or the user
    // cancelled without an error, the last error otherwise.
    virtual Status printer_connection_dialog() = 0;
    // ShellExecuteEx with the verb "properties" (SEE_MASK_INVOKEIDLIST |
    // SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI), show command 0.
    virtual Status show_properties(StringView path) = 0;
    // MessageBox with no owner window and MB_OK.
    virtual Status message_box(StringView text, StringView caption) = 0;

    // The message window of the calling thread, created on first use: sets
    // what `look` gives (a font that does not exist, or a size outside
    // kMinFontSize..kMaxFontSize, is left as it was), shows it modeless in the
    // centre of the screen and lets it paint.
    virtual Status show_message_window(const MessageLook& look) = 0;
    // Destroys the calling thread's message window, if it has one.
    virtual void unload_message_window() = 0;
};

}  // namespace vorlek::platform
