// Extraction's file system in the installer: Win32 files created anew with
// no sharing and the random-access hint, times set from MS-DOS local time.
#pragma once
#include "archive/output_file.h"

namespace kest {

class Win32FileSystem : public OutputFileSystem {
 public:
  uint32_t Create(const char* path, std::unique_ptr<OutputFile>* file) override;
  uint32_t Delete(const char* path) override;
};

}  // namespace kest
