#include "tools/kestpack/rsa_signer.h"

#include <fcntl.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/rsa.h>
#include <openssl/x509.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <memory>

#include "tools/kestpack/host_files.h"
#include "verify/rsa_public_key.h"

namespace kest {
namespace {

std::string OpenSslReason() {
  unsigned long code = ERR_get_error();
  char text[256] = "unknown OpenSSL error";
  if (code != 0) ERR_error_string_n(code, text, sizeof text);
  ERR_clear_error();
  return text;
}

// Keys are never read with a pass phrase: a prompt would hang batch builds.
int RefusePassphrase(char*, int, int, void*) { return -1; }

struct FileCloser {
  void operator()(FILE* f) const { fclose(f); }
};
using File = std::unique_ptr<FILE, FileCloser>;

// Creates path exclusively with mode; null when it exists or cannot be made.
File CreateNew(const std::string& path, mode_t mode, std::string* error) {
  int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL, mode);
  if (fd < 0) {
    *error = path + ": " + (errno == EEXIST ? "already exists; not overwritten" : DescribeSystemError(errno));
    return nullptr;
  }
  return File(fdopen(fd, "wb"));
}

}  // namespace

RsaSigner::~RsaSigner() { EVP_PKEY_free(key_); }

bool RsaSigner::Load(const std::string& path, std::string* error, size_t modulus_bits) {
  // Read through kestpack's own file access, which refuses anything but a
  // regular file (a FIFO would block an fopen for ever).
  std::vector<uint8_t> pem;
  if (!ReadWholeFile(path, &pem, error)) return false;
  std::unique_ptr<BIO, int (*)(BIO*)> bio(
      pem.size() <= INT_MAX ? BIO_new_mem_buf(pem.data(), int(pem.size())) : nullptr, BIO_free);
  EVP_PKEY* key =
      bio ? PEM_read_bio_PrivateKey(bio.get(), nullptr, RefusePassphrase, nullptr) : nullptr;
  bio.reset();
  OPENSSL_cleanse(pem.data(), pem.size());
  if (key == nullptr) {
    *error = path + ": not an unencrypted PEM private key (" + OpenSslReason() + ")";
    return false;
  }
  if (EVP_PKEY_get_base_id(key) != EVP_PKEY_RSA ||
      EVP_PKEY_get_bits(key) != int(modulus_bits)) {
    EVP_PKEY_free(key);
    *error = path + ": not an RSA key with a " + std::to_string(modulus_bits) + "-bit modulus";
    return false;
  }
  EVP_PKEY_free(key_);
  key_ = key;
  return true;
}

std::vector<uint8_t> RsaSigner::PublicKeyDer() const {
  int size = key_ ? i2d_PUBKEY(key_, nullptr) : 0;
  if (size <= 0) return {};
  std::vector<uint8_t> der(static_cast<size_t>(size));
  unsigned char* p = der.data();
  i2d_PUBKEY(key_, &p);
  return der;
}

namespace {

// PKCS #1 v1.5 signature of the parts under digest; false unless it is
// exactly signature_bytes long.
bool SignParts(EVP_PKEY* key, const EVP_MD* digest, const std::vector<ByteSpan>& parts,
               uint8_t* signature, size_t signature_bytes, std::string* error) {
  std::unique_ptr<EVP_MD_CTX, void (*)(EVP_MD_CTX*)> md(EVP_MD_CTX_new(), EVP_MD_CTX_free);
  EVP_PKEY_CTX* pctx = nullptr;
  bool ok = md && EVP_DigestSignInit(md.get(), &pctx, digest, nullptr, key) == 1 &&
            EVP_PKEY_CTX_set_rsa_padding(pctx, RSA_PKCS1_PADDING) == 1;
  for (size_t i = 0; ok && i < parts.size(); ++i) {
    ok = EVP_DigestSignUpdate(md.get(), parts[i].data, parts[i].size) == 1;
  }
  size_t size = signature_bytes;
  ok = ok && EVP_DigestSignFinal(md.get(), signature, &size) == 1 && size == signature_bytes;
  if (!ok) *error = "signing failed: " + OpenSslReason();
  return ok;
}

}  // namespace

bool RsaSigner::SignMd5(const std::vector<ByteSpan>& parts, uint8_t (&signature)[kSignatureBytes],
                        std::string* error) const {
  return SignParts(key_, EVP_md5(), parts, signature, sizeof signature, error);
}

bool RsaSigner::SignSha256(const std::vector<ByteSpan>& parts,
                           uint8_t (&signature)[kModernSignatureBytes],
                           std::string* error) const {
  return SignParts(key_, EVP_sha256(), parts, signature, sizeof signature, error);
}

bool GenerateKeyPair(const std::string& private_path, const std::string& public_path,
                     std::string* error, size_t modulus_bits) {
  EVP_PKEY* key = EVP_RSA_gen(unsigned(modulus_bits));
  if (key == nullptr) {
    *error = "key generation failed: " + OpenSslReason();
    return false;
  }
  std::unique_ptr<EVP_PKEY, void (*)(EVP_PKEY*)> owned(key, EVP_PKEY_free);
  int der_size = i2d_PUBKEY(key, nullptr);
  std::vector<uint8_t> der(der_size > 0 ? size_t(der_size) : 0);
  unsigned char* p = der.data();
  if (der_size <= 0 || i2d_PUBKEY(key, &p) != der_size) {
    *error = "cannot encode the public key: " + OpenSslReason();
    return false;
  }
  // Both files are created before either is written, so that a refusal
  // leaves nothing behind.
  File private_file = CreateNew(private_path, 0600, error);
  if (!private_file) return false;
  File public_file = CreateNew(public_path, 0644, error);
  if (!public_file) {
    private_file.reset();
    unlink(private_path.c_str());
    return false;
  }
  bool ok = PEM_write_PrivateKey(private_file.get(), key, nullptr, nullptr, 0, nullptr,
                                 nullptr) == 1 &&
            fwrite(der.data(), 1, der.size(), public_file.get()) == der.size();
  ok = (fclose(private_file.release()) == 0) & ok;
  ok = (fclose(public_file.release()) == 0) & ok;
  if (!ok) {
    unlink(private_path.c_str());
    unlink(public_path.c_str());
    *error = "cannot write the key files " + private_path + ", " + public_path;
  }
  return ok;
}

}  // namespace kest
