#include "fingerprint/sha256.h"

// The SHA instructions exist only on x86; elsewhere every digest comes from
// libsodium.
#if defined(__x86_64__) || defined(__i386__)
#define ORVEX_X86_SHA_INSTRUCTIONS 1
#include <cpuid.h>
#include <immintrin.h>
#endif

#include <cstring>

namespace orvex::fingerprint {

namespace {

constexpr std::array<std::uint32_t, 8> kInitialState = {0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a,
                                                        0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19};

alignas(16) constexpr std::uint32_t kRoundConstants[64] = {
    0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5,
    0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174,
    0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
    0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967,
    0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85,
    0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
    0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
    0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2};

bool detect_sha_instructions() {
#if defined(ORVEX_X86_SHA_INSTRUCTIONS)
  unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
  if (!__get_cpuid(1, &eax, &ebx, &ecx, &edx)) return false;
  const bool ssse3 = (ecx & bit_SSSE3) != 0;
  const bool sse41 = (ecx & bit_SSE4_1) != 0;
  if (!__get_cpuid_count(7, 0, &eax, &ebx, &ecx, &edx)) return false;
  const bool sha = (ebx & bit_SHA) != 0;
  return ssse3 && sse41 && sha;
#else
  return false;
#endif
}

void store_big_endian(std::uint32_t value, std::uint8_t* out) {
  out[0] = static_cast<std::uint8_t>(value >> 24);
  out[1] = static_cast<std::uint8_t>(value >> 16);
  out[2] = static_cast<std::uint8_t>(value >> 8);
  out[3] = static_cast<std::uint8_t>(value);
}

}  // namespace

#if defined(ORVEX_X86_SHA_INSTRUCTIONS)
// Four rounds per step with the message schedule kept in four registers of
// four words each: for step g >= 4 the words are
// msg2(msg1(W[g-4], W[g-3]) + (W[g-2]:W[g-1] shifted by one word), W[g-1]).
__attribute__((target("sha,sse4.1,ssse3"))) void sha256_blocks_with_sha_instructions(std::uint32_t state[8],
                                                                                     const std::uint8_t* data,
                                                                                     std::size_t blocks) {
  const __m128i kByteSwap = _mm_set_epi64x(0x0c0d0e0f08090a0bULL, 0x0405060700010203ULL);
  __m128i tmp = _mm_loadu_si128(reinterpret_cast<const __m128i*>(&state[0]));
  __m128i state1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(&state[4]));
  tmp = _mm_shuffle_epi32(tmp, 0xB1);                 // CDAB
  state1 = _mm_shuffle_epi32(state1, 0x1B);           // EFGH
  __m128i state0 = _mm_alignr_epi8(tmp, state1, 8);  // ABEF
  state1 = _mm_blend_epi16(state1, tmp, 0xF0);       // CDGH

  for (; blocks > 0; --blocks, data += 64) {
    const __m128i abef_saved = state0;
    const __m128i cdgh_saved = state1;
    __m128i w[4];
    for (int g = 0; g < 16; ++g) {
      __m128i words;
      if (g < 4) {
        words = _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(data + 16 * g)), kByteSwap);
      } else {
        const __m128i& older = w[g % 4];          // W[g-4]
        const __m128i& old = w[(g + 1) % 4];      // W[g-3]
        const __m128i& recent = w[(g + 2) % 4];   // W[g-2]
        const __m128i& latest = w[(g + 3) % 4];   // W[g-1]
        words = _mm_sha256msg1_epu32(older, old);
        words = _mm_add_epi32(words, _mm_alignr_epi8(latest, recent, 4));
        words = _mm_sha256msg2_epu32(words, latest);
      }
      w[g % 4] = words;
      __m128i k = _mm_add_epi32(words, _mm_load_si128(reinterpret_cast<const __m128i*>(&kRoundConstants[4 * g])));
      state1 = _mm_sha256rnds2_epu32(state1, state0, k);
      k = _mm_shuffle_epi32(k, 0x0E);
      state0 = _mm_sha256rnds2_epu32(state0, state1, k);
    }
    state0 = _mm_add_epi32(state0, abef_saved);
    state1 = _mm_add_epi32(state1, cdgh_saved);
  }

  tmp = _mm_shuffle_epi32(state0, 0x1B);              // FEBA
  state1 = _mm_shuffle_epi32(state1, 0xB1);           // DCHG
  state0 = _mm_blend_epi16(tmp, state1, 0xF0);        // DCBA
  state1 = _mm_alignr_epi8(state1, tmp, 8);           // ABEF
  _mm_storeu_si128(reinterpret_cast<__m128i*>(&state[0]), state0);
  _mm_storeu_si128(reinterpret_cast<__m128i*>(&state[4]), state1);
}
#else
// Never called: uses_sha_instructions() is false on this processor.
void sha256_blocks_with_sha_instructions(std::uint32_t*, const std::uint8_t*, std::size_t) { __builtin_trap(); }
#endif

bool Sha256::uses_sha_instructions() {
  static const bool available = detect_sha_instructions();
  return available;
}

Sha256::Sha256() : Sha256(uses_sha_instructions() ? Path::sha_instructions : Path::portable) {}

Sha256::Sha256(Path path) : accelerated_(path == Path::sha_instructions && uses_sha_instructions()) {
  if (accelerated_) {
    state_ = kInitialState;
  } else {
    crypto_hash_sha256_init(&sodium_state_);
  }
}

void Sha256::update(std::string_view bytes) {
  const auto* data = reinterpret_cast<const std::uint8_t*>(bytes.data());
  std::size_t size = bytes.size();
  if (!accelerated_) {
    crypto_hash_sha256_update(&sodium_state_, data, size);
    return;
  }
  total_bytes_ += size;
  if (block_used_ > 0) {
    const std::size_t take = std::min(size, kBlockBytes - block_used_);
    std::memcpy(block_.data() + block_used_, data, take);
    block_used_ += take;
    data += take;
    size -= take;
    if (block_used_ < kBlockBytes) return;
    sha256_blocks_with_sha_instructions(state_.data(), block_.data(), 1);
    block_used_ = 0;
  }
  const std::size_t whole = size / kBlockBytes;
  if (whole > 0) sha256_blocks_with_sha_instructions(state_.data(), data, whole);
  data += whole * kBlockBytes;
  size -= whole * kBlockBytes;
  std::memcpy(block_.data(), data, size);
  block_used_ = size;
}

Sha256Digest Sha256::finish() {
  Sha256Digest digest;
  if (!accelerated_) {
    crypto_hash_sha256_final(&sodium_state_, digest.data());
    return digest;
  }
  // Padding: 0x80, zeros, and the message length in bits, big-endian, so
  // that the whole is a multiple of 64 bytes.
  const std::uint64_t bit_length = total_bytes_ * 8;
  block_[block_used_++] = 0x80;
  if (block_used_ > kBlockBytes - 8) {
    std::memset(block_.data() + block_used_, 0, kBlockBytes - block_used_);
    sha256_blocks_with_sha_instructions(state_.data(), block_.data(), 1);
    block_used_ = 0;
  }
  std::memset(block_.data() + block_used_, 0, kBlockBytes - 8 - block_used_);
  for (int i = 0; i < 8; ++i) block_[kBlockBytes - 1 - i] = static_cast<std::uint8_t>(bit_length >> (8 * i));
  sha256_blocks_with_sha_instructions(state_.data(), block_.data(), 1);
  for (std::size_t i = 0; i < 8; ++i) store_big_endian(state_[i], digest.data() + 4 * i);
  return digest;
}

}  // namespace orvex::fingerprint
