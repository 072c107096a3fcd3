// The outcome of a step at the boundary: its value, or the exception that
// the caller will see.
#pragma once

#include <utility>
#include <variant>

#include "module/pending_error.h"

namespace orvex::module {

template <class T>
class [[nodiscard]] Fallible {
 public:
  Fallible(T value) : state_(std::in_place_index<0>, std::move(value)) {}
  Fallible(PendingError error) : state_(std::in_place_index<1>, std::move(error)) {}

  bool ok() const { return state_.index() == 0; }

  // REQUIRES: ok()
  T& value() & { return std::get<0>(state_); }
  T&& value() && { return std::get<0>(std::move(state_)); }

  // REQUIRES: !ok()
  PendingError&& error() && { return std::get<1>(std::move(state_)); }

 private:
  std::variant<T, PendingError> state_;
};

}  // namespace orvex::module
