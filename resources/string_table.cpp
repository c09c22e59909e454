#include "resources/string_table.h"

namespace kest {

const char* FindString(uint32_t id) {
  // Binary search over the ascending ids; [low, high) holds the candidates.
  size_t low = 0;
  size_t high = kStringEntryCount;
  while (low < high) {
    size_t mid = low + (high - low) / 2;
    if (kStringEntries[mid].id == id) return kStringEntries[mid].text;
    if (kStringEntries[mid].id < id) {
      low = mid + 1;
    } else {
      high = mid;
    }
  }
  return nullptr;
}

}  // namespace kest
