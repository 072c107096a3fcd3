#include "orvex_audit/report.h"

#include <string>

#include "common/fill_message.h"
#include "common/hex.h"
#include "json/utf8.h"
#include "json/writer.h"
#include "orvex_audit/terminal_text.h"
#include "orvex_audit/tool_texts.h"

namespace orvex::audit_tool {

namespace {

namespace m = messages;

void write_text(std::FILE* stream, std::string_view text) { std::fwrite(text.data(), 1, text.size(), stream); }

// A JSON string of `text`; a file name need not be UTF-8, and each byte
// outside a valid sequence becomes U+FFFD so that the report stays JSON.
void append_json_text(std::string_view text, std::string& out) {
  if (json::is_valid_utf8(text)) {
    json::write_string(text, out);
    return;
  }
  std::string repaired;
  for (std::size_t at = 0; at < text.size();) {
    const json::Utf8Char decoded = json::decode_utf8(text, at);
    if (decoded.length == 0) {
      json::append_utf8(0xFFFD, repaired);
      ++at;
    } else {
      repaired.append(text.substr(at, decoded.length));
      at += decoded.length;
    }
  }
  json::write_string(repaired, out);
}

std::string_view without_line_feed(std::string_view text) {
  if (!text.empty() && text.back() == '\n') text.remove_suffix(1);
  return text;
}

}  // namespace

// The text report is read on terminals and by line: names and reasons, which
// can carry a file's name or a line's bytes, are shown with their control
// bytes escaped. The JSON report escapes them as JSON instead.
void TextReport::bad_line(std::string_view input, std::uint64_t line, FindingKind, std::string_view reason) {
  write_text(out_, fill_message(m::kLineReport, {terminal_text(input), std::to_string(line), terminal_text(reason)}));
}

void TextReport::bad_file(std::string_view input, FindingKind, std::string_view reason) {
  write_text(out_, fill_message(m::kFileReport, {terminal_text(input), terminal_text(reason)}));
}

void TextReport::summary(const VerifyTotals& totals, const KeyTally& keys, bool list_keys) {
  write_text(out_, fill_message(m::kSummary, {std::to_string(totals.read), std::to_string(totals.valid),
                                         std::to_string(totals.invalid)}));
  if (!list_keys) return;
  for (const auto& [key, count] : keys.listed()) {
    write_text(out_, fill_message(m::kKeySeen, {lowercase_hex(key), std::to_string(count)}));
  }
  if (keys.overflowed()) write_text(out_, fill_message(m::kKeysNotListed, {std::to_string(kMaxListedKeys)}));
}

void TextReport::several_keys_unpinned(std::string_view how_many) {
  write_text(out_, fill_message(m::kSeveralKeysUnpinned, {how_many}));
}

void JsonReport::finding(const std::string_view* input, const std::uint64_t* line, FindingKind kind,
                         std::string_view detail) {
  std::string text = "{\"file\":";
  if (input != nullptr) {
    append_json_text(*input, text);
  } else {
    text.append("null");
  }
  text.append(",\"line\":");
  text.append(line != nullptr ? std::to_string(*line) : "null");
  text.append(",\"kind\":");
  json::write_string(kind_name(kind), text);
  text.append(",\"detail\":");
  append_json_text(detail, text);
  text.append("}\n");
  write_text(out_, text);
}

void JsonReport::bad_line(std::string_view input, std::uint64_t line, FindingKind kind, std::string_view reason) {
  finding(&input, &line, kind, reason);
}

void JsonReport::bad_file(std::string_view input, FindingKind kind, std::string_view reason) {
  finding(&input, nullptr, kind, reason);
}

void JsonReport::summary(const VerifyTotals& totals, const KeyTally& keys, bool list_keys) {
  summary_ = fill_message(R"({"kind":"summary","records":{},"valid":{},"invalid":{})",
                     {std::to_string(totals.read), std::to_string(totals.valid), std::to_string(totals.invalid)});
  if (list_keys) {
    summary_.append(",\"keys\":[");
    bool first = true;
    for (const auto& [key, count] : keys.listed()) {
      if (!first) summary_.push_back(',');
      first = false;
      summary_.append(fill_message(R"({"key":"{}","valid":{}})", {lowercase_hex(key), std::to_string(count)}));
    }
    summary_.push_back(']');
    if (keys.overflowed()) summary_.append(",\"keys_not_listed\":true");
  }
  summary_.append("}\n");
}

void JsonReport::several_keys_unpinned(std::string_view how_many) {
  finding(nullptr, nullptr, FindingKind::kSeveralKeysUnpinned,
          without_line_feed(fill_message(m::kSeveralKeysUnpinned, {how_many})));
}

void JsonReport::finish() { write_text(out_, summary_); }

}  // namespace orvex::audit_tool
