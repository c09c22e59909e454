#include "verify/signature_record.h"

#include "verify/memory_hooks.h"

namespace kest {
namespace {

// The field at p (field_bytes long) holds text as a NUL-terminated string.
// Comparing the text with its terminator is the same as comparing the
// strings, and never reads past the field.
template <size_t kChars>
bool FieldHolds(const uint8_t* p, size_t field_bytes, const char (&text)[kChars]) {
  return kChars <= field_bytes && MemoryCompare(p, text, kChars) == 0;
}

}  // namespace

RecordCheck CheckSignatureRecord(const uint8_t* trailer, size_t size,
                                 const uint8_t** signature) {
  if (size < kSignatureRecordBytes) return RecordCheck::kTooShort;
  if (!FieldHolds(trailer, kMarkerBytes, kSignatureMarker) ||
      !FieldHolds(trailer + kSecondMarkerOffset, kMarkerBytes, kSignatureMarker)) {
    return RecordCheck::kBadMarker;
  }
  if (!FieldHolds(trailer + kSignerOffset, kSignerBytes, kPackageSigner)) {
    return RecordCheck::kUnknownSigner;
  }
  *signature = trailer + kSignatureOffset;
  return RecordCheck::kOk;
}

void BuildSignatureRecord(const uint8_t (&signature)[kSignatureBytes],
                          uint8_t (&record)[kSignatureRecordBytes]) {
  MemoryFill(record, 0, sizeof record);
  MemoryCopy(record, kSignatureMarker, sizeof kSignatureMarker);
  MemoryCopy(record + kSignerOffset, kPackageSigner, sizeof kPackageSigner);
  MemoryCopy(record + kSignatureOffset, signature, kSignatureBytes);
  MemoryCopy(record + kSecondMarkerOffset, kSignatureMarker, sizeof kSignatureMarker);
}

}  // namespace kest
