#include "packaging/block_coder.h"

#include "packaging/huffman_code.h"

namespace kest {
namespace {

constexpr uint32_t kPreTreeAlphabet = 19;
constexpr uint32_t kSmallCountBits = 5;   // pre-tree and position counts
constexpr uint32_t kCharCountBits = 9;    // character length count and single symbol
constexpr uint32_t kPreTreeSpecial = 3;   // a 2-bit zero run follows the third length
constexpr uint32_t kNoSpecial = 0;

// One code table of a block. used < 2 means the table is written in its
// one-symbol form naming single.
struct Table {
  uint32_t used = 0;
  uint32_t single = 0;
  uint8_t lengths[kMaxAlphabet];
  uint16_t codes[kMaxAlphabet] = {};  // read (with length 0) for absent symbols

  void Build(const uint32_t* freq, uint32_t alphabet) {
    used = BuildCodeLengths(freq, alphabet, kMaxCodeBits, lengths);
    single = 0;
    for (uint32_t s = 0; s < alphabet; ++s) {
      if (freq[s] != 0) single = s;
    }
    if (used >= 2) AssignCodes(lengths, alphabet, codes);
  }
};

uint32_t TrimmedCount(const uint8_t* lengths, uint32_t alphabet) {
  while (alphabet > 0 && lengths[alphabet - 1] == 0) --alphabet;
  return alphabet;
}

// Walks the character lengths as the pre-tree codes them: runs of zero
// lengths as pre-tree symbols 0 (one zero), 1 (3..18 zeros, 4 extra bits)
// and 2 (20 and more, 9 extra bits); a length l as symbol l + 2. Calls
// emit(symbol, extra_bits, extra_value) per pre-tree symbol.
template <typename Emit>
void WalkCharLengths(const uint8_t* lengths, uint32_t count, Emit emit) {
  uint32_t i = 0;
  while (i < count) {
    uint32_t length = lengths[i++];
    if (length != 0) {
      emit(length + 2, 0, 0);
      continue;
    }
    uint32_t run = 1;
    while (i < count && lengths[i] == 0) {
      ++i;
      ++run;
    }
    if (run <= 2) {
      for (uint32_t k = 0; k < run; ++k) emit(0, 0, 0);
    } else if (run <= 18) {
      emit(1, 4, run - 3);
    } else if (run == 19) {
      emit(0, 0, 0);
      emit(1, 4, 15);
    } else {
      emit(2, kCharCountBits, run - 20);
    }
  }
}

// Pre-tree and position lengths: a 5-bit count, then 3 bits per length
// below 7; a length l of 7 or more is l - 4 one bits and a zero bit. After
// the special position's length a 2-bit count of following zero lengths.
template <typename Put>
void WalkSmallLengths(const Table& table, uint32_t alphabet, uint32_t special, Put put) {
  if (table.used < 2) {
    put(kSmallCountBits, 0);
    put(kSmallCountBits, table.single);
    return;
  }
  uint32_t count = TrimmedCount(table.lengths, alphabet);
  put(kSmallCountBits, count);
  uint32_t i = 0;
  while (i < count) {
    uint32_t length = table.lengths[i++];
    if (length <= 6) {
      put(3, length);
    } else {
      put(length - 3, (1u << (length - 3)) - 2);
    }
    if (i == special) {
      uint32_t zeros = 0;
      while (i < count && zeros < 3 && table.lengths[i] == 0) {
        ++i;
        ++zeros;
      }
      put(2, zeros);
    }
  }
}

struct BlockTables {
  Table chars;
  Table pre_tree;
  Table positions;
  uint32_t char_count = 0;  // character lengths written (trimmed)

  explicit BlockTables(const SymbolCounts& counts) {
    chars.Build(counts.chars, kCharAlphabet);
    positions.Build(counts.positions, kPositionAlphabet);
    uint32_t pre_freq[kPreTreeAlphabet] = {};
    if (chars.used >= 2) {
      char_count = TrimmedCount(chars.lengths, kCharAlphabet);
      WalkCharLengths(chars.lengths, char_count,
                      [&](uint32_t symbol, uint32_t, uint32_t) { ++pre_freq[symbol]; });
    }
    pre_tree.Build(pre_freq, kPreTreeAlphabet);
  }

  // Everything before the symbols: count, pre-tree, characters, positions.
  template <typename Put>
  void WalkHeader(uint32_t symbol_count, Put put) const {
    put(16, symbol_count);
    WalkSmallLengths(pre_tree, kPreTreeAlphabet, kPreTreeSpecial, put);
    if (chars.used < 2) {
      put(kCharCountBits, 0);
      put(kCharCountBits, chars.single);
    } else {
      put(kCharCountBits, char_count);
      WalkCharLengths(chars.lengths, char_count,
                      [&](uint32_t symbol, uint32_t extra_bits, uint32_t extra) {
                        put(pre_tree.lengths[symbol], pre_tree.codes[symbol]);
                        put(extra_bits, extra);
                      });
    }
    WalkSmallLengths(positions, kPositionAlphabet, kNoSpecial, put);
  }
};

}  // namespace

void CodeBlock(const TokenBlock& block, uint32_t begin, uint32_t end, const SymbolCounts& counts,
               BitWriter& out) {
  BlockTables tables(counts);
  tables.WalkHeader(end - begin, [&](uint32_t bits, uint32_t value) { out.Put(bits, value); });
  const uint8_t* char_lengths = tables.chars.lengths;
  const uint16_t* char_codes = tables.chars.codes;
  const uint8_t* position_lengths = tables.positions.lengths;
  const uint16_t* position_codes = tables.positions.codes;
  for (uint32_t t = begin; t < end; ++t) {
    uint32_t symbol = block.symbols[t];
    out.Put(char_lengths[symbol], char_codes[symbol]);
    if (symbol < 256) continue;
    uint32_t code = block.positions[t];
    uint32_t position_class = PositionClass(code);
    out.Put(position_lengths[position_class], position_codes[position_class]);
    if (position_class > 1) out.Put(position_class - 1, code);
  }
}

uint64_t CodedBlockBits(const SymbolCounts& counts, uint32_t symbol_count) {
  BlockTables tables(counts);
  uint64_t bits = 0;
  tables.WalkHeader(symbol_count, [&](uint32_t count, uint32_t) { bits += count; });
  for (uint32_t s = 0; s < kCharAlphabet; ++s) {
    bits += uint64_t{counts.chars[s]} * tables.chars.lengths[s];
  }
  for (uint32_t c = 0; c < kPositionAlphabet; ++c) {
    uint32_t extra = c > 1 ? c - 1 : 0;
    bits += uint64_t{counts.positions[c]} * (tables.positions.lengths[c] + extra);
  }
  return bits;
}

}  // namespace kest
