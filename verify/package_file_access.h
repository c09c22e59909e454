// Where the installer's package comes from: the path of its own file and
// the one handle on it through which everything of the package is read,
// the signed range and the entries alike.
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
  // Opens path for reading from its start: existing file only, sharing
  // read access only (nobody can write to the file while it is open, and
  // nobody may be writing to it when it is opened), with a random-access
  // hint. Returns 0 with *source set, the system error code, or
  // kCodeOutOfMemory when the source cannot be allocated.
  virtual uint32_t Open(const char* path, std::unique_ptr<ByteSource>* source) = 0;
};

}  // namespace kest
