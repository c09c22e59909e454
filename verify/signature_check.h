// The package signature check: the signature record at the start of the
// trailer must be well formed and name the package signer, and its RSA
// signature must match the MD5 digest of the signed range, bytes 0 to
// signed_length - 1 of the package file (the image and the archive), read
// in kSignedChunkBytes pieces through the source the entries come from.
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
  kMismatch           // the signature does not match the data
};

// The whole check over an open source (positioned anywhere; it seeks to 0).
SignatureVerdict CheckSignedData(ByteSource& file, uint32_t signed_length,
                                 const uint8_t* trailer, size_t trailer_size,
                                 const RsaPublicKey& key);

// Parses the key in this build's public-key slot; false for an unfilled
// slot, so that such an installer accepts no package.
bool LoadBuiltinPublicKey(RsaPublicKey* key);

}  // namespace kest
