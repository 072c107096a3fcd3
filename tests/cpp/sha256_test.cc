// The streaming SHA-256 against FIPS 180-4 vectors and against libsodium's
// one-shot digest on many lengths and split points.
#include <gtest/gtest.h>
#include <sodium.h>

#include <random>
#include <string>

#include "common/hex.h"
#include "fingerprint/sha256.h"

namespace orvex::fingerprint {
namespace {

std::string digest_hex(std::string_view text) {
  Sha256 hash;
  hash.update(text);
  return lowercase_hex(hash.finish());
}

std::string sodium_hex(std::string_view text) {
  Sha256Digest digest;
  crypto_hash_sha256(digest.data(), reinterpret_cast<const unsigned char*>(text.data()), text.size());
  return lowercase_hex(digest);
}

TEST(Sha256, KnownAnswers) {
  EXPECT_EQ(digest_hex(""), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
  EXPECT_EQ(digest_hex("abc"), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
  EXPECT_EQ(digest_hex("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq"),
            "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
  EXPECT_EQ(digest_hex(std::string(1000000, 'a')),
            "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
}

TEST(Sha256, AgreesWithLibsodiumOnEveryLengthAndSplit) {
  std::mt19937 random(7);
  std::string text;
  for (std::size_t length = 0; length < 300; ++length) {
    ASSERT_EQ(digest_hex(text), sodium_hex(text)) << "length " << length;
    // The same text fed in two pieces, split anywhere.
    const std::size_t split = length == 0 ? 0 : random() % (length + 1);
    Sha256 pieces;
    pieces.update(std::string_view(text).substr(0, split));
    pieces.update(std::string_view(text).substr(split));
    ASSERT_EQ(lowercase_hex(pieces.finish()), sodium_hex(text)) << "length " << length << " split " << split;
    text += static_cast<char>(random());
  }
}

TEST(Sha256, FlippingAnyBitChangesTheDigest) {
  std::string text(129, 'x');
  const std::string original = digest_hex(text);
  for (std::size_t i = 0; i < text.size(); i += 7) {
    text[i] ^= 1;
    EXPECT_NE(digest_hex(text), original);
    text[i] ^= 1;
  }
}

}  // namespace
}  // namespace orvex::fingerprint
