#include "archive/entry_decoder.h"

#include <cstring>
#include <memory>
#include <new>

#include "archive/bit_reader.h"
#include "archive/huffman_table.h"
#include "archive/reader_codes.h"
#include "base/install_codes.h"

namespace kest {
namespace {

constexpr int kCharSymbols = 510;     // 256 literals, then lengths 3..256
constexpr int kCharCountBits = 9;
constexpr int kSmallCountBits = 5;
constexpr int kPreTreeZeroRunAfter = 3;  // a 2-bit run of zero lengths follows the third
constexpr int kNoZeroRun = -1;
constexpr int kMatchBias = 253;       // match length = symbol - 253
// A valid stream ends within its packed bytes: its last symbol takes no bit
// past them. Decoding that has taken more than this margin beyond the end
// is decoding zero bits that nobody wrote (a forged original size, a cut
// stream) and stops early: no output can be right any more. It ends with
// the code that decoding those zero bits to the original size would have
// ended with, a CRC mismatch. The margin keeps any stream whose encoder
// counted its final padding byte differently on the safe side.
constexpr uint64_t kPastEndMarginBits = 8 * 8;
constexpr uint32_t kCutShort = kReaderBadCrc;

// Distance class p: the distance is kDistanceBase[p] plus the next
// kDistanceBits[p] bits (2^(p-1) + 1 and p - 1 for p > 0).
constexpr uint32_t kDistanceBase[17] = {1,    2,    3,    5,    9,     17,    33,    65,   129,
                                        257,  513,  1025, 2049, 4097, 8193, 16385, 32769};
constexpr int kDistanceBits[17] = {0, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15};

bool TakenTooFarPastEnd(const BitReader& bits) {
  return bits.BitsTakenPastEnd() > kPastEndMarginBits;
}

class Decoder {
 public:
  Decoder(const uint8_t* packed, uint32_t packed_size, const Crc32& crc, uint32_t* reg,
          ByteSink& out, uint8_t* window)
      : bits_(packed, packed_size), crc_(crc), reg_(*reg), out_(out), window_(window) {}

  uint32_t Run(uint32_t original_size);
  // After a Run that returned 0: the window's bytes from its start that
  // were ever written. Every byte written lies before the write position
  // or was written out with a whole window (the match copies' overrun puts
  // back what it passed), and the last bytes are written out at the end.
  uint32_t flushed_extent() const { return flushed_extent_; }

 private:
  template <class Table>
  uint32_t ReadSmallLengths(Table* table, int zero_run_after);
  uint32_t ReadCharLengths();
  uint32_t ReadBlockHead();
  uint32_t WrappingCopy(uint32_t* r, uint32_t from, uint32_t length);
  uint32_t Flush(uint32_t size);

