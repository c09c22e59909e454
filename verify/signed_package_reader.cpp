#include "verify/signed_package_reader.h"

#include <new>

#include "archive/entry_header.h"
#include "archive/reader_codes.h"
#include "base/install_codes.h"
#include "verify/memory_hooks.h"
#include "verify/modern_record.h"
#include "verify/signature_record.h"

namespace kest {

SignedPackageReader::SignedPackageReader(ByteSource* source, bool owns_source,
                                         OutputFileSystem& output, const RsaPublicKey* key,
                                         const ModernKey* modern)
    : PackageReader(source, owns_source, output),
      has_key_(key != nullptr),
      has_modern_(modern != nullptr) {
  if (has_key_) MemoryCopy(&key_, key, sizeof key_);
  if (has_modern_) MemoryCopy(&modern_, modern, sizeof modern_);
}

uint32_t SignedPackageReader::LoadTrailer(ByteSource& source, uint32_t max_size) {
  uint32_t file_size = 0;
  uint32_t code = source.Size(&file_size);
  if (code != 0) return code;
  // The archive ends at its start plus the length its main header claims;
  // a file that ends before that has no trailer.
  uint64_t start = uint64_t(archive_start()) + GetArchiveLength();
  if (start > file_size) return kReaderShortTrailer;
  // Only the signature records at the trailer's start are examined;
  // whatever follows them is never read, however long it is.
  uint32_t size = file_size - uint32_t(start);
  if (size > max_size) size = max_size;
  code = source.Seek(uint32_t(start));
  if (code != 0) return code;
  trailer_.reset(new (std::nothrow) uint8_t[size != 0 ? size : 1]);
  if (!trailer_) return kCodeOutOfMemory;
  MemoryFill(trailer_.get(), 0, size);
  trailer_size_ = size;
  uint32_t got = 0;
  code = ReadFully(source, trailer_.get(), size, &got);
  if (code == 0 && got != size) code = kReaderShortTrailer;
  return code;
}

bool SignedPackageReader::ReadTrailer(ByteSource& source) {
  uint32_t position = 0;
  uint32_t code = source.Tell(&position);
  if (code != 0) {
    Record(code);
    return false;
  }
  // Without a modern key the trailer is read exactly as far as the first
  // record; null modern: a slot that refuses everything.
  ModernKey builtin_modern;
  const ModernKey* modern = has_modern_                           ? &modern_
                            : LoadBuiltinModernKey(&builtin_modern) ? &builtin_modern
                                                                    : nullptr;
  const bool with_modern = modern != nullptr && modern->present;
  code = LoadTrailer(source, uint32_t(kSignatureRecordBytes +
                                      (with_modern ? kModernRecordBytes : 0)));
  if (code == 0) {
    RsaPublicKey builtin;
    const RsaPublicKey* key = has_key_ ? &key_ : LoadBuiltinPublicKey(&builtin) ? &builtin : nullptr;
    verdict_ = key == nullptr || modern == nullptr
                   ? SignatureVerdict::kBadKey
                   : CheckSignedData(source, uint32_t(archive_start() + GetArchiveLength()),
                                     trailer_.get(), trailer_size_, *key, modern);
    if (verdict_ != SignatureVerdict::kPass) code = kCodeDamagedPackage;
    modern_verified_ = code == 0 && with_modern && trailer_size_ > kSignatureRecordBytes;
  }
  if (code != 0) {
    Record(code);
    trailer_.reset();
    trailer_size_ = 0;
  }
  uint32_t seek = source.Seek(position);
  if (seek != 0) Record(seek);
  return code == 0 && seek == 0;
}

}  // namespace kest
