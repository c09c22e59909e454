// The platform test against the running system.
#pragma once

namespace kest {

// PlatformMatches (install/platform.h) for the version GetVersionExA gives.
bool PlatformMatches(const char* name);

}  // namespace kest
