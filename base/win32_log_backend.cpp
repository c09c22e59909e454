#include "base/win32_log_backend.h"

#include "base/path_text.h"
#include "base/platform_win32.h"
#include "base/text_limits.h"
#include "base/win32_procedure.h"

namespace kest {
namespace {

using GetFinalPathFn = DWORD(WINAPI*)(HANDLE, LPSTR, DWORD, DWORD);

// The path the system resolved for an open handle, where the system can
// tell it (Windows Vista and later); false otherwise.
bool FinalPath(HANDLE handle, char (&out)[MAX_PATH]) {
  const GetFinalPathFn get_final_path = GetProcedure<GetFinalPathFn>(
      GetModuleHandleA("kernel32.dll"), "GetFinalPathNameByHandleA");
  if (get_final_path == nullptr) return false;
  const DWORD length = get_final_path(handle, out, MAX_PATH, 0);
  return length > 0 && length < MAX_PATH;
}

// True when file, opened under path, is a plain file with that one name in
// its folder: not a directory, not a reparse point, not a second name of
// another file (a hard link), and, where the system resolves handles to
// paths, found where its folder is (a link the attributes do not show).
bool IsPlainFileAt(HANDLE file, const char* path) {
  BY_HANDLE_FILE_INFORMATION info;
  if (!GetFileInformationByHandle(file, &info)) return false;
  if ((info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) != 0 ||
      info.nNumberOfLinks > 1) {
    return false;
  }
  char file_final[MAX_PATH];
  if (!FinalPath(file, file_final)) return true;
  // The folder part of path, with its backslash.
  char folder[MAX_PATH];
  if (!CopyText(folder, sizeof(folder), path)) return false;
  char* separator = LastSeparator(folder);
  char file_name[MAX_PATH];
  if (!CopyText(file_name, sizeof(file_name), separator != nullptr ? separator + 1 : folder)) {
    return false;
  }
  if (separator != nullptr) {
    separator[1] = '\0';
  } else {
    folder[0] = '\0';
  }
  HANDLE folder_handle =
      CreateFileA(folder, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                  OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (folder_handle == INVALID_HANDLE_VALUE) return false;
  char expected[MAX_PATH];
  const bool known = FinalPath(folder_handle, expected);
  CloseHandle(folder_handle);
  if (!known) return false;
  if (!AppendPathName(expected, sizeof(expected), file_name)) return false;
  return lstrcmpiA(file_final, expected) == 0;
}

}  // namespace

bool Win32LogBackend::Open(const char* path) {
  Close();
  SystemVersion version = {};
  QuerySystemVersion(&version);
  // On Windows NT a link planted under the log's name is opened itself, not
  // followed, so that the check below sees it. A missing log is created
  // only where no name exists at all: a dangling link is not followed to
  // create its target.
  const DWORD flags = FILE_ATTRIBUTE_NORMAL | FILE_FLAG_WRITE_THROUGH | FILE_FLAG_RANDOM_ACCESS |
                      (version.platform_id == kPlatformNt ? FILE_FLAG_OPEN_REPARSE_POINT : 0);
  file_ = CreateFileA(path, GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, flags, nullptr);
  if (file_ == INVALID_HANDLE_VALUE && GetLastError() == ERROR_FILE_NOT_FOUND) {
    file_ = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_NEW, flags, nullptr);
  }
  if (file_ == INVALID_HANDLE_VALUE) return false;
  if (!IsPlainFileAt(file_, path)) {
    Close();
    return false;
  }
  SetFilePointer(file_, 0, nullptr, FILE_END);
  return true;
}

void Win32LogBackend::Write(const char* data, size_t size) {
  DWORD written = 0;
  WriteFile(file_, data, static_cast<DWORD>(size), &written, nullptr);
}

void Win32LogBackend::Close() {
  if (file_ != INVALID_HANDLE_VALUE) {
    CloseHandle(file_);
    file_ = INVALID_HANDLE_VALUE;
  }
}

LogTime Win32LogBackend::Now() {
  SYSTEMTIME t;
  GetLocalTime(&t);
  return {t.wYear, t.wMonth, t.wDay, t.wDayOfWeek, t.wHour, t.wMinute, t.wSecond};
}

const char* Win32LogBackend::ProgramPath() {
  if (program_path_[0] == '\0') {
    DWORD n = GetModuleFileNameA(nullptr, program_path_, sizeof(program_path_));
    if (n == 0 || n >= sizeof(program_path_)) program_path_[0] = '\0';
  }
  return program_path_;
}

}  // namespace kest
