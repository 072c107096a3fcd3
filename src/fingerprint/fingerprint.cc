#include "fingerprint/fingerprint.h"

#include "common/fill_message.h"
#include "common/hex.h"
#include "fingerprint/canonical_text.h"
#include "fingerprint/fingerprint_errors.h"
#include "fingerprint/sha256.h"

namespace orvex::fingerprint {

Result<std::string> generate_logic_fingerprint(std::string_view manifest_json) {
  Result<documents::ProjectManifest> manifest = documents::read_manifest(manifest_json);
  if (!manifest.ok()) return Failure::ordinary(fill_message(messages::kInvalidManifest, {manifest.failure().message}));

  // The canonical text is hashed as it is produced; the digest is that of
  // the whole text in one piece.
  Sha256 hash;
  emit_canonical_text(manifest.value(), [&](std::string_view piece) { hash.update(piece); });
  return lowercase_hex(hash.finish());
}

Result<bool> verify_logic_fingerprint(std::string_view manifest_json, std::string_view expected) {
  Result<std::string> actual = generate_logic_fingerprint(manifest_json);
  if (!actual.ok()) return std::move(actual).failure();
  // Not a secret: an exact byte comparison is all that is asked.
  return actual.value() == expected;
}

}  // namespace orvex::fingerprint
