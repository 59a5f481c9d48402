// DllClass: the machine's address, its dial-up connections, the system's
// connection and properties dialogs, a wave file played, and the message
// window. None of these members changes LastError.
#include <algorithm>
#include <cmath>
#include <optional>

#include "automation/text.h"
#include "platform/desktop.h"
#include "platform/multimedia.h"
#include "platform/netbios.h"
#include "platform/platform.h"
#include "platform/ras.h"
#include "platform/sockets.h"
#include "platform/system.h"
#include "system/dll_class.h"

namespace vorlek {

namespace {

constexpr uint16_t kSocketsVersion = 0x0101;  // 1.1
constexpr StringView kRasError = u"---ERROR---";
constexpr StringView kNoAddress = u"00-00-00-00-00-00";
// The caption of the library's message boxes.
constexpr StringView kMessageCaption = u"Vorlek";

// Whether a script's value counts as a number: numbers, Booleans, Empty and
// texts that read as a number; not dates, Null, objects, arrays or a missing
// argument.
bool is_numeric(const Variant& v) {
    switch (v.type()) {
        case VarType::Empty:
        case VarType::Integer:
        case VarType::Long:
        case VarType::Double:
        case VarType::Boolean:
        case VarType::Byte:
            return true;
        case VarType::String:
            try {
                return std::isfinite(v.to_double());
            } catch (const std::exception&) {
                return false;
            }
        default:
            return false;
    }
}

}  // namespace

String DllClass::GetLocalIP(String strDefault) {
    auto& sockets = platform::current().sockets();
    auto session = sockets.startup(kSocketsVersion);
    if (!session.ok()) return strDefault;
    String result = strDefault;
    const uint16_t v = session.value.version;
    const bool version_ok = (v & 0xFF) > 1 || ((v & 0xFF) == 1 && (v >> 8) >= 1);
    if (version_ok && session.value.max_sockets >= 1) {
        auto name = platform::current().system().computer_name();
        if (name.ok()) {
            auto addresses = sockets.host_addresses(trim_spaces(name.value));
            if (addresses.ok() && !addresses.value.empty()) {
                const auto& a = addresses.value.front();
                result = decimal(a[0]) + u"." + decimal(a[1]) + u"." + decimal(a[2]) + u"." +
                         decimal(a[3]);
            }
        }
    }
    // A session that started is ended, whatever it found.
    sockets.cleanup();
    return result;
}

int32_t DllClass::GetRasConnections(Variant& lngEntriesRead, Variant& lngTotalEntries,
                                    Variant& strName) {
    if (!is_numeric(lngEntriesRead) || !is_numeric(lngTotalEntries)) {
        strName = Variant(String(kRasError));
        return err::kNotAvailable;
    }
    auto connections = platform::current().ras().enum_connections(kRasEntries);
    if (!connections.ok()) {
        strName = Variant(String(kRasError));
        return static_cast<int32_t>(connections.status);
    }
    strName = Variant(String());
    const auto& names = connections.value;
    if (names.empty()) return 0;
    const auto count = static_cast<double>(names.size());
    // The cursor as a whole number; one outside of the list starts it again.
    double read = std::nearbyint(lngEntriesRead.to_double());
    if (read < 0 || read > count) read = 0;
    if (read < count) read += 1;
    const auto index = static_cast<size_t>(read);
    lngEntriesRead = Variant(static_cast<int32_t>(index));
    lngTotalEntries = Variant(static_cast<int32_t>(names.size()));
    const String& name = names[index - 1];
    strName = Variant(name.substr(0, name.find(u'\0')));
    return 0;
}

String DllClass::GetMacAddress(String strDefault) {
    auto& netbios = platform::current().netbios();
    netbios.reset(0);
    const platform::AdapterStatus status = netbios.adapter_status(0, platform::kLocalAdapterName);
    platform::MacAddress address{};
    if (status.return_code == platform::nrc::kGoodReturn) address = status.address;
    static constexpr char16_t kHex[] = u"0123456789ABCDEF";
    String text;
    for (size_t i = 0; i < address.size(); ++i) {
        if (i > 0) text += u'-';
        text += kHex[address[i] >> 4];
        text += kHex[address[i] & 0xF];
    }
    return text == kNoAddress ? strDefault : text;
}

int32_t DllClass::ShowNetConnectionDialog(int32_t lngType) {
    return static_cast<int32_t>(
        platform::current().desktop().connection_dialog(static_cast<uint32_t>(lngType)));
}

int32_t DllClass::ShowNetDisconnectDialog(int32_t lngType) {
    return static_cast<int32_t>(
        platform::current().desktop().disconnect_dialog(static_cast<uint32_t>(lngType)));
}

int32_t DllClass::ShowPrinterConnectionDialog() {
    return static_cast<int32_t>(platform::current().desktop().printer_connection_dialog());
}

void DllClass::ShowPropertyDialog(String strObjectPath) {
    auto& desktop = platform::current().desktop();
    const platform::Status s = desktop.show_properties(strObjectPath);
    if (s == platform::status::kSuccess) return;
    desktop.message_box(u"Fehler " + decimal(s) + u" in ShellExecuteEx", kMessageCaption);
}

// ---------------------------------------------------------------------------
// Sound

int32_t DllClass::PlaySound(String strPath, int32_t lngFrom, int32_t lngTo) {
    if (lngFrom > lngTo && lngTo > 0) return kBadRange;
    auto& mm = platform::current().multimedia();
    mm.send_string(u"open \"" + strPath + u"\" type waveaudio alias song");
    if (platform::MciError e = mm.send_string(u"set song time format samples")) {
        // The device may be open all the same (a bad command after it): it
        // is not left open for the next call to find.
        mm.send_string(u"close song");
        return static_cast<int32_t>(e);
    }
    String play = u"play song from " + decimal(lngFrom);
    if (lngTo > 0) play += u" to " + decimal(lngTo);
    play += u" wait";
    const platform::MciError played = mm.send_string(play);
    const platform::MciError closed = mm.send_string(u"close song");
    return static_cast<int32_t>(played ? played : closed);
}

// ---------------------------------------------------------------------------
// The message window

namespace {

// One colour component: a number of the text, 255 for one above it, none
// for a text that is not a number or a negative one.
std::optional<uint32_t> component(StringView text) {
    try {
        const int32_t v = Variant(String(text)).to_long();
        if (v < 0) return std::nullopt;
        return static_cast<uint32_t>(std::min(v, 255));
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

// "red,green,blue" as a COLORREF; none without two commas or with a part
// that is no colour component.
std::optional<uint32_t> color_of(StringView text) {
    const size_t first = text.find(u',');
    if (first == StringView::npos) return std::nullopt;
    const size_t second = text.find(u',', first + 1);
    if (second == StringView::npos) return std::nullopt;
    auto r = component(text.substr(0, first));
    auto g = component(text.substr(first + 1, second - first - 1));
    auto b = component(text.substr(second + 1));
    if (!r || !g || !b) return std::nullopt;
    return *r | *g << 8 | *b << 16;
}

struct AlignmentName {
    StringView name;
    platform::TextAlignment alignment;
};
constexpr AlignmentName kAlignments[] = {
    {u"LEFT", platform::TextAlignment::Left},
    {u"RIGHT", platform::TextAlignment::Right},
    {u"CENTER", platform::TextAlignment::Center},
};

}  // namespace

void DllClass::ShowMessage(String strCaption, String strFont, String strForeColorRGB,
                           int32_t lngFontSize, bool booBold, String strAlignment, String strText) {
    platform::MessageLook look;
    look.caption = std::move(strCaption);
    look.font = std::move(strFont);
    look.color = color_of(strForeColorRGB);
    look.font_size = lngFontSize;
    look.bold = booBold;
    const String alignment = to_upper(strAlignment);
    for (const auto& a : kAlignments) {
        if (alignment == a.name) look.alignment = a.alignment;
    }
    look.text = std::move(strText);
    // Each setting that cannot be made is left out; there is nobody to tell.
    platform::current().desktop().show_message_window(look);
}

void DllClass::UnloadMessage() {
    platform::current().desktop().unload_message_window();
}

}  // namespace vorlek
