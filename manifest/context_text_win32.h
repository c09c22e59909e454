// The context text (the /I value) as the installer context object carries
// it: UTF-16 converted from the ANSI code page.
#pragma once
#include <cstddef>

#include "base/text_limits.h"

namespace kest {

// Converts the NUL-terminated ANSI text into out (kPathChars UTF-16 units,
// terminator included). A text that does not fit, or that the code page
// cannot convert, is refused rather than cut: out becomes the empty text
// and the result is false.
bool ConvertContextText(const char* text, wchar_t (&out)[kPathChars]);

}  // namespace kest
