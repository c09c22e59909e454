#include "installer/install_sequence.h"

#include <cstring>
#include <memory>
#include <new>

#include "archive/package_reader.h"
#include "archive/reader_codes.h"
#include "base/command_line.h"
#include "base/install_codes.h"
#include "base/install_status.h"
#include "base/path_text.h"
#include "base/platform_win32.h"
#include "install/platform_win32.h"
#include "install/reader_error.h"
#include "installer/administrator.h"
#include "installer/install_record.h"
#include "installer/main_window.h"
#include "installer/manifest_reader.h"
#include "installer/rights_check.h"
#include "installer/open_package.h"
#include "manifest/string_list.h"
#include "resources/string_ids.h"
#include "ui/cursors_win32.h"
#include "ui/wizard_win32.h"

namespace kest {
namespace {

const char* g_command_line = "";

// The installer's folder: drive and directory of the running executable,
// ending in a backslash.
void FindInstallerFolder(char* folder) {
  DWORD n = GetModuleFileNameA(nullptr, folder, kPathChars);
  if (n == 0 || n >= kPathChars) {
    folder[0] = '\0';
    return;
  }
  // The module's name is a full path: its folder part ends in a backslash.
  CutToFolderPart(folder);
}

// The steps of a run, each returning false when the run must end.
bool CheckRightsOfThisProcess() {
  SystemVersion version;
  return CheckRights(QuerySystemVersion(&version) ? &version : nullptr, IsAdministrator);
}

bool ReadCommandLine(InstallRecord& record) {
  // The parser cuts its text apart; the report shows the line as received.
  // Windows NT allows command lines far longer than any fixed buffer, and a
  // cut one could lose its closing quote, so the copy has the line's size.
  const size_t size = strlen(g_command_line) + 1;
  std::unique_ptr<char[]> text = RetryingAllocation(
      [size] { return std::unique_ptr<char[]>(new (std::nothrow) char[size]); });
  if (!text) return false;
  memcpy(text.get(), g_command_line, size);
  const uint32_t parsed =
      ParseCommandLine(text.get(), &record.options, record.destination, record.context_text);
  // The UI level is taken over only from a line that parsed: a bad one is
  // reported also when it asked for a silent run, since its switches cannot
  // be trusted.
  if (parsed != 0) {
    ReportError(kCodeBadCommandLine, kButtonsExitOnly, g_command_line, IDS_LABEL_COMMAND);
    return false;
  }
  Status().ui_level = record.options & kOptionUiLevelMask;
  return true;
}

// True when a move to the next entry failed since the reader's error word
// read before: anything recorded but the normal end of the archive. The
// manifest readers have reported it (exit-only) and the rest of the package
// cannot be read.
bool MoveFailedSince(const PackageReader& reader, uint32_t before) {
  const uint32_t error = reader.GetError();
  return error != before && error != (before | kReaderEndOfArchive);
}

// Allocates one of the record's lists, with Try Again on out of memory.
bool MakeList(std::unique_ptr<StringList>& list) {
  list.reset(RetryingAllocation([] { return new (std::nothrow) StringList; }));
  return list != nullptr;
}

// Opening the package and reading its manifests, with the please-wait box
// of a wizard run around the opening. False when the package cannot be
// used; the failure has been reported.
bool OpenAndRead(InstallRecord& record, bool wizard) {
  HWND please_wait = wizard ? OpenPleaseWaitBox(record.main_window) : nullptr;
  // Opening the package checks its signature; a failure has been reported
  // and its code is the run's exit code.
  record.reader = OpenPackage();
  bool usable = record.reader != nullptr;
  if (usable && !record.reader->IsUsable()) {
    ReportReaderError(record.reader->GetError(), nullptr, kButtonsExitOnly);
    usable = false;
  }
  ClosePleaseWaitBox(please_wait);
  if (!usable) return false;
  // Their own failures are reported inside; the run goes on with whatever
  // was read, unless the reader could not move past a manifest: that report
  // (exit-only) ends the run before anything is installed or started.
  const uint32_t before = record.reader->GetError();
  ReadComponentManifest(&record);
  if (MoveFailedSince(*record.reader, before)) return false;
  ReadDependencyManifest(&record);
  if (MoveFailedSince(*record.reader, before)) return false;
  record.first_file_entry = record.reader->entry_start();
  return true;
}

PageOutcome InstallFromPage(HWND page, void* record) {
  return PerformInstall(page, *static_cast<InstallRecord*>(record));
}

// The wizard on the record: what its pages show and change of the run, and
// the installation that the destination page's Next starts.
void RunWizardOn(InstallRecord& record) {
  const ComponentRecord* product = record.components.get();
  const DependencyRecord* first = record.dependencies.get();
  WizardRun run;
  run.owner = record.main_window;
  run.welcome_picture = WelcomePicture();
  run.product = product != nullptr ? product->product : nullptr;
  run.default_folder = record.has_dependencies != 0 && first != nullptr ? first->default_folder
                                                                         : nullptr;
  run.destination_known = record.destination_known != 0;
  run.destination = record.destination;
  run.options = &record.options;
  run.install = InstallFromPage;
  run.context = &record;
  RunWizard(run);
}

// From the reading of the manifests to the end of the installation.
void InstallOrRunWizard(InstallRecord& record) {
  if ((record.options & kOptionKeepFolder) != 0) {
    record.destination_known = 1;
  } else {
    record.destination_known = FindExistingFolder(record.instance, record) ? 1 : 0;
  }
  if (record.destination_known == 0 && (record.options & kStateFolderGiven) != 0) {
    record.destination_known = 1;
  }

  if ((record.options & kOptionUiLevelMask) == kUiLevelSilent) {
    if (strlen(record.destination) > kLongestDestinationChars) {
      ReportError(kCodeInvalidFolder, kButtonsRetry, record.destination, IDS_LABEL_PATH);
    } else {
      PerformInstall(record.main_window, record);
    }
    return;
  }
  RunWizardOn(record);
}

// Everything after the record exists; returns when the run is to end.
void RunWithRecord(InstallRecord& record, HWND main_window) {
  record.instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(main_window, GWLP_HINSTANCE));
  record.main_window = main_window;
  if (!MakeList(record.installed_files) || !MakeList(record.created_folders)) return;
  record.has_dependencies = 0;
  FindInstallerFolder(record.installer_folder);