  // The stream position between blocks; Run() keeps its own copy while
  // decoding symbols, so that it can live in registers (the window's
  // byte stores could otherwise alias it).
  BitReader bits_;
  const Crc32& crc_;
  uint32_t& reg_;
  ByteSink& out_;
  uint8_t* const window_;
  uint32_t flushed_extent_ = 0;
  CharTable chars_;
  PreTreeTable pre_tree_;
  PositionTable positions_;
};

// Pre-tree or position lengths: a 5-bit count c, then c lengths of 3 bits
// each where 7 continues in unary (7 + the number of 1 bits before a 0).
// c = 0: a 5-bit symbol follows; the code is that one symbol of no bits.
template <class Table>
uint32_t Decoder::ReadSmallLengths(Table* table, int zero_run_after) {
  const int n = Table::kAlphabet;
  bits_.Refill();
  const int count = static_cast<int>(bits_.Get(kSmallCountBits));
  if (count == 0) {
    table->SetSingle(bits_.Get(kSmallCountBits));
    return 0;
  }
  if (count > n) return kReaderBadTable;
  uint8_t* lengths = table->lengths();
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
  return table->Build() ? 0 : kReaderBadTable;
}

// Character/length lengths: a 9-bit count c, then c lengths coded with the
// pre-tree: 0 one zero length, 1 (4 bits + 3) zeros, 2 (9 bits + 20)
// zeros, 3..18 the length 1..16. c = 0: a 9-bit single symbol follows.
uint32_t Decoder::ReadCharLengths() {
  bits_.Refill();
  const int count = static_cast<int>(bits_.Get(kCharCountBits));
  if (count == 0) {
    chars_.SetSingle(bits_.Get(kCharCountBits));
    return 0;
  }
  if (count > kCharSymbols) return kReaderBadTable;
  uint8_t* lengths = chars_.lengths();
  int i = 0;
  while (i < count) {
    bits_.Refill();
    const int p = pre_tree_.Decode(bits_);
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
  return chars_.Build() ? 0 : kReaderBadTable;
}

uint32_t Decoder::ReadBlockHead() {
  uint32_t error = ReadSmallLengths(&pre_tree_, kPreTreeZeroRunAfter);
  if (error == 0) error = ReadCharLengths();
  if (error == 0) error = ReadSmallLengths(&positions_, kNoZeroRun);
  return error;
}

uint32_t Decoder::Flush(uint32_t size) {
  if (size > flushed_extent_) flushed_extent_ = size;
  reg_ = crc_.Advance(reg_, window_, size);
  const uint32_t error = out_.Write(window_, size);
  if (error == 0) return 0;
  return error == kSystemDiskFull || error == kSystemHandleDiskFull ? kCodeDiskFull
                                                                    : kCodeWriteFailed;
}

// A match whose source or target reaches the window's end: one byte after
// another, both positions wrapping, the window written out whenever it
// fills.
uint32_t Decoder::WrappingCopy(uint32_t* r, uint32_t from, uint32_t length) {
  uint32_t to = *r;
  for (; length > 0; --length) {
    window_[to++] = window_[from++];
    if (to == kWindowSize) {
      to = 0;
      const uint32_t error = Flush(kWindowSize);
      if (error != 0) return error;
    }
    if (from == kWindowSize) from = 0;
  }
  *r = to;
  return 0;
}

inline void Copy16(uint8_t* to, const uint8_t* from) { memcpy(to, from, 16); }
inline void Copy8(uint8_t* to, const uint8_t* from) { memcpy(to, from, 8); }

// A match of `length` bytes from window[i] to window[r] where neither end
// reaches the window's end. The copy runs forward byte after byte in
// meaning: a source that overlaps the target repeats the recent bytes. How
// far back the source is in the window (gap) is the distance, or, for a
// distance of more than a window, the distance less a window.
inline void CopyMatch(uint8_t* window, uint32_t r, uint32_t i, uint32_t length) {
  uint8_t* target = window + r;
  const uint8_t* src = window + i;
  const uint32_t gap = r - i;  // meaningful when i < r
  if (i < r && gap >= 16 && r + length + 16 <= kWindowSize) {
    // 16 bytes a step, every byte read already final when read. The last
    // step may run up to 15 bytes past the match: those bytes are history
    // a later match may still read, so they are put back.
    uint8_t after[16];
    Copy16(after, target + length);
    uint32_t k = 0;
    do {
      Copy16(target + k, src + k);
      k += 16;
    } while (k < length);
    Copy16(target + length, after);
  } else if (i < r && gap >= 8) {
    uint32_t k = 0;
    for (; k + 8 <= length; k += 8) Copy8(target + k, src + k);
    for (; k < length; ++k) target[k] = src[k];
  } else if (i < r) {
    if (gap == 1) {
      memset(target, src[0], length);
    } else {
      for (uint32_t k = 0; k < length; ++k) target[k] = src[k];
    }
  } else {
    memmove(target, src, length);  // a source ahead of the target (a long way back)
  }
}

// Where a match of `distance` bytes back from window position r starts:
// up to a whole window back reaches around the ring; further back than the
// write position plus a window is outside it (-1).
inline int32_t MatchSource(uint32_t r, uint32_t distance) {
  int32_t from = static_cast<int32_t>(r) - static_cast<int32_t>(distance);
  if (from < 0) from += kWindowSize;
  return from;
}

constexpr uint32_t kLongestMatch = 256;
constexpr uint32_t kLiteralEnd = 256;  // character symbols below this are literal bytes

uint32_t Decoder::Run(uint32_t original_size) {
  uint8_t* const window = window_;
  BitReader bits = bits_;
  uint32_t r = 0;             // write position in the window
  uint64_t out_count = 0;     // bytes decoded, whole matches counted
  uint32_t block_left = 0;    // symbols left in the current block
  while (out_count < original_size) {
    if (block_left == 0) {
      bits_ = bits;
      bits_.Refill();
      block_left = bits_.Get(16);
      if (block_left == 0) block_left = 65536;
      const uint32_t error = ReadBlockHead();
      if (error != 0) return error;
      if (TakenTooFarPastEnd(bits_)) return kCutShort;
      bits = bits_;
    }
    uint64_t room = original_size - out_count;

    // The fast loop: steps of one or two symbols, for as long as no limit
    // is near. Each step starts with at least 16 packed bytes left, so
    // both refills below load whole words inside the data (the first takes
    // at most 7 bytes); two block symbols left; and the window position
    // before fast_end, from where a literal, a match of the longest kind
    // and the match copy's 16-byte overrun all fit before the window's
    // end, and the first symbol, if a literal, still leaves room in the
    // entry for the second.
    //
    // The bit budget: RefillFast() leaves at least 56 bits. A character or
    // length code takes at most 16, a position code at most 16 and its
    // extra bits at most 15: 47, so one refill covers a whole symbol, a
    // match's distance included. After a literal (at least 40 bits left)
    // the second symbol's code is taken without a refill (at least 24
    // left); if it is a match, a second refill comes before its distance.
    uint32_t fast_end = kWindowSize - 1 - kLongestMatch - 16;
    if (r < fast_end && room - 1 < fast_end - r) fast_end = r + static_cast<uint32_t>(room - 1);
    uint8_t* to = window + r;
    uint8_t* const fast_stop = window + fast_end;
    uint8_t* const fast_first = to;
    while (to < fast_stop && block_left >= 2 && bits.BytesLeft() >= 16) {
      bits.RefillFast();
      uint32_t entry = chars_.Lookup(bits.Peek(kLongestCode));
      uint32_t c = entry & CharTable::kSymbolMask;
      if (c < kLiteralEnd) {
        bits.Skip(static_cast<int>(entry >> CharTable::kLengthShift));
        *to++ = static_cast<uint8_t>(c);
        --block_left;
        entry = chars_.Lookup(bits.Peek(kLongestCode));
        c = entry & CharTable::kSymbolMask;
        if (c < kLiteralEnd) {
          bits.Skip(static_cast<int>(entry >> CharTable::kLengthShift));
          *to++ = static_cast<uint8_t>(c);
          --block_left;
          continue;
        }
        if (c >= static_cast<uint32_t>(kCharSymbols)) return kReaderBadTable;
        bits.Skip(static_cast<int>(entry >> CharTable::kLengthShift));
        bits.RefillFast();
      } else {
        if (c >= static_cast<uint32_t>(kCharSymbols)) return kReaderBadTable;
        bits.Skip(static_cast<int>(entry >> CharTable::kLengthShift));
      }
      --block_left;
      const uint32_t length = c - kMatchBias;
      const uint32_t position = positions_.Lookup(bits.Peek(kLongestCode));
      const uint32_t p = position & PositionTable::kSymbolMask;
      if (p >= static_cast<uint32_t>(PositionTable::kAlphabet)) return kReaderBadTable;
      bits.Skip(static_cast<int>(position >> PositionTable::kLengthShift));
      const int32_t from = MatchSource(static_cast<uint32_t>(to - window),
                                       kDistanceBase[p] + bits.Get(kDistanceBits[p]));
      if (from < 0) return kReaderBadTable;
      const uint32_t i = static_cast<uint32_t>(from);
      const uint32_t at = static_cast<uint32_t>(to - window);
      if (i + length > kWindowSize) {
        // The source wraps (the target cannot, this far from the end).
        uint32_t k = i;
        for (uint32_t n = 0; n < length; ++n) {
          to[n] = window[k++];
          if (k == kWindowSize) k = 0;
        }
      } else {
        CopyMatch(window, at, i, length);
      }
      to += length;
    }
    const uint32_t fast_bytes = static_cast<uint32_t>(to - fast_first);
    r += fast_bytes;
    out_count += fast_bytes;
    if (out_count >= original_size) break;
    if (block_left == 0) continue;
    room = original_size - out_count;

    // Near a limit: literals, as many as the block, the window and the
    // entry allow before one of them needs attention, then a match.
    uint32_t limit = kWindowSize - r;
    if (block_left < limit) limit = block_left;
    if (room < limit) limit = static_cast<uint32_t>(room);
    uint8_t* const first = window + r;
    to = first;
    uint8_t* const stop = first + limit;
    int c;
    do {
      bits.Refill();
      c = chars_.Decode(bits);
      if (static_cast<unsigned>(c) >= kLiteralEnd) break;  // a match, or no code
      *to++ = static_cast<uint8_t>(c);
    } while (to != stop);
    const uint32_t literals = static_cast<uint32_t>(to - first);
    r += literals;
    out_count += literals;
    block_left -= literals;
    if (r == kWindowSize) {
      // Each full window is a moment to see whether the data has run out:
      // a block's symbols alone can go on for 65536 of them.
      if (TakenTooFarPastEnd(bits)) return kCutShort;
      r = 0;
      const uint32_t error = Flush(kWindowSize);
      if (error != 0) return error;
    }
    if (static_cast<unsigned>(c) < kLiteralEnd) continue;  // stopped at the limit
    if (c < 0) return kReaderBadTable;
    --block_left;

    const uint32_t length = static_cast<uint32_t>(c - kMatchBias);
    out_count += length;
    const int p = positions_.Decode(bits);
    if (p < 0) return kReaderBadTable;
    // Class 0 is distance 1; class p > 0 is 2^(p-1) + (p-1 more bits), plus 1.
    const int32_t from = MatchSource(r, kDistanceBase[p] + bits.Get(kDistanceBits[p]));
    if (from < 0) return kReaderBadTable;
    const uint32_t i = static_cast<uint32_t>(from);

    if (r + length > kWindowSize || i + length > kWindowSize) {
      const uint32_t error = WrappingCopy(&r, i, length);
      if (error != 0) return error;
      continue;
    }
    CopyMatch(window, r, i, length);
    r += length;
    if (r == kWindowSize) {
      if (TakenTooFarPastEnd(bits)) return kCutShort;
      r = 0;
      const uint32_t error = Flush(kWindowSize);
      if (error != 0) return error;
    }
  }
  return r > 0 ? Flush(r) : 0;
}

}  // namespace

uint8_t* DecodeWindow::TakeCleared() {
  if (!bytes_) {
    bytes_.reset(new (std::nothrow) uint8_t[kWindowSize]);
    if (!bytes_) return nullptr;
    written_ = kWindowSize;
  }
  memset(bytes_.get(), 0, written_);
  written_ = kWindowSize;
  return bytes_.get();
}

uint32_t DecodeEntry(const uint8_t* packed, uint32_t packed_size, uint32_t original_size,
                     const Crc32& crc, uint32_t* crc_register, ByteSink& out,
                     DecodeWindow* kept) {
  *crc_register = Crc32::kStart;
  DecodeWindow own;
  DecodeWindow& window = kept != nullptr ? *kept : own;
  uint8_t* const bytes = window.TakeCleared();
  if (bytes == nullptr) return kReaderNoWindow;
  // The code tables (about 14 KiB) live in this frame; the window is the
  // only allocation.
  Decoder decoder(packed, packed_size, crc, crc_register, out, bytes);
  const uint32_t error = decoder.Run(original_size);
  // A decoding that stopped early may have written anywhere in the window.
  if (error == 0) window.NoteWritten(decoder.flushed_extent());
  return error;
}

}  // namespace kest
