// The public key built into this build: the DER SubjectPublicKeyInfo named by
// the KEST_PUBLIC_KEY build option (by default the repository's test key),
// turned into this array when the build runs.
#pragma once
#include <cstddef>
#include <cstdint>

namespace kest {

constexpr size_t kBuiltinPublicKeyDerBytes = 126;
extern const uint8_t kBuiltinPublicKeyDer[kBuiltinPublicKeyDerBytes];

}  // namespace kest
