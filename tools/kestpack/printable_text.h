// Text from files and packages on its way to a terminal. Entry names,
// manifest texts and file names come from whoever made the package or the
// folder; printed raw, an escape sequence or carriage return in them could
// rewrite what the user sees.
#pragma once
#include <string>

namespace kest {

// The text with every byte that is not printable shown as \xHH: control
// characters (0x00..0x1F, 0x7F), bytes that are not part of valid UTF-8,
// and valid UTF-8 for the C1 controls (U+0080..U+009F) and for the
// invisible characters that reorder or hide text (U+061C, U+200B..U+200F,
// U+202A..U+202E, U+2060..U+2069, U+FEFF). Everything else, including the
// letters of any language in UTF-8, is kept as is.
std::string Printable(const std::string& text);

}  // namespace kest
