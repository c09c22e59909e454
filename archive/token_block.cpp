#include "archive/token_block.h"

#include <cstring>

namespace kest {

void TokenBlock::Clear() {
  count = 0;
  std::memset(char_freq, 0, sizeof(char_freq));
  std::memset(position_freq, 0, sizeof(position_freq));
}

}  // namespace kest
