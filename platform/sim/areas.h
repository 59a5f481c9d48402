// The platform areas of a simulated network, seen from its local machine.
#pragma once

#include <memory>

#include "platform/sim/network.h"

namespace vorlek::sim {

std::unique_ptr<platform::Time> make_time(Network& net);
std::unique_ptr<platform::Messages> make_messages(Network& net);
std::unique_ptr<platform::Servers> make_servers(Network& net);

// Calendar arithmetic the simulated clock and time zones share.
namespace calendar {
constexpr platform::FileTime kTicksPerSecond = 10'000'000;
constexpr platform::FileTime kTicksPerMinute = 60 * kTicksPerSecond;
// Days since 1601-01-01 of a proleptic Gregorian date.
int64_t days_from_civil(int64_t year, unsigned month, unsigned day);
bool valid(const platform::SystemTime& t);
platform::FileTime to_file_time(const platform::SystemTime& t);  // t must be valid
platform::SystemTime to_system_time(platform::FileTime time);
// The bias (minutes, UTC = local + bias) in force at a UTC time.
int32_t bias_at(const platform::TimeZone& zone, platform::FileTime utc);
}  // namespace calendar

}  // namespace vorlek::sim
