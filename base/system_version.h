// What the system's extended version query says, where the Windows 95
// family and Windows NT differ (deferred file operations, shared-library
// counts, folder browsing, platform names, the rights check).
#pragma once
#include <cstdint>

namespace kest {

// Platform identifiers of the extended version query.
constexpr uint32_t kPlatformWindows95 = 1;  // Windows 95, 98 and Me
constexpr uint32_t kPlatformNt = 2;

struct SystemVersion {
  uint32_t platform_id;  // given as the system reports it; callers judge others
  uint32_t major;
};

}  // namespace kest
