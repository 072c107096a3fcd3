// The signed text and the record line, checked byte for byte against a
// fixed clock, and one end-to-end append under a known seed.
#include "audit/audit_record.h"

#include <gtest/gtest.h>
#include <sodium.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "audit/log_file.h"
#include "audit/record_text.h"
#include "audit/signing_key.h"
#include "common/hex.h"

namespace orvex::audit {
namespace {

using documents::Intent;
using documents::ProposedAction;
using json::JsonValue;
using json::Member;

constexpr char kRfcSeed[] = "9d61b19deffd5a60ba844af492ec2cc44449c5697b326919703bac031cae7f60";
constexpr char kRfcPublicKey[] = "d75a980182b10ab7d54bfed3c964073a0ee172f3daa62325af021a68f707511a";
constexpr char kExampleTime[] = "2026-03-01T09:30:15.250+00:00";
constexpr char kExampleReason[] = "Constraint violation: amount <= Number(100)";

// A key and a signature whose bytes count up, and their hex as a reader
// would write it: every byte in place, high digit first.
PublicKey counting_key() {
  PublicKey key{};
  for (std::size_t i = 0; i < key.size(); ++i) key[i] = static_cast<std::uint8_t>(i);
  return key;
}
Signature counting_signature() {
  Signature signature{};
  for (std::size_t i = 0; i < signature.size(); ++i) signature[i] = static_cast<std::uint8_t>(0xc0 + i);
  return signature;
}
constexpr char kCountingKeyHex[] = "000102030405060708090a0b0c0d0e0f101112131415161718191a1b1c1d1e1f";
constexpr char kCountingSignatureHex[] =
    "c0c1c2c3c4c5c6c7c8c9cacbcccdcecfd0d1d2d3d4d5d6d7d8d9dadbdcdddedfe0e1e2e3e4e5e6e7e8e9eaebecedeeeff0f1f2f3f4f5f6f7"
    "f8f9fafbfcfdfeff";
const std::string kCountingTail = std::string(R"(,"public_key":")") + kCountingKeyHex + R"(","signature":")" +
                                  kCountingSignatureHex + "\"}\n";

std::string counting_record_line(const Intent& intent, const ProposedAction& action, const Verdict& verdict) {
  return build_record_line(intent, action, verdict, kExampleTime, counting_key(), counting_signature());
}

Intent example_intent() {
  Intent intent;
  intent.id = "intent-42";
  intent.objective = "Restock office supplies";
  intent.mode = "strict";
  intent.version = "1.2";
  return intent;
}

// The params of the worked example, handed over in an unsorted order.
ProposedAction example_action() {
  JsonValue meta = JsonValue::object(json::make_object({
      {"z", JsonValue::unsigned_integer(1)},
      {"a", JsonValue::array({JsonValue::boolean(true), JsonValue()})},
  }));
  ProposedAction action;
  action.params = json::make_object({
      {"vendor", JsonValue::string("vendor-9")},
      {"amount", JsonValue::unsigned_integer(150)},
      {"meta", std::move(meta)},
  });
  return action;
}

std::vector<std::uint8_t> bytes_from_hex(std::string_view hex) {
  std::vector<std::uint8_t> bytes;
  for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
    bytes.push_back(static_cast<std::uint8_t>(std::stoi(std::string(hex.substr(i, 2)), nullptr, 16)));
  }
  return bytes;
}

bool signature_verifies(std::string_view text, std::string_view signature_hex, std::string_view public_key_hex) {
  const std::vector<std::uint8_t> signature = bytes_from_hex(signature_hex);
  const std::vector<std::uint8_t> public_key = bytes_from_hex(public_key_hex);
  if (signature.size() != crypto_sign_BYTES || public_key.size() != crypto_sign_PUBLICKEYBYTES) return false;
  return crypto_sign_verify_detached(signature.data(), reinterpret_cast<const unsigned char*>(text.data()),
                                     text.size(), public_key.data()) == 0;
}

// The text of string member `key` in a record line (no escapes expected).
std::string member_text(const std::string& line, const std::string& key) {
  const std::string start = "\"" + key + "\":\"";
  const std::size_t at = line.find(start);
  if (at == std::string::npos) return "";
  const std::size_t from = at + start.size();
  return line.substr(from, line.find('"', from) - from);
}

TEST(AuditRecordText, WorkedExampleSignedText) {
  EXPECT_EQ(build_signed_text(example_intent(), example_action(), Verdict::deny(kExampleReason), kExampleTime),
            R"j({"action_params":{"amount":150,"meta":{"a":[true,null],"z":1},"vendor":"vendor-9"},)j"
            R"j("intent_id":"intent-42","mode":"strict","objective":"Restock office supplies",)j"
            R"j("reason":"Constraint violation: amount <= Number(100)","result":"FAIL",)j"
            R"j("timestamp":"2026-03-01T09:30:15.250+00:00","version":"1.2"})j");
}

TEST(AuditRecordText, WorkedExampleRecordLine) {
  EXPECT_EQ(counting_record_line(example_intent(), example_action(), Verdict::deny(kExampleReason)),
            R"j({"timestamp":"2026-03-01T09:30:15.250+00:00","intent_id":"intent-42",)j"
            R"j("objective":"Restock office supplies","mode":"strict","version":"1.2",)j"
            R"j("action_params":{"amount":150,"meta":{"a":[true,null],"z":1},"vendor":"vendor-9"},)j"
            R"j("result":"FAIL","reason":"Constraint violation: amount <= Number(100)")j" +
                kCountingTail);
}

TEST(AuditRecordText, AllowedVerdictGivesPassAndNullReason) {
  const ProposedAction empty;
  EXPECT_EQ(build_signed_text(example_intent(), empty, Verdict::allow(), kExampleTime),
            R"j({"action_params":{},"intent_id":"intent-42","mode":"strict","objective":"Restock office supplies",)j"
            R"j("reason":null,"result":"PASS","timestamp":"2026-03-01T09:30:15.250+00:00","version":"1.2"})j");
  EXPECT_EQ(counting_record_line(example_intent(), empty, Verdict::allow()),
            R"j({"timestamp":"2026-03-01T09:30:15.250+00:00","intent_id":"intent-42",)j"
            R"j("objective":"Restock office supplies","mode":"strict","version":"1.2","action_params":{},)j"
            R"j("result":"PASS","reason":null)j" +
                kCountingTail);
}

TEST(AuditRecordText, SpecialCharactersAreEscapedOntoOneLine) {
  Intent intent = example_intent();
  intent.id = "a\"b\\c";
  intent.objective = "line\nfeed\ttab\x01";
  const std::string reason = "Missing required attribute: x\"\\\n\xc3\xa9";
  const std::string record = counting_record_line(intent, ProposedAction{}, Verdict::deny(reason));
  EXPECT_EQ(record,
            R"j({"timestamp":"2026-03-01T09:30:15.250+00:00","intent_id":"a\"b\\c",)j"
            R"j("objective":"line\nfeed\ttab\u0001","mode":"strict","version":"1.2","action_params":{},)j"
            R"j("result":"FAIL","reason":"Missing required attribute: x\"\\\n)j"
            "\xc3\xa9\"" +
                kCountingTail);
  EXPECT_EQ(record.find('\n'), record.size() - 1);
}

