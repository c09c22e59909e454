// SHA-256 on the x86 processor's SHA instructions, alone or together with
// MD5 over the same blocks. Call these only where
// Sha256::ProcessorShaUsable() is true: elsewhere they stop the program
// with an invalid instruction. Their file is the only one compiled for
// those instructions, so nothing else can come to use them by chance.
#pragma once
#include <cstddef>
#include <cstdint>

namespace kest {

// The 64 round constants, shared by both SHA-256 engines.
extern const uint32_t kSha256Round[64];

// Runs count 64-byte blocks into the SHA-256 state.
void Sha256InstructionBlocks(uint32_t (&state)[8], const uint8_t* blocks, size_t count);

// Runs count 64-byte blocks into an MD5 state and a SHA-256 state at once.
// MD5's steps each wait on the one before, and leave most of the processor
// idle; the SHA rounds, woven in between them, fill it. Over a package the
// pair then costs little more than MD5 alone.
void Md5AndSha256InstructionBlocks(uint32_t (&md5)[4], uint32_t (&sha256)[8],
                                   const uint8_t* blocks, size_t count);

}  // namespace kest
