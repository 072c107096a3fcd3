#include "audit/timestamp.h"

#include <time.h>

#include <algorithm>

namespace orvex::audit {

namespace {

constexpr std::int64_t kSecondsPerDay = 86400;
constexpr std::uint32_t kNanosPerMicro = 1000;
constexpr std::uint32_t kNanosPerMilli = 1000000;

struct CivilDate {
  std::int64_t year;
  unsigned month;  // 1..12
  unsigned day;    // 1..31
};

// Days since 1970-01-01 to a proleptic Gregorian date. Counts in 400-year
// eras starting on 1 March, so the leap day is the last day of its year and
// needs no special case.
CivilDate civil_from_days(std::int64_t days) {
  days += 719468;  // from 1970-01-01 to 0000-03-01
  const std::int64_t era = (days >= 0 ? days : days - 146096) / 146097;
  const std::int64_t day_of_era = days - era * 146097;  // 0..146096
  const std::int64_t year_of_era =
      (day_of_era - day_of_era / 1460 + day_of_era / 36524 - day_of_era / 146096) / 365;  // 0..399
  const std::int64_t day_of_year = day_of_era - (365 * year_of_era + year_of_era / 4 - year_of_era / 100);
  const std::int64_t march_month = (5 * day_of_year + 2) / 153;  // 0 = March .. 11 = February
  const unsigned day = static_cast<unsigned>(day_of_year - (153 * march_month + 2) / 5 + 1);
  const unsigned month = static_cast<unsigned>(march_month < 10 ? march_month + 3 : march_month - 9);
  const std::int64_t year = year_of_era + era * 400 + (month <= 2 ? 1 : 0);
  return CivilDate{year, month, day};
}

// Writes `value` in exactly `width` decimal digits, zero-padded, at `at`,
// and returns the end of them.
char* write_digits(std::uint64_t value, int width, char* at) {
  for (int i = width - 1; i >= 0; --i) {
    at[i] = static_cast<char>('0' + value % 10);
    value /= 10;
  }
  return at + width;
}

char* write_fraction(std::uint32_t nanoseconds, char* at) {
  if (nanoseconds == 0) return at;
  *at++ = '.';
  if (nanoseconds % kNanosPerMilli == 0) return write_digits(nanoseconds / kNanosPerMilli, 3, at);
  if (nanoseconds % kNanosPerMicro == 0) return write_digits(nanoseconds / kNanosPerMicro, 6, at);
  return write_digits(nanoseconds, 9, at);
}

constexpr std::string_view kUtcOffset = "+00:00";

}  // namespace

Rfc3339Text format_rfc3339(std::int64_t unix_seconds, std::uint32_t nanoseconds) {
  // Floor division, so times before 1970 fall on the right day.
  std::int64_t days = unix_seconds / kSecondsPerDay;
  std::int64_t second_of_day = unix_seconds % kSecondsPerDay;
  if (second_of_day < 0) {
    second_of_day += kSecondsPerDay;
    --days;
  }
  const CivilDate date = civil_from_days(days);

  Rfc3339Text text;
  char* at = text.bytes_.data();
  at = write_digits(static_cast<std::uint64_t>(date.year), 4, at);
  *at++ = '-';
  at = write_digits(date.month, 2, at);
  *at++ = '-';
  at = write_digits(date.day, 2, at);
  *at++ = 'T';
  at = write_digits(static_cast<std::uint64_t>(second_of_day / 3600), 2, at);
  *at++ = ':';
  at = write_digits(static_cast<std::uint64_t>(second_of_day / 60 % 60), 2, at);
  *at++ = ':';
  at = write_digits(static_cast<std::uint64_t>(second_of_day % 60), 2, at);
  at = write_fraction(nanoseconds, at);
  at = std::copy(kUtcOffset.begin(), kUtcOffset.end(), at);
  text.size_ = static_cast<std::size_t>(at - text.bytes_.data());
  return text;
}

Rfc3339Text now_rfc3339() {
  // CLOCK_REALTIME with a valid pointer cannot fail; the zero start only
  // keeps the value defined should it ever do so.
  struct timespec now = {0, 0};
  clock_gettime(CLOCK_REALTIME, &now);
  return format_rfc3339(static_cast<std::int64_t>(now.tv_sec), static_cast<std::uint32_t>(now.tv_nsec));
}

}  // namespace orvex::audit
