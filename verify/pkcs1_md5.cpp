#include "verify/pkcs1_md5.h"

#include "verify/memory_hooks.h"

namespace kest {
namespace {

// DER DigestInfo { AlgorithmIdentifier { md5, NULL }, OCTET STRING (16) },
// everything but the digest itself.
constexpr uint8_t kMd5DigestInfo[] = {0x30, 0x20, 0x30, 0x0C, 0x06, 0x08, 0x2A, 0x86, 0x48,
                                      0x86, 0xF7, 0x0D, 0x02, 0x05, 0x05, 0x00, 0x04, 0x10};
constexpr size_t kDigestInfoBytes = sizeof kMd5DigestInfo + kMd5DigestBytes;  // 34
// Block type 1 needs at least eight padding bytes.
constexpr size_t kMinPaddingBytes = 8;
constexpr size_t kFramingBytes = 3;  // 00 01 ... 00

// The encoded block for a modulus of k bytes (k = 96 for 768 bits, leaving
// 96 - 3 - 34 = 59 bytes of padding):
//
//   offset  0    1    2 .......... k-36   k-35   k-34 ....... k-17   k-16 ... k-1
//         +----+----+----------------+------+--------------------+--------------+
//         | 00 | 01 | FF FF ... FF   |  00  | DigestInfo head    | MD5 digest   |
//         +----+----+----------------+------+--------------------+--------------+
//                     k - 37 bytes             18 bytes             16 bytes
void BuildExpectedBlock(const uint8_t (&digest)[kMd5DigestBytes], uint8_t* block, size_t k) {
  size_t padding = k - kFramingBytes - kDigestInfoBytes;
  block[0] = 0x00;
  block[1] = 0x01;
  MemoryFill(block + 2, 0xFF, padding);
  block[2 + padding] = 0x00;
  MemoryCopy(block + kFramingBytes + padding, kMd5DigestInfo, sizeof kMd5DigestInfo);
  MemoryCopy(block + k - kMd5DigestBytes, digest, kMd5DigestBytes);
}

}  // namespace

bool VerifyMd5Signature(const RsaPublicKey& key, const uint8_t (&digest)[kMd5DigestBytes],
                        const uint8_t* signature, size_t signature_bytes) {
  size_t k = key.modulus_bytes;
  if (signature_bytes != k || k > kMaxModulusBytes ||
      k < kFramingBytes + kMinPaddingBytes + kDigestInfoBytes) {
    return false;
  }
  uint8_t recovered[kMaxModulusBytes];
  uint8_t expected[kMaxModulusBytes];
  if (!ModularPower(signature, key.exponent, key.exponent_bytes, key.modulus, k, recovered)) {
    return false;  // includes a signature not below the modulus
  }
  BuildExpectedBlock(digest, expected, k);
  return MemoryCompare(recovered, expected, k) == 0;
}

}  // namespace kest
