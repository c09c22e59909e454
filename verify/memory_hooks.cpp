#include "verify/memory_hooks.h"

#include <cstdlib>
#include <cstring>

namespace kest {

void MemoryFill(void* block, int byte, size_t count) {
  if (count != 0) memset(block, byte, count);
}

void MemoryCopy(void* target, const void* source, size_t count) {
  if (count != 0) memcpy(target, source, count);
}

void MemoryMove(void* target, const void* source, size_t count) {
  if (count != 0) memmove(target, source, count);
}

int MemoryCompare(const void* a, const void* b, size_t count) {
  return count == 0 ? 0 : memcmp(a, b, count);
}

void* MemoryAllocate(size_t count) { return malloc(count == 0 ? 1 : count); }

void* MemoryReallocate(void* block, size_t count) {
  if (count == 0) count = 1;
  if (block == nullptr) return malloc(count);
  void* resized = realloc(block, count);
  if (resized == nullptr) free(block);
  return resized;
}

void MemoryFree(void* block) { free(block); }

}  // namespace kest
