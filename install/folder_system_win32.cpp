#include "install/folder_system_win32.h"

#include <windows.h>

#include "install/temp_journal_win32.h"

namespace kest {
namespace {

// The calls that fill a folder buffer return the length written, or the
// size needed when the buffer is too small, or 0 on failure.
bool Filled(DWORD length, char (&out)[kPathChars]) {
  if (length != 0 && length < kPathChars) return true;
  out[0] = '\0';
  return false;
}

uint32_t ResultOf(BOOL ok) { return ok ? 0 : GetLastError(); }

}  // namespace

bool FolderSystemWin32::GetSystemFolder(char (&out)[kPathChars]) {
  return Filled(GetSystemDirectoryA(out, kPathChars), out);
}

bool FolderSystemWin32::GetWindowsFolder(char (&out)[kPathChars]) {
  return Filled(GetWindowsDirectoryA(out, kPathChars), out);
}

bool FolderSystemWin32::GetCurrentFolder(char (&out)[kPathChars]) {
  return Filled(GetCurrentDirectoryA(kPathChars, out), out);
}

bool FolderSystemWin32::GetAttributes(const char* path, uint32_t* attributes) {
  DWORD value = GetFileAttributesA(path);
  if (value == INVALID_FILE_ATTRIBUTES) return false;
  *attributes = value;
  return true;
}

uint32_t FolderSystemWin32::CreateFolder(const char* path) {
  if (new_folder_security_ == nullptr) return ResultOf(CreateDirectoryA(path, nullptr));
  // Given at creation, so the folder never exists with other permissions.
  SECURITY_ATTRIBUTES attributes = {sizeof(attributes),
                                    const_cast<void*>(new_folder_security_), FALSE};
  return ResultOf(CreateDirectoryA(path, &attributes));
}

uint32_t FolderSystemWin32::RemoveFolder(const char* path) {
  return ResultOf(RemoveDirectoryA(path));
}

uint32_t FolderSystemWin32::CreateTempFile(const char* folder, const char* prefix,
                                           char (&out)[kPathChars]) {
  if (journal_ != nullptr) return journal_->CreateTemporary(folder, prefix, out);
  out[0] = '\0';
  if (lstrlenA(folder) > static_cast<int>(kPathChars) - 14) return ERROR_FILENAME_EXCED_RANGE;
  // Unique number 0: the system picks a free name and creates the file.
  if (GetTempFileNameA(folder, prefix, 0, out) == 0) {
    out[0] = '\0';
    return GetLastError();
  }
  return 0;
}

uint32_t FolderSystemWin32::RemoveFile(const char* path) { return ResultOf(DeleteFileA(path)); }

}  // namespace kest
