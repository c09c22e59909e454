#include "verify/md5.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "openssl_test_keys.h"

namespace kest {
namespace {

using kest_test::Hex;

std::string DigestOf(const std::string& text) {
  Md5 md5;
  md5.Update(text.data(), text.size());
  uint8_t d[kMd5DigestBytes];
  md5.Final(d);
  return Hex(d, sizeof d);
}

TEST(Md5, KnownAnswers) {
  // The test suite of RFC 1321.
  struct {
    const char* text;
    const char* digest;
  } const kCases[] = {
      {"", "d41d8cd98f00b204e9800998ecf8427e"},
      {"a", "0cc175b9c0f1b6a831c399e269772661"},
      {"abc", "900150983cd24fb0d6963f7d28e17f72"},
      {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
      {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
      {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789",
       "d174ab98d277d9f5a5611c2c9f419d9f"},
      {"1234567890123456789012345678901234567890123456789012345678901234567890123456789"
       "0",
       "57edf4a22be3c955ac49da2e2107b67a"},
  };
  for (const auto& c : kCases) EXPECT_EQ(DigestOf(c.text), c.digest) << '"' << c.text << '"';
  EXPECT_EQ(DigestOf(std::string(1000000, 'a')), "7707d6ae4e027c70eea2a935c2296f21");
}

TEST(Md5, AgreesWithOpenSslAcrossPaddingBoundaries) {
  // Lengths 0..200 cross the 55/56 and 63/64 bytes where the padding spills
  // into a second block.
  kest_test::Bytes data;
  for (size_t n = 0; n <= 200; ++n) {
    kest_test::Bytes expected = kest_test::Md5Of(data);
    Md5 md5;
    md5.Update(data.data(), data.size());
    uint8_t d[kMd5DigestBytes];
    md5.Final(d);
    EXPECT_EQ(Hex(d, sizeof d), Hex(expected.data(), expected.size())) << "length " << n;
    data.push_back(uint8_t(n * 131 + 7));
  }
}

TEST(Md5, SplitInputGivesTheSameDigest) {
  std::string data;
  for (int i = 0; i < 300; ++i) data += char(i * 37 + i / 7);
  const std::string whole = DigestOf(data);
  for (size_t a = 0; a <= data.size(); ++a) {
    // Two pieces at every point, and three with the second piece 1..70 long.
    Md5 two;
    two.Update(data.data(), a);
    two.Update(data.data() + a, data.size() - a);
    uint8_t d[kMd5DigestBytes];
    two.Final(d);
    ASSERT_EQ(Hex(d, sizeof d), whole) << "split at " << a;
    size_t b = a + 1 + a % 70;
    if (b > data.size()) continue;
    Md5 three;
    three.Update(data.data(), a);
    three.Update(data.data() + a, b - a);
    three.Update(data.data() + b, data.size() - b);
    three.Final(d);
    ASSERT_EQ(Hex(d, sizeof d), whole) << "split at " << a << ", " << b;
  }
}

TEST(Md5, FinalLeavesTheObjectReadyForANewMessage) {
  Md5 md5;
  md5.Update("garbage", 7);
  uint8_t d[kMd5DigestBytes];
  md5.Final(d);
  md5.Update("abc", 3);
  md5.Final(d);
  EXPECT_EQ(Hex(d, sizeof d), "900150983cd24fb0d6963f7d28e17f72");
}

}  // namespace
}  // namespace kest
