// Binding of a call's arguments to a function's parameters, and their
// conversion to UTF-8 texts.
#pragma once

#include "module/py_ref.h"

#include <array>
#include <cstddef>
#include <span>
#include <string_view>

#include "common/result.h"
#include "module/owned_text.h"
#include "module/pending_error.h"

namespace orvex::module {

// The call signature of one module function. Every parameter may be passed
// by position or by keyword, all are required, and no other argument is
// accepted. The function belongs to no class, so its display name in
// messages is its name followed by "()".
struct Signature {
  std::string_view function_name;
  std::span<const std::string_view> parameters;
};

// No module function takes more parameters than this; a call's bound
// arguments live in fixed arrays instead of allocated ones.
inline constexpr std::size_t kMaxParameters = 3;

// The texts of one call's arguments, in parameter order.
class BoundTexts {
 public:
  void push(OwnedText text) { texts_[count_++] = std::move(text); }
  // REQUIRES: i < the number of parameters.
  std::string_view operator[](std::size_t i) const { return texts_[i].view(); }

 private:
  std::array<OwnedText, kMaxParameters> texts_;
  std::size_t count_ = 0;
};

// Binds a positional tuple and an optional keyword dictionary to the
// parameters of `signature`, then converts each bound str to its UTF-8 text,
// in parameter order. The first failure wins, in this order: too many
// positional arguments, an unknown or repeated keyword, missing arguments,
// then the first argument that is not a str or cannot be encoded.
// On success the texts are in parameter order.
// REQUIRES: signature.parameters.size() <= kMaxParameters.
Result<BoundTexts, PendingError> bind_arguments(const Signature& signature, PyObject* args, PyObject* kwargs);

}  // namespace orvex::module
