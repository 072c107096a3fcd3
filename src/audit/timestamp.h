// RFC 3339 text of a UTC time, as each audit record carries it:
// YYYY-MM-DDTHH:MM:SS, a fraction, then "+00:00" (never "Z").
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace orvex::audit {

// The text of one time, held in place rather than on the heap: it is made
// for every record, and never longer than "YYYY-MM-DDTHH:MM:SS.nnnnnnnnn+00:00".
class Rfc3339Text {
 public:
  static constexpr std::size_t kMaxSize = 35;

  std::string_view view() const { return std::string_view(bytes_.data(), size_); }

 private:
  friend Rfc3339Text format_rfc3339(std::int64_t unix_seconds, std::uint32_t nanoseconds);

  std::array<char, kMaxSize> bytes_;
  std::size_t size_ = 0;
};

// The fraction follows the nanoseconds: none when they are zero, 3 digits
// when they are whole milliseconds, else 6 when whole microseconds, else 9;
// trailing zeros are kept (250 ms is ".250"). Uses its own civil-date
// arithmetic (proleptic Gregorian), so no locale or time zone is involved.
// REQUIRES: nanoseconds < 1000000000; the year lies in 0..9999.
Rfc3339Text format_rfc3339(std::int64_t unix_seconds, std::uint32_t nanoseconds);

// The wall clock (CLOCK_REALTIME) at nanosecond resolution, formatted as above.
Rfc3339Text now_rfc3339();

}  // namespace orvex::audit
