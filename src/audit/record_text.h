// The two texts of one audit record, built without any I/O so that they can
// be checked against a fixed clock: the signed text and the record line,
// each with its members as audit/record_layout.h orders them.
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

#include "audit/record_layout.h"
#include "common/verdict.h"
#include "documents/intent_action_state.h"

namespace orvex::audit {

// The compact value texts of the signed members, which both the signed text
// and the record carry, each written once and shared by the two.
class RecordMembers {
 public:
  // "reason" is null and "result" "PASS" for an allowed verdict; a denied
  // one gives "FAIL" and its reason text.
  RecordMembers(const documents::Intent& intent, const documents::ProposedAction& action, const Verdict& verdict,
                std::string_view timestamp);

  // The compact object of the signed members, in the signed text's order,
  // whose UTF-8 bytes are signed.
  std::string signed_text() const;

  // The compact record, without its line feed: every member in the record's
  // order, the two hex texts written as given.
  std::string record_text(std::string_view public_key_hex, std::string_view signature_hex) const;

 private:
  // REQUIRES: member < record_layout::kSignedCount.
  std::string_view value(record_layout::Member member) const;

  std::string values_;  // the signed members' value texts back to back
  std::array<std::size_t, record_layout::kSignedCount + 1> starts_{};
};

// One-shot forms of the two texts.
std::string build_signed_text(const documents::Intent& intent, const documents::ProposedAction& action,
                              const Verdict& verdict, std::string_view timestamp);
std::string build_record_text(const documents::Intent& intent, const documents::ProposedAction& action,
                              const Verdict& verdict, std::string_view timestamp, std::string_view public_key_hex,
                              std::string_view signature_hex);

}  // namespace orvex::audit
