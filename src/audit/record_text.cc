#include "audit/record_text.h"

#include "audit/messages.h"
#include "json/writer.h"

namespace orvex::audit {

namespace {

// Writes one compact object whose members the caller adds in their final
// order; the writer neither sorts nor checks them.
class CompactObject {
 public:
  explicit CompactObject(std::string& out) : out_(out) { out_.push_back('{'); }
  CompactObject(const CompactObject&) = delete;
  CompactObject& operator=(const CompactObject&) = delete;

  void string(std::string_view key, std::string_view value) {
    name(key);
    json::write_string(value, out_);
  }
  void object(std::string_view key, const json::Object& members) {
    name(key);
    json::write_object(members, out_);
  }
  void null(std::string_view key) {
    name(key);
    out_.append("null");
  }
  // A denial's reason as a string, an allowed verdict's absent reason as null.
  void reason(std::string_view key, const validation::Verdict& verdict) {
    if (verdict.allowed) {
      null(key);
    } else {
      string(key, verdict.reason);
    }
  }
  void close() { out_.push_back('}'); }

 private:
  void name(std::string_view key) {
    if (!first_) out_.push_back(',');
    first_ = false;
    json::write_string(key, out_);
    out_.push_back(':');
  }

  std::string& out_;
  bool first_ = true;
};

std::string_view result_word(const validation::Verdict& verdict) {
  return verdict.allowed ? messages::kResultPass : messages::kResultFail;
}

}  // namespace

std::string build_signed_text(const documents::Intent& intent, const documents::ProposedAction& action,
                              const validation::Verdict& verdict, std::string_view timestamp) {
  namespace m = messages;
  std::string out;
  // Ascending byte order of the keys. params is a json::Object, which keeps
  // its members sorted at every depth, so no copy is re-sorted here.
  CompactObject object(out);
  object.object(m::kActionParams, action.params);
  object.string(m::kIntentId, intent.id);
  object.string(m::kMode, intent.mode);
  object.string(m::kObjective, intent.objective);
  object.reason(m::kReason, verdict);
  object.string(m::kResult, result_word(verdict));
  object.string(m::kTimestamp, timestamp);
  object.string(m::kVersion, intent.version);
  object.close();
  return out;
}

std::string build_record_text(const documents::Intent& intent, const documents::ProposedAction& action,
                              const validation::Verdict& verdict, std::string_view timestamp,
                              std::string_view public_key_hex, std::string_view signature_hex) {
  namespace m = messages;
  std::string out;
  CompactObject object(out);
  object.string(m::kTimestamp, timestamp);
  object.string(m::kIntentId, intent.id);
  object.string(m::kObjective, intent.objective);
  object.string(m::kMode, intent.mode);
  object.string(m::kVersion, intent.version);
  object.object(m::kActionParams, action.params);
  object.string(m::kResult, result_word(verdict));
  object.reason(m::kReason, verdict);
  object.string(m::kPublicKey, public_key_hex);
  object.string(m::kSignature, signature_hex);
  object.close();
  return out;
}

}  // namespace orvex::audit
