// A canonical Huffman code for the entry decoder, looked up in two steps:
// a direct table indexed by the next kTableBits bits of the stream, and for
// longer codes (up to 16 bits) a binary tree whose nodes hang off the
// table's entries.
//
// Table entries, 16 bits:
//   symbol | length << 10   a code of at most kTableBits bits (length 0:
//                           the one-symbol code, which takes no bits)
//   node                    kSymbols and above: a tree node; its children
//                           (symbols, nodes or kEmpty) are in left_/right_
//   kEmpty                  no code leads here (an empty code, or a
//                           one-symbol code whose symbol is outside the
//                           alphabet)
// Decode() reports kEmpty and tree paths that lead nowhere as failures, so
// a corrupt stream can never make it read outside its arrays.
//
// Code lengths are assigned the canonical way: symbols of the same length
// get consecutive codes in symbol order, shorter lengths first.
#pragma once
#include <cstdint>

#include "archive/bit_reader.h"

namespace kest {

constexpr int kLongestCode = 16;

template <int kTableBits, int kSymbols>
class HuffmanTable {
 public:
  static constexpr int kAlphabet = kSymbols;
  static constexpr uint16_t kEmpty = 0xFFFF;
  static constexpr int kMaxNodes = 2 * kSymbols - 1;
  static_assert(kMaxNodes <= 0x3FF, "nodes and symbols fit in 10 bits");

  // Code lengths of the symbols (0: absent, else 1 to 16), written by the
  // length readers before Build().
  uint8_t* lengths() { return lengths_; }

  // Builds the lookup from lengths(). True when the lengths fill the code
  // space exactly, or are all 0 (an empty code, which a block that never
  // decodes from it may carry). False for a code that leaves part of the
  // space unused or over-fills it, or a length above 16; the table is then
  // unusable.
  bool Build();

  // A code of one symbol that takes no bits: every lookup gives symbol.
  // A symbol outside the alphabet makes every lookup fail.
  void SetSingle(uint32_t symbol);

  // The next symbol, after taking its code's bits; -1 when no symbol is
  // coded there. Needs kLongestCode bits in the reader.
  int Decode(BitReader& bits) const {
    const uint32_t next = bits.Peek(kLongestCode);
    const uint32_t entry = table_[next >> (kLongestCode - kTableBits)];
    uint32_t symbol = entry & 0x3FF;
    int length = static_cast<int>(entry >> 10);
    if (symbol >= kSymbols) {
      symbol = FollowTree(next, entry);
      if (symbol >= kSymbols) return -1;
      length = lengths_[symbol];
    }
    bits.Skip(length);
    return static_cast<int>(symbol);
  }

 private:
  // The symbol that the 16 bits `next` reach from the table entry v (a
  // node or kEmpty); kEmpty when they lead nowhere. The reader is not
  // passed in, so that the decoder can keep it in registers.
  uint32_t FollowTree(uint32_t next, uint32_t v) const;

  uint8_t lengths_[kSymbols] = {};
  uint16_t table_[1 << kTableBits] = {};
  uint16_t left_[kMaxNodes] = {};
  uint16_t right_[kMaxNodes] = {};
};

// The character/length code (510 symbols, 12-bit table), the pre-tree (19
// symbols) and the position code (17 symbols), both with 8-bit tables.
using CharTable = HuffmanTable<12, 510>;
using PreTreeTable = HuffmanTable<8, 19>;
using PositionTable = HuffmanTable<8, 17>;

extern template class HuffmanTable<12, 510>;
extern template class HuffmanTable<8, 19>;
extern template class HuffmanTable<8, 17>;

}  // namespace kest
