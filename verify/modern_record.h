// The second signature record, in a modern scheme, right after the first
// (RSA-768, MD5) record in a package's trailer. It signs the same bytes as
// the first record followed by the whole first record, so it vouches for
// both. Little-endian numbers; bytes after the record are not examined.
//
//   offset  size  field
//        0     8  magic "KestSig2" (no NUL)
//        8     2  scheme: 1 = RSA-3072, PKCS #1 v1.5, SHA-256
//       10     2  signature length n: 384 for scheme 1
//       12     n  signature, most significant byte first
//   12 + n     8  magic again
//
// For scheme 1 the record is kModernRecordBytes (404) long.
#pragma once
#include <cstddef>
#include <cstdint>

#include "verify/rsa_public_key.h"

namespace kest {

constexpr char kModernMagic[8] = {'K', 'e', 's', 't', 'S', 'i', 'g', '2'};
constexpr size_t kModernMagicBytes = sizeof kModernMagic;
constexpr size_t kModernSchemeOffset = kModernMagicBytes;
constexpr size_t kModernLengthOffset = kModernSchemeOffset + 2;
constexpr size_t kModernSignatureOffset = kModernLengthOffset + 2;
constexpr uint16_t kSchemeRsa3072Sha256 = 1;
constexpr size_t kModernSignatureBytes = kModernModulusBytes;
constexpr size_t kModernEndOffset = kModernSignatureOffset + kModernSignatureBytes;
constexpr size_t kModernRecordBytes = kModernEndOffset + kModernMagicBytes;
static_assert(kModernRecordBytes == 404, "record layout");

enum class ModernRecordCheck {
  kAbsent,     // no bytes at all after the first record
  kOk,
  kMalformed   // bytes there, but not a whole record of a known scheme
};

// Checks the bytes that follow the first record (size of them, any number).
// On kOk *signature points at the kModernSignatureBytes signature inside
// them. Reads nothing beyond size and nothing past the record.
ModernRecordCheck CheckModernRecord(const uint8_t* bytes, size_t size,
                                    const uint8_t** signature);

// Writes the record for signature (scheme 1).
void BuildModernRecord(const uint8_t (&signature)[kModernSignatureBytes],
                       uint8_t (&record)[kModernRecordBytes]);

}  // namespace kest
