#include "verify/sha256.h"

#include <cstring>

#include "verify/md5.h"
#include "verify/sha256_instructions.h"

#if defined(__i386__) || defined(__x86_64__)
#include <cpuid.h>
#define KEST_SHA_INSTRUCTIONS 1
#endif

namespace kest {

// The first 32 bits of the fractional parts of the cube roots of the first
// 64 primes.
extern const uint32_t kSha256Round[64] = {
    0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4,
    0xab1c5ed5, 0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe,
    0x9bdc06a7, 0xc19bf174, 0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f,
    0x4a7484aa, 0x5cb0a9dc, 0x76f988da, 0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7,
    0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967, 0x27b70a85, 0x2e1b2138, 0x4d2c6dfc,
    0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85, 0xa2bfe8a1, 0xa81a664b,
    0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070, 0x19a4c116,
    0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
    0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7,
    0xc67178f2};

namespace {

inline uint32_t RotateRight(uint32_t x, unsigned n) { return (x >> n) | (x << (32 - n)); }

// Round i (any of the 64) on the eight working variables, named by their
// place in this round so that no variable is moved: the caller rotates the
// names instead. Always inlined, also where the installer is built for
// size, so that the variables stay in registers; the digest of the whole
// package is read through here.
__attribute__((always_inline)) inline void Round(uint32_t a, uint32_t b, uint32_t c,
                                                 uint32_t& d, uint32_t e, uint32_t f,
                                                 uint32_t g, uint32_t& h, uint32_t k_plus_w) {
  uint32_t t1 = h + (RotateRight(e, 6) ^ RotateRight(e, 11) ^ RotateRight(e, 25)) +
                (g ^ (e & (f ^ g))) + k_plus_w;
  uint32_t t2 = (RotateRight(a, 2) ^ RotateRight(a, 13) ^ RotateRight(a, 22)) +
                ((a & b) | (c & (a | b)));
  d += t1;
  h = t1 + t2;
}

// One block through the portable rounds.
void PortableBlock(uint32_t (&state)[8], const uint8_t* block) {
  uint32_t w[64];
  for (int i = 0; i < 16; ++i) {
    w[i] = uint32_t(block[4 * i]) << 24 | uint32_t(block[4 * i + 1]) << 16 |
           uint32_t(block[4 * i + 2]) << 8 | uint32_t(block[4 * i + 3]);
  }
  for (int i = 16; i < 64; ++i) {
    uint32_t s0 = RotateRight(w[i - 15], 7) ^ RotateRight(w[i - 15], 18) ^ (w[i - 15] >> 3);
    uint32_t s1 = RotateRight(w[i - 2], 17) ^ RotateRight(w[i - 2], 19) ^ (w[i - 2] >> 10);
    w[i] = w[i - 16] + s0 + w[i - 7] + s1;
  }
  uint32_t a = state[0], b = state[1], c = state[2], d = state[3];
  uint32_t e = state[4], f = state[5], g = state[6], h = state[7];
  // Eight rounds per pass, the names rotating by one each round.
  for (int i = 0; i < 64; i += 8) {
    Round(a, b, c, d, e, f, g, h, kSha256Round[i] + w[i]);
    Round(h, a, b, c, d, e, f, g, kSha256Round[i + 1] + w[i + 1]);
    Round(g, h, a, b, c, d, e, f, kSha256Round[i + 2] + w[i + 2]);
    Round(f, g, h, a, b, c, d, e, kSha256Round[i + 3] + w[i + 3]);
    Round(e, f, g, h, a, b, c, d, kSha256Round[i + 4] + w[i + 4]);
    Round(d, e, f, g, h, a, b, c, kSha256Round[i + 5] + w[i + 5]);
    Round(c, d, e, f, g, h, a, b, kSha256Round[i + 6] + w[i + 6]);
    Round(b, c, d, e, f, g, h, a, kSha256Round[i + 7] + w[i + 7]);
  }
  state[0] += a;
  state[1] += b;
  state[2] += c;
  state[3] += d;
  state[4] += e;
  state[5] += f;
  state[6] += g;
  state[7] += h;
}

#if KEST_SHA_INSTRUCTIONS
bool AskProcessor() {
  unsigned a, b, c, d;
  // Also false on a processor without CPUID (a 386, an early 486): the
  // question is asked only where the identification flag can be toggled.
  if (__get_cpuid_max(0, nullptr) < 7) return false;
  __cpuid(1, a, b, c, d);
  if ((c & bit_SSSE3) == 0 || (c & bit_SSE4_1) == 0 || (c & bit_OSXSAVE) == 0) return false;
  // The system saves the SSE registers in a task switch (XCR0 bit 1). A
  // system that saves them without XSAVE (Windows 98 to XP) cannot be told
  // from one that does not save them at all here, and takes the portable
  // rounds.
  unsigned low, high;
  __asm__ volatile("xgetbv" : "=a"(low), "=d"(high) : "c"(0));
  if ((low & 2) == 0) return false;
  __cpuid_count(7, 0, a, b, c, d);
  return (b & bit_SHA) != 0;
}

#endif

}  // namespace

void Sha256::Reset() {
  static const uint32_t kInitial[8] = {0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a,
                                       0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19};
  memcpy(state_, kInitial, sizeof state_);
  length_ = 0;
}

bool Sha256::ProcessorShaUsable() {
#if KEST_SHA_INSTRUCTIONS
  static int usable = -1;  // not asked yet
  if (usable < 0) usable = AskProcessor() ? 1 : 0;
  return usable == 1;
#else
  return false;
#endif
}

void Sha256::Transform(const uint8_t* blocks, size_t count) {
#if KEST_SHA_INSTRUCTIONS
  if (use_processor_) {
    Sha256InstructionBlocks(state_, blocks, count);
    return;
  }
#endif
  for (; count != 0; --count, blocks += kSha256BlockBytes) PortableBlock(state_, blocks);
}

void Sha256::Update(const void* data, size_t size) {
  const uint8_t* in = static_cast<const uint8_t*>(data);
  size_t held = size_t(length_ % kSha256BlockBytes);
  length_ += size;
  if (held != 0) {
    size_t take = kSha256BlockBytes - held;
    if (take > size) take = size;
    memcpy(buffer_ + held, in, take);
    in += take;
    size -= take;
    if (held + take < kSha256BlockBytes) return;
    Transform(buffer_, 1);
  }
  const size_t whole = size / kSha256BlockBytes;
  if (whole != 0) Transform(in, whole);
  in += whole * kSha256BlockBytes;
  size -= whole * kSha256BlockBytes;
  if (size != 0) memcpy(buffer_, in, size);
}

void Sha256::Final(uint8_t (&digest)[kSha256DigestBytes]) {
  // Padding: 0x80, zeros up to 56 bytes into a block, then the message
  // length in bits as a 64-bit big-endian number.
  uint64_t bits = length_ * 8;
  static const uint8_t kPad[kSha256BlockBytes] = {0x80};
  size_t held = size_t(length_ % kSha256BlockBytes);
  Update(kPad, held < 56 ? 56 - held : 120 - held);
  uint8_t tail[8];
  for (int i = 0; i < 8; ++i) tail[i] = uint8_t(bits >> (56 - 8 * i));
  Update(tail, sizeof tail);
  for (int i = 0; i < 8; ++i) {
    for (int j = 0; j < 4; ++j) digest[4 * i + j] = uint8_t(state_[i] >> (24 - 8 * j));
  }
  Reset();
}

void UpdateMd5AndSha256(Md5& md5, Sha256& sha256, const void* data, size_t size) {
  const uint8_t* in = static_cast<const uint8_t*>(data);
#if KEST_SHA_INSTRUCTIONS
  // Whole blocks go through both at once while neither holds a part block:
  // the signature check reads in whole blocks, so only its last read has a
  // tail.
  if (sha256.use_processor_ && md5.length_ % kMd5BlockBytes == 0 &&
      sha256.length_ % kSha256BlockBytes == 0) {
    const size_t whole = size / kSha256BlockBytes;
    if (whole != 0) {
      Md5AndSha256InstructionBlocks(md5.state_, sha256.state_, in, whole);
      md5.length_ += whole * kSha256BlockBytes;
      sha256.length_ += whole * kSha256BlockBytes;
      in += whole * kSha256BlockBytes;
      size -= whole * kSha256BlockBytes;
    }
  }
#endif
  md5.Update(in, size);
  sha256.Update(in, size);
}

}  // namespace kest
