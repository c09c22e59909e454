#include "verify/modular_power.h"

#include <gtest/gtest.h>
#include <openssl/bn.h>

#include <random>
#include <vector>

namespace kest {
namespace {

using Bytes = std::vector<uint8_t>;

// OpenSSL's answer, padded to modulus size.
Bytes Reference(const Bytes& base, const Bytes& exponent, const Bytes& modulus) {
  BN_CTX* ctx = BN_CTX_new();
  BIGNUM* b = BN_bin2bn(base.data(), int(base.size()), nullptr);
  BIGNUM* e = BN_bin2bn(exponent.data(), int(exponent.size()), nullptr);
  BIGNUM* m = BN_bin2bn(modulus.data(), int(modulus.size()), nullptr);
  BIGNUM* r = BN_new();
  BN_mod_exp(r, b, e, m, ctx);
  Bytes out(modulus.size());
  BN_bn2binpad(r, out.data(), int(out.size()));
  BN_free(b);
  BN_free(e);
  BN_free(m);
  BN_free(r);
  BN_CTX_free(ctx);
  return out;
}

Bytes Random(std::mt19937& rng, size_t n) {
  Bytes out(n);
  for (auto& b : out) b = uint8_t(rng());
  return out;
}

TEST(ModularPower, AgreesWithOpenSsl) {
  std::mt19937 rng(1234);
  // Modulus sizes around word boundaries and the sizes in use.
  const size_t kModulusSizes[] = {1, 3, 4, 5, 8, 31, 64, 95, 96, 97, 127, 128};
  for (size_t size : kModulusSizes) {
    for (int round = 0; round < 6; ++round) {
      Bytes n = Random(rng, size);
      n[0] |= round % 2 ? 0x80 : 0x01;  // top bit set, or just a non-zero top byte
      n.back() |= 1;
      Bytes base = Random(rng, size);
      base[0] = uint8_t(base[0] % n[0]);  // keeps base < n
      const Bytes exponents[] = {{3}, {0x01, 0x00, 0x01}, {0}, {1}, Random(rng, size)};
      for (const Bytes& e : exponents) {
        Bytes out(size);
        ASSERT_TRUE(ModularPower(base.data(), e.data(), e.size(), n.data(), size, out.data()));
        ASSERT_EQ(out, Reference(base, e, n)) << "modulus bytes " << size;
      }
    }
  }
}

TEST(ModularPower, EdgeBases) {
  Bytes n(96, 0xFF);  // 2^768 - 1, odd
  Bytes e = {0x01, 0x00, 0x01};
  Bytes zero(96, 0), one(96, 0), top = n;
  one.back() = 1;
  top.back() = 0xFE;  // n - 1
  for (const Bytes& base : {zero, one, top}) {
    Bytes out(96);
    ASSERT_TRUE(ModularPower(base.data(), e.data(), e.size(), n.data(), n.size(), out.data()));
    EXPECT_EQ(out, Reference(base, e, n));
  }
}

TEST(ModularPower, RefusesModuliAndBasesOutsideItsRange) {
  Bytes good(96, 0x5B);
  good.back() = 0x5B;  // odd
  Bytes even = good, zero_led = good, too_long(kMaxModulusBytes + 1, 0x5B);
  even.back() = 0x5A;
  zero_led[0] = 0;
  Bytes small(96, 0), e = {3};
  struct {
    const char* name;
    Bytes base, modulus;
  } const kCases[] = {
      {"even modulus", small, even},
      {"modulus with a leading zero byte", small, zero_led},
      {"modulus beyond capacity", Bytes(too_long.size(), 0), too_long},
      {"base equal to modulus", good, good},
      {"base above modulus", Bytes(96, 0xFF), good},
  };
  for (const auto& c : kCases) {
    Bytes out(c.modulus.size(), 0xAA);
    EXPECT_FALSE(ModularPower(c.base.data(), e.data(), e.size(), c.modulus.data(),
                              c.modulus.size(), out.data()))
        << c.name;
    EXPECT_EQ(out, Bytes(c.modulus.size(), 0xAA)) << c.name << ": output touched";
  }
}

}  // namespace
}  // namespace kest
