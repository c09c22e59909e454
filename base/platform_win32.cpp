#include "base/platform_win32.h"

#include <windows.h>

namespace kest {

bool QueryPlatformId(uint32_t* id) {
  OSVERSIONINFOA version = {};
  version.dwOSVersionInfoSize = sizeof(version);  // 148 bytes: the form every family knows
  if (!GetVersionExA(&version)) return false;
  *id = version.dwPlatformId;
  return true;
}

}  // namespace kest
