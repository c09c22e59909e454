#include "install/platform_win32.h"

#include <windows.h>

#include "install/platform.h"

namespace kest {

bool PlatformMatches(const char* name) {
  if (name == nullptr || *name == '\0') return false;
  OSVERSIONINFOA info = {};
  info.dwOSVersionInfoSize = sizeof(info);
  if (!GetVersionExA(&info)) return PlatformMatches(name, nullptr);
  const SystemVersion version = {info.dwPlatformId, info.dwMajorVersion};
  return PlatformMatches(name, &version);
}

}  // namespace kest
