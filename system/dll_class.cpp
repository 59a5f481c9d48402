#include "system/dll_class.h"

#include <cmath>
#include <iterator>
#include <optional>

#include "automation/calendar.h"
#include "platform/locale.h"
#include "platform/messages.h"
#include "platform/platform.h"
#include "platform/time.h"
#include "strings/stringer.h"

namespace vorlek {

const ClassInfo& DllClass::info() {
    static constexpr StringView kResourceTypeHelp =
        u"Constant for ShowNetConnectionDialog or ShowNetDisconnectDialog";
    static const ClassInfo info =
        ClassBuilder<DllClass>(u"DllClass")
            .method<&DllClass::GetLocalIP>(u"GetLocalIP", {param(u"strDefault")},
                                           u"Returns the IP of the machine")
            .method<&DllClass::GetRasConnections>(
                u"GetRasConnections",
                {param(u"lngEntriesRead"), param(u"lngTotalEntries"), param(u"strName")},
                u"Returns or enumerates existing RAS connection(s)")
            .method<&DllClass::GetMacAddress>(u"GetMacAddress", {param(u"strDefault")},
                                              u"Returns the MAC address of the machine")
            .method<&DllClass::ShowNetConnectionDialog>(
                u"ShowNetConnectionDialog", {param(u"lngType")},
                u"Shows the NT dialog to connect to a network resource")
            .method<&DllClass::ShowNetDisconnectDialog>(
                u"ShowNetDisconnectDialog", {param(u"lngType")},
                u"Shows the NT dialog to disconnect from a network resource")
            .constant(u"RESOURCETYPE_ANY", kResourceTypeAny, kResourceTypeHelp)
            .constant(u"RESOURCETYPE_DISK", kResourceTypeDisk, kResourceTypeHelp)
            .constant(u"RESOURCETYPE_PRINT", kResourceTypePrint, kResourceTypeHelp)
            .constant(u"RESOURCETYPE_RESERVED", kResourceTypeReserved, kResourceTypeHelp)
            .constant(u"RESOURCETYPE_UNKNOWN", kResourceTypeUnknown, kResourceTypeHelp)
            .method<&DllClass::GetDomSIDArray>(u"GetDomSIDArray",
                                               {param(u"strMachine"), param(u"strObject")},
                                               u"Returnes an array of bytes which represents an "
                                               u"account sid of the specified computer")
            .method<&DllClass::GetCryptedString>(u"GetCryptedString",
                                                 {param(u"strString"), param(u"strDefault")},
                                                 u"Returns a with a simple algorytrhm coded string")
            .method<&DllClass::GetDecryptedString>(
                u"GetDecryptedString", {param(u"strString"), param(u"strDefault")},
                u"Returns a decoded string which was coded by GetCryptedString ")
            .method<&DllClass::ShowPropertyDialog>(
                u"ShowPropertyDialog", {param(u"strObjectPath")},
                u"Shows the NT dialog for the properties of an object (file, folder etc.)")
            .get<&DllClass::GetDomSID>(
                u"GetDomSID", {param(u"strMachine"), param(u"strObject"), param(u"strDefault")},
                u"Returns the SID of an object in a domain (User, Group etc.)")
            .method<&DllClass::ShowMessage>(
                u"ShowMessage",
                {optional(u"strCaption"), optional(u"strFont"), optional(u"strForeColorRGB"),
                 optional(u"lngFontSize"), optional(u"booBold"), optional(u"strAlignment"),
                 optional(u"strText")},
                u"Shows a message with parameters in the center of the screen")
            .method<&DllClass::UnloadMessage>(u"UnloadMessage", {},
                                              u"Unloads the message called from ShowMessage")
            .method<&DllClass::FormatAPIMessage>(
                u"FormatAPIMessage",
                {param(u"lngNumber"), optional(u"strDefault", u"unknown"),
                 optional(u"strMsgFile", u""), optional(u"lngLangID", 0)},
                u"Returns a message from system or from a messgae file")
            .method<&DllClass::CBase>(
                u"CBase",
                {param(u"lngNumber"), param(u"lngBase"), param(u"lngLen"), param(u"strDefault")},
                u"Returnes the number to a specific base")
            .method<&DllClass::FileTimeToDateTime>(
                u"FileTimeToDateTime", {param(u"lngLowDateTime"), param(u"lngHighDateTime")},
                u"Converts the UTC filetime to a date data type")
            .method<&DllClass::FileTimeToLocFileTime>(
                u"FileTimeToLocFileTime", {param(u"dteDateTime")},
                u"Converts a date data type to local file time taking daylight saving time into "
                u"account")
            .method<&DllClass::SysTimeToTzLocTime>(
                u"SysTimeToTzLocTime", {param(u"dteDateTime")},
                u"Returns the Local time based on a specific system time")
            .method<&DllClass::GetBias>(u"GetBias", {}, u"Returns the time bias in minutes")
            .method<&DllClass::CBaseToNum>(u"CBaseToNum", {param(u"strBaseStr"), param(u"strBase")},
                                           u"Returns the number converted from a string, which "
                                           u"contains a number to  a specified base")
            .get<&DllClass::UserDefaultLCID>(u"UserDefaultLCID", {},
                                             u"Returns users default locale ID")
            .get<&DllClass::SystemDefaultLCID>(u"SystemDefaultLCID", {},
                                               u"Returns systems default locale ID")
            .method<&DllClass::Sleeping>(u"Sleeping", {param(u"lngMilliSeconds")},
                                         u"Pauses a process for the specified time in milliseconds")
            .method<&DllClass::IAmAdmin>(u"IAmAdmin", {},
                                         u"Specifies whether the current user has admin privileges")
            .get<&DllClass::LastError>(u"LastError", {}, u"Common property of this class")
            .method<&DllClass::ShowPrinterConnectionDialog>(
                u"ShowPrinterConnectionDialog", {},
                u"Shows the NT system dialog for network printer connections")
            .method<&DllClass::EndWindows>(
                u"EndWindows",
                {optional(u"strMachine", u""), optional(u"strMessage", u""),
                 optional(u"lngTimeOut", 20), optional(u"booForce", false),
                 optional(u"booReboot", false)},
                u"Exits windows on a local or remote machine with some options")
            .method<&DllClass::GetDomName>(
                u"GetDomName", {param(u"strMachine"), param(u"strSID"), param(u"strDefault")},
                u"Returns the name of an account according to a specified SID in textual form")
            .method<&DllClass::EndWindowsLocal>(
                u"EndWindowsLocal", {param(u"strHow"), optional(u"booForce", false)},
                u"Exits windows on a local machine with some options")
            .method<&DllClass::PlaySound>(
                u"PlaySound", {param(u"strPath"), optional(u"lngFrom", 0), optional(u"lngTo", 0)},
                u"Plays the sound from a installed waveaudio device")
            .build();
    return info;
}

// ---------------------------------------------------------------------------
// Number bases

String DllClass::CBase(int32_t lngNumber, int32_t lngBase, int32_t lngLen, String strDefault) {
    static constexpr StringView kDigits = u"0123456789abcdefghijklmnopqrstuvwxyz";
    // A base below 2 never reaches 0 (or divides by zero), and a negative
    // number's remainders name no digit.
    if (lngBase < 2 || lngNumber < 0 || lngLen > kMaxDigits) return strDefault;
    // At most 31 digits: a non-negative Long in base 2.
    char16_t digits[32];
    size_t first = std::size(digits);
    int32_t n = lngNumber;
    do {
        const int32_t r = n % lngBase;
        if (r < static_cast<int32_t>(kDigits.size()))
            digits[--first] = kDigits[static_cast<size_t>(r)];
        n /= lngBase;
    } while (n != 0);
    String text(digits + first, digits + std::size(digits));
    if (lngLen > 0 && text.size() < static_cast<size_t>(lngLen))
        text = String(static_cast<size_t>(lngLen) - text.size(), u'0') + text;
    return to_upper(text);
}

double DllClass::CBaseToNum(String strBaseStr, String strBase) {
    static constexpr StringView kDigits = u"0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ";
    constexpr double kFail = err::kNotAvailable;
    if (strBaseStr.empty() || strBase.size() != 1) return kFail;
    // The highest digit must be given in upper case: "f" names no base.
    const size_t highest = kDigits.find(strBase[0]);
    if (highest == StringView::npos) return kFail;
    if (strBaseStr.find_first_not_of(u'0') == String::npos) return 0;
    const double base = static_cast<double>(highest) + 1;
    const String digits = to_upper(strBaseStr);
    const size_t n = digits.size();
    double value = 0;
    for (size_t i = 0; i < n; ++i) {
        const size_t d = kDigits.find(digits[i]);
        if (d == StringView::npos || static_cast<double>(d) >= base) return kFail;
        value += static_cast<double>(d) * std::pow(base, static_cast<double>(n - 1 - i));
        if (!std::isfinite(value)) return kFail;  // overflow of the double result
    }
    return value;
}

// ---------------------------------------------------------------------------
// Dates and times

namespace {

using platform::SystemTime;

// The date of a system time's parts, to the second.
Date date_of(const SystemTime& t) {
    return Date{calendar::serial_from_parts({t.year, t.month, t.day, t.hour, t.minute, t.second})};
}

// A date's parts as a system time (milliseconds 0), or nullopt when the date
// is not a valid automation date.
std::optional<SystemTime> parts_of(Date date) {
    const double serial = date.serial;
    if (!calendar::in_date_range(serial)) return std::nullopt;
    const calendar::DateTime p = calendar::parts_from_serial(serial);
    SystemTime t;
    t.year = static_cast<uint16_t>(p.year);
    t.month = static_cast<uint16_t>(p.month);
    t.day = static_cast<uint16_t>(p.day);
    t.hour = static_cast<uint16_t>(p.hour);
    t.minute = static_cast<uint16_t>(p.minute);
    t.second = static_cast<uint16_t>(p.second);
    return t;
}

}  // namespace

Date DllClass::FileTimeToDateTime(int32_t lngLowDateTime, int32_t lngHighDateTime) {
    const platform::FileTime time = uint64_t{static_cast<uint32_t>(lngHighDateTime)} << 32 |
                                    static_cast<uint32_t>(lngLowDateTime);
    auto parts = platform::current().time().file_time_to_system_time(time);
    if (!parts.ok()) return Date{kDate19000101};
    return date_of(parts.value);
}

Date DllClass::FileTimeToLocFileTime(Date dteDateTime) {
    const Date fallback{kDate19700101};
    auto parts = parts_of(dteDateTime);
    if (!parts) return fallback;
    auto& time = platform::current().time();
    auto utc = time.system_time_to_file_time(*parts);
    if (!utc.ok()) return fallback;
    auto local = time.file_time_to_local_file_time(utc.value);
    if (!local.ok()) return fallback;
    auto local_parts = time.file_time_to_system_time(local.value);
    if (!local_parts.ok()) return fallback;
    return date_of(local_parts.value);
}

Date DllClass::SysTimeToTzLocTime(Date dteDateTime) {
    const Date fallback{kDate19700101};
    auto parts = parts_of(dteDateTime);
    if (!parts) return fallback;
    auto& time = platform::current().time();
    auto zone = time.time_zone();
    if (!zone.ok()) return fallback;
    auto local = time.system_time_to_tz_local_time(zone.value, *parts);
    if (!local.ok()) return fallback;
    return date_of(local.value);
}

int32_t DllClass::GetBias() {
    auto zone = platform::current().time().time_zone();
    return zone.ok() ? zone.value.bias : err::kNotAvailable;
}

int32_t DllClass::UserDefaultLCID() {
    return static_cast<int32_t>(platform::current().locale().user_default_lcid());
}

int32_t DllClass::SystemDefaultLCID() {
    return static_cast<int32_t>(platform::current().locale().system_default_lcid());
}

void DllClass::Sleeping(int32_t lngMilliSeconds) {
    // A negative count would be Sleep's INFINITE (or nearly so): it returns at once instead.
    if (lngMilliSeconds <= 0) return;
    platform::current().time().sleep(static_cast<uint32_t>(lngMilliSeconds));
}

// ---------------------------------------------------------------------------
// Messages

String DllClass::FormatAPIMessage(int32_t lngNumber, String strDefault, String strMsgFile,
                                  int32_t lngLangID) {
    auto& messages = platform::current().messages();
    platform::ModuleHandle module = 0;
    if (!strMsgFile.empty()) {
        auto loaded = messages.load_data_file(strMsgFile);
        if (!loaded.ok()) return strDefault;
        module = loaded.value;
    }
    String result = strDefault;
    auto text = messages.format_message(module, static_cast<uint32_t>(lngNumber),
                                        static_cast<uint32_t>(lngLangID), kMessageBufferChars);
    if (text.ok() && !text.value.empty()) {
        auto s = make<Stringer>();
        // NUL, CR and LF have no case: a case-sensitive replace gives what a
        // case-blind one does, without upper-casing the whole text each time.
        const auto replace_all = [&](const String& in, StringView with, StringView what) {
            return s->ReplaceString(in, String(with), String(what), Stringer::kReplaceAll,
                                    Stringer::kCaseSensitive, Stringer::kNoBound,
                                    Stringer::kNoBound);
        };
        String t = replace_all(text.value, u"", StringView(u"\0", 1));
        t = replace_all(t, u"\n", u"\r\n\r\n");
        t = replace_all(t, u"\n", u"\r\n");
        if (!t.empty() && t.back() == u'\n') t.pop_back();
        if (!t.empty() && t.back() == u'\r') t.pop_back();
        result = std::move(t);
    }
    if (module != 0) messages.free_module(module);
    return result;
}

}  // namespace vorlek
