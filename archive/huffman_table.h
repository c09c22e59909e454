// A canonical Huffman code for the entry decoder, looked up in two steps:
// a direct table indexed by the next kTableBits bits of the stream, and for
// longer codes (up to 16 bits) a binary tree whose nodes hang off the
// table's entries.
//
// Entry values: a symbol (below the alphabet size m), a tree node (m and
// above; its children are in left_/right_), or kEmpty where no code leads
// (an empty code, or a one-symbol code whose symbol is outside the
// alphabet). Decode() reports kEmpty and tree paths that lead nowhere as
// failures, so a corrupt stream can never make it read outside its arrays.
//
// Code lengths are assigned the canonical way: symbols of the same length
// get consecutive codes in symbol order, shorter lengths first.
#pragma once
#include <cstdint>

#include "archive/bit_reader.h"

namespace kest {

constexpr int kLongestCode = 16;

template <int kTableBits, int kMaxSymbols>
class HuffmanTable {
 public:
  static constexpr uint16_t kEmpty = 0xFFFF;
  static constexpr int kMaxNodes = 2 * kMaxSymbols - 1;

  // Code lengths of the m symbols (0: absent, else 1 to 16), written by the
  // length readers before Build().
  uint8_t* lengths() { return lengths_; }

  // Builds the lookup for symbols 0 to m - 1 (m <= kMaxSymbols) from
  // lengths(). True when the lengths fill the code space exactly, or are
  // all 0 (an empty code, which a block that never decodes from it may
  // carry). False for a code that leaves part of the space unused or
  // over-fills it; the table is then unusable.
  bool Build(int m);

  // A code of one symbol that takes no bits: every lookup gives symbol.
  // A symbol of m or above makes every lookup fail.
  void SetSingle(int symbol, int m);

  // The next symbol, after taking its code's bits; -1 when no symbol is
  // coded there. Needs kLongestCode bits in the reader.
  int Decode(BitReader& bits) const {
    uint32_t v = table_[bits.Peek(kTableBits)];
    if (v >= static_cast<uint32_t>(symbols_)) return DecodeLong(bits, v);
    bits.Skip(lengths_[v]);
    return static_cast<int>(v);
  }

 private:
  int DecodeLong(BitReader& bits, uint32_t v) const;

  int symbols_ = 0;
  uint8_t lengths_[kMaxSymbols] = {};
  uint16_t table_[1 << kTableBits] = {};
  uint16_t left_[kMaxNodes] = {};
  uint16_t right_[kMaxNodes] = {};
};

// The character/length code (510 symbols, 12-bit table) and the pre-tree
// and position codes (19 and 17 symbols, 8-bit table).
using CharTable = HuffmanTable<12, 510>;
using SmallTable = HuffmanTable<8, 19>;

extern template class HuffmanTable<12, 510>;
extern template class HuffmanTable<8, 19>;

}  // namespace kest
