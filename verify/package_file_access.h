// What the signature check needs of the platform: the path of the package
// file (the running installer's own executable, or the file kestpack was
// given) and a second, independent handle on it for the signed-range read.
#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>

#include "base/byte_io.h"

namespace kest {

class PackageFileAccess {
 public:
  virtual ~PackageFileAccess() = default;
  // Writes the package file's full path into path (size bytes, terminated).
  // Returns 0 or a system error code.
  virtual uint32_t GetPackagePath(char* path, size_t size) = 0;
  // Opens path for reading from its start, sharing read access, existing
  // file only, with a sequential-read hint. Null when it cannot be opened
  // or memory runs out.
  virtual std::unique_ptr<ByteSource> OpenForSequentialRead(const char* path) = 0;
};

}  // namespace kest
