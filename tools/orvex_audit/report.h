// What verify found, handed to a report that writes it in one format. The
// verifier decides; a report only words and writes, so every format says
// the same things in the same order.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string_view>

#include "orvex_audit/key_tally.h"

namespace orvex::audit_tool {

enum class FindingKind {
  kTornLine,       // the input ends inside the line
  kInvalidRecord,  // not a record, or not signed as it claims or by a pinned key
  kRepeatedLine,   // a valid record that repeats an earlier line byte for byte
};

struct VerifyTotals {
  std::uint64_t read = 0;
  std::uint64_t valid = 0;
  std::uint64_t invalid = 0;
};

class Report {
 public:
  virtual ~Report() = default;

  // One refused line: the input's name, the line number from 1, the kind and
  // the reason in words.
  virtual void bad_line(std::string_view input, std::uint64_t line, FindingKind kind, std::string_view reason) = 0;
  // Once, after every input. With `list_keys`, also each key that signed
  // valid records, first seen first.
  virtual void summary(const VerifyTotals& totals, const KeyTally& keys, bool list_keys) = 0;
  // Once, after the summary, when no key is pinned and more than one key
  // signed valid records; `how_many` is their number in words.
  virtual void several_keys_unpinned(std::string_view how_many) = 0;
};

// The plain text report on standard output that the manual describes.
class TextReport final : public Report {
 public:
  // REQUIRES: `out` outlives this object.
  explicit TextReport(std::FILE* out) : out_(out) {}

  void bad_line(std::string_view input, std::uint64_t line, FindingKind kind, std::string_view reason) override;
  void summary(const VerifyTotals& totals, const KeyTally& keys, bool list_keys) override;
  void several_keys_unpinned(std::string_view how_many) override;

 private:
  std::FILE* out_;
};

}  // namespace orvex::audit_tool
