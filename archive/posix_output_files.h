// Extraction's file system on the host. System error codes are errno
// values, except that a full disk (ENOSPC, EDQUOT) is 112 as in the
// installer. Paths may use "\" between folders; it is taken as "/".
#pragma once
#include <cstdint>
#include <memory>

#include "archive/output_file.h"

namespace kest {

// An output file over fd, an open file descriptor it takes over and
// closes.
std::unique_ptr<OutputFile> AdoptPosixOutputFile(int fd);

class PosixFileSystem : public OutputFileSystem {
 public:
  uint32_t Create(const char* path, std::unique_ptr<OutputFile>* file) override;
  uint32_t Delete(const char* path) override;
};

}  // namespace kest
