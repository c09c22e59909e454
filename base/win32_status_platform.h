// The installer's StatusPlatform: string resources of the module, the
// system's message texts, and the error dialog.
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

 private:
  HINSTANCE instance_;
};

}  // namespace kest
