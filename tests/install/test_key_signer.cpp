#include "tests/install/test_key_signer.h"

#include <cstdint>
#include <cstring>
#include <vector>

#include "tests/support/win32_test_support.h"
#include "verify/md5.h"
#include "verify/modular_power.h"
#include "verify/rsa_public_key.h"
#include "verify/signature_record.h"

namespace kest::test {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes Base64(const std::string& text) {
  Bytes out;
  uint32_t bits = 0;
  int count = 0;
  for (char c : text) {
    int v = c >= 'A' && c <= 'Z'   ? c - 'A'
            : c >= 'a' && c <= 'z' ? c - 'a' + 26
            : c >= '0' && c <= '9' ? c - '0' + 52
            : c == '+'             ? 62
            : c == '/'             ? 63
                                   : -1;
    if (v < 0) continue;
    bits = bits << 6 | uint32_t(v);
    if ((count += 6) >= 8) {
      count -= 8;
      out.push_back(uint8_t(bits >> count));
    }
  }
  return out;
}

// One DER element at *at: its tag, and its contents' place.
struct Element {
  uint8_t tag = 0;
  size_t start = 0, size = 0;
};
bool Read(const Bytes& der, size_t* at, Element* e) {
  if (*at + 2 > der.size()) return false;
  e->tag = der[*at];
  size_t length = der[*at + 1], p = *at + 2;
  if (length & 0x80) {
    const size_t n = length & 0x7F;
    length = 0;
    for (size_t k = 0; k < n && p < der.size(); ++k) length = length << 8 | der[p++];
  }
  if (p + length > der.size()) return false;
  e->start = p;
  e->size = length;
  *at = p + length;
  return true;
}

// Modulus n and private exponent d of a PKCS #8 RSA key:
//   SEQUENCE { INTEGER 0, SEQUENCE { rsaEncryption, NULL },
//              OCTET STRING { SEQUENCE { INTEGER 0, n, e, d, ... } } }
bool PrivateKey(const Bytes& der, Bytes* n, Bytes* d) {
  size_t at = 0;
  Element outer, version, algorithm, octets, key, field;
  if (!Read(der, &at, &outer)) return false;
  at = outer.start;
  if (!Read(der, &at, &version) || !Read(der, &at, &algorithm) || !Read(der, &at, &octets))
    return false;
  at = octets.start;
  if (!Read(der, &at, &key)) return false;
  at = key.start;
  Bytes fields[4];
  for (Bytes& f : fields) {
    if (!Read(der, &at, &field)) return false;
    f.assign(der.begin() + field.start, der.begin() + field.start + field.size);
    while (f.size() > 1 && f[0] == 0) f.erase(f.begin());
  }
  *n = fields[1];
  *d = fields[3];
  return n->size() == kPackageModulusBytes;
}

}  // namespace

std::string SignWithTestKey(const std::string& archive) {
  std::string pem;
  if (!ReadWholeFile(WindowsPath(KEST_SOURCE_DIR "/tests/keys/test-signing-key.pem"), &pem))
    return "";
  const size_t begin = pem.find("-----\n"), end = pem.find("-----END");
  if (begin == std::string::npos || end == std::string::npos) return "";
  Bytes n, d;
  if (!PrivateKey(Base64(pem.substr(begin, end - begin)), &n, &d)) return "";

  // md5WithRSAEncryption: 00 01 FF..FF 00, the MD5 DigestInfo, the digest.
  static const uint8_t kDigestInfo[] = {0x30, 0x20, 0x30, 0x0C, 0x06, 0x08, 0x2A, 0x86, 0x48,
                                        0x86, 0xF7, 0x0D, 0x02, 0x05, 0x05, 0x00, 0x04, 0x10};
  uint8_t digest[kMd5DigestBytes];
  Md5 md5;
  md5.Update(archive.data(), archive.size());
  md5.Final(digest);
  uint8_t block[kPackageModulusBytes];
  memset(block, 0xFF, sizeof(block));
  block[0] = 0x00;
  block[1] = 0x01;
  const size_t tail = sizeof(kDigestInfo) + sizeof(digest);
  block[sizeof(block) - tail - 1] = 0x00;
  memcpy(block + sizeof(block) - tail, kDigestInfo, sizeof(kDigestInfo));
  memcpy(block + sizeof(block) - sizeof(digest), digest, sizeof(digest));

  uint8_t signature[kSignatureBytes];
  if (!ModularPower(block, d.data(), d.size(), n.data(), n.size(), signature)) return "";
  uint8_t record[kSignatureRecordBytes];
  BuildSignatureRecord(signature, record);
  return archive + std::string(reinterpret_cast<const char*>(record), sizeof(record));
}

}  // namespace kest::test
