// A quick look at whether an entry's bytes can pack at all, taken before
// the match search: data that will not pack (already packed files, random
// bytes) is then stored at once instead of after a full search.
//
// The bytes may pack when either holds:
//   - some window of kProbeChunk bytes codes smaller as literals under its
//     own Huffman code (its byte statistics are uneven), or
//   - repeats of kProbeMatch bytes or more, within the decoder's window,
//     cover more than a small part of the input.
// Both thresholds are set so that what fails them would not pack below its
// size by more than a fraction of a per cent.
#pragma once
#include <cstdint>

namespace kest {

constexpr uint32_t kProbeChunk = 32768;
constexpr uint32_t kProbeMatch = 6;
constexpr uint32_t kProbeTableBits = 14;

// True when data[0..size) will not pack. table is scratch of
// 1 << kProbeTableBits entries. Inputs shorter than kProbeChunk are never
// judged (false): searching them costs little.
bool LooksIncompressible(const uint8_t* data, uint32_t size, uint32_t* table);

}  // namespace kest
