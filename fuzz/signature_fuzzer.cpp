// Feeds arbitrary bytes to the package signature side as a damaged or
// forged installer would present them: the signed package reader over the
// bytes as a whole file (archive offset from the first four input bytes;
// the signed range is read through the same source),
// the DER key reader and the signature record check. Nothing may read
// outside its buffer. The reader checks against a modulus whose factors
// nobody knows, so no input can carry a valid signature and the reader
// must never become usable.
//
// Seeds: installers built by kestpack, each behind its archive offset as a
// 32-bit little-endian number; bare archives behind four zero bytes.
#include <cstddef>
#include <cstdint>

#include "archive/memory_source.h"
#include "archive/posix_output_files.h"
#include "verify/rsa_public_key.h"
#include "verify/signature_record.h"
#include "verify/signed_package_reader.h"

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
  kest::RsaPublicKey unknown = {};
  unknown.modulus_bytes = kest::kPackageModulusBytes;
  for (size_t i = 0; i < unknown.modulus_bytes; ++i) unknown.modulus[i] = uint8_t(0xC5 ^ (i * 29));
  unknown.modulus[unknown.modulus_bytes - 1] |= 1;
  unknown.exponent[0] = 1;
  unknown.exponent[2] = 1;
  unknown.exponent_bytes = 3;
  kest::SignedPackageReader reader(&source, false, output, &unknown);
  reader.set_packed_size_limit(1u << 20);
  if (reader.Open()) __builtin_trap();  // accepted without the private key
  return 0;
}
