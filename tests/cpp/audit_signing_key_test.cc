// The signing key from ORVEX_SEED: every failure text, trimming, either
// letter case, and the RFC 8032 known answers.
#include "audit/signing_key.h"

#include <gtest/gtest.h>
#include <sodium.h>
#include <stdlib.h>

#include <optional>
#include <string>
#include <vector>

#include "common/hex.h"

namespace orvex::audit {
namespace {

// RFC 8032 section 7.1, test 1.
constexpr char kRfcSeed[] = "9d61b19deffd5a60ba844af492ec2cc44449c5697b326919703bac031cae7f60";
constexpr char kRfcPublicKey[] = "d75a980182b10ab7d54bfed3c964073a0ee172f3daa62325af021a68f707511a";
constexpr char kRfcEmptySignature[] =
    "e5564300c360ac729086e2cc806e828a84877f1eb8e5d974d873e065224901555fb8821590a33bacc61e39701cf9b46bd25bf5f0595bbe24655141438e7a100b";

std::vector<std::uint8_t> bytes_from_hex(std::string_view hex) {
  std::vector<std::uint8_t> bytes;
  for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
    bytes.push_back(static_cast<std::uint8_t>(std::stoi(std::string(hex.substr(i, 2)), nullptr, 16)));
  }
  return bytes;
}

std::string upper(std::string text) {
  for (char& c : text) {
    if (c >= 'a' && c <= 'f') c = static_cast<char>(c - 'a' + 'A');
  }
  return text;
}

// Sets ORVEX_SEED (or removes it) for one test and puts back what was there.
class SeedEnvironment : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* old = getenv(kSeedVariable);
    if (old != nullptr) saved_ = old;
  }
  void TearDown() override {
    if (saved_) {
      setenv(kSeedVariable, saved_->c_str(), 1);
    } else {
      unsetenv(kSeedVariable);
    }
  }

 private:
  std::optional<std::string> saved_;
};

struct SeedCase {
  std::string value;
  std::string expected;
};

const std::string kDigits62 = std::string(kRfcSeed).substr(0, 62);
const std::string kOk = std::string("OK ") + kRfcPublicKey;
const std::string kOdd = "Invalid ORVEX_SEED; expected hex string.: OddLength";
const std::string kLength = "Invalid ORVEX_SEED length; expected 32 bytes.: TryFromSliceError(())";
std::string bad(const std::string& c, int index) {
  return "Invalid ORVEX_SEED; expected hex string.: InvalidHexCharacter { c: " + c +
         ", index: " + std::to_string(index) + " }";
}

// The failure text of load_signing_key, or "OK <public key hex>".
std::string current_outcome() {
  Result<AuditKeyPair> key = load_signing_key();
  if (key.ok()) return "OK " + lowercase_hex(key.value().public_key());
  EXPECT_TRUE(key.failure().is_abort);
  return key.failure().message;
}

std::string load_with(const std::string& value) {
  setenv(kSeedVariable, value.c_str(), 1);
  return current_outcome();
}

void expect_outcomes(const std::vector<SeedCase>& cases) {
  for (const SeedCase& c : cases) EXPECT_EQ(load_with(c.value), c.expected) << "seed text: " << c.value;
}

TEST_F(SeedEnvironment, MissingVariable) {
  unsetenv(kSeedVariable);
  EXPECT_EQ(current_outcome(), "Veltrane requires ORVEX_SEED for integrity.: NotPresent");
}

std::string not_unicode(std::size_t length, std::size_t offset) {
  return "Veltrane requires ORVEX_SEED for integrity.: NotUnicode(" + std::to_string(length) +
         " bytes, not UTF-8 at byte " + std::to_string(offset) + ")";
}

// The value is the secret seed: the text gives its length and where it stops
// being UTF-8, and never a byte of it.
TEST_F(SeedEnvironment, ValueThatIsNotUtf8IsDescribedNotShown) {
  const std::string seed = kRfcSeed;
  expect_outcomes(
      {
          {"ab\xff", not_unicode(3, 2)},
          {"\xff", not_unicode(1, 0)},
          {"\xe2\x82", not_unicode(2, 0)},              // cut short at the end
          {"a\xe2\x82" "a", not_unicode(4, 1)},         // cut short before a letter
          {"\xc0\xaf", not_unicode(2, 0)},              // overlong form
          {"\xed\xa0\x80", not_unicode(3, 0)},          // a surrogate
          {"\xf4\x90\x80\x80", not_unicode(4, 0)},      // above U+10FFFF
          {" \t\xc3\xa9\xff ", not_unicode(6, 4)},      // white space counts, é is valid
          {seed + "\xff", not_unicode(65, 64)},
          {seed.substr(0, 40) + "\x80" + seed.substr(40), not_unicode(65, 40)},
      });
}

