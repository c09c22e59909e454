#include "verify/rsa_public_key.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <vector>

#include "openssl_test_keys.h"

namespace kest {
namespace {

using kest_test::Bytes;

Bytes Tlv(uint8_t tag, const Bytes& content) {
  Bytes out = {tag};
  if (content.size() >= 0x100) {
    out.push_back(0x82);
    out.push_back(uint8_t(content.size() >> 8));
  } else if (content.size() >= 0x80) {
    out.push_back(0x81);
  }
  out.push_back(uint8_t(content.size()));
  out.insert(out.end(), content.begin(), content.end());
  return out;
}

Bytes Cat(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

const Bytes kRsaAlgorithm = {0x30, 0x0D, 0x06, 0x09, 0x2A, 0x86, 0x48, 0x86,
                             0xF7, 0x0D, 0x01, 0x01, 0x01, 0x05, 0x00};

// A SubjectPublicKeyInfo from the contents of the two INTEGERs.
Bytes Spki(const Bytes& modulus, const Bytes& exponent, const Bytes& algorithm = kRsaAlgorithm,
           uint8_t unused_bits = 0) {
  Bytes rsa = Tlv(0x30, Cat(Tlv(0x02, modulus), Tlv(0x02, exponent)));
  return Tlv(0x30, Cat(algorithm, Tlv(0x03, Cat({unused_bits}, rsa))));
}

Bytes Modulus(size_t bytes) {
  Bytes m(bytes, 0x9D);
  m[0] = 0xC3;
  m.back() = 0x35;
  return Cat({0x00}, m);  // sign byte
}

TEST(RsaPublicKeyDer, ReadsTheRepositoryTestKeyAndOpenSslKeys) {
  std::ifstream in(KEST_SOURCE_DIR "/tests/keys/test-signing-key.der", std::ios::binary);
  Bytes der((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  ASSERT_EQ(der.size(), 126u);
  RsaPublicKey key;
  ASSERT_TRUE(ParseRsaPublicKeyDer(der.data(), der.size(), &key));
  EXPECT_EQ(key.modulus_bytes, 96u);
  EXPECT_EQ(Bytes(key.exponent, key.exponent + key.exponent_bytes), Bytes({1, 0, 1}));

  for (unsigned e : {3u, 65537u}) {
    kest_test::OpenSslKey fresh(768, e);
    Bytes fresh_der = fresh.PublicKeyDer();
    RsaPublicKey expected = fresh.PublicKey();
    ASSERT_TRUE(ParseRsaPublicKeyDer(fresh_der.data(), fresh_der.size(), &key)) << e;
    EXPECT_EQ(Bytes(key.modulus, key.modulus + key.modulus_bytes),
              Bytes(expected.modulus, expected.modulus + expected.modulus_bytes));
    EXPECT_EQ(Bytes(key.exponent, key.exponent + key.exponent_bytes),
              Bytes(expected.exponent, expected.exponent + expected.exponent_bytes));
  }
}

TEST(RsaPublicKeyDer, AcceptsOnlyStrictEncodingsOfA768BitKey) {
  const Bytes e65537 = {0x01, 0x00, 0x01};
  const Bytes good = Spki(Modulus(96), e65537);
  ASSERT_EQ(good.size(), 126u);
  Bytes non_minimal_length = good;
  non_minimal_length.insert(non_minimal_length.begin() + 1, 0x81);
  Bytes sha1_with_rsa = kRsaAlgorithm;
  sha1_with_rsa[12] = 0x05;
  const Bytes no_null = {0x30, 0x0B, 0x06, 0x09, 0x2A, 0x86, 0x48,
                         0x86, 0xF7, 0x0D, 0x01, 0x01, 0x01};
  const Bytes signed_modulus = Modulus(96);
  Bytes unsigned_modulus(signed_modulus.begin() + 1, signed_modulus.end());
  Bytes small_top = unsigned_modulus;
  small_top[0] = 0x43;  // 767 bits, minimally encoded

  struct {
    const char* name;
    Bytes der;
    bool accepted;
  } const kCases[] = {
      {"exponent 65537", good, true},
      {"exponent 3", Spki(Modulus(96), {3}), true},
      {"large odd exponent", Spki(Modulus(96), Bytes(96, 0x7F)), true},
      {"trailing byte", Cat(good, {0x00}), false},
      {"long-form length where short form fits", non_minimal_length, false},
      {"other algorithm", Spki(Modulus(96), e65537, sha1_with_rsa), false},
      {"algorithm without NULL", Spki(Modulus(96), e65537, no_null), false},
      {"unused bits in BIT STRING", Spki(Modulus(96), e65537, kRsaAlgorithm, 1), false},
      {"negative modulus", Spki(unsigned_modulus, e65537), false},
      {"767-bit modulus", Spki(small_top, e65537), false},
      {"767-bit modulus with a needless zero", Spki(Cat({0x00}, small_top), e65537), false},
      {"95-byte modulus", Spki(Modulus(95), e65537), false},
      {"1024-bit modulus", Spki(Modulus(128), e65537), false},
      {"even exponent", Spki(Modulus(96), {0x01, 0x00, 0x02}), false},
      {"exponent 1", Spki(Modulus(96), {1}), false},
      {"exponent with a needless zero", Spki(Modulus(96), {0x00, 0x03}), false},
      {"negative exponent", Spki(Modulus(96), {0x83}), false},
      {"empty exponent", Spki(Modulus(96), {}), false},
      {"exponent longer than the modulus", Spki(Modulus(96), Cat({0x01}, Bytes(96, 3))), false},
  };
  for (const auto& c : kCases) {
    RsaPublicKey key;
    EXPECT_EQ(ParseRsaPublicKeyDer(c.der.data(), c.der.size(), &key), c.accepted) << c.name;
  }
}

TEST(RsaPublicKeyDer, ReadsA3072BitKeyOnlyWhenThatSizeIsAskedFor) {
  std::ifstream in(KEST_SOURCE_DIR "/tests/keys/test-modern-key.der", std::ios::binary);
  const Bytes modern((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  ASSERT_EQ(modern.size(), 422u);
  const RsaPublicKey expected = kest_test::TestModernKey().PublicKey();
  const Bytes e65537 = {0x01, 0x00, 0x01};
  const Bytes built = Spki(Modulus(384), e65537);
  ASSERT_EQ(built.size(), 422u);
  const Bytes first = Spki(Modulus(96), e65537);
  Bytes padded_length = first;  // 30 82 00 7C: a two-byte length below 0x100
  padded_length.insert(padded_length.begin() + 1, {0x82, 0x00});
  struct {
    const char* name;
    Bytes der;
    size_t bits;
    bool accepted;
  } const kCases[] = {
      {"the repository's modern TEST key", modern, 3072, true},
      {"built 3072-bit key", built, 3072, true},
      {"3072-bit key read as 768-bit", modern, 768, false},
      {"768-bit key read as 3072-bit", first, 3072, false},
      {"3071-bit size asked for", built, 3071, false},
      {"size beyond capacity", Spki(Modulus(392), e65537), 3136, false},
      {"length 82 00 7C", padded_length, 768, false},
      {"3064-bit modulus", Spki(Modulus(383), e65537), 3072, false},
  };
  for (const auto& c : kCases) {
    RsaPublicKey key;
    EXPECT_EQ(ParseRsaPublicKeyDer(c.der.data(), c.der.size(), &key, c.bits), c.accepted)
        << c.name;
  }
  RsaPublicKey key;
  ASSERT_TRUE(ParseRsaPublicKeyDer(modern.data(), modern.size(), &key, kModernModulusBits));
  EXPECT_EQ(Bytes(key.modulus, key.modulus + key.modulus_bytes),
            Bytes(expected.modulus, expected.modulus + expected.modulus_bytes));
  for (size_t n = 0; n < modern.size(); ++n) {
    Bytes cut(modern.begin(), modern.begin() + n);
    EXPECT_FALSE(ParseRsaPublicKeyDer(cut.data(), cut.size(), &key, kModernModulusBits)) << n;
  }
}

TEST(RsaPublicKeyDer, RefusesEveryTruncation) {
  const Bytes good = Spki(Modulus(96), {0x01, 0x00, 0x01});
  for (size_t n = 0; n < good.size(); ++n) {
    Bytes cut(good.begin(), good.begin() + n);  // own allocation: ASan sees overreads
    RsaPublicKey key;
    EXPECT_FALSE(ParseRsaPublicKeyDer(cut.data(), cut.size(), &key)) << n;
  }
}

}  // namespace
}  // namespace kest
