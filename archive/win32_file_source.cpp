#include "archive/win32_file_source.h"

namespace kest {

uint32_t Win32FileSource::Read(void* buffer, uint32_t size, uint32_t* read) {
  DWORD got = 0;
  const BOOL ok = ReadFile(file_.get(), buffer, size, &got, nullptr);
  *read = got;
  return ok ? 0 : GetLastError();
}

uint32_t Win32FileSource::Tell(uint32_t* position) {
  // 0xFFFFFFFF is also a valid low part; only GetLastError tells a failure.
  SetLastError(NO_ERROR);
  const DWORD at = SetFilePointer(file_.get(), 0, nullptr, FILE_CURRENT);
  if (at == INVALID_SET_FILE_POINTER && GetLastError() != NO_ERROR) return GetLastError();
  *position = at;
  return 0;
}

uint32_t Win32FileSource::Seek(uint32_t position) {
  SetLastError(NO_ERROR);
  const DWORD at = SetFilePointer(file_.get(), static_cast<LONG>(position), nullptr, FILE_BEGIN);
  if (at == INVALID_SET_FILE_POINTER && GetLastError() != NO_ERROR) return GetLastError();
  return 0;
}

uint32_t Win32FileSource::Size(uint32_t* size) {
  SetLastError(NO_ERROR);
  const DWORD bytes = GetFileSize(file_.get(), nullptr);
  if (bytes == INVALID_FILE_SIZE && GetLastError() != NO_ERROR) return GetLastError();
  *size = bytes;
  return 0;
}

uint32_t OpenFileForReading(const char* path, DWORD flags, Win32File* file) {
  Win32File opened(CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL | flags, nullptr));
  if (!opened.valid()) return GetLastError();
  *file = std::move(opened);
  return 0;
}

}  // namespace kest
