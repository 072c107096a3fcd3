#include "orvex_audit/seal_line.h"

#include <sodium.h>

#include <algorithm>
#include <limits>
#include <span>

#include "common/fill_message.h"
#include "common/hex.h"
#include "json/json_error.h"
#include "json/reader.h"
#include "json/utf8.h"
#include "json/writer.h"
#include "orvex_audit/seal_texts.h"
#include "orvex_audit/tool_texts.h"

namespace orvex::audit_tool {

namespace {

namespace sm = seal_messages;

constexpr std::uint64_t kMaxWholeNumber = std::numeric_limits<std::int64_t>::max();

// The signed members of a layout (all but the signature), in ascending byte
// order of their names: the order of the signed text.
template <std::size_t N>
constexpr std::array<SealMember, N - 1> signed_order(const std::array<SealMember, N>& layout) {
  std::array<SealMember, N - 1> order{};
  for (std::size_t i = 0; i < order.size(); ++i) order[i] = layout[i];
  std::sort(order.begin(), order.end(), [](SealMember a, SealMember b) { return kSealNames[a] < kSealNames[b]; });
  return order;
}
constexpr auto kFirstSignedOrder = signed_order(kFirstSealLayout);
constexpr auto kChainSignedOrder = signed_order(kChainSealLayout);
static_assert(kFirstSealLayout.back() == kSealSignature && kChainSealLayout.back() == kSealSignature,
              "the signature is the last member and the only one not signed");

std::span<const SealMember> layout_of(std::uint64_t format) {
  if (format == kFirstSealFormat) return kFirstSealLayout;
  return kChainSealLayout;
}

std::span<const SealMember> signed_order_of(std::uint64_t format) {
  if (format == kFirstSealFormat) return kFirstSignedOrder;
  return kChainSignedOrder;
}

void append_hex_string(std::span<const std::uint8_t> bytes, std::string& out) {
  out.push_back('"');
  append_lowercase_hex(bytes, out);
  out.push_back('"');
}

bool is_timestamp_byte(char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == ':' || c == '.' ||
         c == '+' || c == '-';
}

void append_optional_string(const std::optional<std::string>& text, std::string& out) {
  if (text.has_value()) {
    json::write_string(*text, out);
  } else {
    out.append("null");
  }
}

// The JSON text of one member's value.
void append_value(const Seal& seal, SealMember member, std::string& out) {
  switch (member) {
    case kSealVersion: out.append(std::to_string(seal.format)); return;
    case kSealChain: json::write_string(seal.chain, out); return;
    case kSealSequence: out.append(std::to_string(seal.sequence)); return;
    case kSealFile: json::write_string(seal.file, out); return;
    case kSealBytes: out.append(std::to_string(seal.bytes)); return;
    case kSealLines: out.append(std::to_string(seal.lines)); return;
    case kSealSha256: append_hex_string(seal.sha256, out); return;
    case kSealFirst: append_optional_string(seal.first, out); return;
    case kSealLast: append_optional_string(seal.last, out); return;
    case kSealSealedAt: json::write_string(seal.sealed_at, out); return;
    case kSealPrevious:
      if (seal.previous.has_value()) {
        append_hex_string(*seal.previous, out);
      } else {
        out.append("null");
      }
      return;
    case kSealPublicKey: append_hex_string(seal.public_key, out); return;
    case kSealNextKey: append_hex_string(seal.next_key, out); return;
    case kSealSignature: append_hex_string(seal.signature, out); return;
    case kSealMemberCount: return;
  }
}

void append_member(const Seal& seal, SealMember member, bool first, std::string& out) {
  if (!first) out.push_back(',');
  out.push_back('"');
  out.append(kSealNames[member]);
  out.append("\":");
  append_value(seal, member, out);
}

std::string object_text(const Seal& seal, std::span<const SealMember> members) {
  std::string out;
  out.reserve(kMaxSealLineBytes / 4);
  out.push_back('{');
  for (std::size_t n = 0; n < members.size(); ++n) append_member(seal, members[n], n == 0, out);
  out.push_back('}');
  return out;
}

// ---- reading ----

Failure wrong_value(SealMember member, std::string_view expected) {
  return Failure::ordinary(fill_message(sm::kWrongValue, {kSealNames[member], expected}));
}

// The walk below sees a line already known to be one JSON value, so every
// token it expects is there or the structure differs, never a torn text.
class SealWalk {
 public:
  explicit SealWalk(std::string_view line) : line_(line), reader_(line) {}

