#include "base/platform_win32.h"

#include <windows.h>

namespace kest {

bool QuerySystemVersion(SystemVersion* version) {
  OSVERSIONINFOA info = {};
  info.dwOSVersionInfoSize = sizeof(info);  // 148 bytes: the form every family knows
  if (!GetVersionExA(&info)) {
    *version = SystemVersion{0, 0};
    return false;
  }
  *version = SystemVersion{info.dwPlatformId, info.dwMajorVersion};
  return true;
}

}  // namespace kest
