// Writes a bit stream most significant bit first, as the entry decoder reads
// it, into a growable memory buffer that the writer owns.
#pragma once
#include <cstddef>
#include <cstdint>

namespace kest {

class BitWriter {
 public:
  BitWriter() = default;
  ~BitWriter();
  BitWriter(const BitWriter&) = delete;
  BitWriter& operator=(const BitWriter&) = delete;

  // Appends the low count bits of value (count 0..16), highest first.
  void Put(uint32_t count, uint32_t value) {
    pending_ = (pending_ << count) | (value & ((1u << count) - 1));
    pending_bits_ += count;
    if (pending_bits_ >= 32) Drain();
  }

  // Pads the last byte with zero bits and moves every pending bit into the
  // buffer. Further Put calls continue on a byte boundary.
  void Flush();

  // False once a buffer could not be grown; the bits written since are lost.
  bool ok() const { return ok_; }
  // Whole bytes in the buffer (pending bits not counted until Flush).
  size_t size() const { return size_; }
  const uint8_t* data() const { return data_; }
  // Hands the buffer to the caller, who releases it with delete[].
  uint8_t* Release();

 private:
  void Drain();
  bool Reserve(size_t more);

  uint64_t pending_ = 0;       // the last pending_bits_ bits, right-aligned
  uint32_t pending_bits_ = 0;  // below 32 between calls
  uint8_t* data_ = nullptr;
  size_t size_ = 0;
  size_t capacity_ = 0;
  bool ok_ = true;
};

}  // namespace kest
