// The MD5 block function, shared by Md5 and by the engine that runs MD5 and
// SHA-256 over the same blocks at once (sha256_instructions.cpp): after every
// fourth step, between(q) runs, q = 0 .. 15, so that other work can fill the
// processor while the steps wait on each other.
//
// Everything here has internal linkage, each file that includes it gets its
// own copy: the engine's file is compiled for vector instructions, and no
// function compiled there may stand in for one compiled elsewhere.
#pragma once
#include <cstdint>

namespace kest {
namespace {

// Per-step left rotations, four per round.
constexpr uint8_t kShift[4][4] = {
    {7, 12, 17, 22}, {5, 9, 14, 20}, {4, 11, 16, 23}, {6, 10, 15, 21}};

// kSine[i] = floor(abs(sin(i + 1)) * 2^32).
constexpr uint32_t kSine[64] = {
    0xd76aa478, 0xe8c7b756, 0x242070db, 0xc1bdceee, 0xf57c0faf, 0x4787c62a,
    0xa8304613, 0xfd469501, 0x698098d8, 0x8b44f7af, 0xffff5bb1, 0x895cd7be,
    0x6b901122, 0xfd987193, 0xa679438e, 0x49b40821, 0xf61e2562, 0xc040b340,
    0x265e5a51, 0xe9b6c7aa, 0xd62f105d, 0x02441453, 0xd8a1e681, 0xe7d3fbc8,
    0x21e1cde6, 0xc33707d6, 0xf4d50d87, 0x455a14ed, 0xa9e3e905, 0xfcefa3f8,
    0x676f02d9, 0x8d2a4c8a, 0xfffa3942, 0x8771f681, 0x6d9d6122, 0xfde5380c,
    0xa4beea44, 0x4bdecfa9, 0xf6bb4b60, 0xbebfbc70, 0x289b7ec6, 0xeaa127fa,
    0xd4ef3085, 0x04881d05, 0xd9d4d039, 0xe6db99e5, 0x1fa27cf8, 0xc4ac5665,
    0xf4292244, 0x432aff97, 0xab9423a7, 0xfc93a039, 0x655b59c3, 0x8f0ccc92,
    0xffeff47d, 0x85845dd1, 0x6fa87e4f, 0xfe2ce6e0, 0xa3014314, 0x4e0811a1,
    0xf7537e82, 0xbd3af235, 0x2ad7d2bb, 0xeb86d391};

inline uint32_t RotateLeft(uint32_t x, unsigned n) { return (x << n) | (x >> (32 - n)); }

// The round functions, as defined:
//   F = (x & y) | (~x & z)    G = (x & z) | (y & ~z)    H = x ^ y ^ z    I = y ^ (x | ~z)
// written so that x, the result of the step just before, enters as late
// as possible: the rest is worked out while that step still runs. In G the
// two terms share no bit, so adding them is the same as OR-ing them.
inline uint32_t F(uint32_t x, uint32_t y, uint32_t z) { return z ^ (x & (y ^ z)); }
inline uint32_t G(uint32_t x, uint32_t y, uint32_t z) { return (x & z) + (y & ~z); }
inline uint32_t H(uint32_t x, uint32_t y, uint32_t z) { return x ^ (y ^ z); }
inline uint32_t I(uint32_t x, uint32_t y, uint32_t z) { return y ^ (x | ~z); }

// Step i of the 64, with the round function of its round. Written out one
// call per step (no loop) and always inlined, also where the installer is
// built for size, so that every index, constant and rotation is fixed where
// it is compiled and the four variables stay in registers: the hash of the
// whole package is the longest part of every run's signature check.
// Likewise a, word and the constant are summed before the round function.
template <uint32_t (*Round)(uint32_t, uint32_t, uint32_t)>
__attribute__((always_inline)) inline void Step(uint32_t& a, uint32_t b, uint32_t c, uint32_t d,
                                                uint32_t word, int i) {
  a = b + RotateLeft(a + word + kSine[i] + Round(b, c, d), kShift[i / 16][i % 4]);
}

// The 64 steps on one 64-byte block, written out one call per step.
template <class Between>
__attribute__((always_inline)) inline void Md5Block(uint32_t (&state)[4], const uint8_t* block,
                                                   Between& between) {
  uint32_t m[16];
  for (int i = 0; i < 16; ++i) {
    m[i] = uint32_t(block[4 * i]) | uint32_t(block[4 * i + 1]) << 8 |
           uint32_t(block[4 * i + 2]) << 16 | uint32_t(block[4 * i + 3]) << 24;
  }
  uint32_t a = state[0], b = state[1], c = state[2], d = state[3];
  // Round 1: F, words in order.
  Step<F>(a, b, c, d, m[0], 0); Step<F>(d, a, b, c, m[1], 1);
  Step<F>(c, d, a, b, m[2], 2); Step<F>(b, c, d, a, m[3], 3);
  between(0);
  Step<F>(a, b, c, d, m[4], 4); Step<F>(d, a, b, c, m[5], 5);
  Step<F>(c, d, a, b, m[6], 6); Step<F>(b, c, d, a, m[7], 7);
  between(1);
  Step<F>(a, b, c, d, m[8], 8); Step<F>(d, a, b, c, m[9], 9);
  Step<F>(c, d, a, b, m[10], 10); Step<F>(b, c, d, a, m[11], 11);
  between(2);
  Step<F>(a, b, c, d, m[12], 12); Step<F>(d, a, b, c, m[13], 13);
  Step<F>(c, d, a, b, m[14], 14); Step<F>(b, c, d, a, m[15], 15);
  between(3);
  // Round 2: G, words 1 + 5i.
  Step<G>(a, b, c, d, m[1], 16); Step<G>(d, a, b, c, m[6], 17);
  Step<G>(c, d, a, b, m[11], 18); Step<G>(b, c, d, a, m[0], 19);
  between(4);
  Step<G>(a, b, c, d, m[5], 20); Step<G>(d, a, b, c, m[10], 21);
  Step<G>(c, d, a, b, m[15], 22); Step<G>(b, c, d, a, m[4], 23);
  between(5);
  Step<G>(a, b, c, d, m[9], 24); Step<G>(d, a, b, c, m[14], 25);
  Step<G>(c, d, a, b, m[3], 26); Step<G>(b, c, d, a, m[8], 27);
  between(6);
  Step<G>(a, b, c, d, m[13], 28); Step<G>(d, a, b, c, m[2], 29);
  Step<G>(c, d, a, b, m[7], 30); Step<G>(b, c, d, a, m[12], 31);
  between(7);
  // Round 3: H, words 5 + 3i.
  Step<H>(a, b, c, d, m[5], 32); Step<H>(d, a, b, c, m[8], 33);
  Step<H>(c, d, a, b, m[11], 34); Step<H>(b, c, d, a, m[14], 35);
  between(8);
  Step<H>(a, b, c, d, m[1], 36); Step<H>(d, a, b, c, m[4], 37);
  Step<H>(c, d, a, b, m[7], 38); Step<H>(b, c, d, a, m[10], 39);
  between(9);
  Step<H>(a, b, c, d, m[13], 40); Step<H>(d, a, b, c, m[0], 41);
  Step<H>(c, d, a, b, m[3], 42); Step<H>(b, c, d, a, m[6], 43);
  between(10);
  Step<H>(a, b, c, d, m[9], 44); Step<H>(d, a, b, c, m[12], 45);
  Step<H>(c, d, a, b, m[15], 46); Step<H>(b, c, d, a, m[2], 47);
  between(11);
  // Round 4: I, words 7i.
  Step<I>(a, b, c, d, m[0], 48); Step<I>(d, a, b, c, m[7], 49);
  Step<I>(c, d, a, b, m[14], 50); Step<I>(b, c, d, a, m[5], 51);
  between(12);
  Step<I>(a, b, c, d, m[12], 52); Step<I>(d, a, b, c, m[3], 53);
  Step<I>(c, d, a, b, m[10], 54); Step<I>(b, c, d, a, m[1], 55);
  between(13);
  Step<I>(a, b, c, d, m[8], 56); Step<I>(d, a, b, c, m[15], 57);
  Step<I>(c, d, a, b, m[6], 58); Step<I>(b, c, d, a, m[13], 59);
  between(14);
  Step<I>(a, b, c, d, m[4], 60); Step<I>(d, a, b, c, m[11], 61);
  Step<I>(c, d, a, b, m[2], 62); Step<I>(b, c, d, a, m[9], 63);
  between(15);
  state[0] += a;
  state[1] += b;
  state[2] += c;
  state[3] += d;
}

// Nothing between the steps.
struct NoWork {
  __attribute__((always_inline)) void operator()(int) const {}
};

}  // namespace
}  // namespace kest
