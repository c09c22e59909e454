// Must not build: it drops the result of a copy that may not fit.
#include "base/text_limits.h"

void CopyName(char (&name)[kest::kPathChars], const char* text) {
  kest::CopyText(name, sizeof(name), text);
}
