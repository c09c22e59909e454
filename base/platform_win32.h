// Which family of Windows the installer runs on, where the two differ
// (deferred file operations, shared-library counts, folder browsing).
#pragma once
#include <cstdint>

namespace kest {

// Platform identifiers of the extended version query.
constexpr uint32_t kPlatformWindows95 = 1;  // Windows 95, 98 and Me
constexpr uint32_t kPlatformNt = 2;

// The platform identifier the system reports, into *id. False when the
// version query itself fails. Identifiers other than the two above are
// given as they are; each caller decides what they mean.
bool QueryPlatformId(uint32_t* id);

}  // namespace kest
