// Files on the build machine: a POSIX file as a ByteSource, whole-file
// reads and all-or-nothing writes.
//
// Every file kestpack reads is opened without blocking and must be a
// regular file: a FIFO, device or socket named as an input is refused
// before anything is read from it.
#pragma once
#include <sys/stat.h>
#include <sys/types.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "base/byte_io.h"
#include "tools/kestpack/rsa_signer.h"

namespace kest {

// What a system error code means, in words: "disk full" (ENOSPC, EDQUOT
// and the extraction code kSystemDiskFull), "is a folder", "not a
// folder", "permission denied", ... and the C library's text otherwise.
std::string DescribeSystemError(int code);

// stat() of path, which must be a regular file; false with *error
// ("path: reason") for anything else.
bool StatRegularFile(const std::string& path, struct stat* st, std::string* error);

class PosixFileSource : public ByteSource {
 public:
  // Opens the regular file at path for reading; null with *error ("path:
  // reason") when it cannot be opened or is not a regular file.
  static std::unique_ptr<PosixFileSource> Open(const std::string& path, std::string* error);
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

// Reads the whole regular file; false with *error ("path: reason") on
// failure.
bool ReadWholeFile(const std::string& path, std::vector<uint8_t>* bytes, std::string* error);

// A file that takes the place of path only when committed. Create makes a
// temporary file of a unique name exclusively in path's folder, so a
// missing or unwritable folder is found before any work, and nothing that
// already exists there (a link planted at a predictable name, another
// build's temporary file) is ever opened. Commit writes the parts, flushes
// them to disk and renames the file over path: path holds either its old
// contents or all of the new ones. Destroyed without a commit, the
// temporary file is removed.
class PendingFile {
 public:
  PendingFile() = default;
  ~PendingFile();
  PendingFile(const PendingFile&) = delete;
  PendingFile& operator=(const PendingFile&) = delete;

  // False with *error ("path: reason") when path is a folder or no file
  // can be created beside it.
  bool Create(const std::string& path, std::string* error);
  // mode is the new file's permission bits before the umask.
  bool Commit(const std::vector<ByteSpan>& parts, mode_t mode, std::string* error);

 private:
  void Discard();
  std::string path_;
  std::string temp_;
  int fd_ = -1;
};

}  // namespace kest
