// The wizard of a run at UI level 3: the please-wait box around opening the
// package, then the agreement, welcome and destination pages. The
// destination page's Next installs in place through the callback the run
// gives, and the page shows the completion dialog when it closes.
#pragma once
#include <windows.h>

#include <cstdint>

namespace kest {

// What the installation a page starts asks of that page.
enum class PageOutcome {
  kStay,   // stay open for another attempt; no code pending
  kClose,  // installed, or failed for good with the code pending
};

// What the wizard reads and changes of a run; the pages know nothing else
// of it. Every pointer stays valid while RunWizard runs.
struct WizardRun {
  HWND owner = nullptr;               // the hidden main window, owner of every page
  HBITMAP welcome_picture = nullptr;  // shown, never deleted here; null: none
  const char* product = nullptr;      // the pack's name on the pages; null keeps the template's
  // The folder page's folder when the run has none yet; null: none.
  const char* default_folder = nullptr;
  bool destination_known = false;     // the confirm page instead of the folder page
  char* destination = nullptr;        // the run's folder, kPathChars bytes; Browse changes it
  // The run's options word: the folder-page bit is set here, and the state
  // bits that the installation sets choose the completion dialog.
  uint32_t* options = nullptr;
  // Next on the destination page: installs, reading the folder from that
  // page, and says whether the page closes.
  PageOutcome (*install)(HWND page, void* context) = nullptr;
  void* context = nullptr;
};

// Creates the modeless please-wait box (dialog 115) owned by owner and
// shows it; null when it could not be made.
HWND OpenPleaseWaitBox(HWND owner);
// Destroys the box; null is allowed.
void ClosePleaseWaitBox(HWND box);

// The wizard steps of the install sequence: agreement page (Previous on the
// welcome page comes back to a fresh one), welcome page, then the destination
// page that the run selects (confirm page when the destination is known,
// else the folder page). Returns when the run is to be cleaned up.
void RunWizard(WizardRun& run);

}  // namespace kest
