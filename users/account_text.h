// The text forms of an account record's fields, as UserManager shows them:
// authority, account type and privilege names, the workstation list of at
// most eight names, and the logon-hours bitmap as binary digits in local time
// (with its way back).
#pragma once

#include <array>
#include <cstdint>
#include <utility>

#include "automation/string.h"

namespace vorlek::users {

// Bits of usri3_flags with a Boolean property of their own.
inline constexpr uint32_t kFlagScript = 0x0001;               // LogonScriptExecuted
inline constexpr uint32_t kFlagDisabled = 0x0002;             // AccountDisabled
inline constexpr uint32_t kFlagHomeDirRequired = 0x0008;      // HomeDirRequired
inline constexpr uint32_t kFlagLocked = 0x0010;               // AccountLocked
inline constexpr uint32_t kFlagPasswordNotRequired = 0x0020;  // PasswordNotRequired
inline constexpr uint32_t kFlagPasswordCannotChange = 0x0040;
inline constexpr uint32_t kFlagPasswordDontExpire = 0x10000;
inline constexpr uint32_t kShownFlags = kFlagScript | kFlagDisabled | kFlagHomeDirRequired |
                                        kFlagLocked | kFlagPasswordNotRequired |
                                        kFlagPasswordCannotChange | kFlagPasswordDontExpire;

// "AF_OP_NONE" for 0, else the operator names of the set bits (accounts,
// server, comm, print) joined by ";"; empty when none of them is set.
String authority_text(uint32_t auth_flags);

// The account type of a flag word: the lowest of the type bits that is set,
// with its constant name; {0, ""} when none is.
struct AccountType {
    int32_t bit = 0;
    StringView name;
};
AccountType account_type(uint32_t flags);

// The type bit an account-type change replaces: the first of 0x100, 0x200,
// 0x800, 0x1000, 0x2000 that is set (0 when none is).
uint32_t first_type_bit(uint32_t flags);

// "DOMAIN\name" as its two parts; no domain when there is no backslash.
std::pair<String, String> split_account(StringView text);

// "USER_PRIV_GUEST" ... "USER_PRIV_MASK" for 0 to 3, empty otherwise.
StringView privilege_text(uint32_t priv);

// The comma-separated workstation list cut to its first eight names (no
// spaces trimmed), and the list rebuilt from them.
struct Workstations {
    std::array<String, 8> names;
    String list;
};
Workstations split_workstations(StringView text);

inline constexpr size_t kHoursPerWeek = 168;
inline constexpr size_t kHoursBitmapBytes = kHoursPerWeek / 8;
using HoursBitmap = std::array<uint8_t, kHoursBitmapBytes>;

// Hours the local week is shifted against universal time: the standard bias
// in minutes over 60, halves to the even number.
int32_t hours_shift(int32_t bias_minutes);

// Logon hours in local time, Sunday 00:00 first, and the seven days
// (Sunday first) as digits or, asked so, as "h-h;h-h" texts.
struct WeekHours {
    String week;
    std::array<String, 7> days;
};
inline constexpr int32_t kHoursDigitsFailed = -23;
inline constexpr int32_t kDayTextFailed = -4711;
// 0, kHoursDigitsFailed or kDayTextFailed. The digits are formed by the
// library's own number-base and reversal members, as the stored bitmap's
// least significant bit comes first.
int32_t hours_from_bitmap(const HoursBitmap& bitmap, int32_t shift, bool binary, WeekHours& out);

// One day's 24 digits as hour ranges: "0-0" for none, "0-24" for all,
// "8-17", "0-1;9-12", ...
String day_text(StringView digits, StringView fallback);

// The way back: 168 digits in local time (anything but "0" counts as "1")
// to the bitmap in universal time. 0, kHoursLength for a text of another
// length, or kHoursBytesFailed.
inline constexpr int32_t kHoursLength = -168;
inline constexpr int32_t kHoursBytesFailed = -22;
int32_t bitmap_from_hours(StringView local_digits, int32_t shift, HoursBitmap& out,
                          String& normalised);

}  // namespace vorlek::users
