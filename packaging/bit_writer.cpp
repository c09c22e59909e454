#include "packaging/bit_writer.h"

#include <cstring>
#include <new>

namespace kest {

BitWriter::~BitWriter() { delete[] data_; }

bool BitWriter::Reserve(size_t more) {
  if (!ok_) return false;
  if (capacity_ - size_ >= more) return true;
  size_t capacity = capacity_ < 4096 ? 4096 : capacity_ * 2;
  while (capacity - size_ < more) capacity *= 2;
  uint8_t* grown = new (std::nothrow) uint8_t[capacity];
  if (grown == nullptr) {
    ok_ = false;
    return false;
  }
  if (size_ != 0) std::memcpy(grown, data_, size_);
  delete[] data_;
  data_ = grown;
  capacity_ = capacity;
  return true;
}

void BitWriter::Drain() {
  // 32 to 47 bits pending: move the top four bytes out.
  pending_bits_ -= 32;
  uint32_t word = static_cast<uint32_t>(pending_ >> pending_bits_);
  pending_ &= (uint64_t{1} << pending_bits_) - 1;
  if (!Reserve(4)) return;
  data_[size_] = static_cast<uint8_t>(word >> 24);
  data_[size_ + 1] = static_cast<uint8_t>(word >> 16);
  data_[size_ + 2] = static_cast<uint8_t>(word >> 8);
  data_[size_ + 3] = static_cast<uint8_t>(word);
  size_ += 4;
}

void BitWriter::Flush() {
  uint32_t pad = (8 - pending_bits_ % 8) % 8;
  pending_ <<= pad;
  pending_bits_ += pad;
  if (!Reserve(pending_bits_ / 8)) return;
  while (pending_bits_ != 0) {
    pending_bits_ -= 8;
    data_[size_++] = static_cast<uint8_t>(pending_ >> pending_bits_);
  }
  pending_ = 0;
}

uint8_t* BitWriter::Release() {
  uint8_t* data = data_;
  data_ = nullptr;
  size_ = capacity_ = 0;
  return data;
}

}  // namespace kest
