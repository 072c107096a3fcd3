#include "audit/signing_key.h"

#include <sodium.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "audit/audit_errors.h"
#include "audit/scoped_wipe.h"
#include "audit/seed_text.h"
#include "common/fill_message.h"
#include "json/diagnostic_quote.h"
#include "json/utf8.h"

namespace orvex::audit {

namespace {

static_assert(kSeedBytes == crypto_sign_SEEDBYTES);
static_assert(kPublicKeyBytes == crypto_sign_PUBLICKEYBYTES);
static_assert(kSignatureBytes == crypto_sign_BYTES);
static_assert(crypto_sign_SECRETKEYBYTES == kSeedBytes + kPublicKeyBytes);

using SecretKey = std::array<std::uint8_t, crypto_sign_SECRETKEYBYTES>;

// Ed25519 needs no random source, and libsodium falls back to portable
// code when no faster one is chosen, so the outcome of the call is moot.
void prepare_sodium() { [[maybe_unused]] const int status = sodium_init(); }

// The 64-byte secret key for `seed`; the caller wipes it.
void derive_keys(const std::uint8_t* seed, PublicKey& public_key, SecretKey& secret_key) {
  prepare_sodium();
  crypto_sign_seed_keypair(public_key.data(), secret_key.data(), seed);
}

// The value 0..15 of a hexadecimal digit of either case, or -1. Computed
// with masks rather than branches, since the digits are the secret seed:
// this is why the seed is not decoded by the project's hex decoder
// (common/hex.h), which branches on every digit it reads.
int hex_digit_value(std::uint8_t c) {
  const std::uint8_t num = c ^ 0x30u;                                  // '0'..'9' -> 0..9
  const std::uint8_t num_mask = static_cast<std::uint8_t>((num - 10u) >> 8);
  const std::uint8_t alpha = static_cast<std::uint8_t>((c & ~0x20u) - 55u);  // 'A'..'F', 'a'..'f' -> 10..15
  const std::uint8_t alpha_mask = static_cast<std::uint8_t>(((alpha - 10u) ^ (alpha - 16u)) >> 8);
  const int valid = (num_mask | alpha_mask) != 0;
  return valid ? ((num_mask & num) | (alpha_mask & alpha)) : -1;
}

Failure bad_hex_character(std::uint8_t byte, std::size_t index) {
  // The byte is shown as the character with the same number (U+0000..U+00FF).
  std::string literal;
  json::append_diagnostic_char(byte, literal);
  return Failure::abort(fill_message(messages::kSeedBadHex, {literal, std::to_string(index)}));
}

// Says where the value goes wrong without showing any of it.
Failure not_unicode(std::string_view value) {
  return Failure::abort(fill_message(messages::kSeedNotUnicode, {std::to_string(value.size()),
                                                                 std::to_string(first_byte_not_utf8(value))}));
}

// `text` is the trimmed seed text, read in place from the environment and
// never copied, so only the decoded bytes need wiping.
Result<AuditKeyPair> key_from_hex(std::string_view text) {
  // The length is judged before any character is looked at.
  if (text.size() % 2 != 0) return Failure::abort(std::string(messages::kSeedOddLength));

  std::array<std::uint8_t, kSeedBytes> seed{};
  ScopedWipe wipe_seed(seed);
  std::size_t decoded = 0;  // may exceed kSeedBytes: every pair is checked
  for (std::size_t at = 0; at < text.size(); at += 2) {
    const auto high_byte = static_cast<std::uint8_t>(text[at]);
    const auto low_byte = static_cast<std::uint8_t>(text[at + 1]);
    const int high = hex_digit_value(high_byte);
    if (high < 0) return bad_hex_character(high_byte, at);
    const int low = hex_digit_value(low_byte);
    if (low < 0) return bad_hex_character(low_byte, at + 1);
    if (decoded < kSeedBytes) seed[decoded] = static_cast<std::uint8_t>(high << 4 | low);
    ++decoded;
  }
  if (decoded != kSeedBytes) return Failure::abort(std::string(messages::kSeedWrongLength));
  return AuditKeyPair::from_seed(seed);
}

}  // namespace

AuditKeyPair AuditKeyPair::from_seed(std::span<const std::uint8_t, kSeedBytes> seed) {
  AuditKeyPair pair;
  std::memcpy(pair.seed_.data(), seed.data(), kSeedBytes);
  SecretKey secret_key;
  ScopedWipe wipe_secret(secret_key);
  derive_keys(pair.seed_.data(), pair.public_key_, secret_key);
  return pair;
}

AuditKeyPair::AuditKeyPair(AuditKeyPair&& other) noexcept
    : seed_(other.seed_), public_key_(other.public_key_) {
  sodium_memzero(other.seed_.data(), other.seed_.size());
}

AuditKeyPair::~AuditKeyPair() { sodium_memzero(seed_.data(), seed_.size()); }

Signature AuditKeyPair::sign(std::string_view message) const {
  // libsodium's secret key is the seed followed by the public key; laid out
  // from what the pair holds, the point A is not computed a second time.
  // The signer derives and wipes the secret scalar and nonce prefix itself.
  SecretKey secret_key;
  ScopedWipe wipe_secret(secret_key);
  std::memcpy(secret_key.data(), seed_.data(), kSeedBytes);
  std::memcpy(secret_key.data() + kSeedBytes, public_key_.data(), kPublicKeyBytes);
  Signature signature;
  crypto_sign_detached(signature.data(), nullptr, reinterpret_cast<const unsigned char*>(message.data()),
                       message.size(), secret_key.data());
  return signature;
}

Result<AuditKeyPair> load_signing_key() {
  const char* value = std::getenv(kSeedVariable);
  if (value == nullptr) return Failure::abort(std::string(messages::kSeedMissing));
  const std::string_view text(value);
  if (!json::is_valid_utf8(text)) return not_unicode(text);
  return key_from_hex(trim_white_space(text));
}

}  // namespace orvex::audit
