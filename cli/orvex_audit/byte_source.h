// Where the bytes of one input come from. The line reader asks only for
// "the next bytes", so a plain descriptor and a decompressing reader can
// stand behind it alike.
#pragma once

#include <cstddef>

namespace orvex::audit_tool {

class ByteSource {
 public:
  virtual ~ByteSource() = default;

  // Reads up to `capacity` bytes into `buffer`. Returns the number read, 0
  // at the end of the input, or -1 with read_error() set (an errno value).
  virtual long read(char* buffer, std::size_t capacity) = 0;
  virtual int read_error() const = 0;
};

// The bytes of an open descriptor, read as they come; the descriptor is
// borrowed and stays open.
class DescriptorSource final : public ByteSource {
 public:
  // REQUIRES: `fd` is open for reading and outlives this object.
  explicit DescriptorSource(int fd) : fd_(fd) {}

  long read(char* buffer, std::size_t capacity) override;
  int read_error() const override { return read_error_; }

 private:
  int fd_;
  int read_error_ = 0;
};

}  // namespace orvex::audit_tool
