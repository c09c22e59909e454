// StatusPlatform on Windows: string resources of the module and the system's
// message texts. The base layer has no windows, so ShowErrorDialog shows
// nothing here and returns the choice "no dialog"; the installer uses the
// subclass in ui/error_dialog_win32.h, which opens the error dialog.
#pragma once
#include <windows.h>

#include "base/install_status.h"

namespace kest {

class Win32StatusPlatform : public StatusPlatform {
 public:
  explicit Win32StatusPlatform(HINSTANCE instance) : instance_(instance) {}
  bool LoadText(uint32_t id, char* buffer, uint32_t size) override;
  bool SystemMessage(uint32_t code, char* buffer, uint32_t size) override;
  uint32_t ShowErrorDialog(InstallStatus& status) override;

  // The module whose string and dialog resources are used.
  HINSTANCE instance() const { return instance_; }

 private:
  HINSTANCE instance_;
};

}  // namespace kest
