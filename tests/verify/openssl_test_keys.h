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
  // block ^ d mod n, no padding: a "signature" whose public operation gives
  // back exactly block (block must be modulus-sized and below n).
  Bytes RawPrivate(const Bytes& block) const;

 private:
  EVP_PKEY* key_ = nullptr;
};

Bytes Md5Of(const Bytes& data);

}  // namespace kest_test
