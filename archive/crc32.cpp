#include "archive/crc32.h"

namespace kest {

Crc32::Crc32() {
  for (uint32_t n = 0; n < 256; ++n) {
    uint32_t c = n;
    for (int k = 0; k < 8; ++k) c = (c & 1) ? (c >> 1) ^ kPolynomial : c >> 1;
    table_[0][n] = c;
  }
  // table_[k][n]: the register change of byte n followed by k zero bytes.
  for (uint32_t n = 0; n < 256; ++n) {
    for (int k = 1; k < 16; ++k) {
      uint32_t prev = table_[k - 1][n];
      table_[k][n] = table_[0][prev & 0xFF] ^ (prev >> 8);
    }
  }
}

uint32_t Crc32::Advance(uint32_t reg, const void* data, size_t size) const {
  const uint8_t* p = static_cast<const uint8_t*>(data);
  while (size >= 16) {
    const uint32_t low = reg ^ (uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 |
                                uint32_t(p[3]) << 24);
    reg = table_[15][low & 0xFF] ^ table_[14][(low >> 8) & 0xFF] ^
          table_[13][(low >> 16) & 0xFF] ^ table_[12][low >> 24] ^ table_[11][p[4]] ^
          table_[10][p[5]] ^ table_[9][p[6]] ^ table_[8][p[7]] ^ table_[7][p[8]] ^
          table_[6][p[9]] ^ table_[5][p[10]] ^ table_[4][p[11]] ^ table_[3][p[12]] ^
          table_[2][p[13]] ^ table_[1][p[14]] ^ table_[0][p[15]];
    p += 16;
    size -= 16;
  }
  while (size-- > 0) reg = table_[0][(reg ^ *p++) & 0xFF] ^ (reg >> 8);
  return reg;
}

uint32_t Crc32Of(const void* data, size_t size) {
  Crc32 crc;
  crc.Update(data, size);
  return crc.Value();
}

}  // namespace kest
