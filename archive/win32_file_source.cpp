#include "archive/win32_file_source.h"

namespace kest {

uint32_t Win32FileSource::Read(void* buffer, uint32_t size, uint32_t* read) {
  DWORD got = 0;
  const BOOL ok = ReadFile(file_.get(), buffer, size, &got, nullptr);
  *read = got;
  return ok ? 0 : GetLastError();
}

namespace {

// Moves the file pointer of file by distance (64-bit, signed, split into
// its halves as SetFilePointer takes it) from method's origin; the new
// position must lie below 4 GiB. Without the high half SetFilePointer
// would take a low half of 2 GiB and more as a negative distance.
uint32_t MoveFilePointer(HANDLE file, int64_t distance, DWORD method, uint32_t* position) {
  LONG high = static_cast<LONG>(distance >> 32);
  // 0xFFFFFFFF is also a valid low part; only GetLastError tells a failure.
  SetLastError(NO_ERROR);
  const DWORD low = SetFilePointer(file, static_cast<LONG>(distance & 0xFFFFFFFF), &high, method);
  if (low == INVALID_SET_FILE_POINTER && GetLastError() != NO_ERROR) return GetLastError();
  if (high != 0) return ERROR_FILE_TOO_LARGE;  // 4 GiB or beyond: not a 32-bit position
  if (position != nullptr) *position = low;
  return 0;
}

}  // namespace

uint32_t Win32FileSource::Tell(uint32_t* position) {
  return MoveFilePointer(file_.get(), 0, FILE_CURRENT, position);
}

uint32_t Win32FileSource::Seek(uint32_t position) { return SeekFile(file_.get(), position); }

uint32_t Win32FileSource::Size(uint32_t* size) {
  DWORD high = 0;
  SetLastError(NO_ERROR);
  const DWORD low = GetFileSize(file_.get(), &high);
  if (low == INVALID_FILE_SIZE && GetLastError() != NO_ERROR) return GetLastError();
  // A file of 4 GiB or more: its end cannot be addressed.
  if (high != 0) return ERROR_FILE_TOO_LARGE;
  *size = low;
  return 0;
}

uint32_t SeekFile(HANDLE file, uint32_t position) {
  return MoveFilePointer(file, position, FILE_BEGIN, nullptr);
}

uint32_t OpenFileForReading(const char* path, DWORD flags, Win32File* file) {
  Win32File opened(CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL | flags, nullptr));
  if (!opened.valid()) return GetLastError();
  *file = std::move(opened);
  return 0;
}

}  // namespace kest
