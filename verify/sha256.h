// SHA-256 message digest (FIPS 180-4), streaming: feed the data in pieces
// of any size with Update, then take the 32-byte digest with Final.
#pragma once
#include <cstddef>
#include <cstdint>

namespace kest {

constexpr size_t kSha256DigestBytes = 32;
constexpr size_t kSha256BlockBytes = 64;

class Sha256 {
 public:
  Sha256() { Reset(); }
  void Reset();
  void Update(const void* data, size_t size);
  // Pads the message, writes the digest and leaves the object reset.
  void Final(uint8_t (&digest)[kSha256DigestBytes]);

 private:
  void Transform(const uint8_t* block);

  uint32_t state_[8];
  uint64_t length_;                     // bytes fed so far
  uint8_t buffer_[kSha256BlockBytes];   // the incomplete block, length_ % 64 bytes
};

}  // namespace kest
