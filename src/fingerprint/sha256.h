// SHA-256 as a stream: the fingerprint hashes its canonical text piece by
// piece as the text is produced. Uses the processor's SHA instructions where
// it has them (several times faster on long texts) and libsodium elsewhere;
// both give the FIPS 180-4 digest.
#pragma once

#include <sodium.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace orvex::fingerprint {

inline constexpr std::size_t kSha256Bytes = 32;
using Sha256Digest = std::array<std::uint8_t, kSha256Bytes>;

class Sha256 {
 public:
  Sha256();
  void update(std::string_view bytes);
  Sha256Digest finish();

  // Whether this process hashes with the processor's SHA instructions.
  static bool uses_sha_instructions();

 private:
  static constexpr std::size_t kBlockBytes = 64;

  bool accelerated_;
  // Accelerated path: the chaining state, a partial block and the length.
  std::array<std::uint32_t, 8> state_{};
  std::array<std::uint8_t, kBlockBytes> block_{};
  std::size_t block_used_ = 0;
  std::uint64_t total_bytes_ = 0;
  // Portable path.
  crypto_hash_sha256_state sodium_state_{};
};

}  // namespace orvex::fingerprint
