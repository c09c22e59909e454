#include "packaging/lz_parser.h"

#include <cstring>
#include <new>

namespace kest {
namespace {

inline uint32_t HashThree(const uint8_t* p, uint32_t bits) {
  uint32_t v = (uint32_t{p[0]} << 16) | (uint32_t{p[1]} << 8) | p[2];
  return (v * 0x9E3779B1u) >> (32 - bits);
}

inline uint16_t Load16(const uint8_t* p) {
  uint16_t v;
  std::memcpy(&v, p, 2);
  return v;
}

// Length of the common prefix of a and b, at most limit bytes.
inline uint32_t CommonLength(const uint8_t* a, const uint8_t* b, uint32_t limit) {
  uint32_t length = 0;
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
  while (length + 8 <= limit) {
    uint64_t x;
    uint64_t y;
    std::memcpy(&x, a + length, 8);
    std::memcpy(&y, b + length, 8);
    if (x != y) return length + static_cast<uint32_t>(__builtin_ctzll(x ^ y)) / 8;
    length += 8;
  }
#endif
  while (length < limit && a[length] == b[length]) ++length;
  return length;
}

}  // namespace

bool LzParser::Init(ParseMode mode) {
  if (head_ == nullptr) head_ = new (std::nothrow) uint32_t[uint32_t{1} << kHashBits];
  if (prev_ == nullptr) prev_ = new (std::nothrow) uint32_t[kChainSize];
  if (block_ == nullptr) block_ = new (std::nothrow) TokenBlock;
  if (head_ == nullptr || prev_ == nullptr || block_ == nullptr) return false;
  return mode != ParseMode::kOptimal || InitSegment();
}

// pos + 3 <= size_.
inline void LzParser::Insert(uint32_t pos) {
  uint32_t h = HashThree(data_ + pos, kHashBits);
  prev_[pos & (kChainSize - 1)] = head_[h];
  head_[h] = pos;
}

// Finds the longest match for pos (already inserted) that is longer than
// floor; returns its length and sets *distance, or returns 0. Chains hold
// strictly older positions, and a slot of prev_ is reused only kChainSize
// positions later, beyond kMaxDistance, so every link read here is valid.
uint32_t LzParser::LongestMatch(uint32_t pos, uint32_t floor, uint32_t* distance) const {
  uint32_t limit = size_ - pos;
  if (limit > kMaxMatch) limit = kMaxMatch;
  if (limit <= floor) return 0;
  uint32_t chain = level_.max_chain;
  if (floor >= level_.good_length) chain = (chain >> 2) + 1;
  const uint8_t* scan = data_ + pos;
  uint32_t best = floor;
  uint32_t best_distance = 0;
  uint32_t candidate = prev_[pos & (kChainSize - 1)];
  // Invariant: 2 <= best < limit, so the two bytes ending at scan[best]
  // and at match[best] are inside the input. Comparing them first rejects
  // most candidates that cannot beat best.
  uint16_t scan_end = Load16(scan + best - 1);
  while (candidate != kNone && pos - candidate <= kMaxDistance) {
    const uint8_t* match = data_ + candidate;
    if (Load16(match + best - 1) == scan_end && Load16(match) == Load16(scan)) {
      uint32_t length = CommonLength(match, scan, limit);
      if (length > best) {
        best = length;
        best_distance = pos - candidate;
        if (length >= level_.nice_length || length == limit) break;
        scan_end = Load16(scan + best - 1);
      }
    }
    if (--chain == 0) break;
    candidate = prev_[candidate & (kChainSize - 1)];
  }
  if (best_distance == 0) return 0;
  if (best == kMinMatch && best_distance > level_.far_three) return 0;
  *distance = best_distance;
  return best;
}

// The optimal mode keeps, instead of chains, a binary search tree per hash
// bucket: the bucket's positions ordered by the bytes that follow them (up
// to kMaxMatch), the newest at the root. Entering pos walks down from the
// root and rebuilds the tree with pos as the new root: each node met is
// hung to pos's left (it sorts below) or right subtree. The walk meets ever
// longer common prefixes, which are the candidates. len_low and len_high
// are the common prefix lengths of the nearest node known to sort below
// and above; every node between them shares the shorter prefix, so the
// comparison resumes there. A node equal to pos for all compare bytes is
// replaced by pos, which takes over its subtrees.
uint32_t LzParser::CollectMatches(uint32_t pos, uint32_t limit, uint32_t depth,
                                  MatchCandidate* out) {
  uint32_t h = HashThree(data_ + pos, kTreeHashBits);
  uint32_t candidate = head_[h];
  head_[h] = pos;
  uint32_t* low = &tree_[2 * (pos & (kChainSize - 1))];  // where the next node below goes
  uint32_t* high = low + 1;                               // and above
  // Bytes the tree compares: always the same for pos, whatever limit the
  // caller has, so the order stays consistent. Nodes are ordered by their
  // first nice_length bytes only: a match that long is taken as found
  // anyway, and comparing further made every step of the walk slow on
  // long repeats. The one match that reaches it is lengthened afterwards.
  uint32_t compare = size_ - pos < level_.nice_length ? size_ - pos : level_.nice_length;
  const uint8_t* scan = data_ + pos;
  uint32_t len_low = 0;
  uint32_t len_high = 0;
  uint32_t best = kMinMatch - 1;
  uint32_t found = 0;
  for (;;) {
    if (candidate == kNone || pos - candidate > kMaxDistance || depth-- == 0) {
      *low = kNone;
      *high = kNone;
      break;
    }
    const uint8_t* match = data_ + candidate;
    uint32_t* pair = &tree_[2 * (candidate & (kChainSize - 1))];
    uint32_t length = len_low < len_high ? len_low : len_high;
    length += CommonLength(match + length, scan + length, compare - length);
    uint32_t usable = length < limit ? length : limit;
    if (usable > best) {
      best = usable;
      if (found == kMaxCandidates) --found;
      out[found].length = static_cast<uint16_t>(usable);
      out[found++].distance = static_cast<uint16_t>(pos - candidate);
    }
    if (length == compare) {
      *low = pair[0];
      *high = pair[1];
      // Only this node can have reached compare bytes, so out's last entry
      // is its match when usable did.
      if (usable == compare && limit > compare) {
        out[found - 1].length = static_cast<uint16_t>(
            compare + CommonLength(match + compare, scan + compare, limit - compare));
      }
      break;
    }
    if (match[length] < scan[length]) {
      *low = candidate;
      low = &pair[1];
      candidate = *low;
      len_low = length;
    } else {
      *high = candidate;
      high = &pair[0];
      candidate = *high;
      len_high = length;
    }
  }
  return found;
}

bool LzParser::Flush() {
  bool go_on = sink_->TakeBlock(*block_);
  block_->count = 0;
  return go_on;
}

bool LzParser::AddLiteral(uint32_t pos) {
  block_->AddLiteral(data_[pos]);
  return block_->count < level_.block_symbols || Flush();
}

bool LzParser::AddMatch(uint32_t length, uint32_t distance) {
  block_->AddMatch(length, distance);
  return block_->count < level_.block_symbols || Flush();
}

bool LzParser::ParseGreedy() {
  uint32_t pos = 0;
  while (pos < size_) {
    uint32_t length = 0;
    uint32_t distance = 0;
    if (size_ - pos >= kMinMatch) {
      Insert(pos);
      length = LongestMatch(pos, kMinMatch - 1, &distance);
    }
    if (length == 0) {
      if (!AddLiteral(pos)) return false;
      ++pos;
      continue;
    }
    if (!AddMatch(length, distance)) return false;
    uint32_t end = pos + length;
    // Long matches are skipped over: their inner positions rarely start
    // a better match, and entering them costs more than it finds.
    if (length <= level_.nice_length) {
      uint32_t last = size_ - kMinMatch;
      for (++pos; pos < end && pos <= last; ++pos) Insert(pos);
    }
    pos = end;
  }
  return true;
}

// One position behind: a match found at pos - 1 is held back while the
// search at pos looks for a longer one; if it finds one, pos - 1 becomes a
// literal.
bool LzParser::ParseLazy() {
  uint32_t pos = 0;
  uint32_t held_length = 0;  // match at pos - 1, 0 for none
  uint32_t held_distance = 0;
  bool holding = false;      // pos - 1 is not coded yet
  while (pos < size_) {
    uint32_t length = 0;
    uint32_t distance = 0;
    if (size_ - pos >= kMinMatch) {
      Insert(pos);
      if (held_length < level_.max_lazy) {
        uint32_t floor = held_length > kMinMatch - 1 ? held_length : kMinMatch - 1;
        length = LongestMatch(pos, floor, &distance);
      }
    }
    if (held_length != 0 && length == 0) {
      if (!AddMatch(held_length, held_distance)) return false;
      uint32_t end = pos - 1 + held_length;
      uint32_t last = size_ - kMinMatch;
      for (++pos; pos < end && pos <= last; ++pos) Insert(pos);
      pos = end;
      held_length = 0;
      holding = false;
      continue;
    }
    if (holding && !AddLiteral(pos - 1)) return false;
    held_length = length;
    held_distance = distance;
    holding = true;
    ++pos;
  }
  // A match held at the last byte cannot exist (it would need 3 bytes).
  if (holding && !AddLiteral(pos - 1)) return false;
  return true;
}

bool LzParser::Parse(const uint8_t* data, uint32_t size, const ParseLevel& level, BlockSink& sink) {
  data_ = data;
  size_ = size;
  level_ = level;
  sink_ = &sink;
  std::memset(head_, 0xFF, sizeof(uint32_t) << kHashBits);
  block_->count = 0;
  bool done = level.mode == ParseMode::kOptimal ? ParseOptimal()
              : level.mode == ParseMode::kLazy   ? ParseLazy()
                                                 : ParseGreedy();
  if (done && block_->count != 0) done = Flush();
  return done;
}

}  // namespace kest
