#include "base/text_limits.h"

namespace kest {

bool CopyText(char* dst, size_t size, const char* src) {
  size_t i = 0;
  for (; i + 1 < size && src[i] != '\0'; ++i) dst[i] = src[i];
  dst[i] = '\0';
  return src[i] == '\0';
}

}  // namespace kest
