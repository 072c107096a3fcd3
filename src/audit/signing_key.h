// The Ed25519 key that signs audit records, rebuilt from ORVEX_SEED for
// every record and never stored.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "common/result.h"

namespace orvex::audit {

// The environment variable that holds the signing seed as hexadecimal text.
inline constexpr const char* kSeedVariable = "ORVEX_SEED";

inline constexpr std::size_t kSeedBytes = 32;
inline constexpr std::size_t kPublicKeyBytes = 32;
inline constexpr std::size_t kSignatureBytes = 64;

using PublicKey = std::array<std::uint8_t, kPublicKeyBytes>;
using Signature = std::array<std::uint8_t, kSignatureBytes>;

// A 32-byte seed (RFC 8032 private key) and the public key derived from it.
// Owned by one audit step; the seed is wiped when the pair is destroyed and
// is never handed out. Moving transfers the seed and wipes the source.
class AuditKeyPair {
 public:
  static AuditKeyPair from_seed(std::span<const std::uint8_t, kSeedBytes> seed);

  AuditKeyPair(AuditKeyPair&& other) noexcept;
  AuditKeyPair(const AuditKeyPair&) = delete;
  AuditKeyPair& operator=(const AuditKeyPair&) = delete;
  AuditKeyPair& operator=(AuditKeyPair&&) = delete;
  ~AuditKeyPair();

  const PublicKey& public_key() const { return public_key_; }

  // Pure Ed25519 (no context, no pre-hash) over the bytes of `message`;
  // deterministic, so equal messages under equal seeds sign equally.
  Signature sign(std::string_view message) const;

 private:
  AuditKeyPair() = default;

  std::array<std::uint8_t, kSeedBytes> seed_{};
  PublicKey public_key_{};
};

// Reads ORVEX_SEED now (never cached), trims Unicode white space at both
// ends, decodes 64 hexadecimal digits of either case and derives the key
// pair. Every failure is an abort with one of the seed texts of
// audit/audit_errors.h; the first failing check wins, in this order: missing,
// not UTF-8, odd byte length, bad character, not 32 bytes.
Result<AuditKeyPair> load_signing_key();

}  // namespace orvex::audit
