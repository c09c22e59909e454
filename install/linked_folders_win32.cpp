#include "install/linked_folders_win32.h"

#include <windows.h>

#include <cstring>

#include "base/ansi_chars.h"
#include "base/entry_name_rules.h"
#include "base/install_codes.h"
#include "base/install_status.h"
#include "base/path_text.h"
#include "resources/string_ids.h"

namespace kest {

bool IsReparsePoint(const char* path) {
  // With a trailing backslash the system looks through a link to its
  // target, so the folder is asked for by its name alone.
  char folder[kPathChars];
  if (!CopyText(folder, sizeof(folder), path)) return false;
  const size_t length = strlen(folder);
  if (length > 1 && EndsInSeparator(folder) && folder[length - 2] != ':') {
    folder[length - 1] = '\0';
  }
  const DWORD attributes = GetFileAttributesA(folder);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

bool FindLinkedFolder(const char* path, int levels, char (&found)[kPathChars], TextSet* checked) {
  char folder[kPathChars];
  if (!CopyText(folder, sizeof(folder), path)) return false;
  for (int level = 0; level < levels; ++level) {
    // Cut at the last backslash: the folder one level up.
    char* last = LastSeparator(folder);
    if (last == nullptr || last == folder || last[-1] == ':') return false;
    *last = '\0';
    if (checked != nullptr && checked->Contains(folder)) continue;
    const DWORD attributes = GetFileAttributesA(folder);
    if (attributes == INVALID_FILE_ATTRIBUTES) continue;
    if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
      CopyTextCut(found, sizeof(found), folder);
      return true;
    }
    // Not remembered when memory is short: looked at again next time.
    if (checked != nullptr) checked->Insert(folder);
  }
  return false;
}

int FolderLevels(const char* relative_path) {
  int levels = 1;
  for (const char* p = relative_path; *p != '\0'; p = NextAnsiChar(p)) {
    if (*p == '\\' || *p == '/') ++levels;
  }
  return levels;
}

bool EntryGuard::CheckName(const char* name) {
  if (FindEntryNameFault(name) == EntryNameFault::kNone) return true;
  ReportError(kCodeInvalidFileName, kButtonsExitOnly, name, IDS_LABEL_FILE);
  return false;
}

bool EntryGuard::CheckTarget(const char* name, const char* target) {
  char linked[kPathChars];
  if (!FindLinkedFolder(target, FolderLevels(SkipFolderToken(name)), linked, &plain_folders_)) {
    return true;
  }
  ReportError(kCodeFolderAccessDenied, kButtonsExitOnly, linked, IDS_LABEL_PATH);
  return false;
}

}  // namespace kest