// The line is written after the signed text in the same buffer: a params
// object far beyond the room reserved for it moves the buffer between the
// two, and a second line replaces the first; the texts stay exact.
TEST(AuditRecordText, LargeParamsAndASecondLineKeepBothTextsExact) {
  const std::string note(3000, 'n');
  ProposedAction action;
  action.params = json::make_object({{"note", JsonValue::string(note)}});
  RecordText text(example_intent(), action, Verdict::allow(), kExampleTime);
  const std::string signed_text(text.signed_text());
  EXPECT_EQ(signed_text, R"j({"action_params":{"note":")j" + note +
                             R"j("},"intent_id":"intent-42","mode":"strict","objective":"Restock office supplies",)j"
                             R"j("reason":null,"result":"PASS","timestamp":"2026-03-01T09:30:15.250+00:00","version":"1.2"})j");
  const std::string first(text.line(PublicKey{}, Signature{}));
  EXPECT_EQ(first.substr(first.size() - 16), "0000000000000\"}\n");
  EXPECT_EQ(text.line(counting_key(), counting_signature()),
            R"j({"timestamp":"2026-03-01T09:30:15.250+00:00","intent_id":"intent-42",)j"
            R"j("objective":"Restock office supplies","mode":"strict","version":"1.2",)j"
            R"j("action_params":{"note":")j" +
                note + R"j("},"result":"PASS","reason":null)j" + kCountingTail);
  EXPECT_EQ(text.signed_text(), signed_text);
}

TEST(Hex, LowercaseTwoDigitsPerByteHighBitsFirst) {
  const std::vector<std::uint8_t> bytes = {0x00, 0x01, 0x0f, 0x10, 0x7f, 0x80, 0xab, 0xff};
  EXPECT_EQ(lowercase_hex(bytes), "00010f107f80abff");
  EXPECT_EQ(lowercase_hex(std::vector<std::uint8_t>{}), "");
}

