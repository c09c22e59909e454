#include "manifest/blanks.h"

#include "base/ansi_chars.h"

namespace kest {

char* SkipBlanks(const char* text, const char* limit) {
  const char* p = text;
  while ((limit == nullptr || p < limit) && IsBlank(*p)) p = NextAnsiChar(p);
  return const_cast<char*>(p);
}

char* TrailingBlanksStart(const char* start, const char* end) {
  const char* p = end;
  while (p > start) {
    const char* before = PrevAnsiChar(start, p);
    if (!IsBlank(*before)) break;
    p = before;
  }
  return const_cast<char*>(p);
}

}  // namespace kest
