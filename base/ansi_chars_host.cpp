#include "base/ansi_chars.h"

namespace kest {

char* NextAnsiChar(const char* p) { return const_cast<char*>(*p ? p + 1 : p); }

char* PrevAnsiChar(const char* start, const char* p) {
  return const_cast<char*>(p > start ? p - 1 : start);
}

bool IsAnsiLeadByte(char) { return false; }
void LowerAnsiText(char* text) {
  for (; *text != '\0'; ++text) {
    if (*text >= 'A' && *text <= 'Z') *text = static_cast<char>(*text - 'A' + 'a');
  }
}

}  // namespace kest
