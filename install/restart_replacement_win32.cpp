#include "install/restart_replacement_win32.h"

#include <windows.h>

#include <cstring>
#include <memory>
#include <new>

#include "base/install_codes.h"
#include "base/install_status.h"
#include "base/path_text.h"
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

// Every deletion is a line "NUL=<path>" of the rename section, so the key
// repeats; the profile writer keeps one line per key and would replace the
// previous deletion. The section is therefore read whole, the line added,
// and the section written back whole, which keeps every line as it is.
// The path is in its short form, as the rename lines are.
void AppendDeletionToWininit(const char* path) {
  char profile[kPathChars];
  char short_path[kPathChars];
  if (!WininitPath(profile) || !ShortPath(path, short_path)) return;
  // The largest section the Windows 95 family's profile calls handle.
  constexpr DWORD kSectionBytes = 32767;
  std::unique_ptr<char[]> section(new (std::nothrow) char[kSectionBytes]);
  if (!section) return;
  DWORD used = GetPrivateProfileSectionA(kRenameSection, section.get(), kSectionBytes, profile);
  if (used >= kSectionBytes - 2) return;  // full, or cut: writing it back would lose lines
  const size_t line_bytes = 4 + strlen(short_path) + 1;  // "NUL=" path NUL
  if (used + line_bytes + 1 > kSectionBytes) return;
  memcpy(section.get() + used, "NUL=", 4);
  memcpy(section.get() + used + 4, short_path, line_bytes - 4);
  section[used + line_bytes] = '\0';  // the list's closing NUL
  WritePrivateProfileSectionA(kRenameSection, section.get(), profile);
  // The Windows 95 family keeps profiles cached; this writes the file out.
  WritePrivateProfileStringA(nullptr, nullptr, nullptr, profile);
}

}  // namespace

bool MakeAsideFile(const char* target, char (&aside)[kPathChars]) {
  char folder[kPathChars];
  if (!CopyText(folder, sizeof(folder), target) || !CutToFolderPart(folder)) return false;
  return GetTempFileNameA(folder, "old", 0, aside) != 0;
}

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
    AppendDeletionToWininit(path);
  } else {
    MoveFileExA(path, nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
  }
}

uint32_t ReplaceFileNow(const char* replacement, const char* target, uint32_t platform,
                        const char* aside) {
  if (platform != kPlatformWindows95) {
    return MoveFileExA(replacement, target, MOVEFILE_REPLACE_EXISTING) ? 0 : GetLastError();
  }
  // That family has no replacing move. The old file steps aside to a name
  // of its own first and goes only once the new one holds its name; a
  // replacement that cannot be moved in (another program holds it open)
  // puts it back. Only a run that dies between the two renames leaves the
  // target without a file, its old copy under the aside name.
  char made[kPathChars];
  if (aside == nullptr) {
    if (!MakeAsideFile(target, made)) {
      const DWORD error = GetLastError();
      return error != 0 ? error : ERROR_BUFFER_OVERFLOW;
    }
    aside = made;
  }
  DeleteFileA(aside);  // the move needs the name free
  if (!MoveFileA(target, aside)) {
    const DWORD error = GetLastError();
    DeleteFileA(aside);
    if (error != ERROR_FILE_NOT_FOUND) return error;
    return MoveFileA(replacement, target) ? 0 : GetLastError();
  }
  if (!MoveFileA(replacement, target)) {
    const DWORD error = GetLastError();
    // The name was freed by this very call a moment ago.
    MoveFileA(aside, target);
    return error;
  }
  RemoveTemporaryFile(aside);
  return 0;
}

void RemoveTemporaryFile(const char* path) {
  if (DeleteFileA(path) || GetLastError() == ERROR_FILE_NOT_FOUND) return;
  // Held by another program (a scanner reading the new file): it goes at
  // the restart.
  QueueDeletionAtRestart(path);
}

}  // namespace kest
