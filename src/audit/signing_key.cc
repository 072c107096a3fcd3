#include "audit/signing_key.h"

#include <sodium.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "audit/audit_errors.h"
#include "audit/scoped_wipe.h"
#include "audit/seed_digits.h"
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
// Once per process: every later sodium_init would only take and release
// libsodium's lock to learn that it is done. A function-local static is
// initialised once even when threads race to it.
void prepare_sodium() {
  [[maybe_unused]] static const int status = sodium_init();
}

// The 64-byte secret key for `seed`; the caller wipes it.
void derive_keys(const std::uint8_t* seed, PublicKey& public_key, SecretKey& secret_key) {
  prepare_sodium();
  crypto_sign_seed_keypair(public_key.data(), secret_key.data(), seed);
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

  if (text.size() == kSeedDigits) {
    std::array<std::uint8_t, kSeedBytes> seed{};
    ScopedWipe wipe_seed(seed);
    if (decode_seed_digits(text, seed)) return AuditKeyPair::from_seed(seed);
  }
  // The seed fails: at its first byte that is not a digit, or, when every
  // byte is one, for its length. Bad characters are named even in a value
  // too long or too short.
  for (std::size_t at = 0; at < text.size(); ++at) {
    const auto byte = static_cast<std::uint8_t>(text[at]);
    if (seed_digit_value(byte) < 0) return bad_hex_character(byte, at);
  }
  return Failure::abort(std::string(messages::kSeedWrongLength));
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
