// MD5 message digest (RFC 1321), streaming: feed the data in pieces of any
// size with Update, then take the 16-byte digest with Final.
#pragma once
#include <cstddef>
#include <cstdint>

namespace kest {

class Sha256;

constexpr size_t kMd5DigestBytes = 16;
constexpr size_t kMd5BlockBytes = 64;

class Md5 {
 public:
  Md5() { Reset(); }
  void Reset();
  void Update(const void* data, size_t size);
  // Pads the message, writes the digest and leaves the object reset.
  void Final(uint8_t (&digest)[kMd5DigestBytes]);
  // Declared with Sha256.
  friend void UpdateMd5AndSha256(Md5& md5, Sha256& sha256, const void* data, size_t size);

 private:
  void Transform(const uint8_t* block);

  uint32_t state_[4];
  uint64_t length_;                  // bytes fed so far
  uint8_t buffer_[kMd5BlockBytes];   // the incomplete block, length_ % 64 bytes
};

}  // namespace kest
