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

  subtables_ = 0;
  if (start[kLongestCode + 1] == 0) {  // empty code
    for (uint16_t& entry : root_) entry = kEmpty;
    return true;
  }
  if (start[kLongestCode + 1] != 1u << kLongestCode) return false;

  // Since the code is complete every root entry, and every entry of each
  // second-level table made, is written exactly once. The root entries
  // from the first code longer than the root on lead to second-level
  // tables; they start empty, and each gets its table with the first code
  // under it (codes come in increasing order within a length, and a
  // second-level table holds at least one symbol, so fewer than kSymbols
  // tables are made).
  constexpr uint32_t kSubSize = 1u << kSubBits;
  for (uint32_t k = start[kTableBits + 1] >> kSubBits; k < (1u << kTableBits); ++k) root_[k] = kEmpty;
  for (int s = 0; s < kSymbols; ++s) {
    const int l = lengths_[s];
    if (l == 0) continue;
    const uint32_t code = start[l];
    const uint32_t end = code + (1u << (kLongestCode - l));
    start[l] = end;
    const uint16_t entry = static_cast<uint16_t>(s | l << kLengthShift);
    if (l <= kTableBits) {
      for (uint32_t k = code >> kSubBits; k < end >> kSubBits; ++k) root_[k] = entry;
      continue;
    }
    uint16_t& link = root_[code >> kSubBits];
    if (link == kEmpty) {
      if (subtables_ >= static_cast<uint32_t>(kMaxSubtables)) return false;
      link = static_cast<uint16_t>(kSymbols + subtables_++);
    }
    uint16_t* sub = &sub_[(link - kSymbols) * kSubSize];
    for (uint32_t k = code & (kSubSize - 1); k < ((end - 1) & (kSubSize - 1)) + 1; ++k) sub[k] = entry;
  }
  return true;
}

template <int kTableBits, int kSymbols>
void HuffmanTable<kTableBits, kSymbols>::SetSingle(uint32_t symbol) {
  for (uint8_t& l : lengths_) l = 0;
  subtables_ = 0;
  const uint16_t entry = symbol < kSymbols ? static_cast<uint16_t>(symbol) : kEmpty;
  for (uint16_t& e : root_) e = entry;
}

template class HuffmanTable<12, 510>;
template class HuffmanTable<8, 19>;
template class HuffmanTable<8, 17>;

}  // namespace kest
