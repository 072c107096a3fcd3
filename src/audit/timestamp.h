// RFC 3339 text of a UTC time, as each audit record carries it:
// YYYY-MM-DDTHH:MM:SS, a fraction, then "+00:00" (never "Z").
#pragma once

#include <cstdint>
#include <string>

namespace orvex::audit {

// The fraction follows the nanoseconds: none when they are zero, 3 digits
// when they are whole milliseconds, else 6 when whole microseconds, else 9;
// trailing zeros are kept (250 ms is ".250"). Uses its own civil-date
// arithmetic (proleptic Gregorian), so no locale or time zone is involved.
// REQUIRES: nanoseconds < 1000000000; the year lies in 0..9999.
std::string format_rfc3339(std::int64_t unix_seconds, std::uint32_t nanoseconds);

// The wall clock (CLOCK_REALTIME) at nanosecond resolution, formatted as above.
std::string now_rfc3339();

}  // namespace orvex::audit
