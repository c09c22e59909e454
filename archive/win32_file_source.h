// A ByteSource over a Win32 file handle, which it owns. Errors are
// GetLastError() values. Positions are 32-bit unsigned: a package can have
// up to 4 GiB - 1 bytes (every position and size is passed to the system
// with its high half, which Windows 95 accepts too). A file of 4 GiB or
// more fails Size with ERROR_FILE_TOO_LARGE.
#pragma once
#include <windows.h>

#include <utility>

#include "archive/win32_file.h"
#include "base/byte_io.h"

namespace kest {

class Win32FileSource : public ByteSource {
 public:
  explicit Win32FileSource(Win32File file) : file_(std::move(file)) {}

  uint32_t Read(void* buffer, uint32_t size, uint32_t* read) override;
  uint32_t Tell(uint32_t* position) override;
  uint32_t Seek(uint32_t position) override;
  uint32_t Size(uint32_t* size) override;

  HANDLE handle() const { return file_.get(); }

 private:
  Win32File file_;
};

// Opens path for reading: existing file only, sharing read access, with
// the given flags (FILE_FLAG_RANDOM_ACCESS, FILE_FLAG_SEQUENTIAL_SCAN).
// Returns 0 with *file set, or the system error code.
uint32_t OpenFileForReading(const char* path, DWORD flags, Win32File* file);

// Moves file's pointer to position (from the start). 0 or the system error.
uint32_t SeekFile(HANDLE file, uint32_t position);

}  // namespace kest
