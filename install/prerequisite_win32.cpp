#include "install/prerequisite_win32.h"

#include <windows.h>

#include "base/install_codes.h"
#include "base/install_log.h"
#include "base/install_options.h"
#include "base/install_status.h"
#include "install/dependency_rule.h"
#include "install/disk_file_facts_win32.h"
#include "install/folder_system_win32.h"
#include "install/platform_win32.h"
#include "install/prerequisite_command.h"
#include "resources/string_ids.h"

namespace kest {
namespace {

// Before a prerequisite starts and after it ends: the wait cursor, shown
// once more (the run hides that extra cursor when the installation ends).
void ShowWaitCursor() {
  SetCursor(LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_WAIT)));
  ShowCursor(TRUE);
}

// The program could not be run, or did not return 0: reported, exit-only;
// false for the caller to return.
bool ReportCommandFailure(const char* program) {
  ReportError(kCodePrerequisiteFailed, kButtonsExitOnly, program, IDS_LABEL_COMMAND);
  return false;
}

// Waits for the process to end, answering meanwhile every message sent to
// this thread's windows: a prerequisite that tells all top-level windows of
// a changed setting with SendMessage (as installers do) waits until each has
// answered, the hidden main window included, so a wait that answered none
// would hold both processes for ever. A wizard run also handles its queued
// messages, so that the page repaints; a silent run leaves its queue alone.
void WaitForProcess(HANDLE process, const DependencyPass& pass) {
  const bool wizard = (pass.options & kOptionUiLevelMask) == kUiLevelFull;
  for (;;) {
    DWORD woken =
        MsgWaitForMultipleObjects(1, &process, FALSE, INFINITE, wizard ? QS_ALLINPUT : QS_SENDMESSAGE);
    if (woken == WAIT_OBJECT_0) return;
    if (woken != WAIT_OBJECT_0 + 1) break;  // the wait itself failed: wait plainly
    if (wizard) {
      pass.progress->PumpMessages();
    } else {
      MSG message;
      PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE);  // answers the sent ones only
    }
  }
  WaitForSingleObject(process, INFINITE);
}

}  // namespace

bool RunPrerequisite(const DependencyPass& pass, const char* path, const char* arguments) {
  char program[kPathChars];
  bool rename = false;
  if (!MakeProgramPath(path, program, &rename) || (rename && !MoveFileA(path, program))) {
    ReportError(kCodeRenameFailed, kButtonsExitOnly, path, IDS_LABEL_FILE);
    return false;
  }
  DWORD attributes = GetFileAttributesA(program);
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    ReportError(kCodeRequiredFilesMissing, kButtonsExitOnly, path, IDS_LABEL_FILE);
    return false;
  }
  char command[kCommandLineChars];
  if (!MakePrerequisiteCommandLine(program, arguments, pass.destination, pass.options,
                                   command)) {
    return ReportCommandFailure(program);
  }

  LogLine(" ");
  LogFormat("Executing prerequisite install: \"%s\"", command);
  const bool log = (pass.options & kOptionLogBit) != 0;
  if (log) Status().log.CloseFile();
  pass.progress->PumpMessages();
  ShowWaitCursor();

  STARTUPINFOA startup = {};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_FORCEONFEEDBACK;
  PROCESS_INFORMATION process = {};
  // The program is named on its own: the system never looks for it in the
  // words of a command line whose path has blanks ("c:\program files\...").
  if (!CreateProcessA(program, command, nullptr, nullptr, FALSE, NORMAL_PRIORITY_CLASS, nullptr,
                      nullptr, &startup, &process)) {
    if (log) Status().log.ReopenFile();
    return ReportCommandFailure(program);
  }
  CloseHandle(process.hThread);
  WaitForProcess(process.hProcess, pass);
  // An exit code that cannot be read is no success.
  DWORD exit_code = 0;
  const bool returned_zero = GetExitCodeProcess(process.hProcess, &exit_code) && exit_code == 0;
  CloseHandle(process.hProcess);

  if (log) Status().log.ReopenFile();
  LogFormat("Returned from prerequisite install: \"%s\"", command);
  pass.progress->PumpMessages();
  ShowWaitCursor();
  if ((pass.options & kOptionDeletePrereqs) != 0) {
    LogFormat("Deleting prerequisite install: \"%s\"", program);
    DeleteFileA(program);
  }
  if (returned_zero) return true;
  return ReportCommandFailure(program);
}

bool ProcessDependency(DependencyRecord& dependency, const DependencyPass& pass) {
  {
    FolderSystemWin32 folders;
    TargetResolver resolver(folders, pass.scriba_folder);
    DiskFileFactsWin32 disk;
    if (!AnyRequiredFileOlder(dependency, pass.destination, resolver, disk)) return false;
  }
  if (dependency.platform != nullptr && *dependency.platform != '\0' &&
      !PlatformMatches(dependency.platform)) {
    return false;
  }
  if (dependency.source_file == nullptr || *dependency.source_file == '\0') {
    ReportError(kCodeInvalidInstallFiles, kButtonsExitOnly, dependency.header,
                IDS_LABEL_DEPENDENCY);
    return false;
  }
  char path[kPathChars];
  if (!MakePrerequisitePath(pass.installer_folder, dependency.source_file, path)) {
    ReportError(kCodeRequiredFilesMissing, kButtonsExitOnly, dependency.source_file,
                IDS_LABEL_FILE);
    return false;
  }
  LogFormat("Found valid dependency: \"%s\"", path);
  const char* arguments = dependency.source_args != nullptr ? dependency.source_args : "";
  return RunPrerequisite(pass, path, arguments);
}

bool ProcessNextDependency(const DependencyPass& pass, DependencyList& list) {
  DependencyList first(list.release());
  if (first == nullptr) return Status().install_code == kSuccess;
  list.reset(first->next);
  first->next = nullptr;
  if (first->header != nullptr) ProcessDependency(*first, pass);
  first.reset();
  return Status().install_code == kSuccess;
}

}  // namespace kest
