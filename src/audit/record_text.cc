#include "audit/record_text.h"

#include "json/writer.h"

namespace orvex::audit {

namespace layout = record_layout;

namespace {

// Room for the punctuation and names of one member.
constexpr std::size_t kMemberOverhead = 20;

// Member names need no escapes (the layout checks it), so they go out
// without an escape scan.
void append_name(layout::Member member, std::string& out) {
  out += '"';
  out += layout::kNames[member];
  out += "\":";
}

}  // namespace

RecordMembers::RecordMembers(const documents::Intent& intent, const documents::ProposedAction& action,
                             const Verdict& verdict, std::string_view timestamp) {
  values_.reserve(timestamp.size() + intent.id.size() + intent.objective.size() + intent.mode.size() +
                  intent.version.size() + verdict.reason.size() + 128);
  // Written in the layout's order, each value's start marked before it. The
  // switch names every member, so a member added to the layout is a compiler
  // warning here until the writer knows its value.
  for (std::size_t i = 0; i < layout::kSignedCount; ++i) {
    starts_[i] = values_.size();
    switch (static_cast<layout::Member>(i)) {
      case layout::kTimestamp:
        json::write_string(timestamp, values_);
        break;
      case layout::kIntentId:
        json::write_string(intent.id, values_);
        break;
      case layout::kObjective:
        json::write_string(intent.objective, values_);
        break;
      case layout::kMode:
        json::write_string(intent.mode, values_);
        break;
      case layout::kVersion:
        json::write_string(intent.version, values_);
        break;
      case layout::kActionParams:
        // params keeps its members in ascending key order at every depth,
        // so it is written as it is held.
        json::write_object(action.params, values_);
        break;
      case layout::kResult:
        json::write_string(verdict.allowed ? layout::kResultPass : layout::kResultFail, values_);
        break;
      case layout::kReason:
        if (verdict.allowed) {
          values_ += "null";
        } else {
          json::write_string(verdict.reason, values_);
        }
        break;
      case layout::kPublicKey:
      case layout::kSignature:
      case layout::kMemberCount:
        // Not signed: the key and the signature are known only once the
        // signed text is.
        break;
    }
  }
  starts_[layout::kSignedCount] = values_.size();
}

std::string_view RecordMembers::value(layout::Member member) const {
  return std::string_view(values_).substr(starts_[member], starts_[member + 1] - starts_[member]);
}

std::string RecordMembers::signed_text() const {
  std::string out;
  out.reserve(values_.size() + layout::kSignedCount * kMemberOverhead);
  out += '{';
  for (const layout::Member member : layout::kSignedOrder) {
    if (out.size() > 1) out += ',';
    append_name(member, out);
    out += value(member);
  }
  out += '}';
  return out;
}

std::string RecordMembers::record_text(std::string_view public_key_hex, std::string_view signature_hex) const {
  std::string out;
  out.reserve(values_.size() + public_key_hex.size() + signature_hex.size() +
              layout::kMemberCount * kMemberOverhead);
  out += '{';
  for (std::size_t i = 0; i < layout::kMemberCount; ++i) {
    const auto member = static_cast<layout::Member>(i);
    if (i > 0) out += ',';
    append_name(member, out);
    if (member == layout::kPublicKey) {
      json::write_string(public_key_hex, out);
    } else if (member == layout::kSignature) {
      json::write_string(signature_hex, out);
    } else {
      out += value(member);
    }
  }
  out += '}';
  return out;
}

std::string build_signed_text(const documents::Intent& intent, const documents::ProposedAction& action,
                              const Verdict& verdict, std::string_view timestamp) {
  return RecordMembers(intent, action, verdict, timestamp).signed_text();
}

std::string build_record_text(const documents::Intent& intent, const documents::ProposedAction& action,
                              const Verdict& verdict, std::string_view timestamp, std::string_view public_key_hex,
                              std::string_view signature_hex) {
  return RecordMembers(intent, action, verdict, timestamp).record_text(public_key_hex, signature_hex);
}

}  // namespace orvex::audit
