#include "base/text_limits.h"

namespace kest {

bool CopyText(char* dst, size_t size, const char* src) {
  size_t length = 0;
  while (length < size && src[length] != '\0') ++length;
  if (length == size) return false;  // no room left for the terminator
  for (size_t i = 0; i <= length; ++i) dst[i] = src[i];
  return true;
}

void CopyTextCut(char* dst, size_t size, const char* src) {
  size_t i = 0;
  for (; i + 1 < size && src[i] != '\0'; ++i) dst[i] = src[i];
  dst[i] = '\0';
}

}  // namespace kest
