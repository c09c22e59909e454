#include "verify/signed_package_reader.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "packaging/archive_writer.h"
#include "archive/memory_source.h"
#include "archive/posix_output_files.h"
#include "archive/reader_codes.h"
#include "packaging/vector_sink.h"
#include "base/install_codes.h"
#include "openssl_test_keys.h"
#include "verify/modern_key_slot.h"
#include "verify/modern_record.h"
#include "verify/signature_record.h"

namespace kest {
namespace {

using kest_test::Bytes;

// A package file: 3000 bytes of image, the archive, the signature record
// and ten more bytes.
struct Package {
  Bytes file;
  uint32_t archive_offset = 3000;
  uint32_t archive_length = 0;
  uint32_t main_header_end = 0;  // where the first entry header starts
};

// text fills the second entry's data.
Package MakePackage(const kest_test::OpenSslKey& signer, const char (&text)[9] = "kestinst") {
  Package p;
  for (uint32_t i = 0; i < p.archive_offset; ++i) p.file.push_back(uint8_t(i * 7));
  Bytes archive;
  VectorSink archive_sink(&archive);
  ArchiveWriter writer(archive_sink);
  const std::string manifest = "[Component1]\r\nName=Test\r\n";
  Bytes data(50000);
  for (size_t i = 0; i < data.size(); ++i) data[i] = uint8_t(text[i % 8] + i / 1000);
  EntryInfo info = {"CPACK.INI", 0x22388269, 0x01BC0A3C4155F880, {0, 0, 0, 0}};
  EXPECT_EQ(writer.Begin("CPACK.ARJ", 0x22388269), 0u);
  p.main_header_end = p.archive_offset + uint32_t(archive.size());
  EXPECT_EQ(writer.AddEntry(info, reinterpret_cast<const uint8_t*>(manifest.data()),
                            uint32_t(manifest.size()), 0),
            0u);
  info.name = "Data/Big.BIN";
  EXPECT_EQ(writer.AddEntry(info, data.data(), uint32_t(data.size()), 1), 0u);
  EXPECT_EQ(writer.Finish(), 0u);
  p.archive_length = writer.length();
  EXPECT_EQ(SetArchiveLength(archive.data(), p.archive_length, p.archive_length), 0u);
  p.file.insert(p.file.end(), archive.begin(), archive.end());

  Bytes signature = signer.SignMd5(p.file);
  uint8_t sig[kSignatureBytes], record[kSignatureRecordBytes];
  memcpy(sig, signature.data(), sizeof sig);
  BuildSignatureRecord(sig, record);
  p.file.insert(p.file.end(), record, record + sizeof record);
  p.file.insert(p.file.end(), 10, 0xEE);
  return p;
}

// A memory source that can be told to fail one kind of operation.
class TestSource : public MemorySource {
 public:
  explicit TestSource(const Bytes& bytes) : MemorySource(bytes.data(), uint32_t(bytes.size())) {}
  uint32_t Tell(uint32_t* position) override {
    return fail_tell_after-- == 0 ? 6 : MemorySource::Tell(position);
  }
  uint32_t Size(uint32_t* size) override { return fail_size ? 21 : MemorySource::Size(size); }
  uint32_t Read(void* buffer, uint32_t size, uint32_t* read) override {
    const uint32_t code = MemorySource::Read(buffer, size, read);
    uint32_t position = 0;
    MemorySource::Tell(&position);
    if (position > furthest_read) furthest_read = position;
    return code;
  }
  int fail_tell_after = -1;  // succeed this many times, then fail once
  bool fail_size = false;
  uint32_t furthest_read = 0;  // the end of the furthest read so far
};

class SignedReader : public testing::Test {
 protected:
  static void SetUpTestSuite() { signer_ = new kest_test::OpenSslKey(768, 65537); }
  static void TearDownTestSuite() { delete signer_; }
  static kest_test::OpenSslKey* signer_;
  PosixFileSystem output_;
};
kest_test::OpenSslKey* SignedReader::signer_ = nullptr;

TEST_F(SignedReader, IntactPackageOpensAtItsFirstEntryAndKeepsItsTrailer) {
  Package p = MakePackage(*signer_);
  RsaPublicKey key = signer_->PublicKey();
  TestSource source(p.file);
  source.Seek(p.archive_offset);
  SignedPackageReader reader(&source, false, output_, &key);
  ASSERT_TRUE(reader.Open()) << std::hex << reader.GetError();
  EXPECT_EQ(reader.GetError(), 0u);
  EXPECT_STREQ(reader.GetEntryName(), "cpack.ini");
  EXPECT_EQ(reader.GetArchiveLength(), p.archive_length);
  // The record only: the ten bytes after it are never read.
  EXPECT_EQ(reader.trailer_size(), kSignatureRecordBytes);
  ASSERT_TRUE(reader.NextEntry());
  EXPECT_STREQ(reader.GetEntryName(), "data\\big.bin");
  EXPECT_FALSE(reader.NextEntry());
  EXPECT_EQ(reader.GetError(), kReaderEndOfArchive);
}

// Whatever follows the record is never examined, so it is never read: a
// package with megabytes appended costs the installer no more memory.
TEST_F(SignedReader, ReadsOnlyTheRecordOfALongTrailer) {
  Package p = MakePackage(*signer_);
  const uint32_t end_of_archive = p.archive_offset + p.archive_length;
  p.file.resize(p.file.size() + (4u << 20), 0xEE);
  RsaPublicKey key = signer_->PublicKey();
  TestSource source(p.file);
  source.Seek(p.archive_offset);
  SignedPackageReader reader(&source, false, output_, &key);
  ASSERT_TRUE(reader.Open()) << std::hex << reader.GetError();
  EXPECT_LE(source.furthest_read, end_of_archive + kSignatureRecordBytes);
  EXPECT_EQ(reader.trailer_size(), kSignatureRecordBytes);
}

// With a modern key the reader reads the second record too, and still
// nothing after it; both signatures pass and the entries follow. The same
// reader refuses the ten stray bytes of a package without the record.
TEST_F(SignedReader, WithAModernKeyReadsAndChecksTheSecondRecordOnly) {
  Package p = MakePackage(*signer_);
  const uint32_t end_of_archive = p.archive_offset + p.archive_length;
  Bytes stray = p.file;
  p.file.resize(end_of_archive + kSignatureRecordBytes);  // drop the ten bytes
  const Bytes signature = kest_test::TestModernKey().SignSha256(p.file);
  uint8_t sig[kModernSignatureBytes], record[kModernRecordBytes];
  memcpy(sig, signature.data(), sizeof sig);
  BuildModernRecord(sig, record);
  p.file.insert(p.file.end(), record, record + sizeof record);
  p.file.resize(p.file.size() + (4u << 20), 0xEE);

  const RsaPublicKey key = signer_->PublicKey();
  const ModernKey modern = {true, false, kest_test::TestModernKey().PublicKey()};
  TestSource source(p.file);
  source.Seek(p.archive_offset);
  SignedPackageReader reader(&source, false, output_, &key, &modern);
  ASSERT_TRUE(reader.Open()) << std::hex << reader.GetError();
  EXPECT_TRUE(reader.modern_verified());
  EXPECT_LE(source.furthest_read, end_of_archive + kSignatureRecordBytes + kModernRecordBytes);
  EXPECT_EQ(reader.trailer_size(), kSignatureRecordBytes + kModernRecordBytes);
  EXPECT_STREQ(reader.GetEntryName(), "cpack.ini");

  TestSource stray_source(stray);
  stray_source.Seek(p.archive_offset);
  SignedPackageReader refused(&stray_source, false, output_, &key, &modern);
  EXPECT_FALSE(refused.Open());
  EXPECT_EQ(refused.GetError(), kCodeDamagedPackage);
  EXPECT_EQ(refused.verdict(), SignatureVerdict::kModernBadRecord);
  EXPECT_FALSE(refused.modern_verified());
}

// A path that names another file at every open, as a folder switched
// between two files does: a signed package and a forgery that carries the
// signed package's signature record behind an archive of its own.
class SwitchingPath {
 public:
  SwitchingPath(const Bytes& first, const Bytes& second) : files_{&first, &second} {}
  std::unique_ptr<ByteSource> Open() {
    const Bytes& file = *files_[opens_++ % 2];
    return std::unique_ptr<ByteSource>(new MemorySource(file.data(), uint32_t(file.size())));
  }
  int opens() const { return opens_; }

