// One line of a seal file: signed evidence of what a log file held when it
// was sealed, chained to the seal line before it. The member layout is
// defined here once; `seal` writes with it and `verify --seals` reads with it.
//
// The line, compact JSON. A chain seal (format 2), made with a sealing key
// that evolves with every seal, holds these members in this order:
//   {"seal":2,"chain":NAME,"sequence":N,"file":NAME,"bytes":N,"lines":N,
//    "sha256":HEX,"first":TS|null,"last":TS|null,"sealed_at":TS,
//    "previous":HEX|null,"public_key":HEX,"next_key":HEX,"signature":HEX}
// A first-format seal (format 1), signed with the records' key, lacks
// "chain", "sequence" and "next_key"; it is still read and checked.
// The signature covers the signed text: every member but "signature", in
// ascending byte order of the names, written the same compact way.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "audit/signing_key.h"
#include "common/result.h"
#include "fingerprint/sha256.h"

namespace orvex::audit_tool {

// The member "seal" names the layout, so that one is never misread as the
// other.
inline constexpr std::uint64_t kFirstSealFormat = 1;  // signed with the records' key
inline constexpr std::uint64_t kChainSealFormat = 2;  // signed with a chain's evolving key
// A chain's name: 1 to kMaxChainNameBytes of letters, digits, '.', '_' and
// '-', not starting with '-'; every host name fits, and it needs no escape
// in JSON nor in an anchors file.
inline constexpr std::size_t kMaxChainNameBytes = 64;
// A seal line is a few hundred bytes; anything much longer is not ours, and
// refusing it early keeps a hostile seal file from costing memory.
inline constexpr std::size_t kMaxSealLineBytes = 4096;
// A timestamp as the guard writes it is 25 to 35 bytes.
inline constexpr std::size_t kMaxTimestampBytes = 40;

enum SealMember : std::size_t {
  kSealVersion, kSealChain, kSealSequence, kSealFile, kSealBytes, kSealLines, kSealSha256, kSealFirst, kSealLast,
  kSealSealedAt, kSealPrevious, kSealPublicKey, kSealNextKey, kSealSignature, kSealMemberCount
};

// The names of the members, indexed by SealMember.
inline constexpr std::array<std::string_view, kSealMemberCount> kSealNames = {
    "seal", "chain", "sequence", "file", "bytes", "lines", "sha256", "first", "last", "sealed_at", "previous",
    "public_key", "next_key", "signature"};

// The members of each format, in the order of the line.
inline constexpr std::array<SealMember, 11> kFirstSealLayout = {
    kSealVersion, kSealFile, kSealBytes, kSealLines, kSealSha256, kSealFirst, kSealLast, kSealSealedAt,
    kSealPrevious, kSealPublicKey, kSealSignature};
inline constexpr std::array<SealMember, kSealMemberCount> kChainSealLayout = {
    kSealVersion, kSealChain, kSealSequence, kSealFile, kSealBytes, kSealLines, kSealSha256, kSealFirst, kSealLast,
    kSealSealedAt, kSealPrevious, kSealPublicKey, kSealNextKey, kSealSignature};

struct Seal {
  std::uint64_t format = kFirstSealFormat;  // the sealer with a key file writes kChainSealFormat
  std::string chain;          // chain seals only: the chain's name
  std::uint64_t sequence = 0;  // chain seals only: 0 for the chain's first seal
  std::string file;  // the sealed file's base name, UTF-8
  std::uint64_t bytes = 0;  // the sealed prefix: whole lines only
  std::uint64_t lines = 0;  // line feeds in the sealed prefix
  fingerprint::Sha256Digest sha256{};  // of the sealed prefix
  std::optional<std::string> first;  // timestamp of the first and last sealed record
  std::optional<std::string> last;
  std::string sealed_at;  // when the seal was made
  std::optional<audit::Signature> previous;  // absent: this seal starts a chain
  audit::PublicKey public_key{};  // the key that signs this seal
  audit::PublicKey next_key{};    // chain seals only: the key that signs the next seal of the chain
  audit::Signature signature{};
};

// Whether `text` may stand as a timestamp in a seal: 1 to kMaxTimestampBytes
// of digits, letters, ':', '.', '+' and '-', which is every RFC 3339 text and
// needs no escape in JSON.
bool is_timestamp_text(std::string_view text);

// Whether `name` may stand as a sealed file's name: a UTF-8 base name.
bool is_sealable_name(std::string_view name);

// Whether `name` may name a chain (see kMaxChainNameBytes).
bool is_chain_name(std::string_view name);

// The text that the signature covers.
// REQUIRES: the strings of `seal` satisfy the checks above.
std::string seal_signed_text(const Seal& seal);

// The line, without its line feed.
std::string seal_line_text(const Seal& seal);

// Fills public_key and signature by signing seal_signed_text.
void sign_seal(Seal& seal, const audit::AuditKeyPair& key);

// Whether the signature is public_key's Ed25519 signature of the signed text.
bool seal_signature_valid(const Seal& seal);

// Reads one line of a seal file, without its line feed. Accepts exactly the
// lines seal_line_text writes (byte for byte), whatever their signature;
// anything else fails with one reason from seal_texts.h. Never reads past
// `line`, whatever it holds.
Result<Seal> read_seal_line(std::string_view line);

}  // namespace orvex::audit_tool
