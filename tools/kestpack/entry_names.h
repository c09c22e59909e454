// Entry names: the relative paths under which files travel in a package.
// The installer puts each one below a destination folder (or the folder a
// leading token such as _winsys names), so a name must not be able to leave
// that folder or name something other than a plain file on Windows.
#pragma once
#include <string>

namespace kest {

// Checks a relative path whose parts are separated by '/' or '\'. Refused,
// with *reason set: an empty name or part, a "." or ".." part, a leading
// separator, a ':' (drive or stream), characters Windows does not allow in
// names (< > " | ? * and control characters), a part ending in '.' or ' '
// (Windows drops those, so two names could meet), a device name (CON, PRN,
// AUX, NUL, COM1..COM9, LPT1..LPT9, with or without extension), and names
// longer than 259 bytes.
bool CheckEntryName(const std::string& name, std::string* reason);

// The name as the installer compares it: '/' as '\', A..Z as a..z.
std::string FoldEntryName(const std::string& name);

}  // namespace kest
