// Packs one entry's bytes with compression method 1, 2 or 3. All three
// write the same stream format (blocks of static Huffman codes over LZ77
// literals and matches) and differ only in how hard they search:
//   1  best compression: lazy matching, long chains
//   2  lazy matching, shorter chains
//   3  fastest: greedy matching, short chains
// Method 1 has a second, slower setting for the smallest output (see
// set_smallest). The output depends only on the input, the method and that
// setting.
#pragma once
#include <cstdint>

#include "packaging/bit_writer.h"
#include "packaging/lz_parser.h"

namespace kest {

constexpr uint32_t kMethodStored = 0;
constexpr uint32_t kMethodBest = 1;
constexpr uint32_t kMethodFastest = 3;

enum class EncodeResult {
  kPacked,      // packed() holds the whole stream
  kNotSmaller,  // the stream reached the size limit; store the entry instead
  kNoMemory,
  kBadMethod,   // method outside 1..3
};

// Reusable across entries: the chains and buffers are allocated once.
class EntryEncoder : private BlockSink {
 public:
  EntryEncoder() = default;

  // Packs data[0..size) with method. When the packed stream would need
  // limit bytes or more, stops early with kNotSmaller (pass size to learn
  // whether packing pays; the default never stops). With limit <= size,
  // data that a first look finds will not pack (see pack_probe.h) gets
  // kNotSmaller before any search.
  EncodeResult Encode(const uint8_t* data, uint32_t size, uint32_t method,
                      uint32_t limit = 0xFFFFFFFF);

  // With on, method 1 chooses its matches by price: per segment of the
  // input, the path of literals and matches with the fewest bits, as the
  // counts of an earlier path price them. Smaller output, more time.
  void set_smallest(bool on) { smallest_ = on; }

  // The packed stream of the last kPacked result; valid until the next
  // Encode.
  const uint8_t* packed() const { return out_ ? out_->data() : nullptr; }
  uint32_t packed_size() const { return out_ ? static_cast<uint32_t>(out_->size()) : 0; }

  ~EntryEncoder();
  EntryEncoder(const EntryEncoder&) = delete;
  EntryEncoder& operator=(const EntryEncoder&) = delete;

 private:
  bool TakeBlock(const TokenBlock& block) override;

  LzParser parser_;
  BitWriter* out_ = nullptr;
  uint32_t* probe_table_ = nullptr;  // scratch of LooksIncompressible
  uint32_t limit_ = 0;
  uint32_t min_block_ = 0;
  uint32_t split_parts_ = 2;
  bool smallest_ = false;
};

}  // namespace kest
