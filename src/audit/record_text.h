// The two texts of one audit record, built without any I/O so that they can
// be checked against a fixed clock: the signed text and the record line,
// each with its members as audit/record_layout.h orders them.
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

#include "audit/record_layout.h"
#include "audit/signing_key.h"
#include "common/verdict.h"
#include "documents/intent_action_state.h"

namespace orvex::audit {

// Both texts in one buffer: the signed text first, its member values
// written once, then the record line copied together from those values.
// One buffer, sized for both at the start, is one allocation per record.
class RecordText {
 public:
  // Writes the signed text. "reason" is null and "result" "PASS" for an
  // allowed verdict; a denied one gives "FAIL" and its reason text.
  RecordText(const documents::Intent& intent, const documents::ProposedAction& action, const Verdict& verdict,
             std::string_view timestamp);

  // The compact object of the signed members, in the signed text's order,
  // whose UTF-8 bytes are signed. Valid until line() is called.
  std::string_view signed_text() const { return std::string_view(text_).substr(0, signed_size_); }

  // Writes the record line, replacing any line written before, and returns
  // it: the compact record, every member in the record's order with the key
  // and the signature as lowercase hex, then its line feed. Valid until
  // this object changes or dies.
  std::string_view line(const PublicKey& public_key, const Signature& signature);

 private:
  struct Span {
    std::size_t start = 0;
    std::size_t size = 0;
  };

  std::string text_;  // the signed text, then the record line
  std::size_t signed_size_ = 0;
  std::array<Span, record_layout::kSignedCount> values_{};  // each signed value within the signed text
};

// One-shot forms of the two texts; the record line ends in its line feed.
std::string build_signed_text(const documents::Intent& intent, const documents::ProposedAction& action,
                              const Verdict& verdict, std::string_view timestamp);
std::string build_record_line(const documents::Intent& intent, const documents::ProposedAction& action,
                              const Verdict& verdict, std::string_view timestamp, const PublicKey& public_key,
                              const Signature& signature);

}  // namespace orvex::audit
