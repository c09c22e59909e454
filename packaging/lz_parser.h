// Turns input bytes into literals and matches (LZ77 over the decoder's
// 26624-byte window) with hash chains, and hands them over in batches of
// at most kMaxBlockSymbols tokens.
//
// Every position with three bytes ahead is entered in a chain of earlier
// positions with the same three-byte hash; a search walks that chain, newest
// first, for at most ParseLevel::max_chain candidates within kMaxDistance.
//
// Three ways to choose among the matches found:
//   greedy   the longest match at each position is taken
//   lazy     a match is deferred by one byte when the next one is longer
//   optimal  the input is cut into segments; in each, every position's
//            matches are collected and the cheapest path of literals and
//            matches through the segment is taken, priced in bits by the
//            code lengths that the symbol counts of a previous path give
#pragma once
#include <cstdint>

#include "packaging/token_block.h"

namespace kest {

struct MatchCandidate {
  uint16_t length;
  uint16_t distance;
};

enum class ParseMode : uint8_t { kGreedy, kLazy, kOptimal };

struct ParseLevel {
  uint32_t max_chain;     // candidates examined per search (optimal: tree nodes met)
  uint32_t good_length;   // greedy and lazy: a previous match this long quarters the next search
  uint32_t nice_length;   // a match this long ends the search (optimal: and is taken as
                          // found; 3..kMaxMatch, the bytes the tree orders nodes by)
  uint32_t max_lazy;      // lazy only: a match this long is taken at once
  uint32_t far_three;     // greedy and lazy: a 3-byte match further back is not worth it
  ParseMode mode;
  uint32_t block_symbols; // tokens per batch (1..kMaxBlockSymbols)
};

// Receives each full batch of tokens (and the last, partial one); returning
// false stops the parse.
class BlockSink {
 public:
  virtual ~BlockSink() = default;
  virtual bool TakeBlock(const TokenBlock& block) = 0;
};

class LzParser {
 public:
  LzParser() = default;
  ~LzParser();
  LzParser(const LzParser&) = delete;
  LzParser& operator=(const LzParser&) = delete;

  // Allocates the chains and the block, and for the optimal mode its
  // segment buffers; false when memory is short.
  bool Init(ParseMode mode);

  // Parses data[0..size) and hands every batch to sink. Returns false when the sink stopped it. Needs Init.
  bool Parse(const uint8_t* data, uint32_t size, const ParseLevel& level, BlockSink& sink);

 private:
  static constexpr uint32_t kHashBits = 16;
  static constexpr uint32_t kTreeHashBits = 14;  // optimal mode: fewer, cache-resident roots
  static constexpr uint32_t kChainSize = 32768;  // a power of two above kMaxDistance
  static constexpr uint32_t kNone = 0xFFFFFFFF;
  static constexpr uint32_t kMaxCandidates = 16;

  void Insert(uint32_t pos);
  // Optimal mode: enters pos (pos + 3 <= size_) in its tree and writes to
  // out, by ascending length, the first match met for each longer length,
  // each cut to at most limit bytes; at most kMaxCandidates (a depth above
  // it keeps the longest). Returns their count.
  // depth is the most nodes met.
  uint32_t CollectMatches(uint32_t pos, uint32_t limit, uint32_t depth, MatchCandidate* out);
  bool InitSegment();
  uint32_t LongestMatch(uint32_t pos, uint32_t floor, uint32_t* distance) const;
  bool ParseGreedy();
  bool ParseLazy();
  bool ParseOptimal();
  bool AddLiteral(uint32_t pos);
  bool AddMatch(uint32_t length, uint32_t distance);
  bool Flush();

  uint32_t* head_ = nullptr;   // per hash: newest position, or kNone
  uint32_t* prev_ = nullptr;   // per position mod kChainSize: the older one
  TokenBlock* block_ = nullptr;
  uint32_t* tree_ = nullptr;   // optimal mode: per position mod kChainSize, its two subtrees
  struct Segment;              // the optimal mode's buffers
  Segment* segment_ = nullptr;
  const uint8_t* data_ = nullptr;
  uint32_t size_ = 0;
  ParseLevel level_ = {};
  BlockSink* sink_ = nullptr;
};

}  // namespace kest
