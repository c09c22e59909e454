// Blanks (space 0x20 and tab 0x09) in ANSI text, stepped over by whole
// characters so that a trail byte is never taken for a blank.
#pragma once

namespace kest {

inline bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// The first character at or after text that is not a blank. Stops at the
// text's NUL, or at limit when limit is not nullptr.
char* SkipBlanks(const char* text, const char* limit);

// Where trailing blanks of [start, end) begin: the position just after the
// last character that is not a blank, start when all are blanks. end must
// be a character boundary of the text that begins at start.
char* TrailingBlanksStart(const char* start, const char* end);

}  // namespace kest