TEST_F(SeedEnvironment, OddByteLengthComesBeforeAnyCharacter) {
  expect_outcomes(
      {
          {kDigits62 + "0", kOdd},
          {std::string(kRfcSeed).substr(0, 63), kOdd},
          {"g", kOdd},
          {"xyz", kOdd},
          {kDigits62.substr(0, 30) + " " + kDigits62.substr(30), kOdd},  // blank inside, odd total
          {std::string(kRfcSeed) + "0", kOdd},
          {"\xc3\xa9" + kDigits62.substr(0, 61), kOdd},  // é counts two bytes
      });
}

TEST_F(SeedEnvironment, FirstBadCharacterIsNamedWithItsByteIndex) {
  const std::string seed = kRfcSeed;
  expect_outcomes(
      {
          {"0x" + kDigits62, bad("'x'", 1)},
          {seed.substr(0, 10) + " " + seed.substr(11), bad("' '", 10)},
          {seed.substr(0, 10) + "\t" + seed.substr(11), bad("'\\t'", 10)},
          {seed.substr(0, 63) + "g", bad("'g'", 63)},
          {"gg" + kDigits62, bad("'g'", 0)},
          {"'" + seed.substr(1), bad("'\\''", 0)},
          {"\x01" + seed.substr(1), bad("'\\u{1}'", 0)},
          {"\x7f" + seed.substr(1), bad("'\\u{7f}'", 0)},
          // Non-ASCII text shows its first UTF-8 byte as U+0000..U+00FF.
          {"\xc3\xa9" + kDigits62, bad("'\xc3\x83'", 0)},                            // é -> Ã
          {seed.substr(0, 20) + "\xc2\x85" + seed.substr(22), bad("'\xc3\x82'", 20)},  // NEL inside
          // The neighbours of the digit and letter ranges, in either case.
          {"/" + seed.substr(1), bad("'/'", 0)},
          {seed.substr(0, 1) + ":" + seed.substr(2), bad("':'", 1)},
          {"@" + seed.substr(1), bad("'@'", 0)},
          {"G" + seed.substr(1), bad("'G'", 0)},
          {"`" + seed.substr(1), bad("'`'", 0)},
          {seed.substr(0, 63) + "\x5b", bad("'['", 63)},
          // Bad characters are found before the length is judged.
          {seed + "0z", bad("'z'", 65)},
          {"z0", bad("'z'", 0)},
      });
}

// A seed of the right length whose digits do not all decode is refused as
// a whole first; the character is then named wherever it stands.
TEST_F(SeedEnvironment, BadCharacterAtAnyPlaceOfSixtyFourIsNamed) {
  const std::string seed = kRfcSeed;
  for (const char c : {'g', 'G', '/', ':', '@', '`', ' '}) {
    for (std::size_t at = 0; at < seed.size(); ++at) {
      if (c == ' ' && (at == 0 || at + 1 == seed.size())) continue;  // trimmed away: an odd length
      std::string value = seed;
      value[at] = c;
      EXPECT_EQ(load_with(value), bad("'" + std::string(1, c) + "'", static_cast<int>(at))) << value;
    }
  }
}

TEST_F(SeedEnvironment, DecodedLengthMustBeThirtyTwoBytes) {
  expect_outcomes(
      {
          {"", kLength},
          {"   ", kLength},
          {"\t\n\r \xe3\x80\x80", kLength},  // white space only, U+3000 included
          {kDigits62, kLength},
          {std::string(kRfcSeed) + "00", kLength},
          {"00", kLength},
      });
}

