// Clock, calendar and time zone of a simulated machine.
#pragma once

#include "platform/sim/faults.h"
#include "platform/time.h"

namespace vorlek::sim {

struct TimeState {
    platform::FileTime clock = 0;  // UTC
    platform::TimeZone zone;
};

namespace op {
inline constexpr Operation FileTimeToSystemTime{u"FileTimeToSystemTime"};
inline constexpr Operation SystemTimeToFileTime{u"SystemTimeToFileTime"};
inline constexpr Operation FileTimeToLocalFileTime{u"FileTimeToLocalFileTime"};
inline constexpr Operation GetTimeZoneInformation{u"GetTimeZoneInformation"};
inline constexpr Operation SystemTimeToTzSpecificLocalTime{u"SystemTimeToTzSpecificLocalTime"};
}  // namespace op

// A time-zone record with yearly daylight rules ("day of month" form).
platform::TimeZone central_european_zone();  // bias -60, last Sunday of March/October
platform::TimeZone us_eastern_zone();        // bias 300, 2nd Sunday of March, 1st of November

// Calendar arithmetic the simulated clock and time zones share.
namespace calendar {
constexpr platform::FileTime kTicksPerSecond = 10'000'000;
constexpr platform::FileTime kTicksPerMinute = 60 * kTicksPerSecond;
// Seconds since 1970-01-01 (0 before it), as account records count time.
constexpr uint64_t unix_seconds(platform::FileTime time) {
    constexpr platform::FileTime k1970 = 11'644'473'600 * kTicksPerSecond;
    return time < k1970 ? 0 : (time - k1970) / kTicksPerSecond;
}
// Days since 1601-01-01 of a proleptic Gregorian date.
int64_t days_from_civil(int64_t year, unsigned month, unsigned day);
bool valid(const platform::SystemTime& t);
platform::FileTime to_file_time(const platform::SystemTime& t);  // t must be valid
platform::SystemTime to_system_time(platform::FileTime time);
// The bias (minutes, UTC = local + bias) in force at a UTC time.
int32_t bias_at(const platform::TimeZone& zone, platform::FileTime utc);
}  // namespace calendar

}  // namespace vorlek::sim
