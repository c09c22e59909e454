// The installer's package reader: a PackageReader over the installer's own
// file whose trailer step checks the package signature.
//
// The signed range is read through the reader's own source, the one the
// entries are read from afterwards: the bytes that pass the check are the
// bytes that get installed. A second open of the file by its path could
// meet another file there (a folder switched between two files), whose
// entries would then be installed under the first one's signature.
//
// Any failure leaves the reader unusable with its code in the error word:
//   system error code    the position, size, seek or read failed
//   0x401E               the trailer could not be read whole (the file ends
//                        before archive start + archive length)
//   kCodeOutOfMemory     no memory for the trailer
//   kCodeDamagedPackage  the signature check failed
#pragma once
#include <cstdint>
#include <memory>

#include "archive/package_reader.h"
#include "verify/rsa_public_key.h"
#include "verify/signature_check.h"

namespace kest {

class SignedPackageReader : public PackageReader {
 public:
  // As PackageReader; the source must be the whole package file, from its
  // first byte (the signed range starts there), positioned at the archive.
  // key is the public key to check against (copied); null means the key
  // built into this build. modern likewise for the second signature's key
  // (null: this build's modern-key slot).
  SignedPackageReader(ByteSource* source, bool owns_source, OutputFileSystem& output,
                      const RsaPublicKey* key = nullptr, const ModernKey* modern = nullptr);

  // Records the source position, reads the start of the trailer (from
  // archive start + archive length: the signature record, or as much of it
  // as the file holds, and with a modern key up to the second record's
  // length after it; nothing further), runs the signature check over the
  // same source and moves the position back. True when every step passed.
  bool ReadTrailer(ByteSource& source) override;

  // Why the signature check failed (kPass when it passed or never ran).
  SignatureVerdict verdict() const { return verdict_; }
  // The start of the trailer as read (the signature record, and with a
  // modern key what follows it up to the second record's length); kept
  // only when the check passed.
  const uint8_t* trailer() const { return trailer_.get(); }
  uint32_t trailer_size() const { return trailer_size_; }
  // True when the check passed with a modern key and a second record, so
  // that both signatures were verified.
  bool modern_verified() const { return modern_verified_; }

 private:
  // Reads at most max_size bytes of the trailer into trailer_; 0 or the
  // code to record.
  uint32_t LoadTrailer(ByteSource& source, uint32_t max_size);

  bool has_key_;
  RsaPublicKey key_;
  bool has_modern_;
  ModernKey modern_;
  bool modern_verified_ = false;
  std::unique_ptr<uint8_t[]> trailer_;
  uint32_t trailer_size_ = 0;
  SignatureVerdict verdict_ = SignatureVerdict::kPass;
};

}  // namespace kest
