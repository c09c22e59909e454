// Compiled for the SHA instructions with SSSE3 and SSE 4.1 (see the header).
#include "verify/sha256_instructions.h"

#if defined(__i386__) || defined(__x86_64__)
#include <immintrin.h>

#include "verify/md5_block.h"

namespace kest {
namespace {

// 32-bit Windows keeps the stack 4-byte aligned; spilled vector registers
// need 16, so the entry points align it themselves.
#if defined(__i386__)
#define KEST_ALIGNS_STACK __attribute__((force_align_arg_pointer))
#else
#define KEST_ALIGNS_STACK
#endif

// The SHA-256 state as the instructions want it, ABEF in one register and
// CDGH in the other, and one block's rounds in sixteen quarters of four.
class ShaRounds {
 public:
  explicit ShaRounds(const uint32_t (&state)[8]) {
    const __m128i dcba = _mm_loadu_si128(reinterpret_cast<const __m128i*>(&state[0]));
    const __m128i hgfe = _mm_loadu_si128(reinterpret_cast<const __m128i*>(&state[4]));
    const __m128i cdab = _mm_shuffle_epi32(dcba, 0xB1);
    const __m128i efgh = _mm_shuffle_epi32(hgfe, 0x1B);
    abef_ = _mm_alignr_epi8(cdab, efgh, 8);
    cdgh_ = _mm_blend_epi16(efgh, cdab, 0xF0);
  }

  void Store(uint32_t (&state)[8]) const {
    const __m128i feba = _mm_shuffle_epi32(abef_, 0x1B);
    const __m128i dchg = _mm_shuffle_epi32(cdgh_, 0xB1);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(&state[0]), _mm_blend_epi16(feba, dchg, 0xF0));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(&state[4]), _mm_alignr_epi8(dchg, feba, 8));
  }

  __attribute__((always_inline)) void Begin(const uint8_t* block) {
    block_ = block;
    abef_before_ = abef_;
    cdgh_before_ = cdgh_;
  }

  // Rounds 4q .. 4q + 3; q runs from 0 to 15 in order.
  __attribute__((always_inline)) void operator()(int q) {
    if (q < 4) {
      const __m128i big_endian = _mm_set_epi64x(0x0c0d0e0f08090a0bll, 0x0405060700010203ll);
      w_[q] = _mm_shuffle_epi8(
          _mm_loadu_si128(reinterpret_cast<const __m128i*>(block_ + 16 * q)), big_endian);
    } else {
      // w[i] = w[i-16] + s0(w[i-15]) + w[i-7] + s1(w[i-2]), four at once;
      // w_[q % 4] holds words 4q .. 4q + 3 while quarter q runs.
      __m128i next = _mm_sha256msg1_epu32(w_[q % 4], w_[(q + 1) % 4]);
      next = _mm_add_epi32(next, _mm_alignr_epi8(w_[(q + 3) % 4], w_[(q + 2) % 4], 4));
      w_[q % 4] = _mm_sha256msg2_epu32(next, w_[(q + 3) % 4]);
    }
    const __m128i k_plus_w = _mm_add_epi32(
        w_[q % 4], _mm_loadu_si128(reinterpret_cast<const __m128i*>(kSha256Round + 4 * q)));
    cdgh_ = _mm_sha256rnds2_epu32(cdgh_, abef_, k_plus_w);
    abef_ = _mm_sha256rnds2_epu32(abef_, cdgh_, _mm_shuffle_epi32(k_plus_w, 0x0E));
  }

  __attribute__((always_inline)) void End() {
    abef_ = _mm_add_epi32(abef_, abef_before_);
    cdgh_ = _mm_add_epi32(cdgh_, cdgh_before_);
  }

 private:
  __m128i abef_, cdgh_, abef_before_, cdgh_before_;
  __m128i w_[4];
  const uint8_t* block_ = nullptr;
};

}  // namespace

KEST_ALIGNS_STACK void Sha256InstructionBlocks(uint32_t (&state)[8], const uint8_t* blocks,
                                               size_t count) {
  ShaRounds rounds(state);
  for (; count != 0; --count, blocks += 64) {
    rounds.Begin(blocks);
#pragma GCC unroll 16
    for (int q = 0; q < 16; ++q) rounds(q);
    rounds.End();
  }
  rounds.Store(state);
}

KEST_ALIGNS_STACK void Md5AndSha256InstructionBlocks(uint32_t (&md5)[4], uint32_t (&sha256)[8],
                                                     const uint8_t* blocks, size_t count) {
  ShaRounds rounds(sha256);
  for (; count != 0; --count, blocks += 64) {
    rounds.Begin(blocks);
    Md5Block(md5, blocks, rounds);
    rounds.End();
  }
  rounds.Store(sha256);
}

}  // namespace kest

#endif
