// Platform names: the texts a dependency's Platform value (and the install
// sequence's Windows NT 3.x notice) uses to name the system it applies to.
// Compared exactly: case counts, no blanks.
//
//   name         running system                       platform id  major
//   "WIN_95"     the Windows 95 family, any version   1            any
//   "WIN_NT_40"  Windows NT 4.0 and later             2            > 3
//   "WIN_NT_35"  the Windows NT 3.x releases          2            3
//
// Any other text matches nothing.
#pragma once
#include <cstdint>

#include "base/system_version.h"

namespace kest {

// True when the system described by version is the platform called name.
// An absent or empty name is false, unreported. version null (the query
// failed) or a platform id other than 1 and 2 reports 0x8040FFFF,
// exit-only, with name as the "File:" detail, left pending, and is false.
bool PlatformMatches(const char* name, const SystemVersion* version);

}  // namespace kest
