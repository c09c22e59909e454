// Codes the parser's tokens as stream blocks, cutting them where separate
// code tables for the parts cost fewer bits than one table for the whole:
// data whose statistics change (code, then tables, then strings inside one
// binary) packs smaller in short blocks, uniform data in long ones.
#pragma once
#include <cstdint>

#include "packaging/bit_writer.h"
#include "packaging/token_block.h"

namespace kest {

// Writes tokens [0, block.count) as one or more stream blocks. A run of
// tokens is cut in two where its parts would code best, looking at the
// parts - 1 points that divide it evenly (parts >= 2: 2 halves it), while
// the two parts, each with its own tables, cost fewer bits than the whole
// and neither is shorter than min_block tokens.
void CodeTokens(const TokenBlock& block, uint32_t min_block, uint32_t parts, BitWriter& out);

}  // namespace kest
