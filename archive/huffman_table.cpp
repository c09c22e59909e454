#include "archive/huffman_table.h"

namespace kest {

template <int kTableBits, int kMaxSymbols>
bool HuffmanTable<kTableBits, kMaxSymbols>::Build(int m) {
  symbols_ = m;
  // start[l]: the first 16-bit left-aligned code of length l. 32-bit sums,
  // so an over-full code cannot wrap around to look complete.
  uint32_t count[kLongestCode + 1] = {};
  for (int s = 0; s < m; ++s) {
    if (lengths_[s] > kLongestCode) return false;
    ++count[lengths_[s]];
  }
  uint32_t start[kLongestCode + 2];
  start[1] = 0;
  for (int l = 1; l <= kLongestCode; ++l) start[l + 1] = start[l] + (count[l] << (kLongestCode - l));

  for (uint16_t& entry : table_) entry = kEmpty;
  if (start[kLongestCode + 1] == 0) return true;  // empty code
  if (start[kLongestCode + 1] != 1u << kLongestCode) return false;

  // Since the code is complete every table entry and every node child
  // below is written exactly once, and at most m - 1 nodes are made.
  constexpr int kShift = kLongestCode - kTableBits;
  int next_node = m;
  for (int s = 0; s < m; ++s) {
    const int l = lengths_[s];
    if (l == 0) continue;
    uint32_t code = start[l];
    start[l] = code + (1u << (kLongestCode - l));
    if (l <= kTableBits) {
      for (uint32_t k = code >> kShift; k < start[l] >> kShift; ++k) table_[k] = static_cast<uint16_t>(s);
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

template <int kTableBits, int kMaxSymbols>
void HuffmanTable<kTableBits, kMaxSymbols>::SetSingle(int symbol, int m) {
  symbols_ = m;
  for (int s = 0; s < m; ++s) lengths_[s] = 0;
  const uint16_t v = symbol < m ? static_cast<uint16_t>(symbol) : kEmpty;
  for (uint16_t& entry : table_) entry = v;
}

template <int kTableBits, int kMaxSymbols>
int HuffmanTable<kTableBits, kMaxSymbols>::DecodeLong(BitReader& bits, uint32_t v) const {
  const uint32_t code = bits.Peek(kLongestCode);
  const uint32_t m = static_cast<uint32_t>(symbols_);
  for (int depth = kTableBits; v >= m; ++depth) {
    // kEmpty, a node index out of range, or a path longer than any code.
    if (v >= static_cast<uint32_t>(kMaxNodes) || depth >= kLongestCode) return -1;
    v = (code >> (kLongestCode - 1 - depth)) & 1 ? right_[v] : left_[v];
  }
  bits.Skip(lengths_[v]);
  return static_cast<int>(v);
}

template class HuffmanTable<12, 510>;
template class HuffmanTable<8, 19>;

}  // namespace kest
