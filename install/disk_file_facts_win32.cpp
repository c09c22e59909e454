#include "install/disk_file_facts_win32.h"

#include <windows.h>

#include "archive/win32_file.h"

namespace kest {

FileVersion DiskFileFactsWin32::GetFileVersion(const char* path) {
  FileVersion version;
  if (resource_.Load(path) && resource_.FixedFileVersion(version.part)) version.known = 1;
  return version;
}

bool DiskFileFactsWin32::GetLastWriteTime(const char* path, uint64_t* time) {
  Win32File file(CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                             FILE_FLAG_RANDOM_ACCESS, nullptr));
  FILETIME written;
  if (!file.valid() || !GetFileTime(file.get(), nullptr, nullptr, &written)) return false;
  *time = (static_cast<uint64_t>(written.dwHighDateTime) << 32) | written.dwLowDateTime;
  return true;
}

}  // namespace kest
