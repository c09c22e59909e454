#include "installer/wizard.h"

#include "installer/install_record.h"

namespace kest {

// The pages are not built yet: a run at UI level 3 ends cleanly after the
// package and manifests have been read.
HWND OpenPleaseWaitBox(HWND owner) {
  (void)owner;
  return nullptr;
}

void ClosePleaseWaitBox(HWND box) {
  if (box != nullptr) DestroyWindow(box);
}

void RunWizard(InstallRecord& record) { (void)record; }

}  // namespace kest
