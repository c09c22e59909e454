// Files on the build machine: a POSIX file as a ByteSource, whole-file
// reads, all-or-nothing writes, and the package file access that the
// signature check uses on the host (the package is the file named on the
// command line).
#pragma once
#include <sys/types.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "base/byte_io.h"
#include "tools/kestpack/rsa_signer.h"
#include "verify/package_file_access.h"

namespace kest {

class PosixFileSource : public ByteSource {
 public:
  // Opens path for reading; null with *error (errno) set on failure.
  static std::unique_ptr<PosixFileSource> Open(const std::string& path, int* error);
  ~PosixFileSource() override;
  PosixFileSource(const PosixFileSource&) = delete;
  PosixFileSource& operator=(const PosixFileSource&) = delete;

  uint32_t Read(void* buffer, uint32_t size, uint32_t* read) override;
  uint32_t Tell(uint32_t* position) override;
  uint32_t Seek(uint32_t position) override;
  // EFBIG for files of 4 GiB or more, which no package can be.
  uint32_t Size(uint32_t* size) override;

 private:
  explicit PosixFileSource(int fd) : fd_(fd) {}
  int fd_;
};

// Reads the whole file; false with *error ("path: reason") on failure.
bool ReadWholeFile(const std::string& path, std::vector<uint8_t>* bytes, std::string* error);

// Writes the parts to a temporary file beside path and renames it over path,
// so that path holds either its old contents or all of the new ones.
bool WriteFileAtomically(const std::string& path, const std::vector<ByteSpan>& parts, mode_t mode,
                         std::string* error);

// The package is the file at path.
class PathFileAccess : public PackageFileAccess {
 public:
  explicit PathFileAccess(std::string path) : path_(std::move(path)) {}
  uint32_t GetPackagePath(char* path, size_t size) override;
  std::unique_ptr<ByteSource> OpenForSequentialRead(const char* path) override;

 private:
  std::string path_;
};

}  // namespace kest
