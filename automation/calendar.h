// The proleptic Gregorian calendar, shared by the automation Date, the
// platform's file and system times and the script host.
#pragma once

#include <cstdint>

namespace vorlek::calendar {

struct Civil {
    int64_t year;
    unsigned month;  // 1..12
    unsigned day;    // 1..31
};

bool is_leap(int64_t year);
unsigned days_in_month(int64_t year, unsigned month);

// Days since 1970-01-01 (negative before it), and back.
int64_t days_from_civil(int64_t year, unsigned month, unsigned day);
Civil civil_from_days(int64_t days);

// 1899-12-30, day 0 of the automation Date, in days since 1970-01-01.
constexpr int64_t kSerialEpoch = -25569;

// The automation Date's range: 100-01-01 up to, not including, 10000-01-01.
constexpr double kFirstSerial = -657434;
constexpr double kEndSerial = 2958466;
constexpr bool in_date_range(double serial) {
    return serial >= kFirstSerial && serial < kEndSerial;  // false for NaN
}

// A Date's parts to the second. Before 1899-12-30 the serial's day part counts
// backwards and its fraction forwards, as the automation Date does.
struct DateTime {
    int64_t year;
    unsigned month, day, hour, minute, second;
};
double serial_from_parts(const DateTime& parts);
// `serial` must be in the Date's range.
DateTime parts_from_serial(double serial);

}  // namespace vorlek::calendar
