// The outcome of one validation.
#pragma once

#include <string>

namespace orvex::validation {

struct Verdict {
  bool allowed = true;
  std::string reason;  // the denial's text; empty when allowed

  static Verdict allow() { return Verdict{true, {}}; }
  static Verdict deny(std::string reason) { return Verdict{false, std::move(reason)}; }
};

}  // namespace orvex::validation
