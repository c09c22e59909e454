#include "packaging/huffman_code.h"

#include <algorithm>

namespace kest {
namespace {

// Turns weights[0..n), sorted ascending, into optimal code lengths in place
// (n >= 2): the result is non-increasing, weights[0] gets the longest code.
// Moffat and Katajainen's in-place method: a first pass builds the tree's
// internal nodes as parent pointers in the array, a second pass turns them
// into depths, a third hands the depths to the leaves.
void MinimumRedundancyLengths(uint32_t* a, uint32_t n) {
  uint32_t root = 0;
  uint32_t leaf = 2;
  a[0] += a[1];
  for (uint32_t next = 1; next < n - 1; ++next) {
    if (leaf >= n || a[root] < a[leaf]) {
      a[next] = a[root];
      a[root++] = next;
    } else {
      a[next] = a[leaf++];
    }
    if (leaf >= n || (root < next && a[root] < a[leaf])) {
      a[next] += a[root];
      a[root++] = next;
    } else {
      a[next] += a[leaf++];
    }
  }
  a[n - 2] = 0;
  for (uint32_t next = n - 2; next-- > 0;) a[next] = a[a[next]] + 1;

  int32_t avail = 1;
  int32_t used = 0;
  uint32_t depth = 0;
  int32_t internal = static_cast<int32_t>(n) - 2;
  int32_t out = static_cast<int32_t>(n) - 1;
  while (avail > 0) {
    while (internal >= 0 && a[internal] == depth) {
      ++used;
      --internal;
    }
    while (avail > used) {
      a[out--] = depth;
      --avail;
    }
    avail = 2 * used;
    ++depth;
    used = 0;
  }
}

}  // namespace

uint32_t BuildCodeLengths(const uint32_t* freq, uint32_t count, uint32_t max_bits,
                          uint8_t* lengths) {
  // Used symbols as (frequency, symbol) keys, so that sorting is stable on
  // ties and the output does not depend on the sort's implementation.
  uint64_t keys[kMaxAlphabet];
  uint32_t used = 0;
  for (uint32_t s = 0; s < count; ++s) {
    lengths[s] = 0;
    if (freq[s] != 0) keys[used++] = (static_cast<uint64_t>(freq[s]) << 16) | s;
  }
  if (used < 2) return used;
  std::sort(keys, keys + used);

  uint32_t depth[kMaxAlphabet];
  for (uint32_t i = 0; i < used; ++i) depth[i] = static_cast<uint32_t>(keys[i] >> 16);
  MinimumRedundancyLengths(depth, used);

  // Count the leaves per length, folding everything deeper than max_bits
  // into max_bits. That over-fills the code space; each round below moves
  // one leaf from max_bits up into a split of the deepest shorter leaf,
  // which lowers the fill by one unit of 2^-max_bits and keeps the number
  // of leaves, until the space is filled exactly.
  uint32_t per_length[kMaxCodeBits + 1] = {};
  for (uint32_t i = 0; i < used; ++i) ++per_length[std::min(depth[i], max_bits)];
  uint32_t fill = 0;
  for (uint32_t l = 1; l <= max_bits; ++l) fill += per_length[l] << (max_bits - l);
  while (fill > (1u << max_bits)) {
    --per_length[max_bits];
    for (uint32_t l = max_bits - 1; l > 0; --l) {
      if (per_length[l] != 0) {
        --per_length[l];
        per_length[l + 1] += 2;
        break;
      }
    }
    --fill;
  }

  // Rarest symbols take the longest codes.
  uint32_t i = 0;
  for (uint32_t l = max_bits; l > 0; --l) {
    for (uint32_t k = 0; k < per_length[l]; ++k) lengths[keys[i++] & 0xFFFF] = static_cast<uint8_t>(l);
  }
  return used;
}

void AssignCodes(const uint8_t* lengths, uint32_t count, uint16_t* codes) {
  uint32_t per_length[kMaxCodeBits + 1] = {};
  for (uint32_t s = 0; s < count; ++s) ++per_length[lengths[s]];
  uint32_t next[kMaxCodeBits + 2];
  next[1] = 0;
  for (uint32_t l = 1; l <= kMaxCodeBits; ++l) next[l + 1] = (next[l] + per_length[l]) << 1;
  for (uint32_t s = 0; s < count; ++s) {
    if (lengths[s] != 0) codes[s] = static_cast<uint16_t>(next[lengths[s]]++);
  }
}

}  // namespace kest
