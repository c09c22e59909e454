// Static Huffman codes for the packed stream: code lengths from symbol
// frequencies, limited to a longest code, and the canonical code values the
// decoder rebuilds from those lengths.
//
// Canonical order, as the decoder's table builder assigns it: codes of
// length 1 come first, then length 2, and so on; within one length, symbols
// in ascending order take consecutive code values.
#pragma once
#include <cstdint>

namespace kest {

// The longest code the decoder accepts.
constexpr uint32_t kMaxCodeBits = 16;
// The largest alphabet coded here (characters and match lengths).
constexpr uint32_t kMaxAlphabet = 510;

// Fills lengths[0..count) with optimal prefix-code lengths for freq, no
// longer than max_bits (1..16), 0 for symbols whose frequency is 0. Needs
// count <= kMaxAlphabet, 2^max_bits >= the number of used symbols, and the
// sum of the frequencies below 2^32.
//
// Returns the number of symbols used (frequency above 0). When it is 0 or 1
// every length is 0: such an alphabet has no code and the stream names its
// single symbol instead. With two or more the lengths fill the code space
// exactly (the sum of 2^-length is 1), which the decoder requires.
uint32_t BuildCodeLengths(const uint32_t* freq, uint32_t count, uint32_t max_bits,
                          uint8_t* lengths);

// Fills codes[s] with the canonical code of every symbol s whose length is
// above 0 (right-aligned: the code is the low lengths[s] bits). The lengths
// must fill the code space exactly and be at most 16.
void AssignCodes(const uint8_t* lengths, uint32_t count, uint16_t* codes);

}  // namespace kest
