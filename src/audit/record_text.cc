#include "audit/record_text.h"

#include "common/hex.h"
#include "json/writer.h"

namespace orvex::audit {

namespace layout = record_layout;

namespace {

// Room for the signed values besides the intent's and the reason's text:
// quotes, escapes and a small params object.
constexpr std::size_t kValueSlack = 128;

// `"name":`, and the comma before every member but the first, for each
// signed member; the braces around them.
constexpr std::size_t kSignedNamesSize = [] {
  std::size_t size = 2;
  for (std::size_t i = 0; i < layout::kSignedCount; ++i) size += layout::kNames[i].size() + 4;
  return size;
}();

// A hex member of the record line: its comma, `"name":`, and the digits
// between quotes.
constexpr std::size_t hex_member_size(layout::Member member, std::size_t bytes) {
  return 1 + layout::kNames[member].size() + 3 + 2 * bytes + 2;
}

// The record line holds the signed members with the same names, values and
// punctuation as the signed text, only in another order; it is longer by
// the key, the signature and the line feed, exactly this much.
constexpr std::size_t kLineBeyondSignedText =
    hex_member_size(layout::kPublicKey, kPublicKeyBytes) + hex_member_size(layout::kSignature, kSignatureBytes) + 1;

// Member names need no escapes (the layout checks it), so they go out
// without an escape scan.
void append_name(layout::Member member, std::string& out) {
  out += '"';
  out += layout::kNames[member];
  out += "\":";
}

// Hex digits need no escapes either.
void append_hex_value(std::span<const std::uint8_t> bytes, std::string& out) {
  out += '"';
  append_lowercase_hex(bytes, out);
  out += '"';
}

// Appends the compact value text of a signed member. The switch names every
// member, so a member added to the layout is a compiler warning here until
// the writer knows its value.
void append_value(layout::Member member, const documents::Intent& intent, const documents::ProposedAction& action,
                  const Verdict& verdict, std::string_view timestamp, std::string& out) {
  switch (member) {
    case layout::kTimestamp:
      json::write_string(timestamp, out);
      return;
    case layout::kIntentId:
      json::write_string(intent.id, out);
      return;
    case layout::kObjective:
      json::write_string(intent.objective, out);
      return;
    case layout::kMode:
      json::write_string(intent.mode, out);
      return;
    case layout::kVersion:
      json::write_string(intent.version, out);
      return;
    case layout::kActionParams:
      // params keeps its members in ascending key order at every depth, so
      // it is written as it is held.
      json::write_object(action.params, out);
      return;
    case layout::kResult:
      json::write_string(verdict.allowed ? layout::kResultPass : layout::kResultFail, out);
      return;
    case layout::kReason:
      if (verdict.allowed) {
        out += "null";
      } else {
        json::write_string(verdict.reason, out);
      }
      return;
    case layout::kPublicKey:
    case layout::kSignature:
    case layout::kMemberCount:
      // Not signed: the key and the signature are known only once the
      // signed text is.
      return;
  }
}

}  // namespace

RecordText::RecordText(const documents::Intent& intent, const documents::ProposedAction& action,
                       const Verdict& verdict, std::string_view timestamp) {
  const std::size_t signed_estimate = kSignedNamesSize + timestamp.size() + intent.id.size() +
                                      intent.objective.size() + intent.mode.size() + intent.version.size() +
                                      verdict.reason.size() + kValueSlack;
  text_.reserve(2 * signed_estimate + kLineBeyondSignedText);
  text_ += '{';
  for (const layout::Member member : layout::kSignedOrder) {
    if (text_.size() > 1) text_ += ',';
    append_name(member, text_);
    const std::size_t start = text_.size();
    append_value(member, intent, action, verdict, timestamp, text_);
    values_[member] = Span{start, text_.size() - start};
  }
  text_ += '}';
  signed_size_ = text_.size();
}

std::string_view RecordText::line(const PublicKey& public_key, const Signature& signature) {
  text_.resize(signed_size_);
  // Reserved before any value is copied, so the copies below read from a
  // buffer that no longer moves.
  text_.reserve(2 * signed_size_ + kLineBeyondSignedText);
  text_ += '{';
  for (std::size_t i = 0; i < layout::kMemberCount; ++i) {
    const auto member = static_cast<layout::Member>(i);
    if (i > 0) text_ += ',';
    append_name(member, text_);
    if (member == layout::kPublicKey) {
      append_hex_value(public_key, text_);
    } else if (member == layout::kSignature) {
      append_hex_value(signature, text_);
    } else {
      text_.append(text_.data() + values_[member].start, values_[member].size);
    }
  }
  text_ += "}\n";
  return std::string_view(text_).substr(signed_size_);
}

std::string build_signed_text(const documents::Intent& intent, const documents::ProposedAction& action,
                              const Verdict& verdict, std::string_view timestamp) {
  return std::string(RecordText(intent, action, verdict, timestamp).signed_text());
}

std::string build_record_line(const documents::Intent& intent, const documents::ProposedAction& action,
                              const Verdict& verdict, std::string_view timestamp, const PublicKey& public_key,
                              const Signature& signature) {
  RecordText text(intent, action, verdict, timestamp);
  return std::string(text.line(public_key, signature));
}

}  // namespace orvex::audit
