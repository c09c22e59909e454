#include "packaging/entry_encoder.h"

#include <new>

#include "packaging/block_splitter.h"
#include "packaging/pack_probe.h"

namespace kest {
namespace {

struct MethodLevel {
  ParseLevel parse;
  uint32_t min_block;    // shortest block the coder cuts off
  uint32_t split_parts;  // even cut points tried per block, plus one (2: halves)
};

// Indexed by method - 1. Measured on a mixed corpus of text, binaries,
// random data and runs (bench/encoder_bench): against method 1, method 2
// takes about 60% of the time for 0.6% more output, method 3 about 40% of
// the time for 3.7% more. Method 1 lets the coder cut blocks as short as
// 128 tokens: 0.3% smaller than with 1024, for a few percent more time.
// Trying 3 cut points per block instead of the middle only would make it
// 0.2% smaller for 6% more time (7 points: 0.4% for 12%); its time has the
// tighter margin.
constexpr MethodLevel kLevels[3] = {
    // chain good nice lazy  far3  mode                tokens         min  parts
    {{256, 32, 256, 256, 4096, ParseMode::kLazy, kMaxBlockSymbols}, 128, 2},
    {{64, 16, 128, 128, 4096, ParseMode::kLazy, kMaxBlockSymbols}, 1024, 2},
    {{16, 8, 32, 0, 4096, ParseMode::kGreedy, kMaxBlockSymbols}, 2048, 2},
};

// Method 1 when the smallest output is asked for: the optimal parse over a
// tree search, with 15 cut points tried per block. On that corpus 2% smaller
// than kLevels[0], in about 3 times its time; a nice length of 128 gains
// another 0.1% for 15% more time, one of 32 loses 0.3%.
constexpr MethodLevel kSmallest = {{16, 0, 64, 0, 0, ParseMode::kOptimal, kMaxBlockSymbols}, 128, 16};

}  // namespace

EntryEncoder::~EntryEncoder() {
  delete out_;
  delete[] probe_table_;
}

EncodeResult EntryEncoder::Encode(const uint8_t* data, uint32_t size, uint32_t method,
                                  uint32_t limit) {
  if (method < kMethodBest || method > kMethodFastest) return EncodeResult::kBadMethod;
  delete out_;
  out_ = new (std::nothrow) BitWriter;
  const MethodLevel& level = method == kMethodBest && smallest_ ? kSmallest : kLevels[method - 1];
  if (out_ == nullptr || !parser_.Init(level.parse.mode)) return EncodeResult::kNoMemory;
  // Only a caller that stores what does not shrink asks with limit <= size.
  if (limit <= size && size >= kProbeChunk) {
    if (probe_table_ == nullptr) {
      probe_table_ = new (std::nothrow) uint32_t[uint32_t{1} << kProbeTableBits];
      if (probe_table_ == nullptr) return EncodeResult::kNoMemory;
    }
    if (LooksIncompressible(data, size, probe_table_)) return EncodeResult::kNotSmaller;
  }
  limit_ = limit;
  min_block_ = level.min_block;
  split_parts_ = level.split_parts;
  bool finished = parser_.Parse(data, size, level.parse, *this);
  out_->Flush();
  if (!out_->ok()) return EncodeResult::kNoMemory;
  if (!finished || out_->size() >= limit) return EncodeResult::kNotSmaller;
  return EncodeResult::kPacked;
}

bool EntryEncoder::TakeBlock(const TokenBlock& block) {
  CodeTokens(block, min_block_, split_parts_, *out_);
  return out_->ok() && out_->size() < limit_;
}

}  // namespace kest
