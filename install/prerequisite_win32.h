// The dependency pass: each dependency of the dependency manifest is judged
// (install/dependency_rule.h) and, when one of its files is missing or too
// old on its platform, its prerequisite install is run
// (install/prerequisite_command.h) and waited for.
//
// Every failure is reported exit-only and stays pending, which ends the
// pass and the installation:
//
//   failure                                      code        detail
//   files too old, no Source                     0x8040F00A  "Dependency:" header
//   the ".exe" rename fails, or does not fit     0x8040F00D  "File:" path
//   the program is missing or a folder, or the
//     path of the source does not fit            0x8040F00E  "File:" path (source)
//   the process cannot be started, its command
//     line does not fit, or it exits non-zero    0x8040F00F  "Command:" program
//   system version unreadable, unknown platform  0x8040FFFF  "File:" platform name
#pragma once
#include <cstdint>
#include <memory>

#include "install/progress.h"
#include "manifest/manifest_records.h"

namespace kest {

// What the pass reads of the run.
struct DependencyPass {
  const char* destination;       // the destination folder
  const char* installer_folder;  // this installer's folder, ending in "\"
  const char* scriba_folder;     // the host product's folder, or empty
  uint32_t options;              // the options word: UI level, /F, /L, /D
  Progress* progress;            // the page's message handling
};

using DependencyList = std::unique_ptr<DependencyRecord, DependencyListDeleter>;

// Takes the first dependency off list, judges it, runs its prerequisite
// when needed and frees it. True when no code is pending afterwards.
bool ProcessNextDependency(const DependencyPass& pass, DependencyList& list);

// True when the dependency's prerequisite ran and returned 0. A dependency
// that is present, or whose platform is another, is passed over silently.
bool ProcessDependency(DependencyRecord& dependency, const DependencyPass& pass);

// Runs the prerequisite at path (installer folder and source file) with
// arguments (empty for this installer's own syntax) and waits for it
// without a time limit. In a wizard run (UI level 3) the page's messages
// are handled while waiting, so that it stays painted; the hidden and
// disabled buttons keep the user from a second action. With the log bit the
// install log is closed for the time of the run (the prerequisite may write
// to it) and reopened after. With the delete-prerequisites bit (/D) the
// program file is deleted once it has ended, whatever its exit code.
// True when the program ran and returned 0; otherwise the failure has been
// reported, exit-only, and stays pending.
bool RunPrerequisite(const DependencyPass& pass, const char* path, const char* arguments);

}  // namespace kest
