// Clock, file and system times, the time zone, and the pause.
#pragma once

#include <cstdint>

#include "automation/string.h"
#include "platform/status.h"

namespace vorlek::platform {

// 100-nanosecond intervals since 1601-01-01 00:00 UTC.
using FileTime = uint64_t;

// SYSTEMTIME. In a time-zone rule a year of 0 makes the date a yearly rule:
// `day` 1 to 5 names the first to fifth (5 = last) `day_of_week` of `month`.
struct SystemTime {
    uint16_t year = 0;
    uint16_t month = 0;
    uint16_t day_of_week = 0;  // 0 = Sunday
    uint16_t day = 0;
    uint16_t hour = 0;
    uint16_t minute = 0;
    uint16_t second = 0;
    uint16_t milliseconds = 0;
    friend bool operator==(const SystemTime&, const SystemTime&) = default;
};

// TIME_ZONE_INFORMATION: UTC = local time + bias (+ the standard or daylight
// bias). A `standard_date` with month 0 means the zone has no daylight time.
struct TimeZone {
    int32_t bias = 0;
    String standard_name;
    SystemTime standard_date;  // when daylight time ends, in local daylight time
    int32_t standard_bias = 0;
    String daylight_name;
    SystemTime daylight_date;  // when daylight time starts, in local standard time
    int32_t daylight_bias = 0;
};

class Time {
  public:
    virtual ~Time() = default;
    // GetSystemTimeAsFileTime; cannot fail.
    virtual FileTime now() = 0;
    // FileTimeToSystemTime: 87 for a time at or beyond 2^63.
    virtual Result<SystemTime> file_time_to_system_time(FileTime time) = 0;
    // SystemTimeToFileTime: 87 for fields out of range (years 1601 to 30827);
    // the day of the week is ignored.
    virtual Result<FileTime> system_time_to_file_time(const SystemTime& time) = 0;
    // FileTimeToLocalFileTime: applies the bias in force now (daylight time
    // included) to any time.
    virtual Result<FileTime> file_time_to_local_file_time(FileTime time) = 0;
    // GetTimeZoneInformation.
    virtual Result<TimeZone> time_zone() = 0;
    // SystemTimeToTzSpecificLocalTime: applies the bias in force at `utc`
    // under `zone`.
    virtual Result<SystemTime> system_time_to_tz_local_time(const TimeZone& zone,
                                                            const SystemTime& utc) = 0;
    // Sleep; cannot fail.
    virtual void sleep(uint32_t milliseconds) = 0;
};

}  // namespace vorlek::platform
