#include "verify/pkcs1_signature.h"

#include "verify/memory_hooks.h"

namespace kest {
namespace {

// DER DigestInfo { AlgorithmIdentifier { md5, NULL }, OCTET STRING (16) },
// everything but the digest itself.
constexpr uint8_t kMd5DigestInfo[] = {0x30, 0x20, 0x30, 0x0C, 0x06, 0x08, 0x2A, 0x86, 0x48,
                                      0x86, 0xF7, 0x0D, 0x02, 0x05, 0x05, 0x00, 0x04, 0x10};
// DER DigestInfo { AlgorithmIdentifier { sha256, NULL }, OCTET STRING (32) }.
constexpr uint8_t kSha256DigestInfo[] = {0x30, 0x31, 0x30, 0x0D, 0x06, 0x09, 0x60,
                                         0x86, 0x48, 0x01, 0x65, 0x03, 0x04, 0x02,
                                         0x01, 0x05, 0x00, 0x04, 0x20};
// Block type 1 needs at least eight padding bytes.
constexpr size_t kMinPaddingBytes = 8;
constexpr size_t kFramingBytes = 3;  // 00 01 ... 00

// The encoded block for a modulus of k bytes, with a DigestInfo head of h
// bytes and a digest of d bytes (MD5: h = 18, d = 16; for k = 96 that
// leaves 96 - 3 - 34 = 59 bytes of padding. SHA-256: h = 19, d = 32; for
// k = 384, 330 bytes of padding):
//
//   offset  0    1    2 ........ k-h-d-2  k-h-d-1  k-h-d .. k-d-1  k-d .. k-1
//         +----+----+-----------------+--------+-----------------+----------+
//         | 00 | 01 | FF FF ... FF     |   00   | DigestInfo head | digest   |
//         +----+----+-----------------+--------+-----------------+----------+
//                     k - 3 - h - d              h bytes           d bytes
struct DigestEncoding {
  const uint8_t* head;
  size_t head_bytes;
  const uint8_t* digest;
  size_t digest_bytes;
};

void BuildExpectedBlock(const DigestEncoding& encoding, uint8_t* block, size_t k) {
  size_t padding = k - kFramingBytes - encoding.head_bytes - encoding.digest_bytes;
  block[0] = 0x00;
  block[1] = 0x01;
  MemoryFill(block + 2, 0xFF, padding);
  block[2 + padding] = 0x00;
  MemoryCopy(block + kFramingBytes + padding, encoding.head, encoding.head_bytes);
  MemoryCopy(block + k - encoding.digest_bytes, encoding.digest, encoding.digest_bytes);
}

bool VerifyEncodedDigest(const RsaPublicKey& key, const DigestEncoding& encoding,
                         const uint8_t* signature, size_t signature_bytes) {
  size_t k = key.modulus_bytes;
  if (signature_bytes != k || k > kMaxModulusBytes ||
      k < kFramingBytes + kMinPaddingBytes + encoding.head_bytes + encoding.digest_bytes) {
    return false;
  }
  uint8_t recovered[kMaxModulusBytes];
  uint8_t expected[kMaxModulusBytes];
  if (!ModularPower(signature, key.exponent, key.exponent_bytes, key.modulus, k, recovered)) {
    return false;  // includes a signature not below the modulus
  }
  BuildExpectedBlock(encoding, expected, k);
  return MemoryCompare(recovered, expected, k) == 0;
}

}  // namespace

bool VerifyMd5Signature(const RsaPublicKey& key, const uint8_t (&digest)[kMd5DigestBytes],
                        const uint8_t* signature, size_t signature_bytes) {
  return VerifyEncodedDigest(
      key, {kMd5DigestInfo, sizeof kMd5DigestInfo, digest, kMd5DigestBytes}, signature,
      signature_bytes);
}

bool VerifySha256Signature(const RsaPublicKey& key,
                           const uint8_t (&digest)[kSha256DigestBytes],
                           const uint8_t* signature, size_t signature_bytes) {
  return VerifyEncodedDigest(
      key, {kSha256DigestInfo, sizeof kSha256DigestInfo, digest, kSha256DigestBytes},
      signature, signature_bytes);
}

}  // namespace kest
