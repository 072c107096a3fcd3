// A seal's time as seconds since 1970, against values worked out by hand.
#include "orvex_audit/seal_age.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace orvex::audit_tool {
namespace {

struct Case {
  std::string text;
  std::optional<std::int64_t> seconds;
};

TEST(SealAge, Rfc3339TextsAsSeconds) {
  const std::vector<Case> cases = {
      {"1970-01-01T00:00:00Z", 0},
      {"1970-01-01T00:00:00+00:00", 0},
      {"2000-03-01T00:00:00Z", 951868800},  // the day after a leap day of a century divisible by 400
      {"2026-12-10T03:03:29.290269972+00:00", 1796871809},
      {"2026-12-10T05:03:29+02:00", 1796871809},
      {"2026-12-10T01:03:29.5-02:00", 1796871809},
      {"1969-12-31T23:59:59Z", -1},
      {"2026-12-10T03:03:29", std::nullopt},
      {"2026-12-10 03:03:29Z", std::nullopt},
      {"2026-13-10T03:03:29Z", std::nullopt},
      {"2026-12-10T03:03:29.Z", std::nullopt},
      {"2026-12-10T03:03:29+0200", std::nullopt},
      {"2026-12-10T03:03:29Zx", std::nullopt},
      {"", std::nullopt},
  };
  for (const Case& c : cases) EXPECT_EQ(rfc3339_seconds(c.text), c.seconds) << c.text;
}

}  // namespace
}  // namespace orvex::audit_tool
