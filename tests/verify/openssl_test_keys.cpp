#include "openssl_test_keys.h"

#include <openssl/bn.h>
#include <openssl/core_names.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/rsa.h>
#include <openssl/x509.h>

#include <cstdio>
#include <cstring>
#include <stdexcept>

namespace kest_test {
namespace {

void Check(bool ok, const char* what) {
  if (!ok) throw std::runtime_error(what);
}

Bytes BigNumParam(EVP_PKEY* key, const char* name) {
  BIGNUM* bn = nullptr;
  Check(EVP_PKEY_get_bn_param(key, name, &bn) == 1, name);
  Bytes out(BN_num_bytes(bn));
  BN_bn2bin(bn, out.data());
  BN_free(bn);
  return out;
}

}  // namespace

OpenSslKey::OpenSslKey(int bits, unsigned e) {
  EVP_PKEY_CTX* ctx = EVP_PKEY_CTX_new_id(EVP_PKEY_RSA, nullptr);
  BIGNUM* exponent = BN_new();
  BN_set_word(exponent, e);
  Check(ctx && EVP_PKEY_keygen_init(ctx) == 1 &&
            EVP_PKEY_CTX_set_rsa_keygen_bits(ctx, bits) == 1 &&
            EVP_PKEY_CTX_set1_rsa_keygen_pubexp(ctx, exponent) == 1 &&
            EVP_PKEY_keygen(ctx, &key_) == 1,
        "RSA key generation");
  BN_free(exponent);
  EVP_PKEY_CTX_free(ctx);
}

OpenSslKey::OpenSslKey(const std::string& pem_path) {
  FILE* f = fopen(pem_path.c_str(), "rb");
  Check(f != nullptr, "open PEM file");
  key_ = PEM_read_PrivateKey(f, nullptr, nullptr, nullptr);
  fclose(f);
  Check(key_ != nullptr, "read PEM private key");
}

OpenSslKey::~OpenSslKey() { EVP_PKEY_free(key_); }

Bytes OpenSslKey::Modulus() const { return BigNumParam(key_, OSSL_PKEY_PARAM_RSA_N); }

kest::RsaPublicKey OpenSslKey::PublicKey() const {
  kest::RsaPublicKey key = {};
  Bytes n = Modulus(), e = BigNumParam(key_, OSSL_PKEY_PARAM_RSA_E);
  memcpy(key.modulus, n.data(), n.size());
  key.modulus_bytes = n.size();
  memcpy(key.exponent, e.data(), e.size());
  key.exponent_bytes = e.size();
  return key;
}

Bytes OpenSslKey::PublicKeyDer() const {
  int size = i2d_PUBKEY(key_, nullptr);
  Check(size > 0, "i2d_PUBKEY");
  Bytes out(size);
  unsigned char* p = out.data();
  i2d_PUBKEY(key_, &p);
  return out;
}

namespace {

Bytes Sign(EVP_PKEY* key, const EVP_MD* digest, const Bytes& data) {
  EVP_MD_CTX* md = EVP_MD_CTX_new();
  size_t size = 0;
  Check(EVP_DigestSignInit(md, nullptr, digest, nullptr, key) == 1 &&
            EVP_DigestSign(md, nullptr, &size, data.data(), data.size()) == 1,
        "EVP_DigestSign");
  Bytes out(size);
  Check(EVP_DigestSign(md, out.data(), &size, data.data(), data.size()) == 1, "sign");
  out.resize(size);
  EVP_MD_CTX_free(md);
  return out;
}

}  // namespace

Bytes OpenSslKey::SignMd5(const Bytes& data) const { return Sign(key_, EVP_md5(), data); }

Bytes OpenSslKey::SignSha256(const Bytes& data) const { return Sign(key_, EVP_sha256(), data); }

const OpenSslKey& TestSigningKey() {
  static const OpenSslKey key(KEST_TEST_KEYS_DIR "/test-signing-key.pem");
  return key;
}

const OpenSslKey& TestModernKey() {
  static const OpenSslKey key(KEST_TEST_KEYS_DIR "/test-modern-key.pem");
  return key;
}

Bytes OpenSslKey::RawPrivate(const Bytes& block) const {
  EVP_PKEY_CTX* ctx = EVP_PKEY_CTX_new(key_, nullptr);
  size_t size = 0;
  Check(ctx && EVP_PKEY_sign_init(ctx) == 1 &&
            EVP_PKEY_CTX_set_rsa_padding(ctx, RSA_NO_PADDING) == 1 &&
            EVP_PKEY_sign(ctx, nullptr, &size, block.data(), block.size()) == 1,
        "raw RSA init");
  Bytes out(size);
  Check(EVP_PKEY_sign(ctx, out.data(), &size, block.data(), block.size()) == 1, "raw RSA");
  EVP_PKEY_CTX_free(ctx);
  return out;
}

Bytes Md5Of(const Bytes& data) {
  Bytes out(16);
  unsigned size = 0;
  EVP_Digest(data.data(), data.size(), out.data(), &size, EVP_md5(), nullptr);
  return out;
}

std::string Hex(const uint8_t* p, size_t n) {
  std::string s;
  char b[3];
  for (size_t i = 0; i < n; ++i) {
    snprintf(b, sizeof b, "%02x", p[i]);
    s += b;
  }
  return s;
}

Bytes Sha256Of(const Bytes& data) {
  Bytes out(32);
  unsigned size = 0;
  EVP_Digest(data.data(), data.size(), out.data(), &size, EVP_sha256(), nullptr);
  return out;
}

}  // namespace kest_test
