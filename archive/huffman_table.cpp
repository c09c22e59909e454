#include "archive/huffman_table.h"

namespace kest {

template <int kTableBits, int kSymbols>
bool HuffmanTable<kTableBits, kSymbols>::Build() {
  // start[l]: the first 16-bit left-aligned code of length l. 32-bit sums,
  // so an over-full code cannot wrap around to look complete.
  uint32_t count[kLongestCode + 1] = {};
  for (uint8_t l : lengths_) {
    if (l > kLongestCode) return false;
    ++count[l];
  }
  uint32_t start[kLongestCode + 2];
  start[1] = 0;
  for (int l = 1; l <= kLongestCode; ++l) start[l + 1] = start[l] + (count[l] << (kLongestCode - l));

  constexpr int kShift = kLongestCode - kTableBits;
  if (start[kLongestCode + 1] == 0) {  // empty code
    for (uint16_t& entry : table_) entry = kEmpty;
    return true;
  }
  if (start[kLongestCode + 1] != 1u << kLongestCode) return false;

  // Since the code is complete every table entry and every node child
  // below is written exactly once, and at most kSymbols - 1 nodes are made.
  // The entries from the first code longer than the table on lead to
  // trees; they start empty.
  for (uint32_t k = start[kTableBits + 1] >> kShift; k < (1u << kTableBits); ++k) table_[k] = kEmpty;
  int next_node = kSymbols;
  for (int s = 0; s < kSymbols; ++s) {
    const int l = lengths_[s];
    if (l == 0) continue;
    const uint32_t code = start[l];
    start[l] = code + (1u << (kLongestCode - l));
    if (l <= kTableBits) {
      const uint16_t entry = static_cast<uint16_t>(s | l << 10);
      for (uint32_t k = code >> kShift; k < start[l] >> kShift; ++k) table_[k] = entry;
      continue;
    }
    uint16_t* slot = &table_[code >> kShift];
    for (int depth = kTableBits; depth < l; ++depth) {
      if (*slot == kEmpty) {
        if (next_node >= kMaxNodes) return false;
        left_[next_node] = right_[next_node] = kEmpty;
        *slot = static_cast<uint16_t>(next_node++);
      }
      // The code's bit at this depth picks the child.
      slot = (code >> (kLongestCode - 1 - depth)) & 1 ? &right_[*slot] : &left_[*slot];
    }
    *slot = static_cast<uint16_t>(s);
  }
  return true;
}

template <int kTableBits, int kSymbols>
void HuffmanTable<kTableBits, kSymbols>::SetSingle(uint32_t symbol) {
  for (uint8_t& l : lengths_) l = 0;
  const uint16_t entry = symbol < kSymbols ? static_cast<uint16_t>(symbol) : kEmpty;
  for (uint16_t& e : table_) e = entry;
}

template <int kTableBits, int kSymbols>
uint32_t HuffmanTable<kTableBits, kSymbols>::FollowTree(uint32_t next, uint32_t v) const {
  for (int depth = kTableBits; v >= kSymbols; ++depth) {
    // kEmpty, a node index out of range, or a path longer than any code.
    if (v >= static_cast<uint32_t>(kMaxNodes) || depth >= kLongestCode) return kEmpty;
    v = (next >> (kLongestCode - 1 - depth)) & 1 ? right_[v] : left_[v];
  }
  return v;
}

template class HuffmanTable<12, 510>;
template class HuffmanTable<8, 19>;
template class HuffmanTable<8, 17>;

}  // namespace kest
