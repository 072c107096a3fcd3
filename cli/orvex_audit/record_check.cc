#include "orvex_audit/record_check.h"

#include <sodium.h>

#include <array>
#include <cstring>

#include "common/fill_message.h"
#include "common/hex.h"
#include "json/utf8.h"
#include "orvex_audit/record_scan.h"
#include "orvex_audit/tool_texts.h"

namespace orvex::audit_tool {

namespace {

namespace m = messages;

static_assert(audit::kPublicKeyBytes == crypto_sign_PUBLICKEYBYTES);
static_assert(audit::kSignatureBytes == crypto_sign_BYTES);

// A signed text up to this size keeps its memory for the next line; a
// larger one gives it back, so that memory follows the current line only.
constexpr std::size_t kKeptSignedTextBytes = std::size_t{1} << 20;

Failure at_column(std::string_view pattern, std::size_t index) {
  return Failure::ordinary(fill_message(pattern, {std::to_string(index + 1)}));
}

// The value of a string member whose text must be `bytes` bytes in
// lowercase hex; the writer never escapes inside it, so the raw text
// between the quotes is the hex itself.
bool decode_hex_member(std::string_view raw, std::span<std::uint8_t> bytes) {
  if (raw.size() < 2 || raw.front() != '"' || raw.back() != '"') return false;
  return decode_hex(raw.substr(1, raw.size() - 2), HexCase::LowerOnly, bytes);
}

Failure bad_hex(layout::Member member, std::size_t bytes) {
  return Failure::ordinary(fill_message(m::kBadHex, {layout::kNames[member], std::to_string(2 * bytes)}));
}

// The text the writer signed: the signed members in the signed text's
// order, each value exactly as it stands in the line, with no whitespace.
void rebuild_signed_text(const RawMembers& members, std::string& out) {
  // Reserved whole, so that a long record's text is allocated once.
  std::size_t size = 2 + layout::kSignedCount * 4;
  for (const layout::Member member : layout::kSignedOrder) {
    size += layout::kNames[member].size() + members[member].size();
  }
  out.clear();
  out.reserve(size);
  out.push_back('{');
  for (const layout::Member member : layout::kSignedOrder) {
    if (out.size() > 1) out.push_back(',');
    out.push_back('"');
    out.append(layout::kNames[member]);
    out.append("\":");
    out.append(members[member]);
  }
  out.push_back('}');
}

}  // namespace

Result<audit::PublicKey> RecordChecker::check(std::string_view line) {
  // The writer escapes every control character, so a raw carriage return
  // can only come from a damaged or converted file (CRLF line ends).
  if (const void* cr = std::memchr(line.data(), '\r', line.size())) {
    return at_column(m::kCarriageReturn, static_cast<std::size_t>(static_cast<const char*>(cr) - line.data()));
  }
  if (const std::size_t bad = json::first_invalid_utf8(line); bad != std::string_view::npos) {
    return at_column(m::kNotUtf8, bad);
  }

  Result<RawMembers> scanned = scan_record(line);
  if (!scanned.ok()) return std::move(scanned).failure();
  const RawMembers& members = scanned.value();

  audit::PublicKey key;
  if (!decode_hex_member(members[layout::kPublicKey], key)) return bad_hex(layout::kPublicKey, key.size());
  audit::Signature signature;
  if (!decode_hex_member(members[layout::kSignature], signature)) {
    return bad_hex(layout::kSignature, signature.size());
  }
  if (!pinned_.empty() && !pinned_.contains(key)) {
    return Failure::ordinary(fill_message(m::kForeignKey, {lowercase_hex(key)}));
  }

  rebuild_signed_text(members, signed_text_);
  const int status =
      crypto_sign_verify_detached(signature.data(), reinterpret_cast<const unsigned char*>(signed_text_.data()),
                                  signed_text_.size(), key.data());
  if (signed_text_.capacity() > kKeptSignedTextBytes) std::string().swap(signed_text_);
  if (status != 0) return Failure::ordinary(std::string(m::kBadSignature));
  return key;
}

}  // namespace orvex::audit_tool
