// The signature check's platform in the installer: the running executable's
// own path, and a Win32 file handle on it opened for one sequential read.
#pragma once
#include "verify/package_file_access.h"

namespace kest {

class Win32PackageFileAccess : public PackageFileAccess {
 public:
  // GetModuleFileNameA of the process; ERROR_INSUFFICIENT_BUFFER when the
  // path does not fit.
  uint32_t GetPackagePath(char* path, size_t size) override;
  // CreateFileA: read access, FILE_SHARE_READ, OPEN_EXISTING,
  // FILE_FLAG_SEQUENTIAL_SCAN.
  std::unique_ptr<ByteSource> OpenForSequentialRead(const char* path) override;
};

}  // namespace kest
