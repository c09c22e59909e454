// The wizard of a run at UI level 3: the please-wait box around opening the
// package, then the agreement, welcome and destination pages. The
// destination page's Next runs PerformInstall in place and the page shows
// the completion dialog when it closes.
#pragma once
#include <windows.h>

namespace kest {

struct InstallRecord;

// Creates the modeless please-wait box (dialog 115) owned by owner and
// shows it; null when it could not be made.
HWND OpenPleaseWaitBox(HWND owner);
// Destroys the box; null is allowed.
void ClosePleaseWaitBox(HWND box);

// The wizard steps of the install sequence: agreement page (Previous on the
// welcome page comes back to a fresh one), welcome page, then the destination
// page that the record selects (confirm page when the destination is known,
// else the folder page). Returns when the run is to be cleaned up.
void RunWizard(InstallRecord& record);

}  // namespace kest