  // Cursor at the value; leaves it past the value on success.
  bool whole_number(std::uint64_t& out) {
    reader_.skip_whitespace();
    if (reader_.at_end() || !(reader_.peek() == '-' || (reader_.peek() >= '0' && reader_.peek() <= '9'))) {
      return false;
    }
    json::Number number;
    if (!reader_.read_number(number)) return false;
    if (number.kind != json::NumberKind::Unsigned || number.unsigned_value > kMaxWholeNumber) return false;
    out = number.unsigned_value;
    return true;
  }

  bool string(std::string& out) {
    reader_.skip_whitespace();
    if (reader_.at_end() || reader_.peek() != '"') return false;
    return reader_.read_string(out);
  }

  // Takes a null and returns true with `is_null` set, or leaves the cursor
  // for a value of another kind.
  void null(bool& is_null) {
    reader_.skip_whitespace();
    is_null = !reader_.at_end() && reader_.peek() == 'n';
    if (is_null) {
      [[maybe_unused]] const bool ok = reader_.skip_value();  // a valid line: the literal null
    }
  }

  template <std::size_t N>
  bool hex(std::array<std::uint8_t, N>& out) {
    std::string text;
    return string(text) && decode_hex(text, HexCase::LowerOnly, out);
  }

  bool optional_timestamp(std::optional<std::string>& out) {
    bool is_null = false;
    null(is_null);
    if (is_null) {
      out.reset();
      return true;
    }
    std::string text;
    if (!string(text) || !is_timestamp_text(text)) return false;
    out = std::move(text);
    return true;
  }

  // Reads every member in order into `seal`. The first member, "seal",
  // names the format and so the layout of the rest.
  Result<Unit> members(Seal& seal) {
    reader_.skip_whitespace();
    if (reader_.at_end() || reader_.peek() != '{') return Failure::ordinary(std::string(sm::kNotObject));
    reader_.advance();
    std::span<const SealMember> layout = kChainSealLayout;
    for (std::size_t i = 0; i < layout.size(); ++i) {
      const SealMember expected = layout[i];
      reader_.skip_whitespace();
      if (reader_.peek() == '}') return Failure::ordinary(fill_message(sm::kMissingMember, {kSealNames[expected]}));
      const std::size_t key_start = reader_.offset();
      std::string_view key;
      std::string scratch;
      [[maybe_unused]] const bool key_ok = reader_.read_key(key, scratch);
      if (key != kSealNames[expected] || scratch.size() > 0) {
        const std::string_view raw = line_.substr(key_start, reader_.offset() - key_start);
        return Failure::ordinary(fill_message(sm::kWrongMember, {std::to_string(i + 1), raw, kSealNames[expected]}));
      }
      reader_.skip_whitespace();
      reader_.advance();  // ':'
      if (Result<Unit> value = member_value(expected, seal); !value.ok()) return value;
      if (expected == kSealVersion) layout = layout_of(seal.format);
      reader_.skip_whitespace();
      const bool more = reader_.peek() == ',';
      reader_.advance();  // ',' or '}'
      const bool last = i + 1 == layout.size();
      if (more && last) return Failure::ordinary(fill_message(sm::kExtraMember, {kSealNames[expected]}));
      if (!more && !last) return Failure::ordinary(fill_message(sm::kMissingMember, {kSealNames[layout[i + 1]]}));
    }
    return Unit{};
  }

