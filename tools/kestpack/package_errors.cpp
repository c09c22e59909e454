#include "tools/kestpack/package_errors.h"

#include <cstdio>

#include "archive/reader_codes.h"
#include "base/install_codes.h"
#include "tools/kestpack/host_files.h"

namespace kest {
namespace {

std::string Hex(uint32_t code) {
  char text[16];
  snprintf(text, sizeof text, "0x%X", code);
  return text;
}

}  // namespace

std::string DescribeReaderError(uint32_t word) {
  // Codes combine by OR, and combinations are not told apart: a word that
  // is neither one known code nor a system error code is shown as a number.
  struct Known {
    uint32_t code;
    const char* text;
  };
  static const Known kKnown[] = {
      {kCodeDamagedPackage, "the package signature check failed"},
      {kCodeOutOfMemory, "out of memory, or an entry claims more bytes than the file holds"},
      {kCodeDiskFull, "disk full"},
      {kCodeWriteFailed, "write error"},
      {kReaderReadError, "read error"},
      {kReaderBadCrc, "CRC mismatch"},
      {kReaderBadHeader, "not an ARJ header where one should be"},
      {kReaderNoEntry, "no entry"},
      {kReaderBadMethod, "unsupported method"},
      {kReaderBadTable, "corrupt compressed data"},
      {kReaderBadState, "decoder state error"},
      {kReaderNoWindow, "no memory for the decoder"},
      {kReaderNoPosition, "archive position unknown"},
      {kReaderShortTrailer, "the file ends before the archive does (cut short)"},
  };
  for (const Known& k : kKnown) {
    if (word == k.code) return std::string(k.text) + " (" + Hex(word) + ")";
  }
  // Below the reader's own codes: a system error of the file functions.
  if (word != 0 && word < kReaderReadError) return DescribeSystemError(int(word));
  return "error " + Hex(word);
}

std::string DescribeVerdict(SignatureVerdict verdict) {
  switch (verdict) {
    case SignatureVerdict::kPass: return "signature OK";
    case SignatureVerdict::kTrailerTooShort: return "no signature record (trailer shorter than 144 bytes)";
    case SignatureVerdict::kBadMarker: return "signature record damaged (\"RuvxSig\" marker)";
    case SignatureVerdict::kUnknownSigner: return "signer is not \"Morvane Development\"";
    case SignatureVerdict::kBadKey: return "unusable public key";
    case SignatureVerdict::kReadFailed: return "cannot read the signed bytes";
    case SignatureVerdict::kOutOfMemory: return "out of memory";
    case SignatureVerdict::kMismatch: return "signature does not match the package bytes";
    case SignatureVerdict::kModernMissing:
      return "no second signature record, and the installer requires one";
    case SignatureVerdict::kModernBadRecord:
      return "the bytes after the first signature record are not a second signature record "
             "(\"KestSig2\", RSA-3072 SHA-256)";
    case SignatureVerdict::kModernMismatch:
      return "second signature does not match the package bytes and the first record";
  }
  return "unknown";
}

}  // namespace kest
