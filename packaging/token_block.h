// The parser's literals and matches in order, as symbols of the packed
// stream's alphabets, before they are coded; up to one stream block's
// worth (the coder may cut it into several blocks).
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

#include "archive/entry_decoder.h"

namespace kest {

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

  void AddLiteral(uint8_t byte) { symbols[count++] = byte; }
  // length 3..256, distance 1..kMaxDistance.
  void AddMatch(uint32_t length, uint32_t distance) {
    symbols[count] = static_cast<uint16_t>(length + 253);
    positions[count++] = static_cast<uint16_t>(distance - 1);
  }
};

// Symbol frequencies of a run of tokens: what its Huffman tables are built
// from.
struct SymbolCounts {
  uint32_t chars[kCharAlphabet];
  uint32_t positions[kPositionAlphabet];

  // Counts tokens [begin, end) of block, from zero.
  void Count(const TokenBlock& block, uint32_t begin, uint32_t end);
};

}  // namespace kest
