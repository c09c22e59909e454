// CopyPackageFiles: the file copy. Takes every remaining entry of the
// package to its destination, in archive order, and never loses a file the
// user already has on the way.
//
// For each entry:
//   target        its path through the folder tokens, lower-cased; the
//                 replace decision may keep the disk file (nothing else is
//                 then done for the entry)
//   read-only     a disk file to be replaced that is read-only is cleared
//                 with the user's consent (0x8040F014, Continue)
//   old library   a self-registering disk file is unregistered first
//   in use        a disk file another program holds open is written
//                 beside itself under a temporary name and replaced at the
//                 next restart (a lazy copy; restart-needed bit), unless
//                 its library asked for replacement now: the user is then
//                 asked to close other programs (0x8040F00C, Try Again)
//   written       a new target is written in place. An existing one is
//                 written beside itself under a temporary name, checked,
//                 and then moved over the old file in one step; should
//                 that step be refused (another program took the file
//                 meanwhile), the move waits for the restart like a lazy
//                 copy. A failed entry leaves the old file as it was and
//                 no temporary file behind.
//   recorded      the written name (the temporary name for a replacement
//                 that waits for the restart, which is therefore never
//                 registered in this run) joins the installed-files list,
//                 once however often it is written; a self-registering
//                 library written at its target is then held open for
//                 reading only and compared with the entry (written again
//                 should another program have changed it meanwhile), so
//                 that registration loads exactly the package's file
//
// An old library whose registration has been undone never waits for the
// restart: when its file is taken (before or after the new copy is
// written), the user is asked to free it (0x8040F00C, Try Again). On the
// Windows 95 family, which has no replacing move, the old file is moved
// aside first and back should the new one not move in. A replacement that
// finds no room beside the old file, but room over it, is written in place.
// Every temporary file is noted in a journal (install/temp_journal_win32.h)
// so that the next pass clears away what a killed pass left.
//
// Each step writes its install-log line before it acts, and every entry
// ends with a separator line of one blank:
//   Renaming archive from "<name in package>" to "<target>"
//   Version compare ... / Date/time compare ...          (replace decision)
//   Renaming archive from "<target>" to "<temporary>" for lazy copy
//   Queuing "<target>" for lazy copy as "<temporary>")
//   Setting directory for "<written name>"
//   Copying "<written name>" to install target
//
// Failures are reported as they happen (Try Again repeats the step where
// the report allows it) and end the pass. Files written and replacements
// queued before stay; so do folders created.
#pragma once
#include <cstdint>

#include "archive/package_reader.h"
#include "install/held_files_win32.h"
#include "install/installer_context_win32.h"
#include "install/progress.h"
#include "manifest/string_list.h"

namespace kest {

// What the pass works on besides the reader; all of it outlives the call.
struct CopyPassParts {
  uint32_t* options;             // the run's options word; gets kStateRestartNeeded
  const char* destination;       // the destination folder, for reports ("Path:")
  const char* scriba_folder;     // the host product's folder, or null or empty
  StringList* installed_files;   // every name written, in writing order
  StringList* created_folders;   // every folder created
  InstallerContext* context;     // the run's installer context object
  Progress* progress;            // status line and window messages
  // Where each self-registering library written is kept open until its
  // registration (null: none is held).
  HeldFiles* held_files;
};

// Runs the pass over the reader's current entry and every one after it.
// The current directory is the destination folder (plain names land
// below it). True when every entry was handled and the archive's end was
// reached; false when the pass ended on a failure, which has been
// reported: among them a reader that is already unusable, and an archive
// whose next header cannot be read. The run should then not go on to
// self-registration.
bool CopyPackageFiles(PackageReader& reader, const CopyPassParts& parts);

}  // namespace kest
