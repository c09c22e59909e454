// A canonical Huffman code for the entry decoder, looked up in two levels:
// a root table indexed by the next kTableBits bits of the stream, and for
// longer codes (up to 16 bits) second-level tables indexed by the
// kLongestCode - kTableBits bits after those.
//
// Entries, 16 bits:
//   symbol | length << 10   a code of `length` bits (0: the one-symbol
//                           code, which takes no bits); in the root only
//                           codes of at most kTableBits bits
//   kSymbols + t            (root only) codes of this prefix are longer:
//                           their entries are in second-level table t
//   kEmpty                  no code leads here (an empty code, or a
//                           one-symbol code whose symbol is outside the
//                           alphabet)
// Every entry's low 10 bits below kSymbols is a symbol; anything else goes
// through Decode()'s slow path, which checks the table number before using
// it and reports kEmpty as a failure, so a corrupt stream can never make it
// read outside its arrays.
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
  static constexpr uint32_t kSymbolMask = 0x3FF;
  static constexpr int kLengthShift = 10;
  static constexpr int kSubBits = kLongestCode - kTableBits;
  // A second-level table per root entry that has longer codes; each holds
  // at least one symbol of its own, so there are fewer than kSymbols.
  static constexpr int kMaxSubtables = kSymbols - 1;
  static_assert(kSymbols + kMaxSubtables < static_cast<int>(kSymbolMask),
                "table numbers, symbols and kEmpty are told apart in 10 bits");

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

  // The root entry for the 16 bits `next` (the stream's next bits, left-
  // aligned): symbol | length << 10 when its low bits are below kSymbols.
  uint32_t RootEntry(uint32_t next) const { return root_[next >> kSubBits]; }

  // The entry of a symbol for `next`, after a root entry whose low bits are
  // not a symbol; kEmpty when no code leads there. The reader is not passed
  // in, so that the decoder can keep it in registers.
  uint32_t LongEntry(uint32_t next, uint32_t root) const {
    const uint32_t t = (root & kSymbolMask) - kSymbols;  // wraps for symbols
    if (t >= subtables_) return kEmpty;
    return sub_[t << kSubBits | (next & ((1u << kSubBits) - 1))];
  }

  // The entry of the code at the front of `next`: symbol | length << 10,
  // or kEmpty (whose low bits are not a symbol either).
  uint32_t Lookup(uint32_t next) const {
    const uint32_t entry = RootEntry(next);
    if (__builtin_expect((entry & kSymbolMask) >= kSymbols, 0)) return LongEntry(next, entry);
    return entry;
  }

  // The next symbol, after taking its code's bits; -1 when no symbol is
  // coded there. Needs kLongestCode bits in the reader.
  int Decode(BitReader& bits) const {
    const uint32_t entry = Lookup(bits.Peek(kLongestCode));
    if ((entry & kSymbolMask) >= kSymbols) return -1;
    bits.Skip(static_cast<int>(entry >> kLengthShift));
    return static_cast<int>(entry & kSymbolMask);
  }

 private:
  uint8_t lengths_[kSymbols] = {};
  uint32_t subtables_ = 0;  // second-level tables in use
  // Not cleared when made: Build() and SetSingle() write every root entry
  // and every entry of each second-level table they put in use, and the
  // decoder builds a table before it looks anything up in it.
  uint16_t root_[1 << kTableBits];
  uint16_t sub_[kMaxSubtables << kSubBits];
};

// The character/length code (510 symbols, 12-bit root), the pre-tree (19
// symbols) and the position code (17 symbols), both with 8-bit roots.
using CharTable = HuffmanTable<12, 510>;
using PreTreeTable = HuffmanTable<8, 19>;
using PositionTable = HuffmanTable<8, 17>;

extern template class HuffmanTable<12, 510>;
extern template class HuffmanTable<8, 19>;
extern template class HuffmanTable<8, 17>;

}  // namespace kest
