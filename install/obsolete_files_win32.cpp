#include "install/obsolete_files_win32.h"

#include <windows.h>

#include <cstring>

#include "base/entry_name_rules.h"
#include "base/install_codes.h"
#include "base/install_status.h"
#include "base/text_limits.h"
#include "install/linked_folders_win32.h"
#include "install/obsolete_path.h"
#include "install/self_registration_win32.h"
#include "resources/string_ids.h"

namespace kest {
namespace {

void ReportNotDeleted(const char* detail) {
  ReportError(kCodeDeleteFailed, kButtonsRetry, detail, IDS_LABEL_FILE);
  ResetStatus();
}

}  // namespace

bool RemoveObsoleteFiles(const char* destination, const StringList* obsolete_files,
                         InstallerContext& context) {
  if (obsolete_files == nullptr) return true;
  for (const StringList::Node* node = obsolete_files->head(); node != nullptr; node = node->next) {
    // A line that could name a file outside the destination, or one that
    // does not fit a path, is reported and never looked at.
    char path[kPathChars];
    if (FindObsoleteLineFault(node->text) != EntryNameFault::kNone ||
        !MakeObsoletePath(destination, node->text, path)) {
      ReportNotDeleted(node->text);
      continue;
    }
    // Nor a file in or below a linked folder of the destination.
    char linked[kPathChars];
    if (FindLinkedFolder(path, FolderLevels(node->text), linked)) {
      ReportNotDeleted(path);
      continue;
    }
    if (GetFileAttributesA(path) == INVALID_FILE_ATTRIBUTES) continue;
    if (IsSelfRegistering(path)) {
      UnregisterLibrary(path, context, UnregisterForm::kObsoleteFile, false);
    }
    if (!DeleteFileA(path)) ReportNotDeleted(path);
  }
  return true;
}

}  // namespace kest
