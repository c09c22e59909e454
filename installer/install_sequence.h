// The install run: everything between the start command and the
// destruction of the main window, and the installation itself.
#pragma once
#include <windows.h>

#include <cstdint>

#include "base/install_codes.h"
#include "ui/wizard_win32.h"

namespace kest {

class PackageReader;
struct InstallRecord;

// The command-line text handed to the entry point (without the program
// name). Kept by the entry point before the main window exists.
void SetInstallerCommandLine(const char* text);

// Runs the whole install inside the main window's start command and
// destroys the main window at the end, whatever way the run ends. The
// outcome is the install code pending in Status(). Every path, early ones
// included, releases the record with the reader, manifests and lists.
void RunInstallSequence(HWND main_window);

// The installation itself, run by Next on the destination page (window is
// that page) or directly by a silent run (window is the main window):
// folder preparation, the log, prerequisite installs, then InstallFiles.
// Returns kClose when the calling page is to close (finished, or failed
// for good) and kStay when it is to stay open for another attempt (its
// controls are then usable again and no code is pending). The installed
// bit is set on success; a failure leaves its code pending.
PageOutcome PerformInstall(HWND window, InstallRecord& record);

// Creates the destination folder chain (recording the folders made), makes
// it the current directory and puts its full form into the record (no
// trailing backslash except on a drive root). Returns success or the
// install code, the system's errors given the table's code where it has
// one; a sharing violation reads as "Cannot access folder". On failure the
// destination is left as it was.
InstallCode PrepareFolder(InstallRecord& record);

// The file phases inside COM: obsolete files, the copy pass, the
// registration pass, with one installer context object for them. True when
// all succeeded. Another attempt (after a failure answered with Try Again)
// reads the package's file entries again from the first. The
// installed-files and created-folders lists are emptied on success; after
// a failure the names stay for another attempt into the same folder.
bool InstallFiles(PackageReader& reader, InstallRecord& record);

// The earlier installation's folder named by the first dependency into the
// destination; true when it was read. Nothing without dependencies.
bool FindExistingFolder(HINSTANCE instance, InstallRecord& record);

// The host product's folder ("Path" under the highest version subkey of
// its key) into the record; true when it was read.
bool FindScribaFolder(HINSTANCE instance, InstallRecord& record);

}  // namespace kest
