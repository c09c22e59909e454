#include "packaging/token_block.h"

#include <cstring>

namespace kest {

void SymbolCounts::Count(const TokenBlock& block, uint32_t begin, uint32_t end) {
  std::memset(chars, 0, sizeof(chars));
  std::memset(positions, 0, sizeof(positions));
  for (uint32_t t = begin; t < end; ++t) {
    uint32_t symbol = block.symbols[t];
    ++chars[symbol];
    if (symbol >= 256) ++positions[PositionClass(block.positions[t])];
  }
}

}  // namespace kest
