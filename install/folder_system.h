// FolderSystem: what the path operations ask of the machine. The installer
// passes FolderSystemWin32; tests pass a machine of their own, so that the
// path arithmetic is the same code on both.
//
// Paths are ANSI texts; every output buffer holds kPathChars characters
// with the terminator. Error numbers are the system's (2 file not found,
// 3 path not found, 5 access denied, 123 invalid name, 183 already
// exists); 0 is success.
#pragma once
#include <cstdint>

#include "base/text_limits.h"

namespace kest {

constexpr uint32_t kAttributeReadOnly = 0x1;
constexpr uint32_t kErrorFileNotFound = 2;
constexpr uint32_t kErrorInvalidName = 123;
constexpr uint32_t kErrorAlreadyExists = 183;

class FolderSystem {
 public:
  virtual ~FolderSystem() = default;

  // The Windows system folder, the Windows folder and the current
  // directory, as the system gives them (no trailing backslash except on a
  // drive root). False, with out empty, when the system gives none or it
  // does not fit.
  virtual bool GetSystemFolder(char (&out)[kPathChars]) = 0;
  virtual bool GetWindowsFolder(char (&out)[kPathChars]) = 0;
  virtual bool GetCurrentFolder(char (&out)[kPathChars]) = 0;

  // The attributes of path; false when they cannot be read.
  virtual bool GetAttributes(const char* path, uint32_t* attributes) = 0;
  // Creates the folder path (a trailing backslash is allowed).
  virtual uint32_t CreateFolder(const char* path) = 0;
  // Removes the empty folder path.
  virtual uint32_t RemoveFolder(const char* path) = 0;
  // Creates a new empty file in folder whose name is the first three
  // characters of prefix, hexadecimal digits and ".tmp", and writes its
  // full path into out.
  virtual uint32_t CreateTempFile(const char* folder, const char* prefix,
                                  char (&out)[kPathChars]) = 0;
  virtual uint32_t RemoveFile(const char* path) = 0;
};

}  // namespace kest