  if (!CheckRightsOfThisProcess() || !ReadCommandLine(record)) return;
  const bool wizard = (record.options & kOptionUiLevelMask) == kUiLevelFull;
  if (!wizard) SetCursor(WaitCursor());

  // Notices: the run goes on whatever the answer.
  if (PlatformMatches("WIN_NT_35")) ReportError(kCodeNt3Notice, kButtonsExitOnly, nullptr, 0);
  if (!FindScribaFolder(record.instance, record)) {
    ReportError(kCodeHostNotFound, kButtonsExitOnly, nullptr, 0);
  }

  if (OpenAndRead(record, wizard)) InstallOrRunWizard(record);

  // Clean-up: the log stops (with its closing line) while the run still
  // knows its folder; the record then releases the reader, the manifests
  // and the lists.
  Status().log.SetLogging(nullptr, 0);
}

}  // namespace

void SetInstallerCommandLine(const char* text) { g_command_line = text != nullptr ? text : ""; }

void RunInstallSequence(HWND main_window) {
  // Reports before the command line is read are always shown.
  Status().ui_level = kUiLevelFull;

  std::unique_ptr<InstallRecord> record(
      RetryingAllocation([] { return new (std::nothrow) InstallRecord; }));
  if (record) RunWithRecord(*record, main_window);
  record.reset();
  SetCursor(ArrowCursor());
  DestroyWindow(main_window);
}

}  // namespace kest
