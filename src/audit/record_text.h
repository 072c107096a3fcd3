// The two texts of one audit record, built without any I/O so that they can
// be checked against a fixed clock: the signed text (members in ascending
// key order) and the record line (members in the record's own order).
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

#include "documents/intent_action_state.h"
#include "validation/verdict.h"

namespace orvex::audit {

// The compact value texts of the eight members that both the signed text
// and the record carry, each written once and shared by the two.
class RecordMembers {
 public:
  // `reason` is null and `result` "PASS" for an allowed verdict; a denied one
  // gives "FAIL" and its reason text.
  RecordMembers(const documents::Intent& intent, const documents::ProposedAction& action,
                const validation::Verdict& verdict, std::string_view timestamp);

  // The compact object {"action_params","intent_id","mode","objective",
  // "reason","result","timestamp","version"} whose UTF-8 bytes are signed.
  std::string signed_text() const;

  // The compact record, without its line feed: timestamp, intent_id,
  // objective, mode, version, action_params, result, reason, public_key,
  // signature, in that order. The two hex texts are written as given.
  std::string record_text(std::string_view public_key_hex, std::string_view signature_hex) const;

  enum Member { kTimestamp, kIntentId, kObjective, kMode, kVersion, kActionParams, kResult, kReason, kCount };

 private:
  std::string_view value(Member member) const;

  std::string values_;  // the eight value texts back to back
  std::array<std::size_t, kCount + 1> starts_{};
};

// One-shot forms of the two texts.
std::string build_signed_text(const documents::Intent& intent, const documents::ProposedAction& action,
                              const validation::Verdict& verdict, std::string_view timestamp);
std::string build_record_text(const documents::Intent& intent, const documents::ProposedAction& action,
                              const validation::Verdict& verdict, std::string_view timestamp,
                              std::string_view public_key_hex, std::string_view signature_hex);

}  // namespace orvex::audit
