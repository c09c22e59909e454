#include "install/platform_win32.h"

#include "base/platform_win32.h"
#include "install/platform.h"

namespace kest {

bool PlatformMatches(const char* name) {
  if (name == nullptr || *name == '\0') return false;
  SystemVersion version;
  return PlatformMatches(name, QuerySystemVersion(&version) ? &version : nullptr);
}

}  // namespace kest
