// Finds lines that repeat an earlier line byte for byte. Genuine records
// always differ (in their timestamps at least), so a repeat is a replayed
// record.
//
// Each line is remembered by a 64-bit SipHash under a key drawn at random
// for each run, with the number of the line: 16 bytes in a table kept at
// most three quarters full, so 21 to 43 bytes per record and nothing that
// grows with the length of a line. The texts are not kept, since an input
// may be a pipe that cannot be read again; two different lines are taken
// for a repeat only if their hashes collide, which with a secret key no
// input can arrange and which by chance happens with a probability of
// about n * n / 2^65 over n records (below 1 in 30 million for a million).
#pragma once

#include <sodium.h>

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace orvex::audit_tool {

using LineHashKey = std::array<unsigned char, crypto_shorthash_KEYBYTES>;

// A fresh secret key for one run.
LineHashKey random_line_hash_key();

// A pure function of the key and the line, so it can be computed wherever
// the line is checked.
std::uint64_t line_hash(const LineHashKey& key, std::string_view line);

class RepeatDetector {
 public:
  // Remembers the line with hash `hash` as line `ordinal` (counted over all
  // inputs) unless a line with that hash was seen before: then returns that
  // earlier line's ordinal and remembers nothing.
  std::optional<std::uint64_t> first_seen_as(std::uint64_t hash, std::uint64_t ordinal);

 private:
  struct Slot {
    std::uint64_t hash;
    std::uint64_t ordinal_plus_one;  // 0: the slot is free
  };
  void grow();

  std::vector<Slot> slots_;  // a power of two in size; linear probing
  std::size_t used_ = 0;
};

}  // namespace orvex::audit_tool
