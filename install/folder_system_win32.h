// FolderSystemWin32: the path operations' FolderSystem on the running
// Windows, through KERNEL32's ANSI calls.
#pragma once
#include "install/folder_system.h"

namespace kest {

class TempJournal;

class FolderSystemWin32 : public FolderSystem {
 public:
  FolderSystemWin32() = default;
  // new_folder_security: a self-relative security descriptor that every
  // folder CreateFolder makes is created with (none: the system's default,
  // inherited from the parent); it must outlive the object.
  explicit FolderSystemWin32(const void* new_folder_security)
      : new_folder_security_(new_folder_security) {}

  bool GetSystemFolder(char (&out)[kPathChars]) override;
  bool GetWindowsFolder(char (&out)[kPathChars]) override;
  bool GetCurrentFolder(char (&out)[kPathChars]) override;
  bool GetAttributes(const char* path, uint32_t* attributes) override;
  uint32_t CreateFolder(const char* path) override;
  uint32_t RemoveFolder(const char* path) override;
  // A folder longer than the system's temporary-name call accepts
  // (kPathChars - 14 characters) fails with 206 (name too long) before the
  // call is made.
  uint32_t CreateTempFile(const char* folder, const char* prefix, char (&out)[kPathChars]) override;
  uint32_t RemoveFile(const char* path) override;

  // From here on every temporary file, the folders' write tests' too, is
  // made through journal (TempJournal::CreateTemporary), which must
  // outlive the object.
  void MakeTemporariesThrough(TempJournal* journal) { journal_ = journal; }

 private:
  const void* new_folder_security_ = nullptr;
  TempJournal* journal_ = nullptr;
};

}  // namespace kest
