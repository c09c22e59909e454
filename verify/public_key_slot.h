// The public-key slot: 142 bytes in the installer's initialised data that
// hold the public key the installer checks its package's signature with.
// The build fills the key from KEST_PUBLIC_KEY, or leaves it zero when that
// option is empty; kestpack build --public-key writes a vendor's key into
// any stub before it signs, so the slot's bytes are part of the signed
// image and cannot change afterwards. The installer reads only the key.
//
//   offset  size  field
//        0     8  "PubKey>" and a NUL
//        8   126  DER SubjectPublicKeyInfo (RSA-768, exponent 65537), or
//                 126 zero bytes: unfilled, which no key reader accepts,
//                 so such an installer refuses every package
//      134     8  "<PubKey" and a NUL
#pragma once
#include <cstddef>
#include <cstdint>

namespace kest {

constexpr size_t kPublicKeyDerBytes = 126;

struct PublicKeySlot {
  char head[8];
  uint8_t key[kPublicKeyDerBytes];
  char tail[8];
};
static_assert(sizeof(PublicKeySlot) == 142, "slot layout");
static_assert(offsetof(PublicKeySlot, key) == 8, "slot layout");

constexpr char kKeySlotHead[8] = "PubKey>";
constexpr char kKeySlotTail[8] = "<PubKey";
constexpr size_t kKeySlotBytes = sizeof(PublicKeySlot);
constexpr size_t kKeySlotKeyField = offsetof(PublicKeySlot, key);

// The position of the first key slot in image[0..size) at or after start,
// or size when there is none.
size_t FindPublicKeySlot(const uint8_t* image, size_t size, size_t start = 0);

// The key slot of this build (generated from KEST_PUBLIC_KEY). volatile:
// kestpack may have changed the bytes in the file, so they are read at run
// time and never folded from the initialiser.
extern volatile PublicKeySlot g_public_key_slot;

// Copies the key bytes of this build's slot.
void ReadBuiltinPublicKeyDer(uint8_t (&der)[kPublicKeyDerBytes]);

}  // namespace kest
