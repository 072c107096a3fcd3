// An argument's UTF-8 text, owned by the call that converted it.
#pragma once

#include "module/py_ref.h"

#include <cstddef>
#include <string_view>
#include <utility>

namespace orvex::module {

// Keeps the bytes object that the UTF-8 encoder made and lends its bytes
// out, so a large argument exists once as a str and once as UTF-8, never a
// third time. The bytes are immutable, and they live until this owner goes.
class OwnedText {
 public:
  // No text yet; view() must not be called.
  OwnedText() = default;
  // REQUIRES: `bytes` holds a bytes object.
  explicit OwnedText(PyRef bytes) : bytes_(std::move(bytes)) {}

  // Valid while this owner lives; U+0000 characters are kept.
  std::string_view view() const {
    return {PyBytes_AsString(bytes_.get()), static_cast<std::size_t>(PyBytes_Size(bytes_.get()))};
  }

 private:
  PyRef bytes_;
};

}  // namespace orvex::module
