// Feeds arbitrary bytes to the package signature side as a damaged or
// forged installer would present them: the signed package reader over the
// bytes as a whole file (archive offset from the first four input bytes;
// the signed range is read through the same source),
// the DER key readers, the signature record check and the second record's
// parser. Nothing may read outside its buffer.
//
// Two readers run on each input. The first checks against a modulus whose
// factors nobody knows, with an equally unknown modern key, so no input
// can carry a valid signature and the reader must never become usable; the
// second record's faults that need no digest are found before the first
// signature is checked, so its parser is reached. The second reader checks
// the first record with this build's key (the public TEST key, with which
// the seeds are signed) and requires a second record under an unknown
// RSA-3072 key, so that inputs get through to the SHA-256 digest and the
// second signature, which no input can satisfy either.
//
// Seeds: installers built by kestpack, each behind its archive offset as a
// 32-bit little-endian number, some with the second record; bare archives
// behind four zero bytes.
#include <cstddef>
#include <cstdint>

#include "archive/memory_source.h"
#include "archive/posix_output_files.h"
#include "verify/modern_record.h"
#include "verify/rsa_public_key.h"
#include "verify/signature_check.h"
#include "verify/signature_record.h"
#include "verify/signed_package_reader.h"

namespace {

// An odd modulus of `bytes` bytes with its top bit set, and exponent 65537.
kest::RsaPublicKey UnknownKey(size_t bytes) {
  kest::RsaPublicKey key = {};
  key.modulus_bytes = bytes;
  for (size_t i = 0; i < bytes; ++i) key.modulus[i] = uint8_t(0xC5 ^ (i * 29));
  key.modulus[bytes - 1] |= 1;
  key.exponent[0] = 1;
  key.exponent[2] = 1;
  key.exponent_bytes = 3;
  return key;
}

bool Opens(const uint8_t* file, uint32_t file_size, uint32_t offset,
           const kest::RsaPublicKey& key, const kest::ModernKey& modern) {
  kest::MemorySource source(file, file_size);
  source.Seek(offset);
  kest::PosixFileSystem output;
  kest::SignedPackageReader reader(&source, false, output, &key, &modern);
  reader.set_packed_size_limit(1u << 20);
  return reader.Open();
}

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
  kest::ParseRsaPublicKeyDer(file, file_size, &key, kest::kModernModulusBits);
  const uint8_t* signature = nullptr;
  kest::CheckSignatureRecord(file, file_size, &signature);
  kest::CheckModernRecord(file, file_size, &signature);

  const kest::ModernKey unknown_modern = {true, false, UnknownKey(kest::kModernModulusBytes)};
  // Accepted without the private key: the check is broken.
  if (Opens(file, file_size, offset, UnknownKey(kest::kPackageModulusBytes), unknown_modern)) {
    __builtin_trap();
  }
  kest::RsaPublicKey builtin;
  const kest::ModernKey required_modern = {true, true, UnknownKey(kest::kModernModulusBytes)};
  if (kest::LoadBuiltinPublicKey(&builtin) &&
      Opens(file, file_size, offset, builtin, required_modern)) {
    __builtin_trap();
  }
  return 0;
}
