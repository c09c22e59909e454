// The destination page while the installation runs in it: its controls, its
// status line, and the Progress through which the file phases report.
//
// The current page window is process-wide: it is set when a destination page
// opens and never cleared. Until then (and for the whole of a silent run)
// the progress calls do nothing.
#pragma once
#include <windows.h>

#include "install/progress.h"

namespace kest {

void SetCurrentPage(HWND page);

// The file phases' Progress: the current page's status line and message pump.
Progress& PageProgress();

// Removes and dispatches every queued message without waiting (nothing
// before a destination page exists). Keeps the wait cursor up.
void PumpPageMessages();

// Folder page or confirm page ready for input: sets the folder edit's text
// when folder is not null; shows and enables the folder edit, Browse, Next
// and Exit Install; hides the status line. Controls a page lacks are skipped.
void PageControlsOn(HWND page, const char* folder);
// Confirm page: the status line shows text; Next and Exit Install are shown
// and enabled.
void ConfirmControlsOn(HWND page, const char* text);
// Installation starting on the page: Browse, Next and Exit Install hidden and
// disabled, the folder edit disabled, the status line shown with status.
void LockPageForInstall(HWND page, const char* status);
// Sets the status line of the page.
void SetStatusLine(HWND page, const char* text);

}  // namespace kest
