#include "manifest/line_splitter.h"

namespace kest {
namespace {

bool IsLineDelimiter(char c) { return c == '\n' || c == '\r' || c == '\v' || c == '\f'; }

// Line breaks that delimiter c, followed by next, adds to the count.
uint32_t LineBreaks(char c, char next) {
  return (c == '\n' || (c == '\r' && next != '\n')) ? 1 : 0;
}

}  // namespace

char* LineSplitter::Next() {
  char* p = next_;
  if (cut_ != '\0') line_number_ += LineBreaks(cut_, *p);
  cut_ = '\0';
  for (; IsLineDelimiter(*p); ++p) line_number_ += LineBreaks(*p, p[1]);
  if (*p == '\0') {
    next_ = p;
    return nullptr;
  }
  char* line = p;
  while (*p != '\0' && !IsLineDelimiter(*p)) ++p;
  if (*p != '\0') {
    cut_ = *p;
    *p++ = '\0';
  }
  next_ = p;
  return line;
}

}  // namespace kest
