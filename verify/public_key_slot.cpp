#include "verify/public_key_slot.h"

#include "verify/archive_offset_slot.h"

namespace kest {

size_t FindPublicKeySlot(const uint8_t* image, size_t size, size_t start) {
  return FindMarkedSlot(image, size, start, kKeySlotHead, kKeySlotTail, kKeySlotBytes);
}

void ReadBuiltinPublicKeyDer(uint8_t (&der)[kPublicKeyDerBytes]) {
  for (size_t i = 0; i < kPublicKeyDerBytes; ++i) der[i] = g_public_key_slot.key[i];
}

}  // namespace kest
