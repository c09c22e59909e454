// Codes a run of tokens as one block of the bit stream: the block header
// with its three code tables, then every symbol.
//
// Block layout, in stream order:
//   16 bits   symbol count (1..65535)
//   pre-tree  lengths (19 symbols) that code the character lengths
//   char      character/length code lengths (510 symbols) via the pre-tree
//   position  position class code lengths (17 symbols)
//   symbols   per token: its character/length code; for a match, then the
//             position class code and the class's extra bits
// A table whose alphabet has one symbol (or none) in the block is written
// as a zero count followed by that symbol; its code then takes no bits.
#pragma once
#include <cstdint>

#include "packaging/bit_writer.h"
#include "packaging/token_block.h"

namespace kest {

// Writes tokens [begin, end) of block as one stream block; counts must be
// their symbol counts, and 1 <= end - begin <= kMaxBlockSymbols.
void CodeBlock(const TokenBlock& block, uint32_t begin, uint32_t end, const SymbolCounts& counts,
               BitWriter& out);

// The number of bits CodeBlock would write for symbol_count tokens with
// these counts.
uint64_t CodedBlockBits(const SymbolCounts& counts, uint32_t symbol_count);

}  // namespace kest
