// DllClass: account SIDs as the library writes them, as arrays of Longs and
// back to account names.
#include "platform/platform.h"
#include "platform/security.h"
#include "strings/stringer.h"
#include "system/dll_class.h"

namespace vorlek {

namespace {

// Statuses of the class's own.
constexpr int32_t kSidNotValid = -869;
constexpr int32_t kAuthorityTooShort = -1332;
constexpr int32_t kBuiltSidNotValid = -544;
// AllocateAndInitializeSid takes at most this many sub-authorities.
constexpr size_t kMaxBuiltSubAuthorities = 8;

// The machine the lookups ask: "\\" and its name, or the local one.
String lookup_machine(const String& machine) {
    return machine.empty() ? String() : u"\\\\" + machine;
}

// The account's SID on the machine, or the status of the failed lookup.
platform::Result<platform::Sid> account_sid(const String& machine, const String& object) {
    auto found =
        platform::current().security().lookup_account_name(lookup_machine(machine), object);
    if (!found.ok()) return platform::Result<platform::Sid>::failure(found.status);
    return {platform::status::kSuccess, std::move(found.value.sid)};
}

// The library's own SID text: each authority byte that is not 0 as a
// number of its own ("-0x0" when none is), the sub-authorities signed.
String sid_text(const platform::Sid& sid) {
    String text = u"S-" + decimal(sid.revision());
    bool any = false;
    for (int shift = 40; shift >= 0; shift -= 8) {
        const auto byte = static_cast<uint8_t>(sid.authority() >> shift);
        if (byte == 0) continue;
        text += u"-" + decimal(byte);
        any = true;
    }
    if (!any) text += u"-0x0";
    for (uint32_t sub : sid.sub_authorities())
        text += u"-" + decimal(static_cast<int32_t>(sub));
    return text;
}

// The authority of a SID text's third piece: decimal (the low four bytes)
// or, after an "X", up to six hexadecimal digit pairs.
int32_t parse_authority(DllClass& self, const String& piece, uint64_t& authority) {
    authority = 0;
    if (piece.empty()) return 0;
    const size_t x = piece.find_first_of(u"xX");
    if (x == String::npos) {
        authority = static_cast<uint32_t>(Variant(piece).to_long());
        return 0;
    }
    const String digits = piece.substr(x + 1);
    if (digits.size() < 3) return kAuthorityTooShort;
    for (size_t pair = 0; pair < 6; ++pair) {
        double value = 0;
        if (pair * 2 < digits.size()) value = self.CBaseToNum(digits.substr(pair * 2, 2), u"F");
        authority =
            authority << 8 | (value >= 0 && value <= 255 ? static_cast<uint64_t>(value) : 0);
    }
    return 0;
}

}  // namespace

String DllClass::GetDomSID(String strMachine, String strObject, String strDefault) {
    auto sid = account_sid(strMachine, strObject);
    if (!sid.ok() || !sid.value.valid()) return strDefault;
    return sid_text(sid.value);
}

Variant DllClass::GetDomSIDArray(String strMachine, String strObject) {
    last_error_ = 0;
    auto sid = account_sid(strMachine, strObject);
    if (!sid.ok()) {
        last_error_ = static_cast<int32_t>(sid.status);
        return Variant();
    }
    if (!sid.value.valid()) {
        last_error_ = kSidNotValid;
        return Variant();
    }
    const std::vector<uint8_t> bytes = sid.value.bytes();
    std::vector<int32_t> longs(bytes.size() / 4);
    for (size_t i = 0; i < longs.size(); ++i)
        longs[i] = static_cast<int32_t>(uint32_t{bytes[4 * i]} | uint32_t{bytes[4 * i + 1]} << 8 |
                                        uint32_t{bytes[4 * i + 2]} << 16 |
                                        uint32_t{bytes[4 * i + 3]} << 24);
    return Variant::long_array(std::move(longs));
}

String DllClass::GetDomName(String strMachine, String strSID, String strDefault) {
    last_error_ = 0;
    if (strSID.empty()) {
        last_error_ = err::kBadArgument;
        return strDefault;
    }
    String name;
    const int32_t rc = attempt([&] {
        auto splitter = make<Stringer>();
        splitter->InitSeperator(strSID, u"-", true);
        const Ref<Collection> pieces = splitter->SepStrings();
        // Empty pieces are passed over, except that one in front of a number
        // is the minus sign of a signed sub-authority ("-21--12345"), which is
        // how the SID text of this library writes those past 2^31.
        std::vector<String> parts;
        bool minus = false;
        for (size_t i = 0; pieces && i < pieces->size(); ++i) {
            String piece = pieces->object_at<Stringer>(i)->SepString();
            if (piece.empty()) {
                minus = true;
                continue;
            }
            if (minus && parts.size() >= 2) piece.insert(0, 1, u'-');
            minus = false;
            parts.push_back(std::move(piece));
        }
        // "S" and the revision are taken as they are.
        uint64_t authority = 0;
        if (parts.size() > 2) {
            if (int32_t status = parse_authority(*this, parts[2], authority)) {
                last_error_ = status;
                return;
            }
        }
        std::vector<uint32_t> subs;
        for (size_t i = 3; i < parts.size(); ++i) {
            const int32_t value = Variant(parts[i]).to_long();
            if (subs.size() == kMaxBuiltSubAuthorities) raise(err::kSubscript);
            subs.push_back(static_cast<uint32_t>(value));
        }
        const platform::Sid sid(authority, std::move(subs));
        if (!sid.valid()) {
            last_error_ = kBuiltSidNotValid;
            return;
        }
        auto found =
            platform::current().security().lookup_account_sid(lookup_machine(strMachine), sid);
        if (!found.ok()) {
            last_error_ = static_cast<int32_t>(found.status);
            return;
        }
        name = found.value.name.substr(0, found.value.name.find(u'\0'));
    });
    if (rc != 0) last_error_ = rc;
    return last_error_ == 0 ? name : strDefault;
}

}  // namespace vorlek
