// The summary that a seal carries: the whole-line prefix, its digest and
// line count, and the first and last record timestamps, the same however
// the text arrives in pieces.
#include "orvex_audit/log_summary.h"

#include <gtest/gtest.h>
#include <sodium.h>

#include <string>
#include <vector>

namespace orvex::audit_tool {
namespace {

fingerprint::Sha256Digest sodium_digest(std::string_view bytes) {
  fingerprint::Sha256Digest digest;
  crypto_hash_sha256(digest.data(), reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
  return digest;
}

const std::string kText =
    "{\"timestamp\":\"2026-01-01T00:00:00+00:00\",\"intent_id\":\"a\"}\n"
    "not a record\n"
    "{\"timestamp\":\"2026-01-01T00:00:01.5+00:00\"}\n"
    "{\"intent_id\":\"b\",\"timestamp\":\"2026-01-09T00:00:00+00:00\"}\n"
    "{\"timestamp\":\"2026-01-02T00:00:00+00:00\",\"torn";

TEST(LogSummary, WholeLinesOnlyWhateverThePieces) {
  const std::size_t whole = kText.rfind('\n') + 1;
  for (std::size_t split = 0; split <= kText.size(); ++split) {
    for (std::size_t second = split; second <= kText.size(); second += 7) {
      LogSummary summary;
      summary.add(std::string_view(kText).substr(0, split));
      summary.add(std::string_view(kText).substr(split, second - split));
      summary.add(std::string_view(kText).substr(second));
      EXPECT_EQ(summary.bytes(), whole);
      EXPECT_EQ(summary.lines(), 4u);
      EXPECT_EQ(summary.first(), "2026-01-01T00:00:00+00:00");
      // The fourth line is no record as the guard writes it: timestamp first.
      EXPECT_EQ(summary.last(), "2026-01-01T00:00:01.5+00:00");
      EXPECT_EQ(summary.digest(), sodium_digest(std::string_view(kText).substr(0, whole))) << split;
    }
  }
}

TEST(LogSummary, EmptyAndTornOnly) {
  LogSummary empty;
  EXPECT_EQ(empty.bytes(), 0u);
  EXPECT_EQ(empty.lines(), 0u);
  EXPECT_FALSE(empty.first().has_value());
  EXPECT_EQ(empty.digest(), sodium_digest(""));
  LogSummary torn;
  torn.add("{\"timestamp\":\"2026-01-01T00:00:00+00:00\"}");
  EXPECT_EQ(torn.bytes(), 0u);
  EXPECT_FALSE(torn.last().has_value());
  EXPECT_EQ(torn.digest(), sodium_digest(""));
}

TEST(LogSummary, RecordTimestampTable) {
  const std::vector<std::pair<std::string, std::optional<std::string>>> cases = {
      {"{\"timestamp\":\"2026-01-01T00:00:00+00:00\",", "2026-01-01T00:00:00+00:00"},
      {"{\"timestamp\":\"x\"", "x"},
      {"{\"timestamp\":\"\"", std::nullopt},
      {"{\"timestamp\":\"2026 01\"", std::nullopt},
      {"{\"timestamp\":\"2026", std::nullopt},
      {"{\"timestamp\": \"2026\"", std::nullopt},
      {"{\"Timestamp\":\"2026\"", std::nullopt},
      {"", std::nullopt},
  };
  for (const auto& [head, expected] : cases) EXPECT_EQ(record_timestamp(head), expected) << head;
}

}  // namespace
}  // namespace orvex::audit_tool
