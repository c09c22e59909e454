#include "archive/entry_decoder.h"

#include <cstring>
#include <memory>
#include <new>

#include "archive/bit_reader.h"
#include "archive/huffman_table.h"
#include "archive/reader_codes.h"
#include "core/install_codes.h"

namespace kest {
namespace {

constexpr int kCharSymbols = 510;     // 256 literals, then lengths 3..256
constexpr int kCharCountBits = 9;
constexpr int kPreTreeSymbols = 19;
constexpr int kPositionSymbols = 17;  // distance classes 0..16
constexpr int kSmallCountBits = 5;
constexpr int kPreTreeZeroRunAfter = 3;  // a 2-bit run of zero lengths follows the third
constexpr int kNoZeroRun = -1;
constexpr int kMatchBias = 253;       // match length = symbol - 253

class Decoder {
 public:
  Decoder(const uint8_t* packed, uint32_t packed_size, const Crc32& crc, uint32_t* reg,
          ByteSink& out, uint8_t* window)
      : bits_(packed, packed_size), crc_(crc), reg_(*reg), out_(out), window_(window) {}

  uint32_t Run(uint32_t original_size);

 private:
  uint32_t ReadSmallLengths(int n, int zero_run_after);
  uint32_t ReadCharLengths();
  uint32_t ReadBlockHead();
  uint32_t CopyMatch(uint32_t length, uint32_t distance);
  uint32_t Flush(uint32_t size);

