// One block of the packed stream before it is coded: the parser's literals
// and matches in order, with the symbol frequencies that the block's
// Huffman tables are built from.
//
// Symbols of the character/length alphabet:
//   0..255    a literal byte
//   256..509  a match of length symbol - 253 (3..256)
// A match's distance is carried as the position code d = distance - 1 (the
// decoder copies from d + 1 bytes back), coded as a class and extra bits:
//   class 0       d = 0
//   class c >= 1  d in [2^(c-1), 2^c): the low c - 1 bits follow the class
#pragma once
#include <cstdint>

namespace kest {

constexpr uint32_t kWindowSize = 26624;      // history the decoder keeps
constexpr uint32_t kMinMatch = 3;
constexpr uint32_t kMaxMatch = 256;
constexpr uint32_t kMaxDistance = kWindowSize;  // position code 26623
constexpr uint32_t kCharAlphabet = 510;
constexpr uint32_t kPositionAlphabet = 17;
// The block's 16-bit symbol count; 0 would mean 65536 to the decoder.
constexpr uint32_t kMaxBlockSymbols = 65535;

inline uint32_t PositionClass(uint32_t code) {
  return code == 0 ? 0 : 32 - static_cast<uint32_t>(__builtin_clz(code));
}

struct TokenBlock {
  uint16_t symbols[kMaxBlockSymbols];
  uint16_t positions[kMaxBlockSymbols];  // position code, for match symbols only
  uint32_t count = 0;
  uint32_t char_freq[kCharAlphabet] = {};
  uint32_t position_freq[kPositionAlphabet] = {};

  void AddLiteral(uint8_t byte) {
    symbols[count++] = byte;
    ++char_freq[byte];
  }
  // length 3..256, distance 1..kMaxDistance.
  void AddMatch(uint32_t length, uint32_t distance) {
    uint32_t symbol = length + 253;
    uint32_t code = distance - 1;
    symbols[count] = static_cast<uint16_t>(symbol);
    positions[count++] = static_cast<uint16_t>(code);
    ++char_freq[symbol];
    ++position_freq[PositionClass(code)];
  }
  void Clear();
};

}  // namespace kest
