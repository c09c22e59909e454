#include "verify/modern_record.h"

#include "verify/memory_hooks.h"

namespace kest {
namespace {

uint16_t ReadU16(const uint8_t* p) { return uint16_t(p[0] | p[1] << 8); }

}  // namespace

ModernRecordCheck CheckModernRecord(const uint8_t* bytes, size_t size,
                                    const uint8_t** signature) {
  if (size == 0) return ModernRecordCheck::kAbsent;
  // The one scheme known has a fixed length, so the whole record must be
  // there before any field is read.
  if (size < kModernRecordBytes ||
      MemoryCompare(bytes, kModernMagic, kModernMagicBytes) != 0 ||
      ReadU16(bytes + kModernSchemeOffset) != kSchemeRsa3072Sha256 ||
      ReadU16(bytes + kModernLengthOffset) != kModernSignatureBytes ||
      MemoryCompare(bytes + kModernEndOffset, kModernMagic, kModernMagicBytes) != 0) {
    return ModernRecordCheck::kMalformed;
  }
  *signature = bytes + kModernSignatureOffset;
  return ModernRecordCheck::kOk;
}

void BuildModernRecord(const uint8_t (&signature)[kModernSignatureBytes],
                       uint8_t (&record)[kModernRecordBytes]) {
  MemoryCopy(record, kModernMagic, kModernMagicBytes);
  record[kModernSchemeOffset] = uint8_t(kSchemeRsa3072Sha256);
  record[kModernSchemeOffset + 1] = uint8_t(kSchemeRsa3072Sha256 >> 8);
  record[kModernLengthOffset] = uint8_t(kModernSignatureBytes);
  record[kModernLengthOffset + 1] = uint8_t(kModernSignatureBytes >> 8);
  MemoryCopy(record + kModernSignatureOffset, signature, kModernSignatureBytes);
  MemoryCopy(record + kModernEndOffset, kModernMagic, kModernMagicBytes);
}

}  // namespace kest
