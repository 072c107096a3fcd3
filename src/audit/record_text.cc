#include "audit/record_text.h"

#include <initializer_list>
#include <utility>

#include "audit/audit_errors.h"
#include "json/writer.h"

namespace orvex::audit {

namespace {

// Member names are plain ASCII, so they go out without an escape scan.
struct Named {
  std::string_view key;
  RecordMembers::Member member;
};

constexpr Named kSignedOrder[] = {
    {messages::kActionParams, RecordMembers::kActionParams}, {messages::kIntentId, RecordMembers::kIntentId},
    {messages::kMode, RecordMembers::kMode},                 {messages::kObjective, RecordMembers::kObjective},
    {messages::kReason, RecordMembers::kReason},             {messages::kResult, RecordMembers::kResult},
    {messages::kTimestamp, RecordMembers::kTimestamp},       {messages::kVersion, RecordMembers::kVersion},
};

constexpr Named kRecordOrder[] = {
    {messages::kTimestamp, RecordMembers::kTimestamp}, {messages::kIntentId, RecordMembers::kIntentId},
    {messages::kObjective, RecordMembers::kObjective}, {messages::kMode, RecordMembers::kMode},
    {messages::kVersion, RecordMembers::kVersion},     {messages::kActionParams, RecordMembers::kActionParams},
    {messages::kResult, RecordMembers::kResult},       {messages::kReason, RecordMembers::kReason},
};

// Room for the punctuation and names of one member.
constexpr std::size_t kMemberOverhead = 20;

void append_name(std::string_view key, std::string& out) {
  out += '"';
  out += key;
  out += "\":";
}

}  // namespace

RecordMembers::RecordMembers(const documents::Intent& intent, const documents::ProposedAction& action,
                             const validation::Verdict& verdict, std::string_view timestamp) {
  values_.reserve(timestamp.size() + intent.id.size() + intent.objective.size() + intent.mode.size() +
                  intent.version.size() + verdict.reason.size() + 128);
  // Written in the order of the Member enumeration.
  auto mark = [this](Member m) { starts_[m] = values_.size(); };
  mark(kTimestamp);
  json::write_string(timestamp, values_);
  mark(kIntentId);
  json::write_string(intent.id, values_);
  mark(kObjective);
  json::write_string(intent.objective, values_);
  mark(kMode);
  json::write_string(intent.mode, values_);
  mark(kVersion);
  json::write_string(intent.version, values_);
  mark(kActionParams);
  // params keeps its members in ascending key order at every depth, so it
  // is written as it is held.
  json::write_object(action.params, values_);
  mark(kResult);
  json::write_string(verdict.allowed ? messages::kResultPass : messages::kResultFail, values_);
  mark(kReason);
  if (verdict.allowed) {
    values_ += "null";
  } else {
    json::write_string(verdict.reason, values_);
  }
  starts_[kCount] = values_.size();
}

std::string_view RecordMembers::value(Member member) const {
  return std::string_view(values_).substr(starts_[member], starts_[member + 1] - starts_[member]);
}

std::string RecordMembers::signed_text() const {
  std::string out;
  out.reserve(values_.size() + kCount * kMemberOverhead);
  out += '{';
  for (const Named& named : kSignedOrder) {
    if (out.size() > 1) out += ',';
    append_name(named.key, out);
    out += value(named.member);
  }
  out += '}';
  return out;
}

std::string RecordMembers::record_text(std::string_view public_key_hex, std::string_view signature_hex) const {
  std::string out;
  out.reserve(values_.size() + public_key_hex.size() + signature_hex.size() + (kCount + 2) * kMemberOverhead);
  out += '{';
  for (const Named& named : kRecordOrder) {
    if (out.size() > 1) out += ',';
    append_name(named.key, out);
    out += value(named.member);
  }
  for (const auto& [key, hex] : {std::pair{messages::kPublicKey, public_key_hex},
                                 std::pair{messages::kSignature, signature_hex}}) {
    out += ',';
    append_name(key, out);
    json::write_string(hex, out);
  }
  out += '}';
  return out;
}

std::string build_signed_text(const documents::Intent& intent, const documents::ProposedAction& action,
                              const validation::Verdict& verdict, std::string_view timestamp) {
  return RecordMembers(intent, action, verdict, timestamp).signed_text();
}

std::string build_record_text(const documents::Intent& intent, const documents::ProposedAction& action,
                              const validation::Verdict& verdict, std::string_view timestamp,
                              std::string_view public_key_hex, std::string_view signature_hex) {
  return RecordMembers(intent, action, verdict, timestamp).record_text(public_key_hex, signature_hex);
}

}  // namespace orvex::audit
