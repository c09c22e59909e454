#include "packaging/entry_encoder.h"

#include <new>

#include "packaging/block_splitter.h"

namespace kest {
namespace {

struct MethodLevel {
  ParseLevel parse;
  uint32_t min_block;  // shortest block the coder cuts off
};

// Indexed by method - 1. Measured on a mixed corpus of text, binaries,
// random data and runs (bench/encoder_bench): against method 1, method 2
// takes about 60% of the time for 0.6% more output, method 3 about 40% of
// the time for 3.7% more. Method 1 lets the coder cut blocks as short as
// 128 tokens: 0.3% smaller than with 1024, for a few percent more time.
constexpr MethodLevel kLevels[3] = {
    // chain good nice lazy  far3  mode                tokens
    {{256, 32, 256, 256, 4096, ParseMode::kLazy, kMaxBlockSymbols}, 128},
    {{64, 16, 128, 128, 4096, ParseMode::kLazy, kMaxBlockSymbols}, 1024},
    {{16, 8, 32, 0, 4096, ParseMode::kGreedy, kMaxBlockSymbols}, 2048},
};

// Method 1 when the smallest output is asked for: the optimal parse over a
// tree search. On that corpus 1.8% smaller than kLevels[0], in about 3
// times its time.
constexpr MethodLevel kSmallest = {{16, 0, 128, 0, 0, ParseMode::kOptimal, kMaxBlockSymbols}, 128};

}  // namespace

EntryEncoder::~EntryEncoder() { delete out_; }

EncodeResult EntryEncoder::Encode(const uint8_t* data, uint32_t size, uint32_t method,
                                  uint32_t limit) {
  if (method < kMethodBest || method > kMethodFastest) return EncodeResult::kBadMethod;
  delete out_;
  out_ = new (std::nothrow) BitWriter;
  const MethodLevel& level = method == kMethodBest && smallest_ ? kSmallest : kLevels[method - 1];
  if (out_ == nullptr || !parser_.Init(level.parse.mode)) return EncodeResult::kNoMemory;
  limit_ = limit;
  min_block_ = level.min_block;
  bool finished = parser_.Parse(data, size, level.parse, *this);
  out_->Flush();
  if (!out_->ok()) return EncodeResult::kNoMemory;
  if (!finished || out_->size() >= limit) return EncodeResult::kNotSmaller;
  return EncodeResult::kPacked;
}

bool EntryEncoder::TakeBlock(const TokenBlock& block) {
  CodeTokens(block, min_block_, *out_);
  return out_->ok() && out_->size() < limit_;
}

}  // namespace kest
