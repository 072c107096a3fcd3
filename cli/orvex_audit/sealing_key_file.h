// The sealing key file: the secret of a seal chain's current key, kept apart
// from ORVEX_SEED by `seal-init` and replaced by `seal` after every seal, so
// that whoever reads it later holds no key that signed an earlier seal.
//
// The file is text, mode 0600, at most kMaxKeyFileBytes, lines in this order:
//   orvex-audit sealing key 1
//   chain NAME
//   sequence N          the sequence number of the next seal this key signs
//   seed HEX            that key's 32-byte Ed25519 seed, 64 lowercase digits
//   tip HEX|none        the signature of the chain's last seal (none before the first)
//   next HEX            only while a seal is being made: the seed of the key
//                       that the seal names as its successor
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "audit/signing_key.h"
#include "common/result.h"

namespace orvex::audit_tool {

inline constexpr std::string_view kKeyFileHeader = "orvex-audit sealing key 1";
inline constexpr std::size_t kMaxKeyFileBytes = 1024;

// 32 secret bytes, wiped when they go.
class SecretSeed {
 public:
  SecretSeed() = default;
  SecretSeed(const SecretSeed& other) : bytes_(other.bytes_) {}
  SecretSeed& operator=(const SecretSeed& other);
  ~SecretSeed();
  static SecretSeed random();

  std::array<std::uint8_t, audit::kSeedBytes>& bytes() { return bytes_; }
  const std::array<std::uint8_t, audit::kSeedBytes>& bytes() const { return bytes_; }
  audit::AuditKeyPair key_pair() const { return audit::AuditKeyPair::from_seed(bytes_); }

 private:
  std::array<std::uint8_t, audit::kSeedBytes> bytes_{};
};

struct SealingKeyState {
  std::string chain;
  std::uint64_t sequence = 0;
  SecretSeed seed;
  std::optional<audit::Signature> tip;
  std::optional<SecretSeed> next;
};

// An exclusive lock on the key file's directory, held while it lives. The
// key file itself is replaced by rename, so a lock on it would not outlive
// a seal; the directory stays. Two sealers of one key file (with different
// seal files, say) thus take turns, and the second sees the first's seal
// as the chain's tip.
class KeyFileLock {
 public:
  explicit KeyFileLock(const std::string& key_file);
  KeyFileLock(const KeyFileLock&) = delete;
  KeyFileLock& operator=(const KeyFileLock&) = delete;
  ~KeyFileLock();
  // Empty when the lock is held.
  const std::string& error() const { return error_; }

 private:
  int fd_ = -1;
  std::string error_;
};

// Reads and checks the key file. Refuses a file that is not a regular file,
// that others than its owner may read or write, or that is not exactly as
// write_key_file writes it; the failure names the file and never shows a
// secret byte.
Result<SealingKeyState> read_key_file(const std::string& path);

// Creates the key file for a new chain: written whole to PATH.new and synced,
// then linked to PATH, which fails when PATH exists (nothing is overwritten).
Result<Unit> create_key_file(const std::string& path, const SealingKeyState& state);

// Replaces the key file: the new state is written to PATH.new (a stale one
// from a crash is wiped first) and synced, renamed over PATH, and the
// directory synced; then the replaced file, still open, is overwritten with
// zeros and synced. `step` names the crash points passed on the way:
// STEP-temp (the new file written, not renamed) and STEP-stored (renamed,
// the old bytes not yet wiped).
Result<Unit> replace_key_file(const std::string& path, const SealingKeyState& state, std::string_view step);

}  // namespace orvex::audit_tool