 private:
  Result<Unit> member_value(SealMember member, Seal& seal) {
    switch (member) {
      case kSealVersion: {
        if (!whole_number(seal.format)) return wrong_value(member, sm::kWholeNumber);
        if (seal.format != kFirstSealFormat && seal.format != kChainSealFormat) {
          return Failure::ordinary(fill_message(sm::kUnknownFormat, {std::to_string(seal.format)}));
        }
        return Unit{};
      }
      case kSealChain:
        if (!string(seal.chain) || !is_chain_name(seal.chain)) return wrong_value(member, sm::kChainNameValue);
        return Unit{};
      case kSealSequence:
        if (!whole_number(seal.sequence)) return wrong_value(member, sm::kWholeNumber);
        return Unit{};
      case kSealFile:
        if (!string(seal.file) || !is_sealable_name(seal.file)) return wrong_value(member, sm::kBaseName);
        return Unit{};
      case kSealBytes:
        if (!whole_number(seal.bytes)) return wrong_value(member, sm::kWholeNumber);
        return Unit{};
      case kSealLines:
        if (!whole_number(seal.lines)) return wrong_value(member, sm::kWholeNumber);
        return Unit{};
      case kSealSha256:
        if (!hex(seal.sha256)) return wrong_value(member, sm::kDigestValue);
        return Unit{};
      case kSealFirst:
        if (!optional_timestamp(seal.first)) return wrong_value(member, sm::kTimestampOrNull);
        return Unit{};
      case kSealLast:
        if (!optional_timestamp(seal.last)) return wrong_value(member, sm::kTimestampOrNull);
        return Unit{};
      case kSealSealedAt:
        if (!string(seal.sealed_at) || !is_timestamp_text(seal.sealed_at)) {
          return wrong_value(member, sm::kTimestamp);
        }
        return Unit{};
      case kSealPrevious: {
        bool is_null = false;
        null(is_null);
        if (is_null) {
          seal.previous.reset();
          return Unit{};
        }
        audit::Signature previous;
        if (!hex(previous)) return wrong_value(member, sm::kPreviousValue);
        seal.previous = previous;
        return Unit{};
      }
      case kSealPublicKey:
        if (!hex(seal.public_key)) return wrong_value(member, sm::kKeyValue);
        return Unit{};
      case kSealNextKey:
        if (!hex(seal.next_key)) return wrong_value(member, sm::kKeyValue);
        return Unit{};
      case kSealSignature:
        if (!hex(seal.signature)) return wrong_value(member, sm::kSignatureValue);
        return Unit{};
      case kSealMemberCount: break;
    }
    return Unit{};
  }

  std::string_view line_;
  json::Reader reader_;
};

}  // namespace

bool is_timestamp_text(std::string_view text) {
  return !text.empty() && text.size() <= kMaxTimestampBytes && std::all_of(text.begin(), text.end(), is_timestamp_byte);
}

bool is_sealable_name(std::string_view name) {
  return !name.empty() && name != "." && name != ".." && name.find('/') == std::string_view::npos &&
         json::is_valid_utf8(name);
}

bool is_chain_name(std::string_view name) {
  return !name.empty() && name.size() <= kMaxChainNameBytes && name.front() != '-' &&
         std::all_of(name.begin(), name.end(), [](char c) {
           return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '.' ||
                  c == '_' || c == '-';
         });
}

std::string seal_signed_text(const Seal& seal) { return object_text(seal, signed_order_of(seal.format)); }

std::string seal_line_text(const Seal& seal) { return object_text(seal, layout_of(seal.format)); }

void sign_seal(Seal& seal, const audit::AuditKeyPair& key) {
  seal.public_key = key.public_key();
  seal.signature = key.sign(seal_signed_text(seal));
}

bool seal_signature_valid(const Seal& seal) {
  const std::string text = seal_signed_text(seal);
  return crypto_sign_verify_detached(seal.signature.data(), reinterpret_cast<const unsigned char*>(text.data()),
                                     text.size(), seal.public_key.data()) == 0;
}

Result<Seal> read_seal_line(std::string_view line) {
  if (line.size() > kMaxSealLineBytes) {
    return Failure::ordinary(fill_message(sm::kTooLong, {std::to_string(kMaxSealLineBytes)}));
  }
  // First the whole line as JSON, so that a syntax error is named in the
  // reader's words at its byte before any structure is judged.
  {
    json::Reader whole(line);
    if (!whole.skip_value() || !whole.finish()) {
      const json::TextPosition at = json::position_of(line, whole.error().offset);
      return Failure::ordinary(fill_message(sm::kNotJson, {whole.error().message, std::to_string(at.column)}));
    }
  }
  Seal seal;
  SealWalk walk(line);
  if (Result<Unit> read = walk.members(seal); !read.ok()) return std::move(read).failure();

  // One spelling only: the signature covers the members' values, and a line
  // that only the writer can produce leaves nothing to vary in a copy.
  const std::string canonical = seal_line_text(seal);
  if (canonical != line) {
    const auto differs = std::mismatch(canonical.begin(), canonical.end(), line.begin(), line.end());
    const auto column = static_cast<std::size_t>(differs.second - line.begin()) + 1;
    return Failure::ordinary(fill_message(sm::kNotCanonical, {std::to_string(column)}));
  }
  return seal;
}

}  // namespace orvex::audit_tool
