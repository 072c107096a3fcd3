#include "orvex_audit/report.h"

#include <string>

#include "common/hex.h"
#include "orvex_audit/messages.h"

namespace orvex::audit_tool {

namespace {

namespace m = messages;

void write_text(std::FILE* stream, std::string_view text) { std::fwrite(text.data(), 1, text.size(), stream); }

}  // namespace

void TextReport::bad_line(std::string_view input, std::uint64_t line, FindingKind, std::string_view reason) {
  write_text(out_, m::fill(m::kLineReport, {input, std::to_string(line), reason}));
}

void TextReport::summary(const VerifyTotals& totals, const KeyTally& keys, bool list_keys) {
  write_text(out_, m::fill(m::kSummary, {std::to_string(totals.read), std::to_string(totals.valid),
                                         std::to_string(totals.invalid)}));
  if (!list_keys) return;
  for (const auto& [key, count] : keys.listed()) {
    write_text(out_, m::fill(m::kKeySeen, {lowercase_hex(key), std::to_string(count)}));
  }
  if (keys.overflowed()) write_text(out_, m::fill(m::kKeysNotListed, {std::to_string(kMaxListedKeys)}));
}

void TextReport::several_keys_unpinned(std::string_view how_many) {
  write_text(out_, m::fill(m::kSeveralKeysUnpinned, {how_many}));
}

}  // namespace orvex::audit_tool
