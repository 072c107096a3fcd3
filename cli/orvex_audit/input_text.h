// The bytes of one input as the log's text: a gzip file (recognised by its
// first two bytes, 1f 8b, whatever its name) is decompressed on the fly, any
// other input passes through unchanged. Memory stays flat whatever the size.
#pragma once

#include <zlib.h>

#include "orvex_audit/byte_source.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace orvex::audit_tool {

class InputText final : public ByteSource {
 public:
  // REQUIRES: `fd` is open for reading and outlives this object, which does
  // not close it.
  explicit InputText(int fd);
  ~InputText() override;

  InputText(const InputText&) = delete;
  InputText& operator=(const InputText&) = delete;

  enum class Status { kData, kEnd, kReadError, kDamaged };

  // Up to out.size() bytes of text. kData: `got` > 0 bytes were placed.
  // kReadError: read_error() is the errno value. kDamaged: the compressed
  // stream is truncated or corrupt and damage() says how; the text before
  // the damage has been handed out whole. Each later call repeats the end
  // or the failure.
  // REQUIRES: !out.empty()
  Status read(std::span<char> out, std::size_t& got);

  // The byte source's form: the number of bytes, 0 at the end, -1 after a
  // read error (read_error() says which) or damage (damage() says how, and
  // read_error() is 0).
  long read(char* buffer, std::size_t capacity) override;
  int read_error() const override { return read_error_; }
  const std::string& damage() const { return damage_; }
  bool compressed() const { return compressed_; }

 private:
  // Reads raw bytes into raw_ from raw_used_ on; false at the end or on error.
  bool read_raw();
  // Fills `out` from the start of the input, once, to tell gzip from text.
  Status sniff();
  Status read_plain(std::span<char> out, std::size_t& got);
  Status read_gzip(std::span<char> out, std::size_t& got);
  Status fail_damaged(std::string text);

  DescriptorSource raw_source_;
  std::vector<unsigned char> raw_;
  std::size_t raw_used_ = 0;   // bytes in raw_
  std::size_t raw_taken_ = 0;  // of which already handed on
  bool raw_ended_ = false;
  bool sniffed_ = false;
  bool compressed_ = false;
  int read_error_ = 0;
  std::string damage_;
  std::string deferred_damage_;  // found after some text: reported on the next call

  z_stream stream_{};
  bool inflating_ = false;  // inflateInit2 succeeded: inflateEnd is owed
  bool member_ended_ = false;
  std::uint64_t members_ = 0;
  std::uint64_t text_bytes_ = 0;
  Status final_ = Status::kData;  // kData until an end or a failure
};

}  // namespace orvex::audit_tool
