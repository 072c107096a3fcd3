// The outcome of one validation. It lives below both the validation, which
// reaches it, and the audit trail, which records it, so that neither
// subsystem has to include the other's headers to speak of it.
#pragma once

#include <string>
#include <utility>

namespace orvex {

struct Verdict {
  bool allowed = true;
  std::string reason;  // the denial's text; empty when allowed

  static Verdict allow() { return Verdict{true, {}}; }
  static Verdict deny(std::string reason) { return Verdict{false, std::move(reason)}; }
};

}  // namespace orvex
