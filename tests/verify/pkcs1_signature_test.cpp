#include "verify/pkcs1_signature.h"

#include <gtest/gtest.h>
#include <openssl/bn.h>

#include <cstring>

#include "openssl_test_keys.h"

namespace kest {
namespace {

using kest_test::Bytes;
using kest_test::OpenSslKey;

const Bytes kMd5DigestInfo = {0x30, 0x20, 0x30, 0x0C, 0x06, 0x08, 0x2A, 0x86, 0x48,
                              0x86, 0xF7, 0x0D, 0x02, 0x05, 0x05, 0x00, 0x04, 0x10};

Bytes Cat(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

bool Verify(const RsaPublicKey& key, const Bytes& digest, const Bytes& signature) {
  uint8_t d[kMd5DigestBytes];
  memcpy(d, digest.data(), sizeof d);
  return VerifyMd5Signature(key, d, signature.data(), signature.size());
}

// How a careless verifier reads the block: skip the FF run, find the 00,
// match the DigestInfo and the digest, and ignore whatever follows.
bool LenientVerify(const RsaPublicKey& key, const Bytes& digest, const Bytes& signature) {
  Bytes block(key.modulus_bytes);
  if (!ModularPower(signature.data(), key.exponent, key.exponent_bytes, key.modulus,
                    key.modulus_bytes, block.data())) {
    return false;
  }
  size_t i = 2;
  if (block[0] != 0 || block[1] != 1) return false;
  while (i < block.size() && block[i] == 0xFF) ++i;
  if (i + 1 + 34 > block.size() || block[i++] != 0) return false;
  return Bytes(block.begin() + i, block.begin() + i + 18) == kMd5DigestInfo &&
         Bytes(block.begin() + i + 18, block.begin() + i + 34) == digest;
}

// The smallest s with s^3 >= value (value big-endian).
Bytes CeilingCubeRoot(const Bytes& value, size_t out_bytes) {
  BN_CTX* ctx = BN_CTX_new();
  BIGNUM* target = BN_bin2bn(value.data(), int(value.size()), nullptr);
  BIGNUM* root = BN_new();
  BIGNUM* cube = BN_new();
  BN_zero(root);
  // Floor cube root, bit by bit from the top, then one up unless exact.
  for (int bit = BN_num_bits(target) / 3 + 1; bit >= 0; --bit) {
    BN_set_bit(root, bit);
    BN_sqr(cube, root, ctx);
    BN_mul(cube, cube, root, ctx);
    if (BN_cmp(cube, target) > 0) BN_clear_bit(root, bit);
  }
  BN_sqr(cube, root, ctx);
  BN_mul(cube, cube, root, ctx);
  if (BN_cmp(cube, target) < 0) BN_add_word(root, 1);
  Bytes out(out_bytes);
  BN_bn2binpad(root, out.data(), int(out_bytes));
  BN_free(target);
  BN_free(root);
  BN_free(cube);
  BN_CTX_free(ctx);
  return out;
}

TEST(Md5Signature, AgreesWithOpenSslSignatures) {
  const struct {
    int bits;
    unsigned e;
  } kKeys[] = {{768, 65537}, {768, 3}, {1024, 3}};
  for (const auto& k : kKeys) {
    OpenSslKey key(k.bits, k.e);
    RsaPublicKey pub = key.PublicKey();
    for (size_t size : {0, 1, 100, 70000}) {
      Bytes data(size);
      for (size_t i = 0; i < size; ++i) data[i] = uint8_t(i * 7 + size);
      Bytes signature = key.SignMd5(data);
      Bytes digest = kest_test::Md5Of(data);
      EXPECT_TRUE(Verify(pub, digest, signature)) << k.bits << "/" << k.e << " " << size;
      Bytes flipped = signature;
      flipped[size % flipped.size()] ^= 0x10;
      EXPECT_FALSE(Verify(pub, digest, flipped)) << "flipped signature bit";
      digest[15] ^= 1;
      EXPECT_FALSE(Verify(pub, digest, signature)) << "other digest";
    }
  }
}

TEST(Md5Signature, RefusesEveryBlockButTheExactEncoding) {
  // Blocks that a parsing verifier may take for a signature of digest, each
  // made into a "signature" with the private key: only the exact block may
  // pass.
  OpenSslKey key(768, 65537);
  RsaPublicKey pub = key.PublicKey();
  const Bytes digest = kest_test::Md5Of(Bytes{'k', 'e', 's', 't'});
  const size_t k = 96;
  auto block = [&](const Bytes& head, size_t ff, const Bytes& tail) {
    Bytes b = Cat(Cat(head, Bytes(ff, 0xFF)), tail);
    b.resize(k, 0x5A);  // trailing garbage where the tail is short
    return b;
  };
  const Bytes body = Cat(Cat({0x00}, kMd5DigestInfo), digest);  // 00 DigestInfo digest
  Bytes sha1_info = kMd5DigestInfo;
  sha1_info[13] = 0x06;
  Bytes no_null = {0x30, 0x1E, 0x30, 0x0A, 0x06, 0x08, 0x2A, 0x86, 0x48,
                   0x86, 0xF7, 0x0D, 0x02, 0x05, 0x04, 0x10};
  Bytes bad_padding = block({0x00, 0x01}, 59, body);
  bad_padding[30] = 0xFE;

  struct {
    const char* name;
    Bytes block;
    bool accepted;
  } const kCases[] = {
      {"exact block", block({0x00, 0x01}, 59, body), true},
      {"garbage after the digest", block({0x00, 0x01}, 1, body), false},
      {"padding byte not FF", bad_padding, false},
      {"block type 2", block({0x00, 0x02}, 59, body), false},
      {"leading byte not zero", block({0x01, 0x01}, 58, body), false},
      {"other digest algorithm", block({0x00, 0x01}, 59, Cat(Cat({0x00}, sha1_info), digest)),
       false},
      {"DigestInfo without NULL parameters", block({0x00, 0x01}, 61, Cat(Cat({0x00}, no_null), digest)),
       false},
  };
  for (const auto& c : kCases) {
    ASSERT_EQ(c.block.size(), k) << c.name;
    Bytes signature = key.RawPrivate(c.block);
    EXPECT_EQ(Verify(pub, digest, signature), c.accepted) << c.name;
  }
}

TEST(Md5Signature, RefusesTheLowExponentForgery) {
  // With e = 3 and no private key at all: choose the block
  //   00 01 FF 00 DigestInfo digest GARBAGE
  // and take the smallest cube at or above it. The garbage absorbs the
  // difference, so the cube keeps the prefix; being below the modulus, the
  // cube is what the public operation returns. The fixed prefix is 38 bytes,
  // so this works once it is under a third of the modulus: 1024 bits here
  // (at 768 bits the cubes lie too far apart).
  OpenSslKey key(1024, 3);
  RsaPublicKey pub = key.PublicKey();
  const size_t k = pub.modulus_bytes;
  ASSERT_EQ(k, 128u);
  const Bytes digest = kest_test::Md5Of(Bytes{'p', 'a', 'y', 'l', 'o', 'a', 'd'});
  Bytes prefix = Cat(Cat({0x00, 0x01, 0xFF, 0x00}, kMd5DigestInfo), digest);
  Bytes low = prefix, high = prefix;
  low.resize(k, 0x00);
  high.resize(k, 0xFF);

  Bytes forged = CeilingCubeRoot(low, k);
  Bytes cube(k);
  ASSERT_TRUE(ModularPower(forged.data(), pub.exponent, pub.exponent_bytes, pub.modulus, k,
                           cube.data()));
  ASSERT_TRUE(cube >= low && cube <= high) << "the cube keeps the prefix";

  EXPECT_TRUE(LenientVerify(pub, digest, forged)) << "a parsing verifier is fooled";
  EXPECT_FALSE(Verify(pub, digest, forged));
  // The key itself is sound: its genuine signatures pass.
  Bytes data = {'p', 'a', 'y', 'l', 'o', 'a', 'd'};
  EXPECT_TRUE(Verify(pub, digest, key.SignMd5(data)));
}

TEST(Md5Signature, RefusesSignaturesOfTheWrongSizeOrRange) {
  OpenSslKey key(768, 65537);
  RsaPublicKey pub = key.PublicKey();
  Bytes data = {1, 2, 3};
  Bytes digest = kest_test::Md5Of(data);
  Bytes signature = key.SignMd5(data);
  ASSERT_TRUE(Verify(pub, digest, signature));
  Bytes longer = Cat({0x00}, signature);
  Bytes shorter(signature.begin() + 1, signature.end());
  Bytes modulus = key.Modulus();
  // s + n has the same residue as s; it must still be refused.
  BIGNUM* s = BN_bin2bn(signature.data(), int(signature.size()), nullptr);
  BIGNUM* n = BN_bin2bn(modulus.data(), int(modulus.size()), nullptr);
  BN_add(s, s, n);
  Bytes wrapped(96);
  bool fits = BN_num_bytes(s) <= 96;
  if (fits) BN_bn2binpad(s, wrapped.data(), 96);
  BN_free(s);
  BN_free(n);
  EXPECT_FALSE(Verify(pub, digest, longer));
  EXPECT_FALSE(Verify(pub, digest, shorter));
  EXPECT_FALSE(Verify(pub, digest, modulus)) << "signature equal to the modulus";
  if (fits) EXPECT_FALSE(Verify(pub, digest, wrapped)) << "signature plus modulus";
}

TEST(Sha256Signature, AgreesWithOpenSslAndRefusesEveryOtherBlock) {
  // The repository's RSA-3072 TEST key signs; OpenSSL is the independent
  // signer, and blocks made with the private key stand for what a forger
  // could aim at.
  const OpenSslKey& key = kest_test::TestModernKey();
  const RsaPublicKey pub = key.PublicKey();
  ASSERT_EQ(pub.modulus_bytes, 384u);
  auto verify = [&](const Bytes& digest, const Bytes& signature) {
    uint8_t d[kSha256DigestBytes];
    memcpy(d, digest.data(), sizeof d);
    return VerifySha256Signature(pub, d, signature.data(), signature.size());
  };
  const Bytes data = {'s', 'i', 'g', 'n', 'e', 'd'};
  const Bytes digest = kest_test::Sha256Of(data);
  const Bytes sha256_info = {0x30, 0x31, 0x30, 0x0D, 0x06, 0x09, 0x60, 0x86, 0x48, 0x01,
                             0x65, 0x03, 0x04, 0x02, 0x01, 0x05, 0x00, 0x04, 0x20};
  auto block = [&](const Bytes& head, size_t ff, const Bytes& tail) {
    Bytes b = Cat(Cat(head, Bytes(ff, 0xFF)), tail);
    b.resize(384, 0x5A);
    return b;
  };
  const Bytes body = Cat(Cat({0x00}, sha256_info), digest);
  Bytes sha512_info = sha256_info;
  sha512_info[14] = 0x03;
  const Bytes genuine = key.SignSha256(data);
  Bytes flipped = genuine;
  flipped[100] ^= 0x04;
  Bytes other_digest = digest;
  other_digest[31] ^= 1;

  struct {
    const char* name;
    Bytes digest, signature;
    bool accepted;
  } const kCases[] = {
      {"OpenSSL's signature", digest, genuine, true},
      {"exact block", digest, key.RawPrivate(block({0x00, 0x01}, 330, body)), true},
      {"signature bit flipped", digest, flipped, false},
      {"other digest", other_digest, genuine, false},
      {"MD5 signature of the same data", digest, key.SignMd5(data), false},
      {"garbage after the digest", digest, key.RawPrivate(block({0x00, 0x01}, 8, body)), false},
      {"other digest algorithm", digest,
       key.RawPrivate(block({0x00, 0x01}, 330, Cat(Cat({0x00}, sha512_info), digest))), false},
      {"signature one byte short", digest, Bytes(genuine.begin() + 1, genuine.end()), false},
      {"signature equal to the modulus", digest, key.Modulus(), false},
  };
  for (const auto& c : kCases) EXPECT_EQ(verify(c.digest, c.signature), c.accepted) << c.name;
}

}  // namespace
}  // namespace kest
