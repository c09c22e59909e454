// Modular exponentiation on fixed-size unsigned big numbers: the RSA public
// operation. Numbers cross this interface as big-endian byte strings (most
// significant byte first), the form signatures and keys are stored in.
//
// Capacity: moduli of up to kMaxModulusBytes bytes: the package's first
// signature uses 768-bit moduli, its second one 3072-bit moduli.
#pragma once
#include <cstddef>
#include <cstdint>

namespace kest {

constexpr size_t kMaxModulusBits = 3072;
constexpr size_t kMaxModulusBytes = kMaxModulusBits / 8;

// out = base ^ exponent mod modulus. base and out are modulus_bytes long
// (out may alias base); exponent is exponent_bytes long (any value, leading
// zero bytes allowed). Returns false, leaving out untouched, when the
// modulus is even, zero-led (its first byte 0), longer than
// kMaxModulusBytes, or not greater than base.
bool ModularPower(const uint8_t* base, const uint8_t* exponent, size_t exponent_bytes,
                  const uint8_t* modulus, size_t modulus_bytes, uint8_t* out);

}  // namespace kest
