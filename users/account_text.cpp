#include "users/account_text.h"

#include <cmath>

#include "strings/stringer.h"
#include "system/dll_class.h"

namespace vorlek::users {

namespace {

struct Named {
    uint32_t bit;
    StringView name;
};

// In the order the texts are joined.
constexpr Named kAuthorities[] = {
    {8, u"AF_OP_ACCOUNTS"}, {4, u"AF_OP_SERVER"}, {2, u"AF_OP_COMM"}, {1, u"AF_OP_PRINT"}};

// Tested in this order, each set bit overriding the one before: the lowest wins.
constexpr Named kAccountTypes[] = {{0x2000, u"UF_SERVER_TRUST_ACCOUNT"},
                                   {0x1000, u"UF_WORKSTATION_TRUST_ACCOUNT"},
                                   {0x0800, u"UF_INTERDOMAIN_TRUST_ACCOUNT"},
                                   {0x0200, u"UF_NORMAL_ACCOUNT"},
                                   {0x0100, u"UF_TEMP_DUPLICATE_ACCOUNT"}};

constexpr StringView kPrivileges[] = {u"USER_PRIV_GUEST", u"USER_PRIV_USER", u"USER_PRIV_ADMIN",
                                      u"USER_PRIV_MASK"};

constexpr StringView kDigitsFailed = u"error";

size_t wrap(int64_t position) {
    const auto n = static_cast<int64_t>(kHoursPerWeek);
    return static_cast<size_t>(((position % n) + n) % n);
}

}  // namespace

String authority_text(uint32_t auth_flags) {
    if (auth_flags == 0) return u"AF_OP_NONE";
    String text;
    for (const auto& a : kAuthorities) {
        if (!(auth_flags & a.bit)) continue;
        if (!text.empty()) text += u';';
        text += a.name;
    }
    return text;
}

AccountType account_type(uint32_t flags) {
    AccountType type;
    for (const auto& t : kAccountTypes)
        if (flags & t.bit) type = {static_cast<int32_t>(t.bit), t.name};
    return type;
}

uint32_t first_type_bit(uint32_t flags) {
    for (uint32_t bit : {0x100u, 0x200u, 0x800u, 0x1000u, 0x2000u})
        if (flags & bit) return bit;
    return 0;
}

StringView privilege_text(uint32_t priv) {
    return priv < std::size(kPrivileges) ? kPrivileges[priv] : StringView();
}

std::pair<String, String> split_account(StringView text) {
    const size_t slash = text.find(u'\\');
    if (slash == StringView::npos) return {String(), String(text)};
    return {String(text.substr(0, slash)), String(text.substr(slash + 1))};
}

Workstations split_workstations(StringView text) {
    Workstations out;
    for (size_t k = 0; k < out.names.size() && !text.empty(); ++k) {
        const size_t comma = text.find(u',');
        out.names[k] = String(text.substr(0, comma));
        text = comma == StringView::npos ? StringView() : text.substr(comma + 1);
        if (k > 0) out.list += u',';
        out.list += out.names[k];
    }
    return out;
}

int32_t hours_shift(int32_t bias_minutes) {
    return static_cast<int32_t>(std::nearbyint(bias_minutes / 60.0));  // rounds halves to even
}

int32_t hours_from_bitmap(const HoursBitmap& bitmap, int32_t shift, bool binary, WeekHours& out) {
    auto bases = make<DllClass>();
    auto strings = make<Stringer>();
    String utc;
    utc.reserve(kHoursPerWeek);
    for (uint8_t b : bitmap) {
        String digits = bases->CBase(b, 2, 8, String(kDigitsFailed));
        if (digits == kDigitsFailed) return kHoursDigitsFailed;
        digits = strings->ReverseString(std::move(digits), String(kDigitsFailed), 1);
        if (digits == kDigitsFailed) return kHoursDigitsFailed;
        utc += digits;
    }
    String local(kHoursPerWeek, u'0');
    for (size_t p = 0; p < kHoursPerWeek; ++p)
        local[p] = utc[wrap(int64_t(p) + shift)];
    for (size_t d = 0; d < out.days.size(); ++d) {
        String day = local.substr(d * 24, 24);
        if (!binary) {
            day = day_text(day, u"Error");
            if (day == u"Error") return kDayTextFailed;
        }
        out.days[d] = std::move(day);
    }
    out.week = std::move(local);
    return 0;
}

String day_text(StringView digits, StringView fallback) {
    if (digits.size() != 24) return String(fallback);
    const auto on = [&](size_t hour) { return digits[hour - 1] == u'1'; };  // 1-based
    if (digits.find_first_not_of(u'0') == StringView::npos) return u"0-0";
    String r;
    if (on(1)) r = on(2) ? u"0" : u"0-1;";
    for (size_t i = 2; i <= 23; ++i) {
        const bool a = on(i - 1), b = on(i), c = on(i + 1);
        if (!b) continue;
        if (!a && !c)
            r += decimal(int64_t(i - 1)) + u"-" + decimal(int64_t(i)) + u";";
        else if (a && !c)
            r += u"-" + decimal(int64_t(i)) + u";";
        else if (!a && c)
            r += decimal(int64_t(i - 1));
    }
    if (on(24)) r += on(23) ? u"-24;" : u"23-24;";
    if (!r.empty() && r != fallback) r.pop_back();
    return r;
}

int32_t bitmap_from_hours(StringView local_digits, int32_t shift, HoursBitmap& out,
                          String& normalised) {
    if (local_digits.size() != kHoursPerWeek) return kHoursLength;
    String local(local_digits);
    for (auto& c : local)
        if (c != u'0') c = u'1';
    String utc(kHoursPerWeek, u'0');
    for (size_t q = 0; q < kHoursPerWeek; ++q)
        utc[q] = local[wrap(int64_t(q) - shift)];
    auto bases = make<DllClass>();
    auto strings = make<Stringer>();
    HoursBitmap bytes{};
    for (size_t i = 0; i < bytes.size(); ++i) {
        String group = strings->ReverseString(utc.substr(i * 8, 8), String(kDigitsFailed), 1);
        if (group == kDigitsFailed) return kHoursBytesFailed;
        bytes[i] = static_cast<uint8_t>(bases->CBaseToNum(std::move(group), u"1"));
    }
    out = bytes;
    normalised = std::move(local);
    return 0;
}

}  // namespace vorlek::users