 private:
  const Bytes* files_[2];
  int opens_ = 0;
};

// The signature covers the bytes the entries come from: whichever file the
// one open finds, a forgery is refused and a signed package gives its own
// entries. A check that opened the path again would have read the signed
// file's bytes and passed the forgery's entries.
TEST_F(SignedReader, ChecksTheBytesItReadsTheEntriesFrom) {
  const Package good = MakePackage(*signer_);
  const Package other = MakePackage(*signer_, "forgery!");
  const uint32_t good_end = good.archive_offset + good.archive_length;
  const uint32_t other_end = other.archive_offset + other.archive_length;
  Bytes forged(other.file.begin(), other.file.begin() + other_end);
  forged.insert(forged.end(), good.file.begin() + good_end, good.file.end());
  RsaPublicKey key = signer_->PublicKey();

  struct Case {
    const char* name;
    const Bytes& first;
    const Bytes& second;
    bool opens;
  } const kCases[] = {
      {"forgery first", forged, good.file, false},
      {"signed package first", good.file, forged, true},
  };
  for (const Case& c : kCases) {
    SwitchingPath path(c.first, c.second);
    std::unique_ptr<ByteSource> source = path.Open();
    ASSERT_EQ(source->Seek(good.archive_offset), 0u);
    SignedPackageReader reader(source.get(), false, output_, &key);
    EXPECT_EQ(reader.Open(), c.opens) << c.name;
    EXPECT_EQ(path.opens(), 1) << c.name;
    if (!c.opens) {
      EXPECT_EQ(reader.GetError(), kCodeDamagedPackage) << c.name;
      EXPECT_EQ(reader.verdict(), SignatureVerdict::kMismatch) << c.name;
      continue;
    }
    // The last entry's packed bytes end 4 bytes (the end marker) before the
    // archive does.
    ASSERT_TRUE(reader.NextEntry()) << c.name;
    const uint32_t size = reader.GetEntryPackedSize();
    const Bytes signed_data(good.file.begin() + good_end - 4 - size,
                            good.file.begin() + good_end - 4);
    EXPECT_TRUE(Bytes(reader.GetEntryData(), reader.GetEntryData() + size) == signed_data)
        << c.name << ": not the signed entry's bytes";
  }
}

TEST_F(SignedReader, FailuresAndTheirCodes) {
  const Package good = MakePackage(*signer_);
  const uint32_t end_of_archive = good.archive_offset + good.archive_length;
  struct Case {
    const char* name;
    Bytes file;
    uint32_t code;
    SignatureVerdict verdict;
    int fail_tell_after;
    bool fail_size;
  };
  auto flipped = [&](size_t at) {
    Bytes b = good.file;
    b[at] ^= 0x40;
    return b;
  };
  auto cut = [&](size_t size) { return Bytes(good.file.begin(), good.file.begin() + size); };
  const Case kCases[] = {
      {"image byte", flipped(10), kCodeDamagedPackage, SignatureVerdict::kMismatch, -1, false},
      {"last packed byte", flipped(end_of_archive - 5), kCodeDamagedPackage,
       SignatureVerdict::kMismatch, -1, false},
      {"second marker", flipped(end_of_archive + kSecondMarkerOffset + 2), kCodeDamagedPackage,
       SignatureVerdict::kBadMarker, -1, false},
      {"signer case", flipped(end_of_archive + kSignerOffset), kCodeDamagedPackage,
       SignatureVerdict::kUnknownSigner, -1, false},
      {"no trailer at all", cut(end_of_archive), kCodeDamagedPackage,
       SignatureVerdict::kTrailerTooShort, -1, false},
      {"cut short inside the archive", cut(end_of_archive - 100), kReaderShortTrailer,
       SignatureVerdict::kPass, -1, false},
      {"file size unknown", good.file, 21, SignatureVerdict::kPass, -1, true},
      // The reader asks for the position once itself; the trailer step next.
      {"position unknown", good.file, 6, SignatureVerdict::kPass, 1, false},
  };
  RsaPublicKey key = signer_->PublicKey();
  for (const Case& c : kCases) {
    TestSource source(c.file);
    source.Seek(good.archive_offset);
    source.fail_tell_after = c.fail_tell_after;
    source.fail_size = c.fail_size;
    SignedPackageReader reader(&source, false, output_, &key);
    EXPECT_FALSE(reader.Open()) << c.name;
    EXPECT_EQ(reader.GetError(), c.code) << c.name << std::hex << " got 0x" << reader.GetError();
    EXPECT_EQ(reader.verdict(), c.verdict) << c.name;
    EXPECT_FALSE(reader.IsUsable()) << c.name;
    EXPECT_EQ(reader.trailer(), nullptr) << c.name << ": trailer kept after a failure";
    if (c.fail_tell_after < 0) {
      uint32_t position = 0;
      source.Tell(&position);
      EXPECT_EQ(position, good.main_header_end) << c.name << ": position not restored";
    }
  }
}

TEST_F(SignedReader, BuiltinKeyAcceptsPackagesSignedWithTheRepositoryTestKey) {
  kest_test::OpenSslKey test_key(KEST_SOURCE_DIR "/tests/keys/test-signing-key.pem");
  Package p = MakePackage(test_key);
  TestSource source(p.file);
  source.Seek(p.archive_offset);
  SignedPackageReader reader(&source, false, output_);
  EXPECT_TRUE(reader.Open()) << std::hex << reader.GetError();

  Package other = MakePackage(*signer_);
  TestSource other_source(other.file);
  other_source.Seek(other.archive_offset);
  SignedPackageReader refused(&other_source, false, output_);
  EXPECT_FALSE(refused.Open());
  EXPECT_EQ(refused.GetError(), kCodeDamagedPackage);
}

// The installer's own path: no modern key passed, so this build's
// modern-key slot decides. The slot is written here as the build (or
// kestpack) would fill it, and restored afterwards.
TEST_F(SignedReader, TheBuiltinModernKeySlotDecidesTheSecondCheck) {
  kest_test::OpenSslKey test_key(KEST_SOURCE_DIR "/tests/keys/test-signing-key.pem");
  Package p = MakePackage(test_key);  // record and ten stray bytes
  const size_t first_end = p.archive_offset + p.archive_length + kSignatureRecordBytes;
  Bytes both(p.file.begin(), p.file.begin() + first_end);
  const Bytes signature = kest_test::TestModernKey().SignSha256(both);
  uint8_t sig[kModernSignatureBytes], record[kModernRecordBytes];
  memcpy(sig, signature.data(), sizeof sig);
  BuildModernRecord(sig, record);
  both.insert(both.end(), record, record + sizeof record);
  const Bytes modern_der = kest_test::TestModernKey().PublicKeyDer();
  ASSERT_EQ(modern_der.size(), kModernKeyDerBytes);

  uint8_t saved_key[kModernKeyDerBytes];
  bool saved_required = false;
  ReadBuiltinModernKeyDer(saved_key, &saved_required);
  ASSERT_EQ(Bytes(saved_key, saved_key + kModernKeyDerBytes), Bytes(kModernKeyDerBytes, 0))
      << "this build carries a modern key of its own";
  auto set_slot = [](const uint8_t* key, bool required) {
    for (size_t i = 0; i < kModernKeyDerBytes; ++i) g_modern_key_slot.key[i] = key[i];
    g_modern_key_slot.required = required ? 1 : 0;
  };
  Bytes garbled = modern_der;
  garbled[30] ^= 0xFF;  // inside the modulus's length: no longer parses
  const Bytes zero(kModernKeyDerBytes, 0);
  using V = SignatureVerdict;
  struct {
    const char* name;
    const Bytes* slot_key;
    bool required;
    const Bytes* file;
    V verdict;
  } const kCases[] = {
      {"unfilled: stray bytes after the record, as before", &zero, false, &p.file, V::kPass},
      {"unfilled: both records", &zero, false, &both, V::kPass},
      {"filled: both records", &modern_der, false, &both, V::kPass},
      {"filled: stray bytes after the record", &modern_der, false, &p.file,
       V::kModernBadRecord},
      {"filled and required: both records", &modern_der, true, &both, V::kPass},
      {"unfilled but required: refuses everything", &zero, true, &both, V::kBadKey},
      {"a key that does not parse: refuses everything", &garbled, false, &both, V::kBadKey},
  };
  for (const auto& c : kCases) {
    set_slot(c.slot_key->data(), c.required);
    TestSource source(*c.file);
    source.Seek(p.archive_offset);
    SignedPackageReader reader(&source, false, output_);
    EXPECT_EQ(reader.Open(), c.verdict == V::kPass) << c.name;
    EXPECT_EQ(reader.verdict(), c.verdict) << c.name;
  }
  set_slot(saved_key, saved_required);
}

}  // namespace
}  // namespace kest
