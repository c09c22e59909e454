#include "verify/signature_check.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>

#include "archive/memory_source.h"
#include "openssl_test_keys.h"
#include "verify/modern_record.h"
#include "verify/public_key_slot.h"
#include "verify/signature_record.h"

namespace kest {
namespace {

using kest_test::Bytes;

// Bytes in memory as a file (not owned); records the size of every read
// asked for, and can be told to fail reads.
class VectorSource : public MemorySource {
 public:
  explicit VectorSource(const Bytes& data) : MemorySource(data.data(), uint32_t(data.size())) {}
  uint32_t Read(void* buffer, uint32_t size, uint32_t* read) override {
    reads.push_back(size);
    return fail_reads ? 5 /* ERROR_ACCESS_DENIED */ : MemorySource::Read(buffer, size, read);
  }
  std::vector<uint32_t> reads;
  bool fail_reads = false;
};

Bytes TrailerFor(const Bytes& signature, size_t extra) {
  uint8_t sig[kSignatureBytes], record[kSignatureRecordBytes];
  memcpy(sig, signature.data(), sizeof sig);
  BuildSignatureRecord(sig, record);
  Bytes trailer(record, record + sizeof record);
  for (size_t i = 0; i < extra; ++i) trailer.push_back(uint8_t(i));
  return trailer;
}

struct SignedPackage {
  Bytes body;     // the signed range: image and archive
  Bytes trailer;  // record and 16 more bytes
  RsaPublicKey key;
};

SignedPackage MakePackage(size_t size) {
  static kest_test::OpenSslKey signer(768, 65537);
  SignedPackage p;
  for (size_t i = 0; i < size; ++i) p.body.push_back(uint8_t(i * 13 + i / 251));
  p.trailer = TrailerFor(signer.SignMd5(p.body), 16);
  p.key = signer.PublicKey();
  return p;
}

SignatureVerdict Check(const Bytes& body, const Bytes& trailer, const RsaPublicKey& key,
                       uint32_t signed_length) {
  VectorSource file(body);
  file.Seek(77);  // the check must not depend on the handle's position
  return CheckSignedData(file, signed_length, trailer.data(), trailer.size(), key);
}

TEST(SignatureCheck, TableOfPackages) {
  const SignedPackage p = MakePackage(3 * 65536 + 1000);
  const uint32_t length = uint32_t(p.body.size());
  auto body_with = [&](size_t at) {
    Bytes b = p.body;
    b[at] ^= 0x01;
    return b;
  };
  auto trailer_with = [&](size_t at, uint8_t value) {
    Bytes t = p.trailer;
    t[at] = value;
    return t;
  };
  Bytes full_file = p.body;
  full_file.insert(full_file.end(), p.trailer.begin(), p.trailer.end());
  using V = SignatureVerdict;
  struct {
    const char* name;
    Bytes body, trailer;
    uint32_t signed_length;
    V verdict;
  } const kCases[] = {
      {"intact", p.body, p.trailer, length, V::kPass},
      {"intact, trailer present in the file", full_file, p.trailer, length, V::kPass},
      {"record only, nothing after it", p.body, Bytes(p.trailer.begin(), p.trailer.begin() + 144),
       length, V::kPass},
      {"byte after the record changed", p.body, trailer_with(144, 0xEE), length, V::kPass},
      {"first byte changed", body_with(0), p.trailer, length, V::kMismatch},
      {"last byte of the first chunk", body_with(65535), p.trailer, length, V::kMismatch},
      {"first byte of the second chunk", body_with(65536), p.trailer, length, V::kMismatch},
      {"last signed byte", body_with(length - 1), p.trailer, length, V::kMismatch},
      {"signature byte", p.body, trailer_with(kSignatureOffset + 50, 0), length, V::kMismatch},
      {"range one byte short", p.body, p.trailer, length - 1, V::kMismatch},
      {"file shorter than the range", Bytes(p.body.begin(), p.body.end() - 1), p.trailer, length,
       V::kReadFailed},
      {"trailer of 143 bytes", p.body, Bytes(p.trailer.begin(), p.trailer.begin() + 143), length,
       V::kTrailerTooShort},
      {"empty trailer", p.body, Bytes(), length, V::kTrailerTooShort},
      {"first marker damaged", p.body, trailer_with(3, 'X'), length, V::kBadMarker},
      {"second marker damaged", p.body, trailer_with(kSecondMarkerOffset + 6, 'G'), length,
       V::kBadMarker},
      {"second marker unterminated", p.body, trailer_with(kSecondMarkerOffset + 7, 'x'), length,
       V::kBadMarker},
      {"signer differs in case", p.body, trailer_with(kSignerOffset + 8, 'd'), length,
       V::kUnknownSigner},
      {"signer name longer", p.body, trailer_with(kSignerOffset + 19, 's'), length,
       V::kUnknownSigner},
      {"byte after the signer's terminator", p.body, trailer_with(kSignerOffset + 25, 'x'),
       length, V::kPass},
  };
  for (const auto& c : kCases) {
    EXPECT_EQ(Check(c.body, c.trailer, p.key, c.signed_length), c.verdict) << c.name;
  }
}

// A second record whose signature, under the repository's modern TEST
// key, covers signed_bytes.
Bytes ModernRecordOver(const Bytes& signed_bytes) {
  Bytes signature = kest_test::TestModernKey().SignSha256(signed_bytes);
  uint8_t sig[kModernSignatureBytes], record[kModernRecordBytes];
  memcpy(sig, signature.data(), sizeof sig);
  BuildModernRecord(sig, record);
  return Bytes(record, record + sizeof record);
}

ModernKey TestModernKey(bool required) {
  return ModernKey{true, required, kest_test::TestModernKey().PublicKey()};
}

Bytes Cat(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

// The first record of p and the genuine second record behind it: the
// second signs p's body followed by the first record.
Bytes BothRecords(const SignedPackage& p) {
  const Bytes first(p.trailer.begin(), p.trailer.begin() + kSignatureRecordBytes);
  return Cat(first, ModernRecordOver(Cat(p.body, first)));
}

TEST(SignatureCheck, TableOfSecondRecords) {
  const SignedPackage p = MakePackage(65536 + 3000);
  const uint32_t length = uint32_t(p.body.size());
  const Bytes first(p.trailer.begin(), p.trailer.begin() + kSignatureRecordBytes);
  const Bytes both = BothRecords(p);
  const Bytes second(both.begin() + kSignatureRecordBytes, both.end());
  Bytes changed_body = p.body;
  changed_body[66000] ^= 0x20;  // in the second chunk
  Bytes damaged_first = both;
  damaged_first[kSignatureOffset + 7] ^= 0x01;
  // A second record that signs the body alone, not the first record.
  const Bytes body_only = Cat(first, ModernRecordOver(p.body));
  // The same second record after another valid first record of the same
  // body: the second signature no longer matches what it vouched for.
  Bytes other_first = TrailerFor(kest_test::TestSigningKey().SignMd5(p.body), 0);
  RsaPublicKey test_key = kest_test::TestSigningKey().PublicKey();
  const ModernKey none = {false, false, {}}, none_required = {false, true, {}};
  const ModernKey optional = TestModernKey(false), required = TestModernKey(true);
  using V = SignatureVerdict;
  struct {
    const char* name;
    Bytes body, trailer;
    const RsaPublicKey* key;
    const ModernKey* modern;
    V verdict;
  } const kCases[] = {
      {"both records, optional", p.body, both, &p.key, &optional, V::kPass},
      {"both records, required", p.body, both, &p.key, &required, V::kPass},
      {"first record alone, optional", p.body, first, &p.key, &optional, V::kPass},
      {"first record alone, required", p.body, first, &p.key, &required, V::kModernMissing},
      {"no modern key: garbage after the first record", p.body, p.trailer, &p.key, &none,
       V::kPass},
      {"no modern key: required flag alone changes nothing", p.body, first, &p.key,
       &none_required, V::kPass},
      {"no modern key: both records", p.body, both, &p.key, nullptr, V::kPass},
      {"garbage after the first record", p.body, p.trailer, &p.key, &optional,
       V::kModernBadRecord},
      {"second record cut short", p.body, Bytes(both.begin(), both.end() - 1), &p.key,
       &optional, V::kModernBadRecord},
      {"body changed", changed_body, both, &p.key, &required, V::kMismatch},
      {"first signature damaged", p.body, damaged_first, &p.key, &required, V::kMismatch},
      {"second record signs the body alone", p.body, body_only, &p.key, &required,
       V::kModernMismatch},
      {"first record swapped for another valid one", p.body, Cat(other_first, second),
       &test_key, &optional, V::kModernMismatch},
  };
  for (const auto& c : kCases) {
    VectorSource file(c.body);
    EXPECT_EQ(CheckSignedData(file, length, c.trailer.data(), c.trailer.size(), *c.key, c.modern),
              c.verdict)
        << c.name;
  }
}

TEST(SignatureCheck, EveryByteOfTheSecondRecordChangedIsRefused) {
  const SignedPackage p = MakePackage(5000);
  const Bytes both = BothRecords(p);
  const ModernKey optional = TestModernKey(false);
  VectorSource file(p.body);
  ASSERT_EQ(CheckSignedData(file, uint32_t(p.body.size()), both.data(), both.size(), p.key,
                            &optional),
            SignatureVerdict::kPass);
  for (size_t at = kSignatureRecordBytes; at < both.size(); ++at) {
    for (uint8_t flip : {0x01, 0x80}) {
      Bytes trailer = both;
      trailer[at] ^= flip;
      EXPECT_NE(CheckSignedData(file, uint32_t(p.body.size()), trailer.data(), trailer.size(),
                                p.key, &optional),
                SignatureVerdict::kPass)
          << "record byte " << at - kSignatureRecordBytes << " ^ " << int(flip);
    }
  }
}

TEST(SignatureCheck, ReadsTheRangeIn64KiBChunksAndStopsOnAFailedRead) {
  const SignedPackage p = MakePackage(2 * 65536 + 5);
  VectorSource file(p.body);
  ASSERT_EQ(CheckSignedData(file, uint32_t(p.body.size()), p.trailer.data(), p.trailer.size(),
                            p.key),
            SignatureVerdict::kPass);
  EXPECT_EQ(file.reads, (std::vector<uint32_t>{65536, 65536, 5}));
  // With the second record both digests come from the same reads.
  const Bytes both = BothRecords(p);
  const ModernKey required = TestModernKey(true);
  VectorSource once(p.body);
  ASSERT_EQ(CheckSignedData(once, uint32_t(p.body.size()), both.data(), both.size(), p.key,
                            &required),
            SignatureVerdict::kPass);
  EXPECT_EQ(once.reads, (std::vector<uint32_t>{65536, 65536, 5}));

  VectorSource failing(p.body);
  failing.fail_reads = true;
  EXPECT_EQ(CheckSignedData(failing, uint32_t(p.body.size()), p.trailer.data(),
                            p.trailer.size(), p.key),
            SignatureVerdict::kReadFailed);
}

TEST(SignatureCheck, BuiltinKeyVerifiesSignaturesOfTheOpenSslCommandLine) {
  // The build embeds tests/keys/test-signing-key.der unless told otherwise;
  // `openssl dgst -md5 -sign` with the matching private key is the signer.
  std::ifstream der_file(KEST_SOURCE_DIR "/tests/keys/test-signing-key.der", std::ios::binary);
  Bytes der((std::istreambuf_iterator<char>(der_file)), std::istreambuf_iterator<char>());
  uint8_t builtin[kPublicKeyDerBytes];
  ReadBuiltinPublicKeyDer(builtin);
  if (der != Bytes(builtin, builtin + sizeof builtin)) {
    GTEST_SKIP() << "this build carries another public key";
  }
  RsaPublicKey key;
  ASSERT_TRUE(LoadBuiltinPublicKey(&key));

  std::string dir = testing::TempDir();
  std::string data_path = dir + "/signed-data.bin", sig_path = dir + "/signed-data.sig";
  Bytes body;
  for (int i = 0; i < 100000; ++i) body.push_back(uint8_t(i ^ (i >> 8)));
  std::ofstream(data_path, std::ios::binary).write(reinterpret_cast<const char*>(body.data()),
                                                   std::streamsize(body.size()));
  std::string command = "openssl dgst -md5 -sign " KEST_SOURCE_DIR
                        "/tests/keys/test-signing-key.pem -out " + sig_path + " " + data_path;
  ASSERT_EQ(system(command.c_str()), 0) << command;
  std::ifstream sig_file(sig_path, std::ios::binary);
  Bytes signature((std::istreambuf_iterator<char>(sig_file)), std::istreambuf_iterator<char>());
  ASSERT_EQ(signature.size(), kSignatureBytes);

  Bytes trailer = TrailerFor(signature, 0);
  EXPECT_EQ(Check(body, trailer, key, uint32_t(body.size())), SignatureVerdict::kPass);
  body[50000] ^= 0x80;
  EXPECT_EQ(Check(body, trailer, key, uint32_t(body.size())), SignatureVerdict::kMismatch);
  remove(data_path.c_str());
  remove(sig_path.c_str());
}

}  // namespace
}  // namespace kest
