#include "verify/rsa_public_key.h"

#include "verify/memory_hooks.h"

namespace kest {
namespace {

constexpr uint8_t kTagInteger = 0x02;
constexpr uint8_t kTagBitString = 0x03;
constexpr uint8_t kTagSequence = 0x30;

// AlgorithmIdentifier { rsaEncryption (1.2.840.113549.1.1.1), NULL }.
constexpr uint8_t kRsaAlgorithm[] = {0x30, 0x0D, 0x06, 0x09, 0x2A, 0x86, 0x48, 0x86,
                                     0xF7, 0x0D, 0x01, 0x01, 0x01, 0x05, 0x00};

// A window over DER bytes; every read checks the bytes left first.
struct DerCursor {
  const uint8_t* p;
  size_t left;

  bool ReadByte(uint8_t* out) {
    if (left == 0) return false;
    *out = *p++;
    --left;
    return true;
  }

  // Reads tag and a minimal definite length (short form, 81 xx with
  // xx >= 0x80, or 82 xx xx with xx xx >= 0x100) and returns in *inner the
  // value bytes, which must fit.
  bool Enter(uint8_t tag, DerCursor* inner) {
    uint8_t got, first;
    if (!ReadByte(&got) || got != tag || !ReadByte(&first)) return false;
    size_t length = first;
    if (first == 0x81) {
      uint8_t second;
      if (!ReadByte(&second) || second < 0x80) return false;
      length = second;
    } else if (first == 0x82) {
      uint8_t high, low;
      if (!ReadByte(&high) || !ReadByte(&low) || high == 0) return false;
      length = size_t(high) << 8 | low;
    } else if (first >= 0x80) {
      return false;
    }
    if (length > left) return false;
    *inner = DerCursor{p, length};
    p += length;
    left -= length;
    return true;
  }

  // A positive INTEGER, minimally encoded; *magnitude gets its bytes
  // without the sign byte.
  bool ReadPositiveInteger(const uint8_t** magnitude, size_t* size) {
    DerCursor v;
    if (!Enter(kTagInteger, &v) || v.left == 0) return false;
    if (v.p[0] & 0x80) return false;  // negative
    if (v.p[0] == 0) {
      // A leading zero is only there to keep the sign bit clear.
      if (v.left < 2 || (v.p[1] & 0x80) == 0) return false;
      ++v.p;
      --v.left;
    }
    *magnitude = v.p;
    *size = v.left;
    return true;
  }
};

}  // namespace

bool ParseRsaPublicKeyDer(const uint8_t* der, size_t size, RsaPublicKey* key,
                          size_t modulus_bits) {
  const size_t k = modulus_bits / 8;
  if (k == 0 || k * 8 != modulus_bits || k > kMaxModulusBytes) return false;
  DerCursor all{der, size}, info, bits, rsa;
  if (!all.Enter(kTagSequence, &info) || all.left != 0) return false;
  if (info.left < sizeof kRsaAlgorithm ||
      MemoryCompare(info.p, kRsaAlgorithm, sizeof kRsaAlgorithm) != 0) {
    return false;
  }
  info.p += sizeof kRsaAlgorithm;
  info.left -= sizeof kRsaAlgorithm;
  uint8_t unused_bits;
  if (!info.Enter(kTagBitString, &bits) || info.left != 0) return false;
  if (!bits.ReadByte(&unused_bits) || unused_bits != 0) return false;
  if (!bits.Enter(kTagSequence, &rsa) || bits.left != 0) return false;

  const uint8_t* modulus;
  const uint8_t* exponent;
  size_t modulus_bytes, exponent_bytes;
  if (!rsa.ReadPositiveInteger(&modulus, &modulus_bytes) ||
      !rsa.ReadPositiveInteger(&exponent, &exponent_bytes) || rsa.left != 0) {
    return false;
  }
  // The modulus has exactly the bits asked for: k bytes, top bit set (so it
  // came with its sign byte).
  if (modulus_bytes != k || (modulus[0] & 0x80) == 0) return false;
  if (exponent_bytes > k || (exponent[exponent_bytes - 1] & 1) == 0 ||
      (exponent_bytes == 1 && exponent[0] < 3)) {
    return false;
  }
  MemoryCopy(key->modulus, modulus, modulus_bytes);
  key->modulus_bytes = modulus_bytes;
  MemoryCopy(key->exponent, exponent, exponent_bytes);
  key->exponent_bytes = exponent_bytes;
  return true;
}

}  // namespace kest
