// The package signature check: the signature record at the start of the
// trailer must be well formed and name the package signer, and its RSA
// signature must match the MD5 digest of the signed range, bytes 0 to
// signed_length - 1 of the package file (the image and the archive), read
// in kSignedChunkBytes pieces through the source the entries come from.
//
// With a modern key, the bytes after that record must be nothing or the
// second record (verify/modern_record.h), whose RSA-3072 signature must
// match the SHA-256 digest of the signed range followed by the first
// record; a required second record must be there. Both digests are fed
// from the same chunks: the signed range is read once either way.
#pragma once
#include <cstddef>
#include <cstdint>

#include "base/byte_io.h"
#include "verify/rsa_public_key.h"

namespace kest {

constexpr uint32_t kSignedChunkBytes = 65536;

// Why a check failed. The installer treats every value but kPass alike;
// kestpack names the reason.
enum class SignatureVerdict {
  kPass,
  kTrailerTooShort,   // fewer than 144 bytes
  kBadMarker,         // a "RuvxSig" marker is damaged
  kUnknownSigner,     // not "Morvane Development" (case-sensitive)
  kBadKey,            // the public key does not parse
  kReadFailed,        // a read failed or the file ended early
  kOutOfMemory,
  kMismatch,          // the signature does not match the data
  kModernMissing,     // the second record is required and absent
  kModernBadRecord,   // bytes after the first record are not a second record
  kModernMismatch     // the second signature does not match
};

// The second signature's key as an installer holds it. present false: the
// check is the first record's alone, exactly as without this key.
struct ModernKey {
  bool present;
  bool required;
  RsaPublicKey key;
};

// The whole check over an open source (positioned anywhere; it seeks to 0).
// trailer holds the first record and, with a present modern key, what
// follows it up to kModernRecordBytes. modern may be null: no modern key.
SignatureVerdict CheckSignedData(ByteSource& file, uint32_t signed_length,
                                 const uint8_t* trailer, size_t trailer_size,
                                 const RsaPublicKey& key, const ModernKey* modern = nullptr);

// Parses the key in this build's public-key slot; false for an unfilled
// slot, so that such an installer accepts no package.
bool LoadBuiltinPublicKey(RsaPublicKey* key);

// Reads this build's modern-key slot: an all-zero key gives present false
// (the required flag then stands alone and refuses everything: false, like
// a key that does not parse).
bool LoadBuiltinModernKey(ModernKey* modern);

}  // namespace kest
