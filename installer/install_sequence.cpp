#include "installer/install_sequence.h"

#include <cstring>
#include <memory>
#include <new>

#include "installer/administrator.h"
#include "base/command_line.h"
#include "base/install_codes.h"
#include "installer/install_record.h"
#include "base/install_status.h"
#include "resources/string_ids.h"
#include "installer/manifest_reader.h"
#include "installer/open_package.h"
#include "installer/wizard.h"

namespace kest {
namespace {

constexpr DWORD kPlatformNt = VER_PLATFORM_WIN32_NT;

const char* g_command_line = "";

bool IsWindowsNt() {
  OSVERSIONINFOA version = {};
  version.dwOSVersionInfoSize = sizeof(version);
  return GetVersionExA(&version) && version.dwPlatformId == kPlatformNt;
}

// The installer's folder: drive and directory of the running executable,
// ending in a backslash.
void FindInstallerFolder(char* folder) {
  DWORD n = GetModuleFileNameA(nullptr, folder, kPathChars);
  if (n == 0 || n >= kPathChars) {
    folder[0] = '\0';
    return;
  }
  char* last_separator = nullptr;
  for (char* p = folder; *p != '\0'; p = CharNextA(p)) {
    if (*p == '\\' || *p == ':') last_separator = p;
  }
  if (last_separator != nullptr) last_separator[1] = '\0';
}

// The steps of a run, each returning false when the run must end.
bool CheckRights() {
  if (IsWindowsNt() && !IsAdministrator()) {
    ReportError(kCodeAdminRequired, kButtonsExitOnly, nullptr, 0);
    return false;
  }
  return true;
}

bool ReadCommandLine(InstallRecord& record) {
  // The parser cuts its text apart; the report shows the line as received.
  // Windows NT allows command lines far longer than any fixed buffer, and a
  // cut one could lose its closing quote, so the copy has the line's size.
  const size_t size = strlen(g_command_line) + 1;
  std::unique_ptr<char[]> text(new (std::nothrow) char[size]);
  while (!text) {
    if (!RetryAfterOutOfMemory()) return false;
    text.reset(new (std::nothrow) char[size]);
  }
  memcpy(text.get(), g_command_line, size);
  if (ParseCommandLine(text.get(), &record.options, record.destination, record.context_text) != 0) {
    ReportError(kCodeBadCommandLine, kButtonsExitOnly, g_command_line, IDS_LABEL_COMMAND);
    return false;
  }
  Status().ui_level = record.options & kOptionUiLevelMask;
  return true;
}

}  // namespace

int PerformInstall(HWND window, InstallRecord& record) {
  // Folder preparation, the log and the file phases follow here.
  (void)window;
  (void)record;
  return 1;
}

void SetInstallerCommandLine(const char* text) { g_command_line = text != nullptr ? text : ""; }

void RunInstallSequence(HWND main_window) {
  // Reports before the command line is read are always shown.
  Status().ui_level = kUiLevelFull;

  InstallRecord* record = nullptr;
  while ((record = new (std::nothrow) InstallRecord) == nullptr) {
    if (!RetryAfterOutOfMemory()) break;
  }
  if (record != nullptr) {
    record->instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(main_window, GWLP_HINSTANCE));
    record->main_window = main_window;
    FindInstallerFolder(record->installer_folder);

    if (CheckRights() && ReadCommandLine(*record)) {
      // Opening the package checks its signature; a failure has been
      // reported and its code is the run's exit code.
      const bool wizard = (record->options & kOptionUiLevelMask) == kUiLevelFull;
      HWND wait_box = wizard ? OpenPleaseWaitBox(main_window) : nullptr;
      record->reader = OpenPackage();
      if (record->reader != nullptr && record->reader->IsUsable()) {
        ClosePleaseWaitBox(wait_box);
        ReadComponentManifest(record);
        ReadDependencyManifest(record);
        record->destination_known =
            (record->options & (kOptionKeepFolder | kStateFolderGiven)) != 0 ? 1 : 0;
        // The silent install and the earlier installation's folder follow here.
        if (wizard) RunWizard(*record);
      }
    }
    delete record;
  }
  DestroyWindow(main_window);
}

}  // namespace kest
