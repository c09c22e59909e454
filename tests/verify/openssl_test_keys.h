// RSA keys and signatures made by OpenSSL's libcrypto: the independent side
// the verifier is checked against.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "verify/rsa_public_key.h"

typedef struct evp_pkey_st EVP_PKEY;

namespace kest_test {

using Bytes = std::vector<uint8_t>;

class OpenSslKey {
 public:
  // A fresh key of `bits` bits with public exponent e.
  OpenSslKey(int bits, unsigned e);
  // The private key in a PEM file.
  explicit OpenSslKey(const std::string& pem_path);
  ~OpenSslKey();

  kest::RsaPublicKey PublicKey() const;
  Bytes PublicKeyDer() const;      // SubjectPublicKeyInfo
  Bytes Modulus() const;           // big-endian, no leading zero
  // md5WithRSAEncryption signature over data, as `openssl dgst -md5 -sign`.
  Bytes SignMd5(const Bytes& data) const;
  // sha256WithRSAEncryption signature over data (PKCS #1 v1.5).
  Bytes SignSha256(const Bytes& data) const;
  // block ^ d mod n, no padding: a "signature" whose public operation gives
  // back exactly block (block must be modulus-sized and below n).
  Bytes RawPrivate(const Bytes& block) const;

 private:
  EVP_PKEY* key_ = nullptr;
};

Bytes Md5Of(const Bytes& data);
// Lower-case hex of n bytes at p, as digests are printed.
std::string Hex(const uint8_t* p, size_t n);
Bytes Sha256Of(const Bytes& data);

// The repository's TEST key pairs, in tests/keys.
const OpenSslKey& TestSigningKey();  // RSA-768, the first signature's
const OpenSslKey& TestModernKey();   // RSA-3072, the second signature's

}  // namespace kest_test
