// RSA signature verification with PKCS #1 v1.5 padding over an MD5 digest
// (md5WithRSAEncryption, the package's first signature) or a SHA-256 digest
// (sha256WithRSAEncryption, its second one).
//
// The check never parses the recovered block: it rebuilds the only block a
// genuine signature can yield and compares every byte. A verifier that
// walks the padding and reads the DigestInfo instead can be made to accept
// blocks with trailing or embedded garbage, which for small public
// exponents can be forged without the private key.
#pragma once
#include <cstddef>
#include <cstdint>

#include "verify/md5.h"
#include "verify/rsa_public_key.h"
#include "verify/sha256.h"

namespace kest {

// True when signature (key.modulus_bytes bytes, big-endian, below the
// modulus) raised to the public exponent gives the encoded block of digest.
// signature_bytes must equal key.modulus_bytes.
bool VerifyMd5Signature(const RsaPublicKey& key, const uint8_t (&digest)[kMd5DigestBytes],
                        const uint8_t* signature, size_t signature_bytes);
bool VerifySha256Signature(const RsaPublicKey& key,
                           const uint8_t (&digest)[kSha256DigestBytes],
                           const uint8_t* signature, size_t signature_bytes);

}  // namespace kest