// Runs a test inside a fresh working directory under ORVEX_SEED, and puts
// back the previous directory and variable afterwards.
class AuditRecordFile : public ::testing::Test {
 protected:
  void SetUp() override {
    old_directory_ = std::filesystem::current_path();
    if (const char* old = getenv(kSeedVariable)) old_seed_ = old;
    std::string pattern = (std::filesystem::temp_directory_path() / "orvex_audit_test.XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    directory_ = pattern;
    std::filesystem::current_path(directory_);
  }
  void TearDown() override {
    std::filesystem::current_path(old_directory_);
    std::filesystem::remove_all(directory_);
    if (old_seed_) {
      setenv(kSeedVariable, old_seed_->c_str(), 1);
    } else {
      unsetenv(kSeedVariable);
    }
  }

  std::vector<std::string> log_lines() const {
    std::ifstream in(directory_ / kLogFileName, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    std::vector<std::string> lines;
    std::string all = text.str();
    EXPECT_TRUE(all.empty() || all.back() == '\n');
    for (std::size_t start = 0; start < all.size();) {
      const std::size_t end = all.find('\n', start);
      lines.push_back(all.substr(start, end - start));
      start = end + 1;
    }
    return lines;
  }

  std::filesystem::path directory_;

 private:
  std::filesystem::path old_directory_;
  std::optional<std::string> old_seed_;
};

TEST_F(AuditRecordFile, LinesVerifyFromTheirOwnMembers) {
  setenv(kSeedVariable, kRfcSeed, 1);
  const Intent intent = example_intent();
  const ProposedAction action = example_action();
  ASSERT_TRUE(append_audit_record(intent, action, Verdict::deny(kExampleReason)).ok());
  ASSERT_TRUE(append_audit_record(intent, action, Verdict::allow()).ok());

  const std::vector<std::string> lines = log_lines();
  ASSERT_EQ(lines.size(), 2u);
  const Verdict verdicts[] = {Verdict::deny(kExampleReason), Verdict::allow()};
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const std::string timestamp = member_text(lines[i], "timestamp");
    const std::string signature = member_text(lines[i], "signature");
    EXPECT_EQ(member_text(lines[i], "public_key"), kRfcPublicKey);
    EXPECT_EQ(signature.size(), 128u);
    PublicKey key_bytes{};
    Signature signature_bytes{};
    ASSERT_TRUE(decode_hex(kRfcPublicKey, HexCase::LowerOnly, key_bytes));
    ASSERT_TRUE(decode_hex(signature, HexCase::LowerOnly, signature_bytes));
    EXPECT_EQ(lines[i] + "\n", build_record_line(intent, action, verdicts[i], timestamp, key_bytes, signature_bytes));
    const std::string signed_text = build_signed_text(intent, action, verdicts[i], timestamp);
    EXPECT_TRUE(signature_verifies(signed_text, signature, kRfcPublicKey)) << lines[i];
    // The record's own member order is not what was signed.
    EXPECT_FALSE(signature_verifies(lines[i].substr(0, lines[i].find(",\"public_key\"")) + "}", signature,
                                    kRfcPublicKey));
  }
}

TEST_F(AuditRecordFile, KeyFailureTouchesNoFile) {
  unsetenv(kSeedVariable);
  const Result<Unit> missing = append_audit_record(example_intent(), example_action(), Verdict::allow());
  ASSERT_FALSE(missing.ok());
  EXPECT_TRUE(missing.failure().is_abort);
  EXPECT_EQ(missing.failure().message, "Veltrane requires ORVEX_SEED for integrity.: NotPresent");

  setenv(kSeedVariable, "0x", 1);
  const Result<Unit> malformed = append_audit_record(example_intent(), example_action(), Verdict::allow());
  ASSERT_FALSE(malformed.ok());
  EXPECT_EQ(malformed.failure().message, "Invalid ORVEX_SEED; expected hex string.: InvalidHexCharacter { c: 'x', index: 1 }");

  EXPECT_FALSE(std::filesystem::exists(directory_ / kLogFileName));
}

TEST_F(AuditRecordFile, UnwritableLogLosesTheRecordOnly) {
  setenv(kSeedVariable, kRfcSeed, 1);
  std::filesystem::create_directory(directory_ / kLogFileName);
  EXPECT_TRUE(append_audit_record(example_intent(), example_action(), Verdict::allow()).ok());
  EXPECT_TRUE(std::filesystem::is_directory(directory_ / kLogFileName));
  EXPECT_TRUE(std::filesystem::is_empty(directory_ / kLogFileName));
}

}  // namespace
}  // namespace orvex::audit
