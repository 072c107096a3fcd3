// The seal line: its exact text and signed text under a known seed, the
// reader's acceptance of exactly what the writer writes, and the reason
// given for every other line.
#include "orvex_audit/seal_line.h"

#include <gtest/gtest.h>
#include <sodium.h>

#include <string>
#include <vector>

#include "orvex_audit/log_summary.h"

namespace orvex::audit_tool {
namespace {

constexpr char kRfcPublicKey[] = "d75a980182b10ab7d54bfed3c964073a0ee172f3daa62325af021a68f707511a";
const std::string kDigest(64, 'a');
const std::string kPrevious(128, 'b');
const std::string kSignature(128, 'c');

audit::AuditKeyPair rfc_key() {
  std::array<std::uint8_t, audit::kSeedBytes> seed{};
  const char* hex = "9d61b19deffd5a60ba844af492ec2cc44449c5697b326919703bac031cae7f60";
  for (std::size_t i = 0; i < seed.size(); ++i) seed[i] = static_cast<std::uint8_t>(std::stoi(std::string(hex + 2 * i, 2), nullptr, 16));
  return audit::AuditKeyPair::from_seed(seed);
}

Seal example_seal() {
  Seal seal;
  seal.file = "orvex_audit.log-20261209-020000";
  seal.bytes = 1234;
  seal.lines = 5;
  seal.sha256.fill(0xaa);
  seal.first = "2026-12-09T01:00:00.250+00:00";
  seal.last = "2026-12-09T01:59:59+00:00";
  seal.sealed_at = "2026-12-09T02:00:01.123456+00:00";
  audit::Signature previous;
  previous.fill(0xbb);
  seal.previous = previous;
  seal.public_key.fill(0x11);
  seal.signature.fill(0xcc);
  return seal;
}

// The example's line as the writer must write it.
std::string example_line() {
  return R"({"seal":1,"file":"orvex_audit.log-20261209-020000","bytes":1234,"lines":5,"sha256":")" + kDigest +
         R"(","first":"2026-12-09T01:00:00.250+00:00","last":"2026-12-09T01:59:59+00:00",)"
         R"("sealed_at":"2026-12-09T02:00:01.123456+00:00","previous":")" + kPrevious +
         R"(","public_key":")" + std::string(64, '1') + R"(","signature":")" + kSignature + R"("})";
}

std::string replaced(std::string text, const std::string& from, const std::string& to) {
  const std::size_t at = text.find(from);
  EXPECT_NE(at, std::string::npos) << from;
  return text.replace(at, from.size(), to);
}

TEST(SealLine, WritesTheMembersInTheirOrder) { EXPECT_EQ(seal_line_text(example_seal()), example_line()); }

TEST(SealLine, SignedTextHasEveryMemberButTheSignatureInAscendingOrder) {
  EXPECT_EQ(seal_signed_text(example_seal()),
            R"({"bytes":1234,"file":"orvex_audit.log-20261209-020000","first":"2026-12-09T01:00:00.250+00:00",)"
            R"("last":"2026-12-09T01:59:59+00:00","lines":5,"previous":")" + kPrevious +
                R"(","public_key":")" + std::string(64, '1') +
                R"(","seal":1,"sealed_at":"2026-12-09T02:00:01.123456+00:00","sha256":")" + kDigest + R"("})");
}

TEST(SealLine, FirstSealOfAChainAndAnEmptyFileWriteNull) {
  Seal seal = example_seal();
  seal.previous.reset();
  seal.first.reset();
  seal.last.reset();
  const std::string line = seal_line_text(seal);
  EXPECT_NE(line.find(R"("first":null,"last":null,)"), std::string::npos) << line;
  EXPECT_NE(line.find(R"("previous":null,)"), std::string::npos) << line;
  const Result<Seal> read = read_seal_line(line);
  ASSERT_TRUE(read.ok()) << read.failure().message;
  EXPECT_FALSE(read.value().previous.has_value());
  EXPECT_FALSE(read.value().first.has_value());
}

TEST(SealLine, ReadsBackWhatItWrites) {
  const Result<Seal> read = read_seal_line(example_line());
  ASSERT_TRUE(read.ok()) << read.failure().message;
  EXPECT_EQ(seal_line_text(read.value()), example_line());
  EXPECT_EQ(read.value().bytes, 1234u);
  EXPECT_EQ(read.value().lines, 5u);
  EXPECT_EQ(read.value().file, "orvex_audit.log-20261209-020000");
}

