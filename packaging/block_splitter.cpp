#include "packaging/block_splitter.h"

#include "packaging/block_coder.h"

namespace kest {
namespace {

// Halves [begin, end) while the two halves, each with its own tables, cost
// fewer bits than the whole; bits is the whole's cost. Recursion depth is
// at most log2(kMaxBlockSymbols / min_block).
void SplitAndCode(const TokenBlock& block, uint32_t begin, uint32_t end,
                  const SymbolCounts& counts, uint64_t bits, uint32_t min_block, BitWriter& out) {
  if (end - begin >= 2 * min_block) {
    uint32_t mid = begin + (end - begin) / 2;
    SymbolCounts left;
    SymbolCounts right;
    left.Count(block, begin, mid);
    for (uint32_t s = 0; s < kCharAlphabet; ++s) right.chars[s] = counts.chars[s] - left.chars[s];
    for (uint32_t c = 0; c < kPositionAlphabet; ++c) {
      right.positions[c] = counts.positions[c] - left.positions[c];
    }
    uint64_t left_bits = CodedBlockBits(left, mid - begin);
    uint64_t right_bits = CodedBlockBits(right, end - mid);
    if (left_bits + right_bits < bits) {
      SplitAndCode(block, begin, mid, left, left_bits, min_block, out);
      SplitAndCode(block, mid, end, right, right_bits, min_block, out);
      return;
    }
  }
  CodeBlock(block, begin, end, counts, out);
}

}  // namespace

void CodeTokens(const TokenBlock& block, uint32_t min_block, BitWriter& out) {
  if (block.count == 0) return;
  SymbolCounts counts;
  counts.Count(block, 0, block.count);
  SplitAndCode(block, 0, block.count, counts, CodedBlockBits(counts, block.count), min_block, out);
}

}  // namespace kest