  BitReader bits_;
  const Crc32& crc_;
  uint32_t& reg_;
  ByteSink& out_;
  uint8_t* window_;
  uint32_t r_ = 0;  // write position in the window
  CharTable chars_;
  SmallTable small_;  // the pre-tree while reading a block head, then positions
  SmallTable positions_;
};

// Pre-tree or position lengths: a 5-bit count c, then c lengths of 3 bits
// each where 7 continues in unary (7 + the number of 1 bits before a 0).
// c = 0: a 5-bit symbol follows; the code is that one symbol of no bits.
uint32_t Decoder::ReadSmallLengths(int n, int zero_run_after) {
  SmallTable& table = n == kPreTreeSymbols ? small_ : positions_;
  bits_.Refill();
  const int count = static_cast<int>(bits_.Get(kSmallCountBits));
  if (count == 0) {
    table.SetSingle(static_cast<int>(bits_.Get(kSmallCountBits)), n);
    return 0;
  }
  if (count > n) return kReaderBadTable;
  uint8_t* lengths = table.lengths();
  int i = 0;
  while (i < count) {
    bits_.Refill();
    const uint32_t top = bits_.Peek(16);
    int length = static_cast<int>(top >> 13);
    if (length == 7) {
      for (uint32_t mask = 1u << 12; (top & mask) != 0; mask >>= 1) ++length;
      if (length > kLongestCode) return kReaderBadTable;
      bits_.Skip(length - 3);
    } else {
      bits_.Skip(3);
    }
    lengths[i++] = static_cast<uint8_t>(length);
    if (i == zero_run_after) {
      for (uint32_t run = bits_.Get(2); run > 0; --run) lengths[i++] = 0;
    }
  }
  while (i < n) lengths[i++] = 0;
  return table.Build(n) ? 0 : kReaderBadTable;
}

// Character/length lengths: a 9-bit count c, then c lengths coded with the
// pre-tree: 0 one zero length, 1 (4 bits + 3) zeros, 2 (9 bits + 20)
// zeros, 3..18 the length 1..16. c = 0: a 9-bit single symbol follows.
uint32_t Decoder::ReadCharLengths() {
  bits_.Refill();
  const int count = static_cast<int>(bits_.Get(kCharCountBits));
  if (count == 0) {
    chars_.SetSingle(static_cast<int>(bits_.Get(kCharCountBits)), kCharSymbols);
    return 0;
  }
  if (count > kCharSymbols) return kReaderBadTable;
  uint8_t* lengths = chars_.lengths();
  int i = 0;
  while (i < count) {
    bits_.Refill();
    const int p = small_.Decode(bits_);
    if (p < 0) return kReaderBadTable;
    if (p > 2) {
      lengths[i++] = static_cast<uint8_t>(p - 2);
      continue;
    }
    const int run = p == 0 ? 1 : p == 1 ? static_cast<int>(bits_.Get(4)) + 3
                                        : static_cast<int>(bits_.Get(9)) + 20;
    if (run > kCharSymbols - i) return kReaderBadTable;
    memset(lengths + i, 0, run);
    i += run;
  }
  memset(lengths + i, 0, kCharSymbols - i);
  return chars_.Build(kCharSymbols) ? 0 : kReaderBadTable;
}

uint32_t Decoder::ReadBlockHead() {
  uint32_t error = ReadSmallLengths(kPreTreeSymbols, kPreTreeZeroRunAfter);
  if (error == 0) error = ReadCharLengths();
  if (error == 0) error = ReadSmallLengths(kPositionSymbols, kNoZeroRun);
  return error;
}

uint32_t Decoder::Flush(uint32_t size) {
  reg_ = crc_.Advance(reg_, window_, size);
  const uint32_t error = out_.Write(window_, size);
  if (error == 0) return 0;
  return error == kSystemDiskFull || error == kSystemHandleDiskFull ? kCodeDiskFull
                                                                    : kCodeWriteFailed;
}

// Copies length bytes from distance bytes back, one byte after another (so
// an overlapping copy repeats the recent bytes), wrapping both positions at
// the window's end and writing the window out whenever it fills.
uint32_t Decoder::CopyMatch(uint32_t length, uint32_t distance) {
  // A distance up to one window reaches around the ring; further back than
  // the write position plus a window is outside it.
  int32_t from = static_cast<int32_t>(r_) - static_cast<int32_t>(distance);
  if (from < 0) from += kWindowSize;
  if (from < 0) return kReaderBadTable;
  uint32_t i = static_cast<uint32_t>(from);

  if (r_ + length <= kWindowSize && i + length <= kWindowSize) {
    uint8_t* to = window_ + r_;
    const uint8_t* src = window_ + i;
    if (i < r_ && r_ - i < length) {
      // Overlapping: the source runs into bytes this copy writes.
      if (distance == 1) {
        memset(to, src[0], length);
      } else if (distance >= 8) {
        uint32_t k = 0;
        for (; k + 8 <= length; k += 8) memcpy(to + k, src + k, 8);
        for (; k < length; ++k) to[k] = src[k];
      } else {
        for (uint32_t k = 0; k < length; ++k) to[k] = src[k];
      }
    } else {
      memmove(to, src, length);
    }
    r_ += length;
    if (r_ == kWindowSize) {
      r_ = 0;
      return Flush(kWindowSize);
    }
    return 0;
  }
  for (; length > 0; --length) {
    window_[r_++] = window_[i++];
    if (r_ == kWindowSize) {
      r_ = 0;
      uint32_t error = Flush(kWindowSize);
      if (error != 0) return error;
    }
    if (i == kWindowSize) i = 0;
  }
  return 0;
}

uint32_t Decoder::Run(uint32_t original_size) {
  uint64_t out_count = 0;     // bytes decoded, whole matches counted
  uint32_t block_left = 0;    // symbols left in the current block
  while (out_count < original_size) {
    if (block_left == 0) {
      bits_.Refill();
      block_left = bits_.Get(16);
      if (block_left == 0) block_left = 65536;
      const uint32_t error = ReadBlockHead();
      if (error != 0) return error;
    }
    --block_left;
    bits_.Refill();
    const int c = chars_.Decode(bits_);
    if (c < 0) return kReaderBadTable;
    if (c < 256) {
      window_[r_++] = static_cast<uint8_t>(c);
      ++out_count;
      if (r_ == kWindowSize) {
        r_ = 0;
        const uint32_t error = Flush(kWindowSize);
        if (error != 0) return error;
      }
      continue;
    }
    const uint32_t length = static_cast<uint32_t>(c - kMatchBias);
    out_count += length;
    const int p = positions_.Decode(bits_);
    if (p < 0) return kReaderBadTable;
    // Class 0 is distance 1; class p > 0 is 2^(p-1) + (p-1 more bits), plus 1.
    uint32_t distance = static_cast<uint32_t>(p);
    if (p > 0) distance = (1u << (p - 1)) + bits_.Get(p - 1);
    const uint32_t error = CopyMatch(length, distance + 1);
    if (error != 0) return error;
  }
  return r_ > 0 ? Flush(r_) : 0;
}

}  // namespace

uint32_t DecodeEntry(const uint8_t* packed, uint32_t packed_size, uint32_t original_size,
                     const Crc32& crc, uint32_t* crc_register, ByteSink& out) {
  *crc_register = Crc32::kStart;
  std::unique_ptr<uint8_t[]> window(new (std::nothrow) uint8_t[kWindowSize]);
  if (!window) return kReaderNoWindow;
  memset(window.get(), 0, kWindowSize);
  // The code tables (about 14 KiB) live in this frame; the window is the
  // only allocation.
  Decoder decoder(packed, packed_size, crc, crc_register, out, window.get());
  return decoder.Run(original_size);
}

}  // namespace kest
