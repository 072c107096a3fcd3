#include "fingerprint/fingerprint.h"

#include <sodium.h>

#include <array>
#include <cstdint>

#include "common/hex.h"
#include "fingerprint/canonical_text.h"
#include "fingerprint/messages.h"

namespace orvex::fingerprint {

Result<std::string> generate_logic_fingerprint(std::string_view manifest_json) {
  Result<documents::ProjectManifest> manifest = documents::read_manifest(manifest_json);
  if (!manifest.ok()) return Failure::ordinary(messages::kInvalidManifest + std::move(manifest).failure().message);

  // The canonical text is hashed as it is produced; the digest is that of
  // the whole text in one piece.
  crypto_hash_sha256_state state;
  crypto_hash_sha256_init(&state);
  emit_canonical_text(manifest.value(), [&](std::string_view piece) {
    crypto_hash_sha256_update(&state, reinterpret_cast<const unsigned char*>(piece.data()), piece.size());
  });
  std::array<std::uint8_t, crypto_hash_sha256_BYTES> digest;
  crypto_hash_sha256_final(&state, digest.data());
  return lowercase_hex(digest);
}

Result<bool> verify_logic_fingerprint(std::string_view manifest_json, std::string_view expected) {
  Result<std::string> actual = generate_logic_fingerprint(manifest_json);
  if (!actual.ok()) return std::move(actual).failure();
  // Not a secret: an exact byte comparison is all that is asked.
  return actual.value() == expected;
}

}  // namespace orvex::fingerprint