TEST_F(SeedEnvironment, WhiteSpaceAtBothEndsIsTrimmed) {
  const std::string seed = kRfcSeed;
  expect_outcomes(
      {
          {seed, kOk},
          {seed + "\n", kOk},
          {seed + "\r\n", kOk},
          {"  " + seed + "\t ", kOk},
          {"\x0b\x0c" + seed + "\x0d", kOk},
          {"\xc2\x85" + seed + "\xc2\xa0", kOk},              // U+0085, U+00A0
          {"\xe1\x9a\x80" + seed + "\xe2\x80\x8a", kOk},      // U+1680, U+200A
          {"\xe2\x80\xa8\xe2\x80\xa9" + seed + "\xe2\x80\xaf", kOk},  // U+2028, U+2029, U+202F
          {"\xe2\x81\x9f" + seed + "\xe3\x80\x80", kOk},      // U+205F, U+3000
          {"\xe2\x80\x80\x09" + seed + "\x0d\xe2\x80\x88", kOk},  // U+2000, U+0009 .. U+000D, U+2008
          // U+200B is not white space, so its first byte is a bad character.
          {"\xe2\x80\x8b" + seed.substr(0, 61), bad("'\xc3\xa2'", 0)},
      });
}

TEST_F(SeedEnvironment, EitherLetterCaseGivesTheSameKey) {
  const std::string seed = kRfcSeed;
  std::string mixed = seed;
  for (std::size_t i = 0; i < mixed.size(); i += 2) mixed[i] = upper(std::string(1, mixed[i]))[0];
  expect_outcomes({{seed, kOk}, {upper(seed), kOk}, {mixed, kOk}});
}

TEST_F(SeedEnvironment, EachCallReadsTheEnvironmentAgain) {
  EXPECT_EQ(load_with(kRfcSeed), kOk);
  const std::string other = load_with(std::string(64, '0'));
  EXPECT_EQ(other.substr(0, 3), "OK ");
  EXPECT_NE(other, kOk);
  unsetenv(kSeedVariable);
  EXPECT_EQ(current_outcome(), "Veltrane requires ORVEX_SEED for integrity.: NotPresent");
}

TEST(AuditKeyPair, Rfc8032TestVectorOne) {
  const std::vector<std::uint8_t> seed = bytes_from_hex(kRfcSeed);
  const AuditKeyPair pair = AuditKeyPair::from_seed(std::span<const std::uint8_t, kSeedBytes>(seed.data(), kSeedBytes));
  EXPECT_EQ(lowercase_hex(pair.public_key()), kRfcPublicKey);
  EXPECT_EQ(lowercase_hex(pair.sign("")), kRfcEmptySignature);
}

TEST(AuditKeyPair, SignatureVerifiesAndFailsAfterAnyFlippedByte) {
  const std::vector<std::uint8_t> seed = bytes_from_hex(kRfcSeed);
  const AuditKeyPair pair = AuditKeyPair::from_seed(std::span<const std::uint8_t, kSeedBytes>(seed.data(), kSeedBytes));
  const std::string message = R"({"a":1,"b":"two"})";
  const Signature signature = pair.sign(message);
  EXPECT_EQ(signature, pair.sign(message));  // deterministic

  const auto verifies = [&](const std::string& text, const Signature& sig) {
    return crypto_sign_verify_detached(sig.data(), reinterpret_cast<const unsigned char*>(text.data()), text.size(),
                                       pair.public_key().data()) == 0;
  };
  ASSERT_TRUE(verifies(message, signature));
  for (std::size_t i = 0; i < message.size(); ++i) {
    std::string tampered = message;
    tampered[i] = static_cast<char>(tampered[i] ^ 0x01);
    EXPECT_FALSE(verifies(tampered, signature)) << "message byte " << i;
  }
  for (std::size_t i = 0; i < signature.size(); ++i) {
    Signature tampered = signature;
    tampered[i] ^= 0x01;
    EXPECT_FALSE(verifies(message, tampered)) << "signature byte " << i;
  }
}

TEST(AuditKeyPair, MovingKeepsTheKey) {
  const std::vector<std::uint8_t> seed = bytes_from_hex(kRfcSeed);
  AuditKeyPair first = AuditKeyPair::from_seed(std::span<const std::uint8_t, kSeedBytes>(seed.data(), kSeedBytes));
  const AuditKeyPair second(std::move(first));
  EXPECT_EQ(lowercase_hex(second.public_key()), kRfcPublicKey);
  EXPECT_EQ(lowercase_hex(second.sign("")), kRfcEmptySignature);
}

}  // namespace
}  // namespace orvex::audit
