#include "verify/archive_offset_slot.h"

#include "verify/memory_hooks.h"

namespace kest {

size_t FindArchiveOffsetSlot(const uint8_t* image, size_t size, size_t start) {
  for (size_t at = start; at <= size && size - at >= kSlotBytes; ++at) {
    if (MemoryCompare(image + at, kSlotHead, sizeof kSlotHead) == 0 &&
        MemoryCompare(image + at + kSlotOffsetField + 4, kSlotTail, sizeof kSlotTail) == 0) {
      return at;
    }
  }
  return size;
}

}  // namespace kest
