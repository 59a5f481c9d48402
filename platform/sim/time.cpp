// Clock, calendar and time zones of the simulated machines.
#include <optional>

#include "platform/sim/time.h"

#include "automation/calendar.h"
#include "platform/sim/areas.h"
#include "platform/sim/network.h"

namespace vorlek::sim {

namespace calendar {

namespace {

namespace civil = ::vorlek::calendar;
using civil::days_in_month;

// 1601-01-01, day 0 of a file time, in days since 1970-01-01.
constexpr int64_t k1601 = -134774;

// The transition a yearly rule names in `year`, as a local file time.
platform::FileTime transition(const platform::SystemTime& rule, int64_t year) {
    unsigned day = rule.day;
    if (rule.year == 0) {
        // 1601-01-01 was a Monday.
        const int64_t first = days_from_civil(year, rule.month, 1);
        const unsigned first_dow = static_cast<unsigned>((first + 1) % 7);
        const unsigned week = rule.day < 1 ? 1u : rule.day > 5 ? 5u : rule.day;
        day = 1 + (rule.day_of_week % 7u + 7 - first_dow) % 7 + (week - 1) * 7;
        while (day > days_in_month(year, rule.month))
            day -= 7;
    }
    // A rule with a year is one fixed date.
    const int64_t days = days_from_civil(rule.year != 0 ? rule.year : year, rule.month, day);
    return static_cast<platform::FileTime>(days) * 86400 * kTicksPerSecond +
           ((rule.hour * 60u + rule.minute) * 60u + rule.second) * kTicksPerSecond;
}

platform::FileTime shift(platform::FileTime t, int64_t minutes) {
    return static_cast<platform::FileTime>(static_cast<int64_t>(t) +
                                           minutes * static_cast<int64_t>(kTicksPerMinute));
}

}  // namespace

int64_t days_from_civil(int64_t year, unsigned month, unsigned day) {
    return civil::days_from_civil(year, month, day) - k1601;
}

bool valid(const platform::SystemTime& t) {
    return t.year >= 1601 && t.year <= 30827 && t.month >= 1 && t.month <= 12 && t.day >= 1 &&
           t.day <= days_in_month(t.year, t.month) && t.hour < 24 && t.minute < 60 &&
           t.second < 60 && t.milliseconds < 1000;
}

platform::FileTime to_file_time(const platform::SystemTime& t) {
    const auto days = static_cast<platform::FileTime>(days_from_civil(t.year, t.month, t.day));
    const platform::FileTime seconds = days * 86400 + (t.hour * 60u + t.minute) * 60u + t.second;
    return seconds * kTicksPerSecond + t.milliseconds * platform::FileTime{10'000};
}

platform::SystemTime to_system_time(platform::FileTime time) {
    const platform::FileTime seconds = time / kTicksPerSecond;
    const auto days = static_cast<int64_t>(seconds / 86400);
    const auto rest = static_cast<unsigned>(seconds % 86400);
    const civil::Civil c = civil::civil_from_days(days + k1601);
    platform::SystemTime t;
    t.year = static_cast<uint16_t>(c.year);
    t.month = static_cast<uint16_t>(c.month);
    t.day = static_cast<uint16_t>(c.day);
    t.day_of_week = static_cast<uint16_t>((days + 1) % 7);
    t.hour = static_cast<uint16_t>(rest / 3600);
    t.minute = static_cast<uint16_t>(rest / 60 % 60);
    t.second = static_cast<uint16_t>(rest % 60);
    t.milliseconds = static_cast<uint16_t>(time % kTicksPerSecond / 10'000);
    return t;
}

int32_t bias_at(const platform::TimeZone& zone, platform::FileTime utc) {
    const int32_t standard = zone.bias + zone.standard_bias;
    const auto usable = [](const platform::SystemTime& r) {
        return r.month >= 1 && r.month <= 12 && (r.year != 0 || r.day_of_week < 7) &&
               (r.year == 0 || (r.day >= 1 && r.day <= days_in_month(r.year, r.month)));
    };
    if (!usable(zone.standard_date) || !usable(zone.daylight_date)) return standard;
    const int32_t daylight = zone.bias + zone.daylight_bias;
    const int64_t year = to_system_time(shift(utc, -standard)).year;
    // Daylight time starts at a local standard time and ends at a local
    // daylight time; both in UTC:
    const platform::FileTime start = shift(transition(zone.daylight_date, year), standard);
    const platform::FileTime end = shift(transition(zone.standard_date, year), daylight);
    const bool in_daylight =
        start < end ? (utc >= start && utc < end) : (utc >= start || utc < end);
    return in_daylight ? daylight : standard;
}

}  // namespace calendar

namespace {

using platform::FileTime;
using platform::Result;
using platform::SystemTime;

// Local time under a bias, or nullopt when it would leave the file-time range.
std::optional<FileTime> to_local(FileTime utc, int32_t bias) {
    const int64_t delta =
        -static_cast<int64_t>(bias) * static_cast<int64_t>(calendar::kTicksPerMinute);
    if (delta < 0 && utc < static_cast<FileTime>(-delta)) return std::nullopt;
    const FileTime local = static_cast<FileTime>(static_cast<int64_t>(utc) + delta);
    if (local >= (FileTime{1} << 63)) return std::nullopt;
    return local;
}

class SimTime : public platform::Time {
  public:
    explicit SimTime(Network& net) : net_(net) {}

    FileTime now() override { return net_.hold().machine().time.clock; }

    Result<SystemTime> file_time_to_system_time(FileTime time) override {
        auto call = net_.enter(op::FileTimeToSystemTime);
        if (!call) return call.failure<SystemTime>();
        if (time >= (FileTime{1} << 63))
            return Result<SystemTime>::failure(platform::status::kInvalidParameter);
        return {platform::status::kSuccess, calendar::to_system_time(time)};
    }

    Result<FileTime> system_time_to_file_time(const SystemTime& time) override {
        auto call = net_.enter(op::SystemTimeToFileTime);
        if (!call) return call.failure<FileTime>();
        if (!calendar::valid(time))
            return Result<FileTime>::failure(platform::status::kInvalidParameter);
        return {platform::status::kSuccess, calendar::to_file_time(time)};
    }

    Result<FileTime> file_time_to_local_file_time(FileTime time) override {
        auto call = net_.enter(op::FileTimeToLocalFileTime);
        if (!call) return call.failure<FileTime>();
        const TimeState& t = call.machine().time;
        auto local = to_local(time, calendar::bias_at(t.zone, t.clock));
        if (!local) return Result<FileTime>::failure(platform::status::kInvalidParameter);
        return {platform::status::kSuccess, *local};
    }

    Result<platform::TimeZone> time_zone() override {
        auto call = net_.enter(op::GetTimeZoneInformation);
        if (!call) return call.failure<platform::TimeZone>();
        return {platform::status::kSuccess, call.machine().time.zone};
    }

    Result<SystemTime> system_time_to_tz_local_time(const platform::TimeZone& zone,
                                                    const SystemTime& utc) override {
        auto call = net_.enter(op::SystemTimeToTzSpecificLocalTime);
        if (!call) return call.failure<SystemTime>();
        if (!calendar::valid(utc))
            return Result<SystemTime>::failure(platform::status::kInvalidParameter);
        const FileTime t = calendar::to_file_time(utc);
        auto local = to_local(t, calendar::bias_at(zone, t));
        if (!local) return Result<SystemTime>::failure(platform::status::kInvalidParameter);
        return {platform::status::kSuccess, calendar::to_system_time(*local)};
    }

    // The simulated clock moves instead of the thread waiting, so tests stay
    // fast and deterministic.
    void sleep(uint32_t milliseconds) override {
        auto call = net_.hold();
        pass_time(net_, milliseconds);
    }

  private:
    Network& net_;
};

}  // namespace

namespace {

// A yearly rule: the `week`th (5 = last) `weekday` of `month` at `hour`.
platform::SystemTime rule(uint16_t month, uint16_t week, uint16_t weekday, uint16_t hour) {
    platform::SystemTime t;
    t.month = month;
    t.day = week;
    t.day_of_week = weekday;
    t.hour = hour;
    return t;
}

}  // namespace

platform::TimeZone central_european_zone() {
    platform::TimeZone z;
    z.bias = -60;
    z.standard_name = u"W. Europe Standard Time";
    z.standard_date = rule(10, 5, 0, 3);
    z.daylight_name = u"W. Europe Daylight Time";
    z.daylight_date = rule(3, 5, 0, 2);
    z.daylight_bias = -60;
    return z;
}

platform::TimeZone us_eastern_zone() {
    platform::TimeZone z;
    z.bias = 300;
    z.standard_name = u"Eastern Standard Time";
    z.standard_date = rule(11, 1, 0, 2);
    z.daylight_name = u"Eastern Daylight Time";
    z.daylight_date = rule(3, 2, 0, 2);
    z.daylight_bias = -60;
    return z;
}

std::shared_ptr<platform::Time> make_time(Network& net) {
    return std::make_shared<SimTime>(net);
}

}  // namespace vorlek::sim
