#include "packaging/block_splitter.h"

#include "packaging/block_coder.h"

namespace kest {
namespace {

// log2(x) in 1/65536 bits, for x >= 1: the exponent, and the logarithm of
// the mantissa's top 8 bits from a table. The table is built by repeated
// squaring in integers: no floating point, so the cuts, and with them the
// output, do not depend on the compiler.
struct Log2Table {
  uint32_t fraction[256];
  Log2Table() {
    for (uint32_t i = 0; i < 256; ++i) {
      uint64_t x = (uint64_t{256} + i) << 23;  // 1 + i/256 in 1/2^31: below 2^32, so x * x fits
      uint32_t log = 0;
      for (uint32_t bit = 1u << 15; bit != 0; bit >>= 1) {
        x = (x * x) >> 31;
        if (x >= (uint64_t{2} << 31)) {
          x >>= 1;
          log |= bit;
        }
      }
      fraction[i] = log;
    }
  }
};

uint64_t Log2Fixed(uint32_t x) {
  static const Log2Table table;
  const uint32_t exponent = 31 - static_cast<uint32_t>(__builtin_clz(x));
  const uint32_t top = exponent >= 8 ? x >> (exponent - 8) : x << (8 - exponent);
  return (uint64_t{exponent} << 16) + table.fraction[top & 0xFF];
}

// The bits of a run's symbols, each at its ideal code length, in 1/65536
// bits (extra bits and tables left out): it ranks the cut points at the
// cost of a few additions, where building the codes for each would cost
// more than the search saves.
uint64_t IdealBits(const SymbolCounts& counts, uint32_t tokens) {
  uint64_t minus = 0;
  uint32_t matches = 0;
  for (uint32_t s = 0; s < kCharAlphabet; ++s) {
    if (counts.chars[s] > 1) minus += counts.chars[s] * Log2Fixed(counts.chars[s]);
  }
  for (uint32_t c = 0; c < kPositionAlphabet; ++c) {
    matches += counts.positions[c];
    if (counts.positions[c] > 1) minus += counts.positions[c] * Log2Fixed(counts.positions[c]);
  }
  uint64_t plus = tokens * Log2Fixed(tokens);
  if (matches > 0) plus += matches * Log2Fixed(matches);
  return plus - minus;
}

void Subtract(const SymbolCounts& whole, const SymbolCounts& part, SymbolCounts* rest) {
  for (uint32_t s = 0; s < kCharAlphabet; ++s) rest->chars[s] = whole.chars[s] - part.chars[s];
  for (uint32_t c = 0; c < kPositionAlphabet; ++c) {
    rest->positions[c] = whole.positions[c] - part.positions[c];
  }
}

// The cut point of [begin, end) among parts - 1 even ones, leaving at
// least min_block tokens on each side, where the two sides' ideal bits are
// fewest; sets *left to the counts before it. Returns 0 when there is none.
// Apart from SplitAndCode so that its counts stay off the recursion's stack.
uint32_t BestCut(const TokenBlock& block, uint32_t begin, uint32_t end, const SymbolCounts& counts,
                 uint32_t min_block, uint32_t parts, SymbolCounts* left) {
  // The counts before each point grow piece by piece: the run is counted
  // once whatever parts is.
  SymbolCounts before = {};
  SymbolCounts piece;
  SymbolCounts after;
  uint32_t mid = 0;
  uint64_t best = ~uint64_t{0};
  uint32_t from = begin;
  for (uint32_t q = 1; q < parts; ++q) {
    const uint32_t cut = begin + static_cast<uint32_t>(uint64_t{end - begin} * q / parts);
    piece.Count(block, from, cut);
    for (uint32_t s = 0; s < kCharAlphabet; ++s) before.chars[s] += piece.chars[s];
    for (uint32_t c = 0; c < kPositionAlphabet; ++c) before.positions[c] += piece.positions[c];
    from = cut;
    if (cut - begin < min_block || end - cut < min_block) continue;
    if (parts > 2) {
      Subtract(counts, before, &after);
      const uint64_t estimate = IdealBits(before, cut - begin) + IdealBits(after, end - cut);
      if (estimate >= best) continue;
      best = estimate;
    }
    mid = cut;
    *left = before;
  }
  return mid;
}

// Cuts [begin, end) in two while that codes smaller; bits is the whole's
// cost. Each cut keeps at most (parts - 1) / parts of the run on either
// side, so the recursion is at most log(kMaxBlockSymbols / min_block) /
// log(parts / (parts - 1)) deep: 9 for 2 parts and 128 tokens, about 100
// for 16.
void SplitAndCode(const TokenBlock& block, uint32_t begin, uint32_t end,
                  const SymbolCounts& counts, uint64_t bits, uint32_t min_block, uint32_t parts,
                  BitWriter& out) {
  SymbolCounts left;
  const uint32_t mid =
      end - begin >= 2 * min_block ? BestCut(block, begin, end, counts, min_block, parts, &left) : 0;
  if (mid != 0) {
    SymbolCounts right;
    Subtract(counts, left, &right);
    const uint64_t left_bits = CodedBlockBits(left, mid - begin);
    const uint64_t right_bits = CodedBlockBits(right, end - mid);
    if (left_bits + right_bits < bits) {
      SplitAndCode(block, begin, mid, left, left_bits, min_block, parts, out);
      SplitAndCode(block, mid, end, right, right_bits, min_block, parts, out);
      return;
    }
  }
  CodeBlock(block, begin, end, counts, out);
}

}  // namespace

void CodeTokens(const TokenBlock& block, uint32_t min_block, uint32_t parts, BitWriter& out) {
  if (block.count == 0) return;
  SymbolCounts counts;
  counts.Count(block, 0, block.count);
  SplitAndCode(block, 0, block.count, counts, CodedBlockBits(counts, block.count), min_block,
               parts, out);
}

}  // namespace kest
