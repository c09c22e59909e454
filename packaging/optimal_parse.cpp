// The optimal mode of LzParser: a shortest path, in bits, through each
// segment of the input.
//
// A segment of up to kSegmentBytes positions is searched first: every
// position gets its candidate matches (one for each longer length the
// search meets). Then a pass over the segment finds, for every position k, the
// cheapest way to code bytes [0, k) of the segment as literals and matches,
// where a literal costs its character code's length and a match of length l
// and distance d costs the code lengths of symbol l + 253 and of d - 1's
// position class, plus the class's extra bits. The code lengths are
// estimates from symbol counts: of the greedy path (the longest candidate
// wherever there is one) for an input's first segment, of the previous
// segment's path for every later one; then each pass is priced by the
// path of the pass before.
// Matches end inside their segment, so each segment's path is independent.
#include <cstring>
#include <new>

#include "packaging/huffman_code.h"
#include "packaging/lz_parser.h"

namespace kest {
namespace {

constexpr uint32_t kSegmentBytes = 16384;
constexpr uint32_t kUnreached = 0xFFFFFFFF;
// Shortest-path passes over a segment, each priced by the path before it.
constexpr uint32_t kPasses = 2;

// Bit prices of the character/length symbols and of the position classes
// (a class's extra bits included).
struct Prices {
  uint8_t chars[kCharAlphabet];
  uint8_t positions[kPositionAlphabet];

  // Code lengths for counts in which every symbol is made present: a symbol
  // the path has not used yet stays possible, at about the price of a rare
  // one, instead of free or impossible.
  void FromCounts(const SymbolCounts& counts) {
    uint32_t freq[kCharAlphabet];
    for (uint32_t s = 0; s < kCharAlphabet; ++s) freq[s] = 2 * counts.chars[s] + 1;
    BuildCodeLengths(freq, kCharAlphabet, kMaxCodeBits, chars);
    for (uint32_t c = 0; c < kPositionAlphabet; ++c) freq[c] = 2 * counts.positions[c] + 1;
    BuildCodeLengths(freq, kPositionAlphabet, kMaxCodeBits, positions);
    for (uint32_t c = 2; c < kPositionAlphabet; ++c) {
      positions[c] = static_cast<uint8_t>(positions[c] + c - 1);
    }
  }
};

}  // namespace

struct LzParser::Segment {
  // Position k's candidates are matches[first[k] .. first[k + 1]).
  MatchCandidate matches[kSegmentBytes * kMaxCandidates];
  uint32_t first[kSegmentBytes + 1];
  // Per position k: the cheapest known price of bytes [0, k) and the last
  // step of that path, length 1 for a literal, else a match of that length
  // and distance.
  struct Node {
    uint32_t price;
    uint16_t length;
    uint16_t distance;
  };
  Node node[kSegmentBytes + 1];
  // The chosen path, forward: the step taken at position k.
  uint16_t chosen[kSegmentBytes];
  Prices prices;
  SymbolCounts counts;
};

LzParser::~LzParser() {
  delete[] head_;
  delete[] prev_;
  delete block_;
  delete[] tree_;
  delete segment_;
}

bool LzParser::InitSegment() {
  if (segment_ == nullptr) segment_ = new (std::nothrow) Segment;
  if (tree_ == nullptr) tree_ = new (std::nothrow) uint32_t[2 * kChainSize];
  return segment_ != nullptr && tree_ != nullptr;
}

bool LzParser::ParseOptimal() {
  Segment& s = *segment_;
  bool priced = false;  // s.prices hold the previous segment's path
  for (uint32_t start = 0; start < size_;) {
    const uint32_t n = size_ - start < kSegmentBytes ? size_ - start : kSegmentBytes;
    const uint8_t* bytes = data_ + start;

    // Candidates. A match of nice_length or more is taken as found: the
    // positions it covers are entered in the tree but not searched.
    uint32_t used = 0;
    for (uint32_t k = 0; k < n;) {
      s.first[k] = used;
      uint32_t pos = start + k++;
      if (size_ - pos < kMinMatch) continue;
      uint32_t limit = n - k + 1 < kMaxMatch ? n - k + 1 : kMaxMatch;
      uint32_t found = CollectMatches(pos, limit, level_.max_chain, s.matches + used);
      used += found;
      if (found == 0 || s.matches[used - 1].length < level_.nice_length) continue;
      for (uint32_t end = pos + s.matches[used - 1].length; start + k < end; ++k) {
        s.first[k] = used;
        if (size_ - (start + k) >= kMinMatch) {
          CollectMatches(start + k, 0, level_.max_chain, nullptr);
        }
      }
    }
    s.first[n] = used;

    if (!priced) {
      // A first guess: the counts of the greedy path, the longest
      // candidate wherever there is one.
      std::memset(&s.counts, 0, sizeof(s.counts));
      for (uint32_t k = 0; k < n;) {
        if (s.first[k] == s.first[k + 1]) {
          ++s.counts.chars[bytes[k++]];
          continue;
        }
        const MatchCandidate c = s.matches[s.first[k + 1] - 1];
        ++s.counts.chars[c.length + 253];
        ++s.counts.positions[PositionClass(c.distance - 1u)];
        k += c.length;
      }
      s.prices.FromCounts(s.counts);
    }
    for (uint32_t pass = 0; pass < kPasses; ++pass) {
      // Shortest path: every step from k lands beyond k, so price[k] is
      // final when k is reached.
      s.node[0].price = 0;
      for (uint32_t k = 1; k <= n; ++k) s.node[k].price = kUnreached;
      for (uint32_t k = 0; k < n; ++k) {
        const uint32_t here = s.node[k].price;
        uint32_t cost = here + s.prices.chars[bytes[k]];
        if (cost < s.node[k + 1].price) s.node[k + 1] = {cost, 1, 0};
        uint32_t length = kMinMatch;
        for (uint32_t m = s.first[k]; m < s.first[k + 1]; ++m) {
          const MatchCandidate c = s.matches[m];
          const uint32_t base = here + s.prices.positions[PositionClass(c.distance - 1u)];
          for (; length <= c.length; ++length) {
            cost = base + s.prices.chars[length + 253];
            if (cost < s.node[k + length].price) {
              s.node[k + length] = {cost, static_cast<uint16_t>(length), c.distance};
            }
          }
        }
      }
      // Back from the end, then the path's symbol counts price the next
      // pass or segment.
      std::memset(s.counts.chars, 0, sizeof(s.counts.chars));
      std::memset(s.counts.positions, 0, sizeof(s.counts.positions));
      for (uint32_t k = n; k > 0;) {
        uint32_t length = s.node[k].length;
        k -= length;
        s.chosen[k] = static_cast<uint16_t>(length);
        if (length == 1) {
          ++s.counts.chars[bytes[k]];
        } else {
          ++s.counts.chars[length + 253];
          ++s.counts.positions[PositionClass(s.node[k + length].distance - 1u)];
        }
      }
      s.prices.FromCounts(s.counts);
    }
    priced = true;

    for (uint32_t k = 0; k < n;) {
      uint32_t length = s.chosen[k];
      if (length == 1) {
        if (!AddLiteral(start + k)) return false;
      } else if (!AddMatch(length, s.node[k + length].distance)) {
        return false;
      }
      k += length;
    }
    start += n;
  }
  return true;
}

}  // namespace kest
