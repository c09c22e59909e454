#include <windows.h>

#include "base/ansi_chars.h"

namespace kest {

char* NextAnsiChar(const char* p) { return CharNextA(p); }

char* PrevAnsiChar(const char* start, const char* p) { return CharPrevA(start, p); }

// text is a real pointer, never a single character in the low word.
void LowerAnsiText(char* text) { CharLowerA(text); }

}  // namespace kest
