// Errors inside the system travel as values: every operation returns its
// result or exactly one failure. Only the module boundary turns a failure
// into a Python exception.
#pragma once

#include <string>
#include <utility>
#include <variant>

namespace orvex {

// One failure. An ordinary failure is reported to the caller as ValueError
// with `message` as its text; an abort stops the whole call and is reported
// as PanicException (it is reachable only through a missing or malformed
// signing seed).
struct Failure {
  std::string message;
  bool is_abort = false;

  static Failure ordinary(std::string text) { return Failure{std::move(text), false}; }
  static Failure abort(std::string text) { return Failure{std::move(text), true}; }
};

// The value of an operation that yields nothing but success or failure.
struct Unit {};

// A value of type T or one failure of type E; never both, never neither.
// The engine fails with a Failure; the module boundary uses the same
// template with the exception it will raise as E.
template <class T, class E = Failure>
class [[nodiscard]] Result {
 public:
  Result(T value) : state_(std::in_place_index<0>, std::move(value)) {}
  Result(E failure) : state_(std::in_place_index<1>, std::move(failure)) {}

  bool ok() const { return state_.index() == 0; }

  // REQUIRES: ok()
  const T& value() const& { return std::get<0>(state_); }
  T& value() & { return std::get<0>(state_); }
  T&& value() && { return std::get<0>(std::move(state_)); }

  // REQUIRES: !ok()
  const E& failure() const& { return std::get<1>(state_); }
  E&& failure() && { return std::get<1>(std::move(state_)); }

 private:
  std::variant<T, E> state_;
};

}  // namespace orvex
