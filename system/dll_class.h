// DllClass: small system helpers. Number bases, time and locale conversions
// and message texts live here, the administrator test and shutdown in
// shutdown.cpp, the account SIDs in sids.cpp, the network address, dialog,
// sound and message-window helpers in helpers.cpp and the string scrambling
// in scramble.cpp.
#pragma once

#include "automation/member.h"

namespace vorlek {

class DllClass : public Object {
  public:
    static const ClassInfo& info();
    const ClassInfo& class_info() const noexcept override { return info(); }

    // Resource types of the network connection dialogs.
    static constexpr int32_t kResourceTypeAny = 0;
    static constexpr int32_t kResourceTypeDisk = 1;
    static constexpr int32_t kResourceTypePrint = 2;
    static constexpr int32_t kResourceTypeReserved = 8;
    static constexpr int32_t kResourceTypeUnknown = -1;

    // The longest text GetCryptedString scrambles.
    static constexpr size_t kMaxScrambled = 32767;
    // Room for dial-up connections GetRasConnections asks for.
    static constexpr uint32_t kRasEntries = 256;
    // PlaySound's answer for a range that ends before it starts.
    static constexpr int32_t kBadRange = -87;
    // Longest text CBase pads to; a longer request is refused rather than
    // allocating without bound.
    static constexpr int32_t kMaxDigits = 1 << 20;
    // FormatMessage's buffer, in characters.
    static constexpr uint32_t kMessageBufferChars = 512;
    // The fallbacks of the date members.
    static constexpr double kDate19000101 = 2;
    static constexpr double kDate19700101 = 25569;

    // Number bases, time, locale and messages.
    String FormatAPIMessage(int32_t lngNumber, String strDefault, String strMsgFile,
                            int32_t lngLangID);
    String CBase(int32_t lngNumber, int32_t lngBase, int32_t lngLen, String strDefault);
    Date FileTimeToDateTime(int32_t lngLowDateTime, int32_t lngHighDateTime);
    Date FileTimeToLocFileTime(Date dteDateTime);
    Date SysTimeToTzLocTime(Date dteDateTime);
    int32_t GetBias();
    double CBaseToNum(String strBaseStr, String strBase);
    int32_t UserDefaultLCID();
    int32_t SystemDefaultLCID();
    void Sleeping(int32_t lngMilliSeconds);
    int32_t LastError() const { return last_error_; }

    // Account SIDs: as the library's text, as Longs holding the SID's
    // bytes, and from text back to the account's name.
    String GetDomSID(String strMachine, String strObject, String strDefault);
    Variant GetDomSIDArray(String strMachine, String strObject);
    String GetDomName(String strMachine, String strSID, String strDefault);

    // Network address, dial-up connections, dialogs, sound, the message
    // window and the scrambling; none of them changes LastError.
    String GetLocalIP(String strDefault);
    int32_t GetRasConnections(Variant& lngEntriesRead, Variant& lngTotalEntries, Variant& strName);
    String GetMacAddress(String strDefault);
    int32_t ShowNetConnectionDialog(int32_t lngType);
    int32_t ShowNetDisconnectDialog(int32_t lngType);
    String GetCryptedString(String strString, String strDefault);
    String GetDecryptedString(String strString, String strDefault);
    void ShowPropertyDialog(String strObjectPath);
    void ShowMessage(String strCaption, String strFont, String strForeColorRGB, int32_t lngFontSize,
                     bool booBold, String strAlignment, String strText);
    void UnloadMessage();
    bool IAmAdmin();  // this and the two shutdown members: shutdown.cpp
    int32_t ShowPrinterConnectionDialog();
    int32_t EndWindows(String strMachine, String strMessage, int32_t lngTimeOut, bool booForce,
                       bool booReboot);
    int32_t EndWindowsLocal(String strHow, bool booForce);
    int32_t PlaySound(String strPath, int32_t lngFrom, int32_t lngTo);

  private:
    int32_t last_error_ = 0;
};

}  // namespace vorlek
