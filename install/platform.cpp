#include "install/platform.h"

#include <cstring>

#include "base/install_codes.h"
#include "base/install_status.h"
#include "resources/string_ids.h"

namespace kest {

bool PlatformMatches(const char* name, const SystemVersion* version) {
  if (name == nullptr || *name == '\0') return false;
  if (version != nullptr && version->platform_id == kPlatformWindows95) {
    return strcmp(name, "WIN_95") == 0;
  }
  if (version != nullptr && version->platform_id == kPlatformNt) {
    return (strcmp(name, "WIN_NT_40") == 0 && version->major > 3) ||
           (strcmp(name, "WIN_NT_35") == 0 && version->major == 3);
  }
  ReportError(kCodeSystemError, kButtonsExitOnly, name, IDS_LABEL_FILE);
  return false;
}

}  // namespace kest
