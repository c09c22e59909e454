// The entry decoder: turns the packed bytes of an entry compressed with
// ARJ method 1, 2 or 3 into its original bytes.
//
// The packed data is a sequence of blocks. A block starts with its symbol
// count (16 bits; 0 means 65536) and three code-length lists: the pre-tree
// (19 symbols) that codes the character/length lengths, the
// character/length code (510 symbols: 0-255 literal bytes, 256-509 match
// lengths 3-256) and the position code (17 distance classes). A match
// copies `length` bytes from `distance` bytes back in a 26624-byte window
// that is both the history and the output buffer.
//
// Output goes to the sink in chunks of exactly kWindowSize bytes, then the
// final partial chunk; each chunk is fed to the CRC register before it is
// written. Every decoded byte is written: a last match that runs past the
// original size writes the extra bytes too (the CRC then fails).
#pragma once
#include <cstdint>
#include <memory>

#include "archive/crc32.h"
#include "base/byte_io.h"

namespace kest {

constexpr uint32_t kWindowSize = 26624;

// Decodes packed[0..packed_size) until original_size bytes are out. Packed
// data that ends early reads as zero bits, for a few bytes only: decoding
// that goes on past them stops at the next block or full window, so a
// forged original size cannot make it write on and on.
// *crc_register starts at Crc32::kStart and holds the register over
// everything written, also after a failure. Returns 0 when the whole entry
// was decoded and written (which says nothing of its CRC), or:
//   kReaderBadTable   a corrupt block: a length count above its alphabet, a
//                     run of zero lengths past the end, a code length above
//                     16, lengths that do not fill the code space, a
//                     symbol from an empty code, a distance reaching back
//                     before the window (decoding stops at once)
//   kReaderBadCrc     more than a few bytes taken past the packed data: the
//                     data is cut short, and decoding zero bits to the end
//                     would only have failed the CRC
//   kReaderNoWindow   the window could not be allocated (nothing written)
//   kCodeDiskFull     a write failed with system error 39 or 112
//   kCodeWriteFailed  a write failed otherwise
// The window is cleared before use, so corrupt data decodes the same way
// every time.
//
// With `kept`, the window is that one, allocated by its first use and
// kept for the next entries: a pack of many small entries then neither
// allocates a window per entry nor clears all of it each time, only the
// bytes the entry before may have written. Without it, a window of its
// own is allocated for the call.
class DecodeWindow;
uint32_t DecodeEntry(const uint8_t* packed, uint32_t packed_size, uint32_t original_size,
                     const Crc32& crc, uint32_t* crc_register, ByteSink& out,
                     DecodeWindow* kept = nullptr);

class DecodeWindow {
 public:
  DecodeWindow() = default;
  DecodeWindow(const DecodeWindow&) = delete;
  DecodeWindow& operator=(const DecodeWindow&) = delete;

  // The window, every byte zero; nullptr when it cannot be allocated.
  // Until NoteWritten says less, all of it counts as written.
  uint8_t* TakeCleared();
  // The decoding that took the window wrote at most its first `bytes`.
  void NoteWritten(uint32_t bytes) { written_ = bytes; }

 private:
  std::unique_ptr<uint8_t[]> bytes_;
  uint32_t written_ = 0;  // from the start, the bytes that may not be zero
};

}  // namespace kest
