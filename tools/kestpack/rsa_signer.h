// Key generation and signing for packages, through OpenSSL's libcrypto.
//
// kestpack uses a well-kept library here rather than code of its own: key
// generation needs prime generation and a vetted random source, and signing
// handles the private key. The installer's verifier (verify/) stays
// independent of it, and the tests check that both agree.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "verify/modern_record.h"
#include "verify/signature_record.h"

typedef struct evp_pkey_st EVP_PKEY;

namespace kest {

struct ByteSpan {
  const uint8_t* data;
  size_t size;
};

class RsaSigner {
 public:
  RsaSigner() = default;
  ~RsaSigner();
  RsaSigner(const RsaSigner&) = delete;
  RsaSigner& operator=(const RsaSigner&) = delete;

  // Loads an unencrypted PEM private key (PKCS #1 or PKCS #8). Refuses
  // anything but RSA with a modulus of modulus_bits (768 for the first
  // signature, kModernModulusBits for the second).
  bool Load(const std::string& path, std::string* error,
            size_t modulus_bits = kPackageModulusBits);
  // The public half as a DER SubjectPublicKeyInfo.
  std::vector<uint8_t> PublicKeyDer() const;
  // md5WithRSAEncryption (PKCS #1 v1.5) over the parts, in order.
  bool SignMd5(const std::vector<ByteSpan>& parts, uint8_t (&signature)[kSignatureBytes],
               std::string* error) const;
  // sha256WithRSAEncryption (PKCS #1 v1.5) over the parts, in order; the
  // key must be an RSA-3072 one.
  bool SignSha256(const std::vector<ByteSpan>& parts,
                  uint8_t (&signature)[kModernSignatureBytes], std::string* error) const;

 private:
  EVP_PKEY* key_ = nullptr;
};

// Writes a new RSA key pair of modulus_bits (exponent 65537): the PEM
// private key to private_path (mode 0600) and the DER public key (126 bytes
// for 768 bits, 422 for 3072) to public_path. Refuses to overwrite either
// file.
bool GenerateKeyPair(const std::string& private_path, const std::string& public_path,
                     std::string* error, size_t modulus_bits = kPackageModulusBits);

}  // namespace kest
