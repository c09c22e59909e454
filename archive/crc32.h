// CRC-32 of IEEE 802.3 in its reflected form: polynomial 0xEDB88320, start
// value 0xFFFFFFFF, result the complement of the register. Used for header
// CRCs, the CRC of extracted data and by the archive writer.
//
// The object keeps its register and its start value, so it can be reset
// and fed in pieces: feeding a buffer whole or split anywhere gives the same
// value. The tables are built when the object is made (16 KiB: the first
// is the classic byte table, the others let Update take 16 bytes a step).
#pragma once
#include <cstddef>
#include <cstdint>

namespace kest {

class Crc32 {
 public:
  static constexpr uint32_t kPolynomial = 0xEDB88320;
  static constexpr uint32_t kStart = 0xFFFFFFFF;

  Crc32();

  // Back to the start value.
  void Reset() { register_ = start_; }
  void Update(const void* data, size_t size) { register_ = Advance(register_, data, size); }
  // The CRC of everything fed since the last reset.
  uint32_t Value() const { return ~register_; }

  // The raw register step, for callers that keep their own register (the
  // entry decoder's): returns the register after feeding data.
  uint32_t Advance(uint32_t reg, const void* data, size_t size) const;

 private:
  uint32_t table_[16][256];
  uint32_t start_ = kStart;
  uint32_t register_ = kStart;
};

// The CRC-32 of one buffer.
uint32_t Crc32Of(const void* data, size_t size);

}  // namespace kest