TEST(SealLine, SignedUnderTheSeedAndCheckedIndependently) {
  Seal seal = example_seal();
  sign_seal(seal, rfc_key());
  std::string key_hex;
  for (std::uint8_t byte : seal.public_key) {
    char digits[3];
    std::snprintf(digits, sizeof digits, "%02x", byte);
    key_hex += digits;
  }
  EXPECT_EQ(key_hex, kRfcPublicKey);
  const std::string text = seal_signed_text(seal);
  EXPECT_EQ(crypto_sign_verify_detached(seal.signature.data(), reinterpret_cast<const unsigned char*>(text.data()),
                                        text.size(), seal.public_key.data()),
            0);
  EXPECT_TRUE(seal_signature_valid(seal));
}

// Changing any byte of a signed line either makes it no seal or breaks the
// signature: nothing in the line is outside the signature's reach.
TEST(SealLine, FlippingAnyByteFailsReadingOrTheSignature) {
  Seal seal = example_seal();
  sign_seal(seal, rfc_key());
  const std::string line = seal_line_text(seal);
  ASSERT_TRUE(seal_signature_valid(read_seal_line(line).value()));
  for (std::size_t at = 0; at < line.size(); ++at) {
    for (const char replacement : {'0', 'f', '"', '9', 'a'}) {
      if (line[at] == replacement) continue;
      std::string changed = line;
      changed[at] = replacement;
      const Result<Seal> read = read_seal_line(changed);
      EXPECT_TRUE(!read.ok() || !seal_signature_valid(read.value())) << changed;
    }
  }
}

TEST(SealLine, EveryProperPrefixFails) {
  const std::string line = example_line();
  for (std::size_t size = 0; size < line.size(); ++size) {
    EXPECT_FALSE(read_seal_line(line.substr(0, size)).ok()) << size;
  }
}

struct BadLine {
  std::string line;
  std::string reason;
};

