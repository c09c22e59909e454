#include "verify/win32_package_file_access.h"

#include <windows.h>

#include <new>
#include <utility>

#include "archive/win32_file_source.h"

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

std::unique_ptr<ByteSource> Win32PackageFileAccess::OpenForSequentialRead(const char* path) {
  Win32File file;
  if (OpenFileForReading(path, FILE_FLAG_SEQUENTIAL_SCAN, &file) != 0) return nullptr;
  return std::unique_ptr<ByteSource>(new (std::nothrow) Win32FileSource(std::move(file)));
}

}  // namespace kest
