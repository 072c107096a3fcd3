#include "orvex_audit/seal_age.h"

#include <ctime>

namespace orvex::audit_tool {

namespace {

// Reads `count` digits at `at`, or fails.
bool digits(std::string_view text, std::size_t at, std::size_t count, int& out) {
  if (at + count > text.size()) return false;
  out = 0;
  for (std::size_t i = at; i < at + count; ++i) {
    if (text[i] < '0' || text[i] > '9') return false;
    out = out * 10 + (text[i] - '0');
  }
  return true;
}

// Days from 1970-01-01 to the date (proleptic Gregorian calendar).
std::int64_t days_from_civil(std::int64_t year, int month, int day) {
  year -= month <= 2 ? 1 : 0;
  const std::int64_t era = (year >= 0 ? year : year - 399) / 400;
  const std::int64_t year_of_era = year - era * 400;
  const std::int64_t day_of_year = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  const std::int64_t day_of_era = year_of_era * 365 + year_of_era / 4 - year_of_era / 100 + day_of_year;
  return era * 146097 + day_of_era - 719468;
}

}  // namespace

std::optional<std::int64_t> rfc3339_seconds(std::string_view text) {
  int year, month, day, hour, minute, second;
  if (!digits(text, 0, 4, year) || text.size() < 19 || text[4] != '-' || !digits(text, 5, 2, month) ||
      text[7] != '-' || !digits(text, 8, 2, day) || (text[10] != 'T' && text[10] != 't') ||
      !digits(text, 11, 2, hour) || text[13] != ':' || !digits(text, 14, 2, minute) || text[16] != ':' ||
      !digits(text, 17, 2, second)) {
    return std::nullopt;
  }
  if (month < 1 || month > 12 || day < 1 || day > 31 || hour > 23 || minute > 59 || second > 60) return std::nullopt;
  std::size_t at = 19;
  if (at < text.size() && text[at] == '.') {
    ++at;
    const std::size_t start = at;
    while (at < text.size() && text[at] >= '0' && text[at] <= '9') ++at;
    if (at == start) return std::nullopt;
  }
  std::int64_t offset = 0;
  if (at + 1 == text.size() && (text[at] == 'Z' || text[at] == 'z')) {
    ++at;
  } else if (at + 6 == text.size() && (text[at] == '+' || text[at] == '-') && text[at + 3] == ':') {
    int offset_hours, offset_minutes;
    if (!digits(text, at + 1, 2, offset_hours) || !digits(text, at + 4, 2, offset_minutes)) return std::nullopt;
    offset = (offset_hours * 60 + offset_minutes) * 60;
    if (text[at] == '-') offset = -offset;
    at += 6;
  } else {
    return std::nullopt;  // a time without its offset is no instant
  }
  if (at != text.size()) return std::nullopt;
  return days_from_civil(year, month, day) * 86400 + hour * 3600 + minute * 60 + second - offset;
}

std::int64_t seconds_now() { return static_cast<std::int64_t>(std::time(nullptr)); }

}  // namespace orvex::audit_tool
