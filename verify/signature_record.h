// The signature record at the start of a package's trailer (the bytes after
// the archive). Bytes after the record are not examined.
//
//   offset  size  field
//        0     8  marker "RuvxSig" and a NUL
//        8    32  signer name, NUL-terminated ASCII, NUL-padded
//       40    96  RSA signature, 768 bits, most significant byte first
//      136     8  marker again
#pragma once
#include <cstddef>
#include <cstdint>

#include "verify/rsa_public_key.h"

namespace kest {

constexpr size_t kMarkerBytes = 8;
constexpr size_t kSignerOffset = kMarkerBytes;
constexpr size_t kSignerBytes = 32;
constexpr size_t kSignatureOffset = kSignerOffset + kSignerBytes;
constexpr size_t kSignatureBytes = kPackageModulusBytes;
constexpr size_t kSecondMarkerOffset = kSignatureOffset + kSignatureBytes;
constexpr size_t kSignatureRecordBytes = kSecondMarkerOffset + kMarkerBytes;  // 144

constexpr char kSignatureMarker[] = "RuvxSig";
constexpr char kPackageSigner[] = "Morvane Development";
static_assert(kSignatureRecordBytes == 144, "record layout");
static_assert(sizeof kPackageSigner <= kSignerBytes, "signer field holds the name");

enum class RecordCheck {
  kOk,
  kTooShort,      // fewer than kSignatureRecordBytes bytes
  kBadMarker,     // either marker is not "RuvxSig"
  kUnknownSigner  // the signer is not kPackageSigner (case-sensitive)
};

// Checks the record at the start of trailer (size bytes). On kOk *signature
// points at the kSignatureBytes signature inside trailer.
RecordCheck CheckSignatureRecord(const uint8_t* trailer, size_t size,
                                 const uint8_t** signature);

// Writes the record for signature under the package signer.
void BuildSignatureRecord(const uint8_t (&signature)[kSignatureBytes],
                          uint8_t (&record)[kSignatureRecordBytes]);

}  // namespace kest
