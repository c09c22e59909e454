// An RSA public key, and the strict reader of the DER SubjectPublicKeyInfo
// form the installer's keys are built in as.
//
// The accepted encoding, DER only (definite minimal lengths, minimal
// positive INTEGERs, nothing after the outer SEQUENCE):
//
//   30 L   SubjectPublicKeyInfo
//     30 0D 06 09 2A 86 48 86 F7 0D 01 01 01 05 00   rsaEncryption, NULL
//     03 L 00   BIT STRING, no unused bits, holding
//       30 L   RSAPublicKey
//         02 L 00 <k bytes>     modulus, exactly the bits asked for (k bytes)
//         02 L <L bytes>        public exponent, odd, at least 3, at most k bytes
//
// L is one byte below 0x80, 81 xx (xx >= 0x80) or 82 xx xx (at least 0x100).
// With the usual exponent 65537 (02 03 01 00 01) the whole is 126 bytes for
// a 768-bit modulus and 422 bytes for a 3072-bit one.
#pragma once
#include <cstddef>
#include <cstdint>

#include "verify/modular_power.h"

namespace kest {

constexpr size_t kPackageModulusBits = 768;
constexpr size_t kPackageModulusBytes = kPackageModulusBits / 8;
// The modulus of the second, modern signature.
constexpr size_t kModernModulusBits = 3072;
constexpr size_t kModernModulusBytes = kModernModulusBits / 8;

// Big-endian magnitudes without leading zero bytes.
struct RsaPublicKey {
  uint8_t modulus[kMaxModulusBytes];
  size_t modulus_bytes;
  uint8_t exponent[kMaxModulusBytes];
  size_t exponent_bytes;
};

// Fills *key from the DER bytes above. False, with *key unspecified, for any
// other encoding, algorithm, modulus size (modulus_bits, a multiple of 8 up
// to kMaxModulusBits) or an even exponent.
bool ParseRsaPublicKeyDer(const uint8_t* der, size_t size, RsaPublicKey* key,
                          size_t modulus_bits = kPackageModulusBits);

}  // namespace kest
