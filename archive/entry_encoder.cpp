#include "archive/entry_encoder.h"

#include <new>

#include "archive/block_coder.h"

namespace kest {
namespace {

// Indexed by method - 1.
constexpr ParseLevel kLevels[3] = {
    // chain good nice lazy far3  lazy  block
    {256, 32, 256, 256, 4096, true, 16384},
    {64, 16, 128, 64, 4096, true, 16384},
    {8, 8, 32, 0, 4096, false, 16384},
};

}  // namespace

EntryEncoder::~EntryEncoder() { delete out_; }

EncodeResult EntryEncoder::Encode(const uint8_t* data, uint32_t size, uint32_t method,
                                  uint32_t limit) {
  if (method < kMethodBest || method > kMethodFastest) return EncodeResult::kBadMethod;
  delete out_;
  out_ = new (std::nothrow) BitWriter;
  if (out_ == nullptr || !parser_.Init()) return EncodeResult::kNoMemory;
  limit_ = limit;
  bool finished = parser_.Parse(data, size, kLevels[method - 1], *this);
  out_->Flush();
  if (!out_->ok()) return EncodeResult::kNoMemory;
  if (!finished || out_->size() >= limit) return EncodeResult::kNotSmaller;
  return EncodeResult::kPacked;
}

bool EntryEncoder::TakeBlock(const TokenBlock& block) {
  CodeBlock(block, *out_);
  return out_->ok() && out_->size() < limit_;
}

}  // namespace kest
