// The install run: everything between the start command and the
// destruction of the main window.
#pragma once
#include <windows.h>

namespace kest {

struct InstallRecord;

// The command-line text handed to the entry point (without the program
// name). Kept by the entry point before the main window exists.
void SetInstallerCommandLine(const char* text);

// Runs the whole install inside the main window's start command and
// destroys the main window at the end, whatever way the run ends. The
// outcome is the install code pending in Status().
void RunInstallSequence(HWND main_window);

// The installation itself, run by Next on the destination page (window is
// that page) or directly by a silent run (window is the main window).
// Returns 1 when the calling page is to close (finished, or failed for
// good) and 0 when it is to stay open for another attempt.
int PerformInstall(HWND window, InstallRecord& record);

}  // namespace kest
