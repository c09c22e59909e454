#include "verify/archive_offset_slot.h"

#include "verify/memory_hooks.h"

namespace kest {

size_t FindMarkedSlot(const uint8_t* image, size_t size, size_t start, const char (&head)[8],
                      const char (&tail)[8], size_t slot_bytes) {
  for (size_t at = start; at <= size && size - at >= slot_bytes; ++at) {
    if (MemoryCompare(image + at, head, sizeof head) == 0 &&
        MemoryCompare(image + at + slot_bytes - sizeof tail, tail, sizeof tail) == 0) {
      return at;
    }
  }
  return size;
}

size_t FindArchiveOffsetSlot(const uint8_t* image, size_t size, size_t start) {
  return FindMarkedSlot(image, size, start, kSlotHead, kSlotTail, kSlotBytes);
}

}  // namespace kest
