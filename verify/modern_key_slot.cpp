#include "verify/modern_key_slot.h"

#include "verify/archive_offset_slot.h"

namespace kest {

size_t FindModernKeySlot(const uint8_t* image, size_t size, size_t start) {
  return FindMarkedSlot(image, size, start, kModernSlotHead, kModernSlotTail, kModernSlotBytes);
}

void ReadBuiltinModernKeyDer(uint8_t (&der)[kModernKeyDerBytes], bool* required) {
  for (size_t i = 0; i < kModernKeyDerBytes; ++i) der[i] = g_modern_key_slot.key[i];
  *required = g_modern_key_slot.required != 0;
}

}  // namespace kest
