// The error dialog: the one window through which the installer tells the
// person about a failure. It shows what SetError recorded in InstallStatus
// and hands back the person's choice; the caller decides what it means.
#pragma once
#include <windows.h>

#include <cstdint>

#include "base/install_status.h"
#include "base/win32_status_platform.h"

namespace kest {

// Opens template status.dialog_id (118 with a detail text, 119 without)
// from instance, modally, owned by owner (null: no owner). Shows the
// headline, the detail and the message of the recorded row, the system's
// exclamation icon, and the buttons the row names: Change Drive (2) and
// Try Again (4) only with the retry-allowed button set, the first button
// (1) always; a button without a text is hidden and disabled.
//
// Returns the choice, also stored in status.user_choice: the id of the
// button pressed (1, 2 or 4), or 0 for a command 2 or 4 under the
// exit-only set (Escape, for one). Returns 0 without storing anything when
// the dialog cannot be created.
uint32_t RunErrorDialog(HINSTANCE instance, HWND owner, InstallStatus& status);

// The installer's StatusPlatform: as Win32StatusPlatform, and ShowError
// opens the error dialog owned by the thread's active window.
class DialogStatusPlatform : public Win32StatusPlatform {
 public:
  explicit DialogStatusPlatform(HINSTANCE instance) : Win32StatusPlatform(instance) {}
  uint32_t ShowErrorDialog(InstallStatus& status) override;
};

}  // namespace kest
