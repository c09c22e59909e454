// The modern-key slot: 440 bytes in the installer's initialised data that
// hold the RSA-3072 public key of the package's second signature
// (verify/modern_record.h), and whether that signature is required. The
// build fills it from KEST_MODERN_PUBLIC_KEY and KEST_MODERN_REQUIRED;
// kestpack build --modern-public-key writes a vendor's key into any stub
// before it signs, so the slot is part of the signed image.
//
//   offset  size  field
//        0     8  "ModKey>" and a NUL
//        8   422  DER SubjectPublicKeyInfo (RSA-3072, exponent 65537), or
//                 422 zero bytes: no modern key, and the installer checks
//                 the first signature alone, as one without this slot
//      430     1  1: a package without the second record is refused;
//                 0: the second record is checked when it is there
//      431     1  zero
//      432     8  "<ModKey" and a NUL
#pragma once
#include <cstddef>
#include <cstdint>

namespace kest {

constexpr size_t kModernKeyDerBytes = 422;

struct ModernKeySlot {
  char head[8];
  uint8_t key[kModernKeyDerBytes];
  uint8_t required;
  uint8_t zero;
  char tail[8];
};
static_assert(sizeof(ModernKeySlot) == 440, "slot layout");
static_assert(offsetof(ModernKeySlot, key) == 8, "slot layout");

constexpr char kModernSlotHead[8] = "ModKey>";
constexpr char kModernSlotTail[8] = "<ModKey";
constexpr size_t kModernSlotBytes = sizeof(ModernKeySlot);
constexpr size_t kModernSlotKeyField = offsetof(ModernKeySlot, key);
constexpr size_t kModernSlotRequiredField = offsetof(ModernKeySlot, required);

// The position of the first modern-key slot in image[0..size) at or after
// start, or size when there is none.
size_t FindModernKeySlot(const uint8_t* image, size_t size, size_t start = 0);

// This build's slot (generated from KEST_MODERN_PUBLIC_KEY); volatile for
// the reason g_public_key_slot is.
extern volatile ModernKeySlot g_modern_key_slot;

// Copies the key bytes of this build's slot; *required gets its flag.
void ReadBuiltinModernKeyDer(uint8_t (&der)[kModernKeyDerBytes], bool* required);

}  // namespace kest
