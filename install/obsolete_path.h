// Where an obsolete-files line points: the destination folder, a backslash
// unless the folder ends in one, and the line as written, lower-cased with
// the ANSI rules as every target path is. The line is a path below the
// destination; folder tokens do not apply to it.
#pragma once
#include "base/text_limits.h"

namespace kest {

// False, with path unspecified, when the result would not fit kPathChars.
bool MakeObsoletePath(const char* folder, const char* entry, char (&path)[kPathChars]);

}  // namespace kest