TEST(SealLine, ReasonsForLinesThatAreNoSeals) {
  const std::string good = example_line();
  const std::vector<BadLine> cases = {
      {"", "not a seal: not JSON: EOF while parsing a value at column 0"},
      {"hello", "not a seal: not JSON: expected value at column 1"},
      {"[1]", "not a seal: not a JSON object"},
      {"{}", "not a seal: missing member \"seal\""},
      {R"({"seal":1})", "not a seal: missing member \"file\""},
      {R"({"file":"x"})", "not a seal: member 1 is \"file\" where \"seal\" belongs"},
      {replaced(good, R"("seal":1)", R"("seal":3)"), "not a seal: seal format 3 is not known"},
      {replaced(good, R"("seal":1)", R"("seal":2)"), "not a seal: member 2 is \"file\" where \"chain\" belongs"},
      {replaced(good, R"("seal":1)", R"("seal":"1")"), "not a seal: \"seal\" is not a whole number below 2^63"},
      {replaced(good, R"("bytes":1234)", R"("bytes":-1)"), "not a seal: \"bytes\" is not a whole number below 2^63"},
      {replaced(good, R"("bytes":1234)", R"("bytes":1.5)"), "not a seal: \"bytes\" is not a whole number below 2^63"},
      {replaced(good, R"("bytes":1234)", R"("bytes":9223372036854775808)"),
       "not a seal: \"bytes\" is not a whole number below 2^63"},
      {replaced(good, R"("lines":5)", R"("lines":null)"), "not a seal: \"lines\" is not a whole number below 2^63"},
      {replaced(good, "orvex_audit.log-20261209-020000", "logs/x"),
       "not a seal: \"file\" is not a file's base name (not empty, no \"/\", not \".\" or \"..\")"},
      {replaced(good, "\"orvex_audit.log-20261209-020000\"", "\"..\""),
       "not a seal: \"file\" is not a file's base name (not empty, no \"/\", not \".\" or \"..\")"},
      {replaced(good, "\"orvex_audit.log-20261209-020000\"", "\"\""),
       "not a seal: \"file\" is not a file's base name (not empty, no \"/\", not \".\" or \"..\")"},
      {replaced(good, kDigest, std::string(64, 'A')), "not a seal: \"sha256\" is not 64 lowercase hexadecimal digits"},
      {replaced(good, kDigest, std::string(62, 'a')), "not a seal: \"sha256\" is not 64 lowercase hexadecimal digits"},
      {replaced(good, R"("first":"2026-12-09T01:00:00.250+00:00")", R"("first":"a b")"),
       "not a seal: \"first\" is not a timestamp text or null"},
      {replaced(good, R"("last":"2026-12-09T01:59:59+00:00")", R"("last":7)"),
       "not a seal: \"last\" is not a timestamp text or null"},
      {replaced(good, R"("sealed_at":"2026-12-09T02:00:01.123456+00:00")", R"("sealed_at":null)"),
       "not a seal: \"sealed_at\" is not a timestamp text"},
      {replaced(good, kPrevious, "x"), "not a seal: \"previous\" is not null or 128 lowercase hexadecimal digits"},
      {replaced(good, std::string(64, '1'), std::string(64, 'g')),
       "not a seal: \"public_key\" is not 64 lowercase hexadecimal digits"},
      {replaced(good, kSignature, kDigest), "not a seal: \"signature\" is not 128 lowercase hexadecimal digits"},
      {replaced(good, "\"}", "\",\"more\":1}"), "not a seal: extra member after \"signature\""},
      {replaced(good, ",\"signature\"", ",\"signature2\""),
       "not a seal: member 11 is \"signature2\" where \"signature\" belongs"},
      // Spellings that another writer might choose but this one never does.
      {replaced(good, "{\"seal\"", "{ \"seal\""), "not a seal: not written as the sealer writes it, at column 2"},
      {replaced(good, "\"bytes\":1234", "\"bytes\":1234 "), "not a seal: not written as the sealer writes it, at column 64"},
      {replaced(good, "\"file\":\"orvex", "\"file\":\"\\u006frvex"),
       "not a seal: not written as the sealer writes it, at column 19"},
      {good + " ", "not a seal: not written as the sealer writes it, at column " + std::to_string(good.size() + 1)},
      {replaced(good, "\"seal\"", "\"s\\u0065al\""), "not a seal: member 1 is \"s\\u0065al\" where \"seal\" belongs"},
  };
  for (const BadLine& bad : cases) {
    const Result<Seal> read = read_seal_line(bad.line);
    ASSERT_FALSE(read.ok()) << bad.line;
    EXPECT_EQ(read.failure().message, bad.reason) << bad.line;
  }
}

Seal example_chain_seal() {
  Seal seal = example_seal();
  seal.format = kChainSealFormat;
  seal.chain = "web-1.example";
  seal.sequence = 7;
  seal.next_key.fill(0x22);
  return seal;
}

std::string example_chain_line() {
  return R"({"seal":2,"chain":"web-1.example","sequence":7,"file":"orvex_audit.log-20261209-020000","bytes":1234,)"
         R"("lines":5,"sha256":")" + kDigest +
         R"(","first":"2026-12-09T01:00:00.250+00:00","last":"2026-12-09T01:59:59+00:00",)"
         R"("sealed_at":"2026-12-09T02:00:01.123456+00:00","previous":")" + kPrevious +
         R"(","public_key":")" + std::string(64, '1') + R"(","next_key":")" + std::string(64, '2') +
         R"(","signature":")" + kSignature + R"("})";
}

TEST(ChainSealLine, WritesTheMembersInTheirOrderAndSignsThemSorted) {
  EXPECT_EQ(seal_line_text(example_chain_seal()), example_chain_line());
  EXPECT_EQ(seal_signed_text(example_chain_seal()),
            R"({"bytes":1234,"chain":"web-1.example","file":"orvex_audit.log-20261209-020000",)"
            R"("first":"2026-12-09T01:00:00.250+00:00","last":"2026-12-09T01:59:59+00:00","lines":5,"next_key":")" +
                std::string(64, '2') + R"(","previous":")" + kPrevious + R"(","public_key":")" +
                std::string(64, '1') + R"(","seal":2,"sealed_at":"2026-12-09T02:00:01.123456+00:00","sequence":7,)"
                R"("sha256":")" + kDigest + R"("})");
}

