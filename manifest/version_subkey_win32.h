// The subkey of a registry key whose name reads as the highest version, as
// products record their releases under "SOFTWARE\Vendor\Product\4.6".
#pragma once
#include <windows.h>

#include "manifest/version_text.h"

namespace kest {

// Opens path under root (query and enumerate rights) and reads every
// subkey name as a version text (version_text.h). Only a strictly higher
// version replaces the best, which starts at 0.0.0.0: among equal versions
// the first enumerated wins, a name that reads as 0.0.0.0 never wins, and a
// name of separators only is passed over.
//
// *best: the winning version, 0.0.0.0 when none won. name: nullptr, or a
// buffer of kPathChars bytes that receives the winning subkey's name and is
// left as it was when none won.
// Returns ERROR_SUCCESS when the enumeration ran to its end, otherwise the
// status of the failed open or enumeration (*best then holds what won so far).
LONG FindHighestVersionSubkey(HKEY root, const char* path, VersionParts* best, char* name);

}  // namespace kest
