#include "base/win32_log_backend.h"

namespace kest {

bool Win32LogBackend::Open(const char* path) {
  Close();
  file_ = CreateFileA(path, GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                      FILE_ATTRIBUTE_NORMAL | FILE_FLAG_WRITE_THROUGH | FILE_FLAG_RANDOM_ACCESS,
                      nullptr);
  if (file_ == INVALID_HANDLE_VALUE) return false;
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
