#include "verify/win32_package_file_access.h"

#include <windows.h>

#include <new>
#include <utility>

#include "archive/win32_file_source.h"
#include "base/install_codes.h"

namespace kest {

uint32_t Win32PackageFileAccess::GetPackagePath(char* path, size_t size) {
  DWORD n = GetModuleFileNameA(nullptr, path, DWORD(size));
  if (n == 0) return GetLastError();
  // A path that fills the buffer may have lost its end (and, on some
  // systems, its terminator).
  if (n >= size) {
    path[size - 1] = '\0';
    return ERROR_INSUFFICIENT_BUFFER;
  }
  return 0;
}

uint32_t Win32PackageFileAccess::Open(const char* path, std::unique_ptr<ByteSource>* source) {
  Win32File file;
  const uint32_t code = OpenFileForReading(path, FILE_FLAG_RANDOM_ACCESS, &file);
  if (code != 0) return code;
  source->reset(new (std::nothrow) Win32FileSource(std::move(file)));
  return *source ? 0 : kCodeOutOfMemory;
}

}  // namespace kest
