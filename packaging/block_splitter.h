// Codes the parser's tokens as stream blocks, cutting them where separate
// code tables for the parts cost fewer bits than one table for the whole:
// data whose statistics change (code, then tables, then strings inside one
// binary) packs smaller in short blocks, uniform data in long ones.
#pragma once
#include <cstdint>

#include "packaging/bit_writer.h"
#include "packaging/token_block.h"

namespace kest {

// Writes tokens [0, block.count) as one or more stream blocks.
void CodeTokens(const TokenBlock& block, uint32_t min_block, BitWriter& out);

}  // namespace kest
