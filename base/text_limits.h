// Fixed buffer sizes shared by every subsystem.
#pragma once
#include <cstddef>

namespace kest {

// A path buffer: 260 characters including the terminating NUL.
constexpr size_t kPathChars = 260;
// A message or log-line buffer: 1024 bytes including the terminating NUL.
constexpr size_t kTextBytes = 1024;

// Copies at most size - 1 bytes of src and always terminates dst (size > 0).
// Returns false when src had to be cut.
bool CopyText(char* dst, size_t size, const char* src);

}  // namespace kest