TEST(ChainSealLine, ReadsBackWhatItWritesAndEveryByteCounts) {
  const Result<Seal> read = read_seal_line(example_chain_line());
  ASSERT_TRUE(read.ok()) << read.failure().message;
  EXPECT_EQ(read.value().format, kChainSealFormat);
  EXPECT_EQ(read.value().chain, "web-1.example");
  EXPECT_EQ(read.value().sequence, 7u);
  EXPECT_EQ(read.value().next_key, example_chain_seal().next_key);
  Seal seal = example_chain_seal();
  sign_seal(seal, rfc_key());
  const std::string line = seal_line_text(seal);
  ASSERT_TRUE(seal_signature_valid(read_seal_line(line).value()));
  for (std::size_t at = 0; at < line.size(); ++at) {
    std::string changed = line;
    changed[at] = changed[at] == '3' ? '4' : '3';
    const Result<Seal> changed_read = read_seal_line(changed);
    EXPECT_TRUE(!changed_read.ok() || !seal_signature_valid(changed_read.value())) << changed;
  }
  for (std::size_t size = 0; size < line.size(); ++size) EXPECT_FALSE(read_seal_line(line.substr(0, size)).ok());
}

TEST(ChainSealLine, ReasonsForItsOwnMembers) {
  const std::string good = example_chain_line();
  const std::string bad_name =
      "not a seal: \"chain\" is not a chain name (1 to 64 letters, digits, \".\", \"_\" or \"-\", not starting "
      "with \"-\")";
  const std::vector<BadLine> cases = {
      {replaced(good, "\"web-1.example\"", "\"-web\""), bad_name},
      {replaced(good, "\"web-1.example\"", "\"a b\""), bad_name},
      {replaced(good, "\"web-1.example\"", "\"" + std::string(65, 'a') + "\""), bad_name},
      {replaced(good, "\"web-1.example\"", "7"), bad_name},
      {replaced(good, R"("sequence":7)", R"("sequence":-7)"), "not a seal: \"sequence\" is not a whole number below 2^63"},
      {replaced(good, std::string(64, '2'), "null"), "not a seal: \"next_key\" is not 64 lowercase hexadecimal digits"},
      {replaced(good, R"(,"next_key":")" + std::string(64, '2') + "\"", ""),
       "not a seal: member 13 is \"signature\" where \"next_key\" belongs"},
      {replaced(good, R"("chain":"web-1.example","sequence":7,)", ""),
       "not a seal: member 2 is \"file\" where \"chain\" belongs"},
  };
  for (const BadLine& bad : cases) {
    const Result<Seal> read = read_seal_line(bad.line);
    ASSERT_FALSE(read.ok()) << bad.line;
    EXPECT_EQ(read.failure().message, bad.reason) << bad.line;
  }
}

TEST(SealLine, LongLinesAreRefusedUnread) {
  const std::string line = example_line() + std::string(kMaxSealLineBytes, ' ');
  const Result<Seal> read = read_seal_line(line);
  ASSERT_FALSE(read.ok());
  EXPECT_EQ(read.failure().message, "not a seal: line longer than 4096 bytes");
}

TEST(SealLine, TimestampAndNameRules) {
  EXPECT_TRUE(is_timestamp_text("2026-03-01T09:30:15.123456700+00:00"));
  EXPECT_TRUE(is_timestamp_text("2026-03-01T09:30:15Z"));
  EXPECT_FALSE(is_timestamp_text(""));
  EXPECT_FALSE(is_timestamp_text(std::string(kMaxTimestampBytes + 1, '1')));
  EXPECT_TRUE(is_timestamp_text(std::string(kMaxTimestampBytes, '1')));
  EXPECT_FALSE(is_timestamp_text("2026 03"));
  EXPECT_FALSE(is_timestamp_text("a\"b"));
  EXPECT_TRUE(is_sealable_name("orvex_audit.log.gz"));
  EXPECT_TRUE(is_sealable_name("journal \xc3\xa9t\xc3\xa9"));
  EXPECT_FALSE(is_sealable_name("bad \xff name"));
  EXPECT_FALSE(is_sealable_name("a/b"));
  EXPECT_FALSE(is_sealable_name("."));
}

}  // namespace
}  // namespace orvex::audit_tool
