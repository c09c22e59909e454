#include "verify/signature_check.h"

#include "verify/md5.h"
#include "verify/memory_hooks.h"
#include "verify/modern_key_slot.h"
#include "verify/modern_record.h"
#include "verify/pkcs1_signature.h"
#include "verify/public_key_slot.h"
#include "verify/sha256.h"
#include "verify/signature_record.h"

namespace kest {
namespace {

SignatureVerdict FromRecordCheck(RecordCheck check) {
  switch (check) {
    case RecordCheck::kOk: return SignatureVerdict::kPass;
    case RecordCheck::kTooShort: return SignatureVerdict::kTrailerTooShort;
    case RecordCheck::kBadMarker: return SignatureVerdict::kBadMarker;
    case RecordCheck::kUnknownSigner: break;
  }
  return SignatureVerdict::kUnknownSigner;
}

// MD5 of bytes 0 .. length - 1 of file through one chunk buffer, and the
// same bytes into sha256 unless it is null.
SignatureVerdict DigestRange(ByteSource& file, uint32_t length,
                             uint8_t (&digest)[kMd5DigestBytes], Sha256* sha256) {
  if (file.Seek(0) != 0) return SignatureVerdict::kReadFailed;
  uint8_t* chunk = static_cast<uint8_t*>(MemoryAllocate(kSignedChunkBytes));
  if (chunk == nullptr) return SignatureVerdict::kOutOfMemory;
  Md5 md5;
  SignatureVerdict verdict = SignatureVerdict::kPass;
  for (uint32_t left = length; left != 0;) {
    uint32_t want = left < kSignedChunkBytes ? left : kSignedChunkBytes;
    uint32_t got = 0;
    // A read that delivers nothing before the range is complete means the
    // file is shorter than the range claims.
    if (file.Read(chunk, want, &got) != 0 || got == 0 || got > want) {
      verdict = SignatureVerdict::kReadFailed;
      break;
    }
    if (sha256 != nullptr) {
      UpdateMd5AndSha256(md5, *sha256, chunk, got);
    } else {
      md5.Update(chunk, got);
    }
    left -= got;
  }
  MemoryFree(chunk);
  if (verdict == SignatureVerdict::kPass) md5.Final(digest);
  return verdict;
}

}  // namespace

SignatureVerdict CheckSignedData(ByteSource& file, uint32_t signed_length,
                                 const uint8_t* trailer, size_t trailer_size,
                                 const RsaPublicKey& key, const ModernKey* modern) {
  const uint8_t* signature = nullptr;
  SignatureVerdict verdict =
      FromRecordCheck(CheckSignatureRecord(trailer, trailer_size, &signature));
  if (verdict != SignatureVerdict::kPass) return verdict;
  // The second record is looked at only with a modern key; its faults that
  // need no digest are found before the long read.
  const uint8_t* modern_signature = nullptr;
  const bool check_modern = modern != nullptr && modern->present;
  if (check_modern) {
    switch (CheckModernRecord(trailer + kSignatureRecordBytes,
                              trailer_size - kSignatureRecordBytes, &modern_signature)) {
      case ModernRecordCheck::kOk: break;
      case ModernRecordCheck::kAbsent:
        if (modern->required) return SignatureVerdict::kModernMissing;
        break;
      case ModernRecordCheck::kMalformed: return SignatureVerdict::kModernBadRecord;
    }
  }
  Sha256 sha256;
  uint8_t digest[kMd5DigestBytes];
  verdict = DigestRange(file, signed_length, digest, modern_signature ? &sha256 : nullptr);
  if (verdict != SignatureVerdict::kPass) return verdict;
  if (!VerifyMd5Signature(key, digest, signature, kSignatureBytes)) {
    return SignatureVerdict::kMismatch;
  }
  if (modern_signature == nullptr) return SignatureVerdict::kPass;
  // The second signature covers the first record as well.
  sha256.Update(trailer, kSignatureRecordBytes);
  uint8_t modern_digest[kSha256DigestBytes];
  sha256.Final(modern_digest);
  return VerifySha256Signature(modern->key, modern_digest, modern_signature,
                               kModernSignatureBytes)
             ? SignatureVerdict::kPass
             : SignatureVerdict::kModernMismatch;
}

bool LoadBuiltinPublicKey(RsaPublicKey* key) {
  uint8_t der[kPublicKeyDerBytes];
  ReadBuiltinPublicKeyDer(der);
  return ParseRsaPublicKeyDer(der, sizeof der, key);
}

bool LoadBuiltinModernKey(ModernKey* modern) {
  uint8_t der[kModernKeyDerBytes];
  ReadBuiltinModernKeyDer(der, &modern->required);
  modern->present = false;
  for (uint8_t byte : der) modern->present |= byte != 0;
  if (!modern->present) return !modern->required;
  return ParseRsaPublicKeyDer(der, sizeof der, &modern->key, kModernModulusBits);
}

}  // namespace kest
