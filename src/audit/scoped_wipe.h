// Overwrites a buffer of secret material with zeros when the scope ends, on
// every path out of it. sodium_memzero is used because a plain memset of a
// buffer about to die may be removed by the compiler.
#pragma once

#include <sodium.h>

#include <cstddef>

namespace orvex::audit {

class ScopedWipe {
 public:
  // REQUIRES: [data, data + size) outlives this object.
  ScopedWipe(void* data, std::size_t size) : data_(data), size_(size) {}
  template <class Buffer>
  explicit ScopedWipe(Buffer& buffer) : ScopedWipe(buffer.data(), buffer.size() * sizeof(buffer[0])) {}

  ScopedWipe(const ScopedWipe&) = delete;
  ScopedWipe& operator=(const ScopedWipe&) = delete;

  ~ScopedWipe() { sodium_memzero(data_, size_); }

 private:
  void* data_;
  std::size_t size_;
};

}  // namespace orvex::audit
