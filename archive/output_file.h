// The file operations extraction needs, behind a small interface: the
// installer implements it with Win32 file functions, the host with POSIX
// ones, tests with memory.
#pragma once
#include <cstdint>
#include <memory>

#include "base/byte_io.h"

namespace kest {

// An output file opened by OutputFileSystem::Create; writes go to the file.
class OutputFile : public ByteSink {
 public:
  // Gives the file the MS-DOS local date (high 16 bits) and time (low 16
  // bits) as last-access and last-write time, converted to UTC; the
  // creation time is left alone. Returns 0 or a system error code.
  virtual uint32_t SetDosTime(uint32_t dos_time) = 0;
  // Closes the file; the destructor closes it too when this was not called.
  virtual void Close() = 0;
};

class OutputFileSystem {
 public:
  virtual ~OutputFileSystem() = default;
  // Creates path for writing, anew: an existing file is truncated. The
  // file is not shared while open. Returns 0 with *file set, or a system
  // error code (no file is then made).
  virtual uint32_t Create(const char* path, std::unique_ptr<OutputFile>* file) = 0;
  // Deletes path. Returns 0 or a system error code.
  virtual uint32_t Delete(const char* path) = 0;
};

}  // namespace kest
