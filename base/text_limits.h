// Fixed buffer sizes shared by every subsystem, and the two ways of copying
// a text into one: whole or not at all, where a cut text would mean
// something else (a path, a name), or cut to fit, where a shorter text is
// still right (a message shown or logged). The first cannot be ignored.
#pragma once
#include <cstddef>

namespace kest {

// A path buffer: 260 characters including the terminating NUL.
constexpr size_t kPathChars = 260;
// A message or log-line buffer: 1024 bytes including the terminating NUL.
constexpr size_t kTextBytes = 1024;

// Copies src with its terminator into dst (size bytes, size > 0) and
// returns true when it fits; otherwise leaves dst as it was and returns
// false.
[[nodiscard]] bool CopyText(char* dst, size_t size, const char* src);

// Copies at most size - 1 bytes of src and always terminates dst (size > 0):
// for texts that may be cut by intent.
void CopyTextCut(char* dst, size_t size, const char* src);

}  // namespace kest
