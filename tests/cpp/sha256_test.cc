// The streaming SHA-256 against FIPS 180-4 vectors and against libsodium's
// one-shot digest on many lengths and split points, on each path: the SHA
// instructions (where the processor has them) and the portable one.
#include <gtest/gtest.h>
#include <sodium.h>

#include <random>
#include <string>

#include "common/hex.h"
#include "fingerprint/sha256.h"

namespace orvex::fingerprint {
namespace {

class Sha256OnEachPath : public testing::TestWithParam<Sha256::Path> {
 protected:
  void SetUp() override {
    if (GetParam() == Sha256::Path::sha_instructions && !Sha256::uses_sha_instructions()) {
      GTEST_SKIP() << "this processor has no SHA instructions";
    }
  }

  Sha256 start() const {
    Sha256 hash(GetParam());
    EXPECT_EQ(hash.path(), GetParam());
    return hash;
  }

  std::string digest_hex(std::string_view text) const {
    Sha256 hash = start();
    hash.update(text);
    return lowercase_hex(hash.finish());
  }
};

std::string sodium_hex(std::string_view text) {
  Sha256Digest digest;
  crypto_hash_sha256(digest.data(), reinterpret_cast<const unsigned char*>(text.data()), text.size());
  return lowercase_hex(digest);
}

TEST_P(Sha256OnEachPath, KnownAnswers) {
  EXPECT_EQ(digest_hex(""), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
  EXPECT_EQ(digest_hex("abc"), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
  EXPECT_EQ(digest_hex("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq"),
            "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
  EXPECT_EQ(digest_hex(std::string(1000000, 'a')),
            "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
}

TEST_P(Sha256OnEachPath, AgreesWithLibsodiumOnEveryLengthAndSplit) {
  std::mt19937 random(7);
  std::string text;
  for (std::size_t length = 0; length < 300; ++length) {
    ASSERT_EQ(digest_hex(text), sodium_hex(text)) << "length " << length;
    // The same text fed in two pieces, split anywhere.
    const std::size_t split = length == 0 ? 0 : random() % (length + 1);
    Sha256 pieces = start();
    pieces.update(std::string_view(text).substr(0, split));
    pieces.update(std::string_view(text).substr(split));
    ASSERT_EQ(lowercase_hex(pieces.finish()), sodium_hex(text)) << "length " << length << " split " << split;
    text += static_cast<char>(random());
  }
}

TEST_P(Sha256OnEachPath, FlippingAnyBitChangesTheDigest) {
  std::string text(129, 'x');
  const std::string original = digest_hex(text);
  for (std::size_t i = 0; i < text.size(); i += 7) {
    text[i] ^= 1;
    EXPECT_NE(digest_hex(text), original);
    text[i] ^= 1;
  }
}

// A copy carries on from where the original stood (orvex-audit keeps the
// state at each line end this way), on either path.
TEST_P(Sha256OnEachPath, ACopyContinuesFromTheOriginalsState) {
  const std::string text(200, 'q');
  Sha256 hash = start();
  hash.update(std::string_view(text).substr(0, 70));
  Sha256 copy = hash;
  hash.update(std::string_view(text).substr(70));
  copy.update(std::string_view(text).substr(70));
  EXPECT_EQ(lowercase_hex(copy.finish()), sodium_hex(text));
  EXPECT_EQ(lowercase_hex(hash.finish()), sodium_hex(text));
}

INSTANTIATE_TEST_SUITE_P(Paths, Sha256OnEachPath,
                         testing::Values(Sha256::Path::sha_instructions, Sha256::Path::portable),
                         [](const testing::TestParamInfo<Sha256::Path>& info) {
                           return info.param == Sha256::Path::portable ? "Portable" : "ShaInstructions";
                         });

// Without a chosen path, the fastest one this processor has.
TEST(Sha256, TakesTheSHAInstructionsWhereTheProcessorHasThem) {
  EXPECT_EQ(Sha256().path(),
            Sha256::uses_sha_instructions() ? Sha256::Path::sha_instructions : Sha256::Path::portable);
}

}  // namespace
}  // namespace orvex::fingerprint
