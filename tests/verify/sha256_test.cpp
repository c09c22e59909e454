#include "verify/sha256.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "openssl_test_keys.h"

namespace kest {
namespace {

using kest_test::Hex;

std::string DigestOf(const std::string& text) {
  Sha256 sha;
  sha.Update(text.data(), text.size());
  uint8_t d[kSha256DigestBytes];
  sha.Final(d);
  return Hex(d, sizeof d);
}

TEST(Sha256, KnownAnswers) {
  // The examples of FIPS 180-2 and the empty message.
  struct {
    const char* text;
    const char* digest;
  } const kCases[] = {
      {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
      {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
      {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
       "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
  };
  for (const auto& c : kCases) EXPECT_EQ(DigestOf(c.text), c.digest) << '"' << c.text << '"';
  EXPECT_EQ(DigestOf(std::string(1000000, 'a')),
            "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
}

TEST(Sha256, AgreesWithOpenSslAcrossPaddingBoundariesAndSplits) {
  // Lengths 0..200 cross the 55/56 and 63/64 bytes where the padding spills
  // into a second block; each message is also fed in two pieces split at
  // every point, and in pieces of 1 and 7 bytes.
  kest_test::Bytes data;
  for (size_t n = 0; n <= 200; ++n) {
    const kest_test::Bytes expected = kest_test::Sha256Of(data);
    uint8_t d[kSha256DigestBytes];
    for (size_t split = 0; split <= n; ++split) {
      Sha256 sha;
      sha.Update(data.data(), split);
      sha.Update(data.data() + split, n - split);
      sha.Final(d);
      ASSERT_EQ(kest_test::Bytes(d, d + sizeof d), expected) << n << " split at " << split;
    }
    for (size_t piece : {1, 7}) {
      Sha256 sha;
      for (size_t at = 0; at < n; at += piece) {
        sha.Update(data.data() + at, at + piece <= n ? piece : n - at);
      }
      sha.Final(d);
      EXPECT_EQ(kest_test::Bytes(d, d + sizeof d), expected) << n << " in pieces of " << piece;
    }
    data.push_back(uint8_t(n * 37 + 11));
  }
}

}  // namespace
}  // namespace kest
