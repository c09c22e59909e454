#include "install/restart_replacement_win32.h"

#include <windows.h>

#include "base/install_codes.h"
#include "base/install_status.h"
#include "base/platform_win32.h"
#include "base/text_limits.h"
#include "resources/string_ids.h"

namespace kest {
namespace {

constexpr char kWininitName[] = "\\WININIT.INI";
constexpr char kRenameSection[] = "rename";

bool Refuse(uint32_t code, const char* replacement) {
  ReportError(code, kButtonsExitOnly, replacement, IDS_LABEL_FILE);
  return false;
}

// The short (8.3) form of an existing file's path; false when the system
// gives none or it does not fit.
bool ShortPath(const char* path, char (&out)[kPathChars]) {
  const DWORD length = GetShortPathNameA(path, out, kPathChars);
  return length != 0 && length < kPathChars;
}

// "<Windows folder>\WININIT.INI"; false when the folder cannot be had or the
// path does not fit.
bool WininitPath(char (&out)[kPathChars]) {
  UINT length = GetWindowsDirectoryA(out, kPathChars);
  if (length == 0 || length >= kPathChars) return false;
  if (out[length - 1] == '\\') --length;  // a drive root
  if (length + sizeof(kWininitName) > kPathChars) return false;
  lstrcpyA(out + length, kWininitName);
  return true;
}

bool QueueInWininit(const char* replacement, const char* target) {
  char profile[kPathChars];
  char short_target[kPathChars];
  char short_replacement[kPathChars];
  if (!WininitPath(profile) || !ShortPath(target, short_target) ||
      !ShortPath(replacement, short_replacement))
    return Refuse(kCodeRestartCopyFailed, replacement);
  WritePrivateProfileStringA(kRenameSection, short_target, short_replacement, profile);
  // The Windows 95 family keeps profiles cached; this writes the file out.
  WritePrivateProfileStringA(nullptr, nullptr, nullptr, profile);
  return true;
}

}  // namespace

bool QueueReplaceAtRestart(const char* replacement, const char* target) {
  SystemVersion version;
  if (!QuerySystemVersion(&version)) return Refuse(kCodeRestartCopyFailed, replacement);
  if (version.platform_id == kPlatformWindows95) {
    if (!QueueInWininit(replacement, target)) return false;
  } else if (version.platform_id == kPlatformNt) {
    if (!MoveFileExA(replacement, target, MOVEFILE_REPLACE_EXISTING | MOVEFILE_DELAY_UNTIL_REBOOT))
      return Refuse(kCodeRestartCopyFailed, replacement);
  } else {
    return Refuse(kCodeSystemError, replacement);
  }
  ResetStatus();
  return true;
}

void QueueDeletionAtRestart(const char* path) {
  SystemVersion version;
  if (!QuerySystemVersion(&version)) return;
  if (version.platform_id == kPlatformWindows95) {
    char profile[kPathChars];
    if (WininitPath(profile)) WritePrivateProfileStringA(kRenameSection, "NUL", path, profile);
  } else {
    MoveFileExA(path, nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
  }
}

uint32_t ReplaceFileNow(const char* replacement, const char* target, uint32_t platform) {
  if (platform == kPlatformWindows95) {
    if (!DeleteFileA(target)) {
      const DWORD error = GetLastError();
      if (error != ERROR_FILE_NOT_FOUND) return error;
    }
    return MoveFileA(replacement, target) ? 0 : GetLastError();
  }
  return MoveFileExA(replacement, target, MOVEFILE_REPLACE_EXISTING) ? 0 : GetLastError();
}

}  // namespace kest
