// Checks an input's text against the seals of its file while the text
// streams past on its way to the line checks: each seal's prefix is hashed
// and its lines counted, and the lines after the last seal are counted as
// unsealed. Costs one SHA-256 pass over the sealed part, nothing per line.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "fingerprint/sha256.h"
#include "orvex_audit/byte_source.h"
#include "orvex_audit/seal_chain.h"

namespace orvex::audit_tool {

class SealedPrefix final : public ByteSource {
 public:
  // `file` may be null: the input is sealed by nothing, and every line of it
  // is unsealed. REQUIRES: `inner` and `file` outlive this object.
  SealedPrefix(ByteSource& inner, const SealedFile* file);

  long read(char* buffer, std::size_t capacity) override;
  int read_error() const override { return inner_.read_error(); }

  // After the whole input has been read: why its text does not match its
  // seals (the first seal it fails, in order of length), or nullopt.
  std::optional<std::string> mismatch(const std::string& seal_file_path);
  // Lines after the longest sealed prefix, a last line without its line
  // feed included.
  std::uint64_t unsealed_lines() const;

 private:
  void take(const char* bytes, std::size_t size);
  // Compares the checkpoint that the text has just reached.
  void reach_checkpoint();

  ByteSource& inner_;
  std::vector<Checkpoint> checkpoints_;  // by length
  std::size_t next_ = 0;                 // the checkpoint not yet reached
  fingerprint::Sha256 hash_;
  std::uint64_t offset_ = 0;
  std::uint64_t lines_ = 0;        // line feeds before offset_, up to the last checkpoint
  std::uint64_t after_lines_ = 0;  // line feeds past the last checkpoint
  bool ends_with_feed_ = true;     // of the bytes past the last checkpoint
  std::optional<std::size_t> failed_;  // the first checkpoint that does not match
  bool failed_by_digest_ = false;
  std::uint64_t failed_lines_ = 0;
};

}  // namespace orvex::audit_tool
