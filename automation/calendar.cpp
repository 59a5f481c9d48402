#include "automation/calendar.h"

#include <cmath>

namespace vorlek::calendar {

bool is_leap(int64_t year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

unsigned days_in_month(int64_t year, unsigned month) {
    static constexpr unsigned kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && is_leap(year) ? 29 : kDays[(month - 1) % 12];
}

// Era arithmetic after H. Hinnant: 400-year eras counted from 0000-03-01.
int64_t days_from_civil(int64_t year, unsigned month, unsigned day) {
    const int64_t y = year - (month <= 2);
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const int64_t yoe = y - era * 400;
    const int64_t doy = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
    const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

Civil civil_from_days(int64_t days) {
    const int64_t z = days + 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const int64_t doe = z - era * 146097;
    const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const int64_t mp = (5 * doy + 2) / 153;
    const auto day = static_cast<unsigned>(doy - (153 * mp + 2) / 5 + 1);
    const auto month = static_cast<unsigned>(mp < 10 ? mp + 3 : mp - 9);
    return {yoe + era * 400 + (month <= 2), month, day};
}

double serial_from_parts(const DateTime& p) {
    const auto days = static_cast<double>(days_from_civil(p.year, p.month, p.day) - kSerialEpoch);
    const double time = (p.hour * 3600.0 + p.minute * 60.0 + p.second) / 86400.0;
    return days >= 0 ? days + time : days - time;
}

DateTime parts_from_serial(double serial) {
    const double day_part = std::trunc(serial);
    int64_t seconds = std::llround(std::fabs(serial - day_part) * 86400.0);
    auto days = static_cast<int64_t>(day_part);
    if (seconds >= 86400) {
        seconds -= 86400;
        days += serial < 0 ? -1 : 1;
    }
    const Civil c = civil_from_days(days + kSerialEpoch);
    return {c.year,
            c.month,
            c.day,
            static_cast<unsigned>(seconds / 3600),
            static_cast<unsigned>(seconds / 60 % 60),
            static_cast<unsigned>(seconds % 60)};
}

}  // namespace vorlek::calendar
