#include "archive/win32_output_files.h"

#include <windows.h>

#include <new>
#include <utility>

#include "archive/win32_file.h"

namespace kest {
namespace {

class Win32OutputFile : public OutputFile {
 public:
  // Takes the file once it is made.
  void Adopt(Win32File file) { file_ = std::move(file); }

  // One WriteFile for the whole buffer. A write that stops short without
  // an error code can only mean the disk is full.
  uint32_t Write(const void* data, uint32_t size) override {
    DWORD written = 0;
    if (!WriteFile(file_.get(), data, size, &written, nullptr)) return GetLastError();
    return written == size ? 0 : ERROR_DISK_FULL;
  }

  uint32_t SetDosTime(uint32_t dos_time) override {
    FILETIME local, utc;
    if (!DosDateTimeToFileTime(HIWORD(dos_time), LOWORD(dos_time), &local) ||
        !LocalFileTimeToFileTime(&local, &utc) ||
        !SetFileTime(file_.get(), nullptr, &utc, &utc))
      return GetLastError();
    return 0;
  }

  void Close() override { file_.Close(); }

 private:
  Win32File file_;
};

}  // namespace

uint32_t Win32FileSystem::Create(const char* path, std::unique_ptr<OutputFile>* file) {
  // The object first: when memory runs out no file is made, and a file of
  // that name is neither truncated nor removed.
  std::unique_ptr<Win32OutputFile> output(new (std::nothrow) Win32OutputFile);
  if (!output) return ERROR_NOT_ENOUGH_MEMORY;
  Win32File created(CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL | FILE_FLAG_RANDOM_ACCESS, nullptr));
  if (!created.valid()) return GetLastError();
  output->Adopt(std::move(created));
  *file = std::move(output);
  return 0;
}

uint32_t Win32FileSystem::Delete(const char* path) {
  return DeleteFileA(path) ? 0 : GetLastError();
}

}  // namespace kest
