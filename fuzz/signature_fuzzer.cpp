// Feeds arbitrary bytes to the package signature side as a damaged or
// forged installer would present them: the signed package reader over the
// bytes as a whole file (archive offset from the first four input bytes,
// the signature read again through a second source over the same bytes),
// the DER key reader and the signature record check. Nothing may read
// outside its buffer. The reader checks against a modulus whose factors
// nobody knows, so no input can carry a valid signature and the reader
// must never become usable.
//
// Seeds: installers built by kestpack, each behind its archive offset as a
// 32-bit little-endian number; bare archives behind four zero bytes.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>

#include "archive/memory_source.h"
#include "archive/posix_output_files.h"
#include "verify/rsa_public_key.h"
#include "verify/signature_record.h"
#include "verify/signed_package_reader.h"

namespace {

class SameBytes : public kest::PackageFileAccess {
 public:
  SameBytes(const uint8_t* data, uint32_t size) : data_(data), size_(size) {}
  uint32_t GetPackagePath(char* path, size_t size) override {
    strncpy(path, "package.exe", size);
    return 0;
  }
  std::unique_ptr<kest::ByteSource> OpenForSequentialRead(const char*) override {
    return std::unique_ptr<kest::ByteSource>(new kest::MemorySource(data_, size_));
  }

 private:
  const uint8_t* data_;
  uint32_t size_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 4 || size > (1u << 20)) return 0;
  uint32_t offset = uint32_t(data[0]) | uint32_t(data[1]) << 8 | uint32_t(data[2]) << 16 |
                    uint32_t(data[3]) << 24;
  const uint8_t* file = data + 4;
  const uint32_t file_size = uint32_t(size - 4);
  offset = file_size ? offset % file_size : 0;

  kest::RsaPublicKey key;
  kest::ParseRsaPublicKeyDer(file, file_size, &key);
  const uint8_t* signature = nullptr;
  kest::CheckSignatureRecord(file, file_size, &signature);

  kest::MemorySource source(file, file_size);
  source.Seek(offset);
  kest::PosixFileSystem output;
  SameBytes files(file, file_size);
  kest::RsaPublicKey unknown = {};
  unknown.modulus_bytes = kest::kPackageModulusBytes;
  for (size_t i = 0; i < unknown.modulus_bytes; ++i) unknown.modulus[i] = uint8_t(0xC5 ^ (i * 29));
  unknown.modulus[unknown.modulus_bytes - 1] |= 1;
  unknown.exponent[0] = 1;
  unknown.exponent[2] = 1;
  unknown.exponent_bytes = 3;
  kest::SignedPackageReader reader(&source, false, output, files, &unknown);
  reader.set_packed_size_limit(1u << 20);
  if (reader.Open()) __builtin_trap();  // accepted without the private key
  return 0;
}
