// Win32File: owns one file handle (from CreateFileA; INVALID_HANDLE_VALUE
// when empty) and closes it on every path. Move-only.
#pragma once
#include <windows.h>

namespace kest {

class Win32File {
 public:
  Win32File() = default;
  explicit Win32File(HANDLE handle) : handle_(handle) {}
  ~Win32File() { Close(); }
  Win32File(Win32File&& other) : handle_(other.Release()) {}
  Win32File& operator=(Win32File&& other) {
    if (this != &other) {
      Close();
      handle_ = other.Release();
    }
    return *this;
  }
  Win32File(const Win32File&) = delete;
  Win32File& operator=(const Win32File&) = delete;

  HANDLE get() const { return handle_; }
  bool valid() const { return handle_ != INVALID_HANDLE_VALUE; }
  // Gives up ownership; the wrapper is then empty.
  HANDLE Release() {
    HANDLE handle = handle_;
    handle_ = INVALID_HANDLE_VALUE;
    return handle;
  }
  void Close() {
    if (valid()) CloseHandle(handle_);
    handle_ = INVALID_HANDLE_VALUE;
  }

 private:
  HANDLE handle_ = INVALID_HANDLE_VALUE;
};

}  // namespace kest
