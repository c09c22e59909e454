// PerformInstall, PrepareFolder and InstallFiles: the installation itself,
// after the destination is chosen.
#include <windows.h>

#include <cstring>

#include "archive/package_reader.h"
#include "base/error_table.h"
#include "base/install_codes.h"
#include "base/install_status.h"
#include "base/path_text.h"
#include "base/platform_win32.h"
#include "base/system_api_win32.h"
#include "install/copy_pass_win32.h"
#include "install/folder_creation.h"
#include "install/folder_security.h"
#include "install/folder_system_win32.h"
#include "install/installer_context_win32.h"
#include "install/linked_folders_win32.h"
#include "install/obsolete_files_win32.h"
#include "install/prerequisite_win32.h"
#include "install/self_registration_win32.h"
#include "installer/install_record.h"
#include "installer/install_sequence.h"
#include "installer/main_window.h"
#include "manifest/string_list.h"
#include "resources/resource_ids.h"
#include "resources/string_ids.h"
#include "ui/cursors_win32.h"
#include "ui/page_progress_win32.h"

namespace kest {
namespace {

bool IsWizardRun(const InstallRecord& record) {
  return (record.options & kOptionUiLevelMask) == kUiLevelFull;
}

void SetPageStatus(const InstallRecord& record, HWND page, uint32_t string_id, bool lock) {
  char text[kTextBytes] = {};
  LoadStringA(record.instance, string_id, text, sizeof(text));
  if (lock) {
    LockPageForInstall(page, text);
  } else {
    SetStatusLine(page, text);
  }
  SetCursor(WaitCursor());
}

// After a failure answered with Try Again: no code pending, the page's
// input controls usable again, the page stays open.
PageOutcome StayOnPage(HWND page) {
  ResetStatus();
  PageControlsOn(page, nullptr);
  return PageOutcome::kStay;
}

// The dependency pass: every pending dependency in turn until the list is
// empty or one of them leaves a code pending. A dependency is taken off the
// list once judged, so another attempt does not run it again.
bool ProcessDependencies(InstallRecord& record) {
  const DependencyPass pass = {record.destination, record.installer_folder, record.scriba_folder,
                               record.options, &PageProgress()};
  bool clear = true;
  do {
    if (IsWizardRun(record)) SetCursor(WaitCursor());
    clear = ProcessNextDependency(pass, record.dependencies);
  } while (record.dependencies && clear);
  return clear;
}

// Creates the destination folder and the folders on its way. An existing
// destination that is a link is refused before anything is written through
// it. On Windows NT every folder made here gets the installer's own
// permissions (install/folder_security.h).
InstallCode CreateDestination(const char* folder, StringList* created) {
  if (IsReparsePoint(folder)) return InstallCode(kCodeFolderAccessDenied);
  SystemVersion version = {};
  QuerySystemVersion(&version);
  const FolderSecurity security = MakeFolderSecurity(version.major >= 5);
  FolderSystemWin32 folders(version.platform_id == kPlatformNt ? security.bytes : nullptr);
  return CreateFoldersFor(folders, folder, created);
}

}  // namespace

InstallCode PrepareFolder(InstallRecord& record) {
  char folder[kPathChars];
  const size_t length = strlen(record.destination);
  InstallCode r;
  if (length == 0 || !JoinPath(folder, sizeof(folder), record.destination, "")) {
    r = InstallCode(kCodeInvalidFolder);
  } else {
    r = CreateDestination(folder, record.created_folders.get());
    if (r.ok() && !SetCurrentDirectoryA(folder)) r = InstallCode::FromSystemError(GetLastError());
    if (r.ok()) {
      // The full form as Windows has it. Taken only from a folder that did
      // become current: another current directory is no destination.
      char full[kPathChars];
      const DWORD n = GetCurrentDirectoryA(sizeof(full), full);
      if (n > 0 && n < sizeof(full)) memcpy(record.destination, full, n + 1);
    }
  }
  if (r.ok()) return r;
  // The destination's failures are said in the table's words where it has
  // them, whether the system or the folder chain gave them.
  const InstallCode code(MapSystemError(r.value()));
  return code == InstallCode(kCodeFileInUse) ? InstallCode(kCodeFolderAccessDenied) : code;
}

bool InstallFiles(PackageReader& reader, InstallRecord& record) {
  bool result = false;
  const ComApi* com = Com();
  const bool com_ready = com != nullptr && SUCCEEDED(com->initialize(nullptr));
  if (!com_ready) {
    ReportError(kCodeSystemError, kButtonsExitOnly, nullptr, 0);
  } else {
    // The libraries written, held until registered; let go at the latest
    // when this attempt ends.
    HeldFiles held;
    InstallerContextPtr context(
        RetryingAllocation([&] { return CreateInstallerContext(record.context_text); }));
    if (context) {
      // Another attempt reads every file entry again, so that every file
      // is decided again and every library registered. The names an
      // earlier attempt wrote into the same folder stay listed: a file it
      // wrote that is now kept still needs its registration.
      if (record.tried_destination[0] != '\0') {
        reader.ReturnToEntry(record.first_file_entry);
        if (strcmp(record.tried_destination, record.destination) != 0) {
          record.installed_files->Clear();
        }
      }
      memcpy(record.tried_destination, record.destination, sizeof(record.destination));
      const CopyPassParts parts = {&record.options,
                                   record.destination,
                                   record.scriba_folder,
                                   record.installed_files.get(),
                                   record.created_folders.get(),
                                   context.get(),
                                   &PageProgress(),
                                   &held};
      result = RemoveObsoleteFiles(record.destination, record.obsolete_files.get(), *context) &&
               CopyPackageFiles(reader, parts) &&
               RegisterInstalledFiles(record.options, *record.installed_files, *context,
                                      PageProgress(), &held);
    }
  }
  // The context object is gone by now; it lives for this call only.
  if (com_ready) com->uninitialize();
  if (result) {
    record.installed_files->Clear();
    record.created_folders->Clear();
  }
  return result;
}

PageOutcome PerformInstall(HWND window, InstallRecord& record) {
  // The start-up warnings let the run go on: answered before the wizard,
  // or passed by a silent run, they must not stop the copy. A run that
  // ends before installing still ends with them.
  const uint32_t pending = Status().install_code;
  if (pending == kCodeNt3Notice || pending == kCodeHostNotFound) ResetStatus();
  if (record.destination_known == 0 && (record.options & kStateFolderPage) != 0) {
    char typed[kPathChars] = {};
    GetDlgItemTextA(window, IDC_FOLDER_EDIT, typed, sizeof(typed));
    memcpy(record.destination, typed, sizeof(typed));
  }

  const InstallCode prepared = PrepareFolder(record);
  if (!prepared.ok()) {
    if (ReportError(prepared.value(), kButtonsRetry, record.destination, IDS_LABEL_PATH) ==
        kChoiceRetry) {
      return StayOnPage(window);
    }
    return PageOutcome::kClose;
  }
  if ((record.options & kOptionLogBit) != 0) Status().log.SetLogging(record.destination, record.options);
  if (IsWizardRun(record)) SetPageStatus(record, window, IDS_LOOKING_FOR_FILES, true);

  PageOutcome result = PageOutcome::kClose;
  if (record.has_dependencies == 0 || ProcessDependencies(record)) {
    if (IsWizardRun(record)) SetPageStatus(record, window, IDS_INITIALIZING_FOLDERS, false);
    if (InstallFiles(*record.reader, record)) {
      // Only the registration pass leaves a code pending on success: a
      // component that could not be loaded or did not register.
      const bool registration_failed = Status().install_code == kCodeSelfRegisterFailed ||
                                       (record.options & kStateRegistrationFailed) != 0;
      ResetStatus();
      record.options |= kStateInstalled;
      // A wizard run says so in its completion dialog; a silent run has
      // only its exit code to tell.
      if (!IsWizardRun(record) && registration_failed) {
        SetError(kCodeSelfRegisterFailed, kButtonsExitOnly, nullptr, 0);
      }
    } else if (Status().user_choice == kChoiceRetry) {
      result = StayOnPage(window);
    }
  }
  // The cursor shown in extra around prerequisites is hidden again, but
  // never one more: a cursor hidden over the page would be lost to the
  // person after a Try Again.
  if (ShowCursor(FALSE) < 0) ShowCursor(TRUE);
  SetCursor(ArrowCursor());
  return result;
}

}  // namespace kest
