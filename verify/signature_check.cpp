#include "verify/signature_check.h"

#include "verify/md5.h"
#include "verify/memory_hooks.h"
#include "verify/pkcs1_md5.h"
#include "verify/public_key_slot.h"
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

// Digest of bytes 0 .. length - 1 of file through one chunk buffer.
SignatureVerdict DigestRange(ByteSource& file, uint32_t length,
                             uint8_t (&digest)[kMd5DigestBytes]) {
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
    md5.Update(chunk, got);
    left -= got;
  }
  MemoryFree(chunk);
  if (verdict == SignatureVerdict::kPass) md5.Final(digest);
  return verdict;
}

}  // namespace

SignatureVerdict CheckSignedData(ByteSource& file, uint32_t signed_length,
                                 const uint8_t* trailer, size_t trailer_size,
                                 const RsaPublicKey& key) {
  const uint8_t* signature = nullptr;
  SignatureVerdict verdict =
      FromRecordCheck(CheckSignatureRecord(trailer, trailer_size, &signature));
  if (verdict != SignatureVerdict::kPass) return verdict;
  uint8_t digest[kMd5DigestBytes];
  verdict = DigestRange(file, signed_length, digest);
  if (verdict != SignatureVerdict::kPass) return verdict;
  return VerifyMd5Signature(key, digest, signature, kSignatureBytes)
             ? SignatureVerdict::kPass
             : SignatureVerdict::kMismatch;
}

bool LoadBuiltinPublicKey(RsaPublicKey* key) {
  uint8_t der[kPublicKeyDerBytes];
  ReadBuiltinPublicKeyDer(der);
  return ParseRsaPublicKeyDer(der, sizeof der, key);
}

}  // namespace kest
