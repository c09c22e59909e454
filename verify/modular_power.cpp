#include "verify/modular_power.h"

namespace kest {
namespace {

// Numbers are arrays of 32-bit words, least significant word first. An
// operation on a modulus of n words keeps every residue in n words; the
// Montgomery product needs two words of headroom.
constexpr size_t kWordBits = 32;
constexpr size_t kMaxWords = kMaxModulusBits / kWordBits;

struct Residue {
  uint32_t word[kMaxWords];
};

void FromBytes(const uint8_t* bytes, size_t size, size_t words, uint32_t* out) {
  for (size_t i = 0; i < words; ++i) out[i] = 0;
  for (size_t i = 0; i < size; ++i) {
    size_t bit = 8 * (size - 1 - i);
    out[bit / kWordBits] |= uint32_t(bytes[i]) << (bit % kWordBits);
  }
}

void ToBytes(const uint32_t* in, size_t size, uint8_t* bytes) {
  for (size_t i = 0; i < size; ++i) {
    size_t bit = 8 * (size - 1 - i);
    bytes[i] = uint8_t(in[bit / kWordBits] >> (bit % kWordBits));
  }
}

// -1 / 0 / +1 comparing a and b of `words` words each.
int Compare(const uint32_t* a, const uint32_t* b, size_t words) {
  for (size_t i = words; i-- > 0;) {
    if (a[i] != b[i]) return a[i] < b[i] ? -1 : 1;
  }
  return 0;
}

// a -= b over `words` words; returns the borrow out.
uint32_t Subtract(uint32_t* a, const uint32_t* b, size_t words) {
  uint64_t borrow = 0;
  for (size_t i = 0; i < words; ++i) {
    uint64_t d = uint64_t(a[i]) - b[i] - borrow;
    a[i] = uint32_t(d);
    borrow = (d >> 32) & 1;
  }
  return uint32_t(borrow);
}

class MontgomeryModulus {
 public:
  // n must be odd; words its length in words (top word non-zero).
  MontgomeryModulus(const uint32_t* n, size_t words) : words_(words) {
    for (size_t i = 0; i < words; ++i) n_[i] = n[i];
    // Newton's iteration doubles the correct low bits of 1/n[0] each step:
    // n[0] is its own inverse modulo 8 (3 bits), five steps reach 48 > 32.
    uint32_t inverse = n[0];
    for (int i = 0; i < 5; ++i) inverse *= 2 - n[0] * inverse;
    n0_inverse_negated_ = 0u - inverse;
    ComputeRSquared();
  }

  // out = a * b / R mod n, R = 2^(32 * words). Needs a, b < n; out may alias.
  void Multiply(const uint32_t* a, const uint32_t* b, uint32_t* out) const {
    // Invariant at the end of each outer step: t < 2n, held in words_ + 1
    // words (t[words_ + 1] is the transient carry of the a * b[i] addition).
    uint32_t t[kMaxWords + 2] = {};
    for (size_t i = 0; i < words_; ++i) {
      uint64_t carry = 0;
      for (size_t j = 0; j < words_; ++j) {
        uint64_t s = uint64_t(t[j]) + uint64_t(a[j]) * b[i] + carry;
        t[j] = uint32_t(s);
        carry = s >> 32;
      }
      uint64_t s = uint64_t(t[words_]) + carry;
      t[words_] = uint32_t(s);
      t[words_ + 1] = uint32_t(s >> 32);

      // Add m * n so that the low word becomes 0, then shift one word down.
      uint32_t m = t[0] * n0_inverse_negated_;
      carry = (uint64_t(t[0]) + uint64_t(m) * n_[0]) >> 32;
      for (size_t j = 1; j < words_; ++j) {
        s = uint64_t(t[j]) + uint64_t(m) * n_[j] + carry;
        t[j - 1] = uint32_t(s);
        carry = s >> 32;
      }
      s = uint64_t(t[words_]) + carry;
      t[words_ - 1] = uint32_t(s);
      t[words_] = t[words_ + 1] + uint32_t(s >> 32);
    }
    // t < 2n: one subtraction brings it below n; when t[words_] is set the
    // borrow out of the low words cancels it.
    if (t[words_] != 0 || Compare(t, n_, words_) >= 0) Subtract(t, n_, words_);
    for (size_t i = 0; i < words_; ++i) out[i] = t[i];
  }

  // out = base^exponent mod n, base < n; exponent big-endian bytes.
  void Power(const uint32_t* base, const uint8_t* exponent, size_t exponent_bytes,
             uint32_t* out) const {
    Residue base_m, acc, one = {};
    one.word[0] = 1;
    Multiply(base, r_squared_, base_m.word);   // base * R mod n
    Multiply(one.word, r_squared_, acc.word);  // R mod n, i.e. 1
    for (size_t i = 0; i < exponent_bytes; ++i) {
      for (int bit = 7; bit >= 0; --bit) {
        Multiply(acc.word, acc.word, acc.word);
        if ((exponent[i] >> bit) & 1) Multiply(acc.word, base_m.word, acc.word);
      }
    }
    Multiply(acc.word, one.word, out);  // leave Montgomery form
  }

 private:
  // R^2 mod n by doubling 1 a total of 2 * 32 * words times, reducing each
  // time: r < n before a doubling, so 2r < 2n needs one extra bit, kept in
  // `top`.
  void ComputeRSquared() {
    uint32_t r[kMaxWords] = {};
    r[0] = 1;
    for (size_t step = 0; step < 2 * kWordBits * words_; ++step) {
      uint32_t top = r[words_ - 1] >> 31;
      for (size_t i = words_ - 1; i > 0; --i) r[i] = (r[i] << 1) | (r[i - 1] >> 31);
      r[0] <<= 1;
      if (top != 0 || Compare(r, n_, words_) >= 0) Subtract(r, n_, words_);
    }
    for (size_t i = 0; i < words_; ++i) r_squared_[i] = r[i];
  }

  size_t words_;
  uint32_t n_[kMaxWords];
  uint32_t r_squared_[kMaxWords];
  uint32_t n0_inverse_negated_;
};

}  // namespace

bool ModularPower(const uint8_t* base, const uint8_t* exponent, size_t exponent_bytes,
                  const uint8_t* modulus, size_t modulus_bytes, uint8_t* out) {
  if (modulus_bytes == 0 || modulus_bytes > kMaxModulusBytes) return false;
  if (modulus[0] == 0 || (modulus[modulus_bytes - 1] & 1) == 0) return false;
  size_t words = (modulus_bytes * 8 + kWordBits - 1) / kWordBits;
  Residue n, b, result;
  FromBytes(modulus, modulus_bytes, words, n.word);
  FromBytes(base, modulus_bytes, words, b.word);
  if (Compare(b.word, n.word, words) >= 0) return false;
  MontgomeryModulus m(n.word, words);
  m.Power(b.word, exponent, exponent_bytes, result.word);
  ToBytes(result.word, modulus_bytes, out);
  return true;
}

}  // namespace kest
