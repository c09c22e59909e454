#include "packaging/pack_probe.h"

#include <cstring>

#include "packaging/huffman_code.h"
#include "packaging/token_block.h"

namespace kest {
namespace {

// A window whose literals code to more than 127/128 of its bits counts as
// even: a block of its own would save less than its tables cost.
bool ChunkPacks(const uint8_t* data, uint32_t size) {
  uint32_t freq[256] = {};
  for (uint32_t i = 0; i < size; ++i) ++freq[data[i]];
  uint8_t lengths[256];
  if (BuildCodeLengths(freq, 256, kMaxCodeBits, lengths) < 2) return true;
  uint64_t bits = 0;
  for (uint32_t s = 0; s < 256; ++s) bits += uint64_t{freq[s]} * lengths[s];
  return bits * 128 < uint64_t{size} * 8 * 127;
}

inline uint32_t Load32(const uint8_t* p) {
  uint32_t v;
  std::memcpy(&v, p, 4);
  return v;
}

}  // namespace

bool LooksIncompressible(const uint8_t* data, uint32_t size, uint32_t* table) {
  if (size < kProbeChunk) return false;
  // Windows of kProbeChunk bytes; the last one ends at the input's end and
  // may overlap the one before.
  for (uint32_t start = 0;; start += kProbeChunk) {
    if (start + kProbeChunk > size) start = size - kProbeChunk;
    if (ChunkPacks(data + start, kProbeChunk)) return false;
    if (start + kProbeChunk == size) break;
  }
  // Repeats: one candidate per hash of four bytes, the newest. A repeat of
  // any length is found at one of its first positions whose slot was not
  // taken over since, and then followed to its end.
  std::memset(table, 0xFF, sizeof(uint32_t) << kProbeTableBits);
  const uint32_t enough = size / 128;
  uint32_t covered = 0;
  for (uint32_t pos = 0; pos + kProbeMatch <= size;) {
    uint32_t h = (Load32(data + pos) * 0x9E3779B1u) >> (32 - kProbeTableBits);
    uint32_t candidate = table[h];
    table[h] = pos;
    if (candidate == 0xFFFFFFFF || pos - candidate > kMaxDistance ||
        std::memcmp(data + candidate, data + pos, kProbeMatch) != 0) {
      ++pos;
      continue;
    }
    uint32_t length = kProbeMatch;
    while (pos + length < size && data[candidate + length] == data[pos + length]) ++length;
    covered += length;
    if (covered > enough) return false;
    pos += length;
  }
  return true;
}

}  // namespace kest
