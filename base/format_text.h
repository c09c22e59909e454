// A small, bounded printf for the installer's texts and log lines.
//
// The C library's formatters either pull tens of kilobytes of floating-point
// code into the installer or, in the oldest runtimes, leave a cut text
// unterminated. This one knows exactly what the installer formats:
//
//   %s  text (a null pointer prints as nothing)    %c  one character
//   %d  int          %u  unsigned int              %x %X  unsigned int in hex
//   %ld %lu %lx %lX  the long forms                %%  a percent sign
//
// with an optional '0' flag and a decimal width (for example %02d, %08lX).
// Anything else is copied as it stands.
#pragma once
#include <cstdarg>
#include <cstddef>

namespace kest {

// Writes at most size - 1 characters and always terminates out (size > 0).
// Returns the number of characters written, not counting the terminator;
// a result of size - 1 may mean the text was cut.
size_t FormatText(char* out, size_t size, const char* format, ...)
    __attribute__((format(printf, 3, 4)));
size_t FormatTextV(char* out, size_t size, const char* format, va_list args);

}  // namespace kest
