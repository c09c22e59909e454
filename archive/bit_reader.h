// The entry decoder's bit input: packed bytes read most significant bit
// first, with zero bits for as long as anyone asks once the bytes run out.
// Running out is not an error here; the reader counts how far past the end
// it has been taken, and the decoder decides when that is too far.
//
// bits_ holds the next unread bits of the stream left-aligned (the next bit
// is bit 63); count_ of them are loaded, the rest are zero or the leading
// bits of bytes not yet counted. Callers call Refill() and then take at most
// kGuaranteedBits bits before the next Refill().
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace kest {

class BitReader {
 public:
  static constexpr int kGuaranteedBits = 56;

  BitReader(const uint8_t* data, uint32_t size) : next_(data), end_(data + size) { Refill(); }

  void Refill() {
    if (count_ >= kGuaranteedBits) return;
    if (end_ - next_ >= 8) {
      bits_ |= LoadBigEndian64(next_) >> count_;
      // Whole bytes that fitted; the part of the next byte ORed in above
      // is ORed again, at the same place, by the next refill.
      int taken = (63 - count_) >> 3;
      next_ += taken;
      count_ += taken * 8;
      return;
    }
    while (count_ < kGuaranteedBits) {
      uint64_t byte = 0;
      if (next_ < end_) byte = *next_++;
      else ++zero_bytes_;
      bits_ |= byte << (56 - count_);
      count_ += 8;
    }
  }

  // Refill() for when at least 8 bytes of data are left (BytesLeft()):
  // no branch. Loads 56 to 63 bits, as Refill() does; the whole bytes that
  // fitted are counted (count_ | 56 is count_ plus 8 for each of them).
  void RefillFast() {
    bits_ |= LoadBigEndian64(next_) >> count_;
    next_ += (63 - count_) >> 3;
    count_ |= kGuaranteedBits;
  }
  size_t BytesLeft() const { return static_cast<size_t>(end_ - next_); }

  // At least the number of bits taken beyond the end of the data (exact
  // once every loaded bit of the data has been taken); 0 before the end.
  uint64_t BitsTakenPastEnd() const {
    const uint64_t loaded_zero_bits = zero_bytes_ * 8;
    const uint64_t unread = static_cast<uint64_t>(count_);
    return loaded_zero_bits > unread ? loaded_zero_bits - unread : 0;
  }

  // The next n bits (1 to 16) without taking them.
  uint32_t Peek(int n) const { return static_cast<uint32_t>(bits_ >> (64 - n)); }
  // Takes n bits (0 to count_).
  void Skip(int n) {
    bits_ <<= n;
    count_ -= n;
  }
  // Takes and returns the next n bits (0 to 16), without a branch.
  uint32_t Get(int n) {
    const uint32_t value = static_cast<uint32_t>(bits_ >> (63 - n) >> 1);
    Skip(n);
    return value;
  }

 private:
  static uint64_t LoadBigEndian64(const uint8_t* p) {
    uint64_t word;
    memcpy(&word, p, 8);
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
    word = __builtin_bswap64(word);
#endif
    return word;
  }

  const uint8_t* next_;  // first byte not yet counted in count_
  const uint8_t* end_;
  uint64_t bits_ = 0;
  int count_ = 0;
  uint64_t zero_bytes_ = 0;  // zero bytes loaded after the end of the data
};

}  // namespace kest
