// The installer's package file: the running executable's own path, opened
// through a Win32 file handle.
#pragma once
#include "verify/package_file_access.h"

namespace kest {

class Win32PackageFileAccess : public PackageFileAccess {
 public:
  // GetModuleFileNameA of the process; ERROR_INSUFFICIENT_BUFFER when the
  // path does not fit.
  uint32_t GetPackagePath(char* path, size_t size) override;
  // CreateFileA: read access, FILE_SHARE_READ, OPEN_EXISTING,
  // FILE_FLAG_RANDOM_ACCESS.
  uint32_t Open(const char* path, std::unique_ptr<ByteSource>* source) override;
};

}  // namespace kest
