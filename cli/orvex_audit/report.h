// What verify found, handed to a report that writes it in one format. The
// verifier decides; a report only words and writes, so every format says
// the same things in the same order.
#pragma once

#include <cstdint>
#include <cstdio>
#include <iterator>
#include <string_view>

#include "orvex_audit/key_tally.h"

namespace orvex::audit_tool {

// The kinds of finding; their names (kind_name) are stable, since scripts
// read them from the JSON report.
enum class FindingKind {
  kTornLine,            // the input ends inside the line
  kInvalidRecord,       // not a record, or not signed as it claims or by a pinned key
  kRepeatedLine,        // a valid record that repeats an earlier line byte for byte
  kDamagedInput,        // a gzip stream that is truncated or corrupt
  kInvalidSeal,         // a seal-file line that is no seal, or not signed by a trusted key
  kBrokenChain,         // a seal that does not name the seal before it
  kSealedPartChanged,   // a sealed prefix that no longer hashes to its seal, or is cut short
  kSealedFileMissing,   // a sealed file that is not among the inputs
  kUnsealedRecords,     // lines after the sealed part (a finding only under --require-sealed)
  kSeveralKeysUnpinned, // nothing pinned and several keys signed
  kForeignChain,        // a seal of a chain that is not pinned (or, unpinned, a second chain)
  kStaleChain,          // a pinned chain with no seal, or whose newest seal is older than --max-seal-age
  kCount
};

inline constexpr std::string_view kFindingKindNames[] = {
    "torn-line",           "invalid-record",    "repeated-line",       "damaged-input",
    "invalid-seal",        "broken-chain",      "sealed-part-changed", "sealed-file-missing",
    "unsealed-records",    "several-keys-unpinned", "foreign-chain",       "stale-chain"};
static_assert(std::size(kFindingKindNames) == static_cast<std::size_t>(FindingKind::kCount));

inline std::string_view kind_name(FindingKind kind) { return kFindingKindNames[static_cast<std::size_t>(kind)]; }

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
  // A finding about a whole input rather than one of its lines.
  virtual void bad_file(std::string_view input, FindingKind kind, std::string_view reason) = 0;
  // Once, after every input. With `list_keys`, also each key that signed
  // valid records, first seen first.
  virtual void summary(const VerifyTotals& totals, const KeyTally& keys, bool list_keys) = 0;
  // Once, after the summary, when no key is pinned and more than one key
  // signed valid records; `how_many` is their number in words.
  virtual void several_keys_unpinned(std::string_view how_many) = 0;
  // Last: nothing is written after it.
  virtual void finish() {}
};

// The plain text report on standard output that the manual describes.
class TextReport final : public Report {
 public:
  // REQUIRES: `out` outlives this object.
  explicit TextReport(std::FILE* out) : out_(out) {}

  void bad_line(std::string_view input, std::uint64_t line, FindingKind kind, std::string_view reason) override;
  void bad_file(std::string_view input, FindingKind kind, std::string_view reason) override;
  void summary(const VerifyTotals& totals, const KeyTally& keys, bool list_keys) override;
  void several_keys_unpinned(std::string_view how_many) override;

 private:
  std::FILE* out_;
};

// One JSON object per line on standard output: each finding as
// {"file":F,"line":L|null,"kind":K,"detail":D}, then one summary object
// {"kind":"summary","records":R,"valid":V,"invalid":I,"keys":[{"key":HEX,"valid":N},...]}
// ("keys" only where the text report lists them).
class JsonReport final : public Report {
 public:
  // REQUIRES: `out` outlives this object.
  explicit JsonReport(std::FILE* out) : out_(out) {}

  void bad_line(std::string_view input, std::uint64_t line, FindingKind kind, std::string_view reason) override;
  void bad_file(std::string_view input, FindingKind kind, std::string_view reason) override;
  void summary(const VerifyTotals& totals, const KeyTally& keys, bool list_keys) override;
  void several_keys_unpinned(std::string_view how_many) override;
  void finish() override;

 private:
  // `input` null: a finding about the whole run.
  void finding(const std::string_view* input, const std::uint64_t* line, FindingKind kind, std::string_view detail);

  std::FILE* out_;
  std::string summary_;  // written by finish(), after every finding
};

}  // namespace orvex::audit_tool
