// RFC 3339 text of record times. The seconds in these tables were taken
// from `date -u -d '<date> UTC' +%s`, not from the code under test.
#include "audit/timestamp.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <regex>
#include <string>

namespace orvex::audit {
namespace {

struct TimeCase {
  std::int64_t seconds;
  std::uint32_t nanoseconds;
  const char* expected;
};

void expect_table(const TimeCase* begin, const TimeCase* end) {
  for (const TimeCase* c = begin; c != end; ++c) {
    EXPECT_EQ(format_rfc3339(c->seconds, c->nanoseconds).view(), c->expected)
        << "seconds " << c->seconds << " nanoseconds " << c->nanoseconds;
  }
}

TEST(AuditTimestamp, FractionDigitsFollowTheNanoseconds) {
  static const TimeCase kCases[] = {
      {1772357415, 0, "2026-03-01T09:30:15+00:00"},
      {1772357415, 250000000, "2026-03-01T09:30:15.250+00:00"},
      {1772357415, 1000000, "2026-03-01T09:30:15.001+00:00"},
      {1772357415, 999000000, "2026-03-01T09:30:15.999+00:00"},
      {1772357415, 123456000, "2026-03-01T09:30:15.123456+00:00"},
      {1772357415, 1000, "2026-03-01T09:30:15.000001+00:00"},
      {1772357415, 100000, "2026-03-01T09:30:15.000100+00:00"},
      {1772357415, 123456700, "2026-03-01T09:30:15.123456700+00:00"},
      {1772357415, 1, "2026-03-01T09:30:15.000000001+00:00"},
      {1772357415, 999999999, "2026-03-01T09:30:15.999999999+00:00"},
  };
  expect_table(std::begin(kCases), std::end(kCases));
}

TEST(AuditTimestamp, CivilDatesAcrossLeapYearsAndCenturies) {
  static const TimeCase kCases[] = {
      {0, 0, "1970-01-01T00:00:00+00:00"},
      {-1, 0, "1969-12-31T23:59:59+00:00"},
      {-1, 500000000, "1969-12-31T23:59:59.500+00:00"},
      {-2208988800, 0, "1900-01-01T00:00:00+00:00"},
      {-62135596800, 0, "0001-01-01T00:00:00+00:00"},
      {94694399, 0, "1972-12-31T23:59:59+00:00"},
      {951868799, 0, "2000-02-29T23:59:59+00:00"},
      {951868800, 0, "2000-03-01T00:00:00+00:00"},
      {1709208000, 0, "2024-02-29T12:00:00+00:00"},
      {2147483648, 0, "2038-01-19T03:14:08+00:00"},
      {4107542399, 0, "2100-02-28T23:59:59+00:00"},
      {4107542400, 0, "2100-03-01T00:00:00+00:00"},
      {253402300799, 0, "9999-12-31T23:59:59+00:00"},
  };
  expect_table(std::begin(kCases), std::end(kCases));
}

TEST(AuditTimestamp, NowHasTheRecordShape) {
  const std::string now(now_rfc3339().view());
  static const std::regex kShape(R"(\d{4}-\d{2}-\d{2}T\d{2}:\d{2}:\d{2}(\.\d{3}|\.\d{6}|\.\d{9})?\+00:00)");
  EXPECT_TRUE(std::regex_match(now, kShape)) << now;
  EXPECT_GE(now.substr(0, 4), "2025");
}

}  // namespace
}  // namespace orvex::audit
