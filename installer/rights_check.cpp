#include "installer/rights_check.h"

#include "base/install_codes.h"
#include "base/install_status.h"

namespace kest {

bool CheckRights(const SystemVersion* version, bool (*is_administrator)()) {
  if (version == nullptr || version->platform_id != kPlatformNt) return true;
  if (is_administrator()) return true;
  ReportError(kCodeAdminRequired, kButtonsExitOnly, nullptr, 0);
  return false;
}

}  // namespace kest
