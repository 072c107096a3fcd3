#include "audit/record_text.h"

#include <cstring>

#include "common/hex.h"
#include "json/writer.h"

namespace orvex::audit {

namespace layout = record_layout;

namespace {

// Room for the signed values besides the intent's and the reason's text:
// quotes, escapes and a small params object.
constexpr std::size_t kValueSlack = 128;

// A member's name as the texts carry it, `,"name":`, made once at compile
// time so that it goes out in one copy. Member names need no escapes (the
// layout checks it), so they need no escape scan either.
struct NameText {
  static constexpr std::size_t kCapacity = 32;
  std::array<char, kCapacity> bytes{};
  std::size_t size = 0;

  // Without the comma for the first member of an object.
  std::string_view text(bool first) const {
    return first ? std::string_view(bytes.data() + 1, size - 1) : std::string_view(bytes.data(), size);
  }
};

static_assert([] {
  for (const std::string_view name : layout::kNames) {
    if (name.size() + 4 > NameText::kCapacity) return false;
  }
  return true;
}(), "a member name too long for its name text");

constexpr std::array<NameText, layout::kMemberCount> kNameTexts = [] {
  std::array<NameText, layout::kMemberCount> texts{};
  for (std::size_t i = 0; i < layout::kMemberCount; ++i) {
    NameText& text = texts[i];
    text.bytes[text.size++] = ',';
    text.bytes[text.size++] = '"';
    for (const char c : layout::kNames[i]) text.bytes[text.size++] = c;
    text.bytes[text.size++] = '"';
    text.bytes[text.size++] = ':';
  }
  return texts;
}();

// The names and punctuation of the signed text: every signed member's name
// text, the braces, less the comma before the first member.
constexpr std::size_t kSignedNamesSize = [] {
  std::size_t size = 2 - 1;
  for (std::size_t i = 0; i < layout::kSignedCount; ++i) size += kNameTexts[i].size;
  return size;
}();

// Everything in the line besides the signed values: every member's name
// text less the comma before the first, the braces, the line feed, and the
// key's and the signature's digits between their quotes.
constexpr std::size_t kLineFixedSize = [] {
  std::size_t size = 2 - 1 + 1;
  for (std::size_t i = 0; i < layout::kMemberCount; ++i) size += kNameTexts[i].size;
  return size + 2 * (kPublicKeyBytes + kSignatureBytes) + 4;
}();

// The bytes of the signed values, which the line repeats: the signed text
// less its names and punctuation.
constexpr std::size_t signed_values_size(std::size_t signed_size) { return signed_size - kSignedNamesSize; }

// A hex value between quotes.
char* write_hex_value(std::span<const std::uint8_t> bytes, char* at) {
  *at++ = '"';
  at = write_lowercase_hex(bytes, at);
  *at++ = '"';
  return at;
}

char* write_text(std::string_view text, char* at) {
  std::memcpy(at, text.data(), text.size());
  return at + text.size();
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
  // Room for the line too, which repeats the signed values with its own
  // names, the key, the signature and the line feed.
  text_.reserve(signed_estimate + signed_values_size(signed_estimate) + kLineFixedSize);
  text_ += '{';
  bool first = true;
  for (const layout::Member member : layout::kSignedOrder) {
    text_ += kNameTexts[member].text(first);
    first = false;
    const std::size_t start = text_.size();
    append_value(member, intent, action, verdict, timestamp, text_);
    values_[member] = Span{start, text_.size() - start};
  }
  text_ += '}';
  signed_size_ = text_.size();
}

std::string_view RecordText::line(const PublicKey& public_key, const Signature& signature) {
  // The line's size is known from the signed text's, so the line is written
  // into a buffer of exactly that size without a check per piece.
  text_.resize(signed_size_ + signed_values_size(signed_size_) + kLineFixedSize);

  char* at = text_.data() + signed_size_;
  *at++ = '{';
  for (std::size_t i = 0; i < layout::kMemberCount; ++i) {
    const auto member = static_cast<layout::Member>(i);
    at = write_text(kNameTexts[member].text(i == 0), at);
    if (member == layout::kPublicKey) {
      at = write_hex_value(public_key, at);
    } else if (member == layout::kSignature) {
      at = write_hex_value(signature, at);
    } else {
      at = write_text(std::string_view(text_).substr(values_[member].start, values_[member].size), at);
    }
  }
  *at++ = '}';
  *at++ = '\n';
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
