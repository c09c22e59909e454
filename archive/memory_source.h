// A ByteSource over bytes in memory (not owned; they must outlive it).
#pragma once
#include <cstdint>
#include <cstring>

#include "base/byte_io.h"

namespace kest {

class MemorySource : public ByteSource {
 public:
  MemorySource(const void* data, uint32_t size)
      : data_(static_cast<const uint8_t*>(data)), size_(size) {}

  uint32_t Read(void* buffer, uint32_t size, uint32_t* read) override {
    const uint32_t left = position_ < size_ ? size_ - position_ : 0;
    const uint32_t n = size < left ? size : left;
    if (n != 0) memcpy(buffer, data_ + position_, n);
    position_ += n;
    *read = n;
    return 0;
  }
  uint32_t Tell(uint32_t* position) override {
    *position = position_;
    return 0;
  }
  // Positions past the end are allowed; reads there deliver nothing.
  uint32_t Seek(uint32_t position) override {
    position_ = position;
    return 0;
  }
  uint32_t Size(uint32_t* size) override {
    *size = size_;
    return 0;
  }
  // Only what lies wholly inside the bytes.
  const uint8_t* Lend(uint32_t size) override {
    if (size == 0 || position_ > size_ || size > size_ - position_) return nullptr;
    const uint8_t* lent = data_ + position_;
    position_ += size;
    return lent;
  }

 private:
  const uint8_t* data_;
  uint32_t size_;
  uint32_t position_ = 0;
};

}  // namespace kest
