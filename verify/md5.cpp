#include "verify/md5.h"

#include <cstring>

#include "verify/md5_block.h"

namespace kest {

void Md5::Reset() {
  state_[0] = 0x67452301;
  state_[1] = 0xefcdab89;
  state_[2] = 0x98badcfe;
  state_[3] = 0x10325476;
  length_ = 0;
}

void Md5::Transform(const uint8_t* block) {
  NoWork nothing;
  Md5Block(state_, block, nothing);
}

void Md5::Update(const void* data, size_t size) {
  const uint8_t* in = static_cast<const uint8_t*>(data);
  size_t held = size_t(length_ % kMd5BlockBytes);
  length_ += size;
  if (held != 0) {
    size_t take = kMd5BlockBytes - held;
    if (take > size) take = size;
    memcpy(buffer_ + held, in, take);
    in += take;
    size -= take;
    if (held + take < kMd5BlockBytes) return;
    Transform(buffer_);
  }
  for (; size >= kMd5BlockBytes; in += kMd5BlockBytes, size -= kMd5BlockBytes) {
    Transform(in);
  }
  if (size != 0) memcpy(buffer_, in, size);
}

void Md5::Final(uint8_t (&digest)[kMd5DigestBytes]) {
  // Padding: 0x80, zeros up to 56 bytes into a block, then the message
  // length in bits as a 64-bit little-endian number.
  uint64_t bits = length_ * 8;
  static const uint8_t kPad[kMd5BlockBytes] = {0x80};
  size_t held = size_t(length_ % kMd5BlockBytes);
  Update(kPad, held < 56 ? 56 - held : 120 - held);
  uint8_t tail[8];
  for (int i = 0; i < 8; ++i) tail[i] = uint8_t(bits >> (8 * i));
  Update(tail, sizeof tail);
  for (int i = 0; i < 4; ++i) {
    for (int j = 0; j < 4; ++j) digest[4 * i + j] = uint8_t(state_[i] >> (8 * j));
  }
  Reset();
}

}  // namespace kest
