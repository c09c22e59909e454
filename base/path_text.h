// Path text in the system's ANSI code page: where a path's folder part ends,
// whether a folder ends in a backslash, and a name appended to a folder.
//
// Every such rule is made here, a whole character at a time. In a
// double-byte code page the trail byte of a character may be 0x5C, the
// byte of a backslash (in code page 932 the character U+8868 is 95 5C); a
// rule that looked at bytes would take it for a separator and join or cut
// a path in the wrong place.
#pragma once

#include <cstddef>

namespace kest {

// True when text's last character is a backslash.
bool EndsInSeparator(const char* text);

// path's last backslash, or nullptr when it has none.
char* LastSeparator(char* path);

// Cuts path just after its last backslash, leaving its folder part with the
// backslash (a path that ends in one stays whole). False, with path
// unchanged, when it has no backslash.
bool CutToFolderPart(char* path);

// Appends name to the folder text already in out, a buffer of size bytes,
// with a backslash between unless the folder ends in one (an empty folder
// gets one). Whole or not at all: false, with out unchanged, when the
// result does not fit.
[[nodiscard]] bool AppendPathName(char* out, size_t size, const char* name);

// out = folder and name joined by the rule of AppendPathName; false, with
// out unchanged, when they do not fit.
[[nodiscard]] bool JoinPath(char* out, size_t size, const char* folder, const char* name);

}  // namespace kest
