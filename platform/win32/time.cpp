// Clock, file and system times and the time zone of the real system.
#include <windows.h>

#include "platform/time.h"
#include "platform/win32/areas.h"
#include "platform/win32/status.h"

namespace vorlek::platform::win32 {

namespace {

::FILETIME to_native(FileTime t) {
    ::FILETIME f;
    f.dwLowDateTime = static_cast<DWORD>(t);
    f.dwHighDateTime = static_cast<DWORD>(t >> 32);
    return f;
}

FileTime from_native(const ::FILETIME& f) {
    return uint64_t{f.dwHighDateTime} << 32 | f.dwLowDateTime;
}

::SYSTEMTIME to_native(const SystemTime& t) {
    ::SYSTEMTIME s;
    s.wYear = t.year;
    s.wMonth = t.month;
    s.wDayOfWeek = t.day_of_week;
    s.wDay = t.day;
    s.wHour = t.hour;
    s.wMinute = t.minute;
    s.wSecond = t.second;
    s.wMilliseconds = t.milliseconds;
    return s;
}

SystemTime from_native(const ::SYSTEMTIME& s) {
    return SystemTime{s.wYear, s.wMonth,  s.wDayOfWeek, s.wDay,
                      s.wHour, s.wMinute, s.wSecond,    s.wMilliseconds};
}

String name_of(const WCHAR (&name)[32]) {
    String out;
    for (WCHAR c : name) {
        if (c == 0) break;
        out.push_back(static_cast<char16_t>(c));
    }
    return out;
}

void copy_name(StringView from, WCHAR (&to)[32]) {
    size_t i = 0;
    for (; i < from.size() && i + 1 < 32; ++i)
        to[i] = static_cast<WCHAR>(from[i]);
    to[i] = 0;
}

class Win32Time : public Time {
  public:
    FileTime now() override {
        ::FILETIME f;
        ::GetSystemTimeAsFileTime(&f);
        return from_native(f);
    }

    Result<SystemTime> file_time_to_system_time(FileTime time) override {
        const ::FILETIME f = to_native(time);
        ::SYSTEMTIME s;
        if (!::FileTimeToSystemTime(&f, &s)) return Result<SystemTime>::failure(last_error());
        return {status::kSuccess, from_native(s)};
    }

    Result<FileTime> system_time_to_file_time(const SystemTime& time) override {
        const ::SYSTEMTIME s = to_native(time);
        ::FILETIME f;
        if (!::SystemTimeToFileTime(&s, &f)) return Result<FileTime>::failure(last_error());
        return {status::kSuccess, from_native(f)};
    }

    Result<FileTime> file_time_to_local_file_time(FileTime time) override {
        const ::FILETIME utc = to_native(time);
        ::FILETIME local;
        if (!::FileTimeToLocalFileTime(&utc, &local))
            return Result<FileTime>::failure(last_error());
        return {status::kSuccess, from_native(local)};
    }

    Result<TimeZone> time_zone() override {
        ::TIME_ZONE_INFORMATION z{};
        if (::GetTimeZoneInformation(&z) == TIME_ZONE_ID_INVALID)
            return Result<TimeZone>::failure(last_error());
        TimeZone out;
        out.bias = z.Bias;
        out.standard_name = name_of(z.StandardName);
        out.standard_date = from_native(z.StandardDate);
        out.standard_bias = z.StandardBias;
        out.daylight_name = name_of(z.DaylightName);
        out.daylight_date = from_native(z.DaylightDate);
        out.daylight_bias = z.DaylightBias;
        return {status::kSuccess, std::move(out)};
    }

    Result<SystemTime> system_time_to_tz_local_time(const TimeZone& zone,
                                                    const SystemTime& utc) override {
        ::TIME_ZONE_INFORMATION z{};
        z.Bias = zone.bias;
        copy_name(zone.standard_name, z.StandardName);
        z.StandardDate = to_native(zone.standard_date);
        z.StandardBias = zone.standard_bias;
        copy_name(zone.daylight_name, z.DaylightName);
        z.DaylightDate = to_native(zone.daylight_date);
        z.DaylightBias = zone.daylight_bias;
        const ::SYSTEMTIME in = to_native(utc);
        ::SYSTEMTIME local;
        if (!::SystemTimeToTzSpecificLocalTime(&z, &in, &local))
            return Result<SystemTime>::failure(last_error());
        return {status::kSuccess, from_native(local)};
    }

    void sleep(uint32_t milliseconds) override { ::Sleep(milliseconds); }
};

}  // namespace

std::shared_ptr<Time> make_time() {
    return std::make_shared<Win32Time>();
}

}  // namespace vorlek::platform::win32
