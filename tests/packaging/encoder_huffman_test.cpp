// Code lengths and canonical codes of the encoder's Huffman tables.
#include <gtest/gtest.h>

#include <algorithm>
#include <queue>
#include <vector>

#include "packaging/huffman_code.h"

namespace kest {
namespace {

// Total coded bits of an unrestricted Huffman code, by the textbook
// two-queue merge: an independent measure of optimality.
uint64_t OptimalCost(const std::vector<uint32_t>& freq) {
  std::priority_queue<uint64_t, std::vector<uint64_t>, std::greater<uint64_t>> heap;
  for (uint32_t f : freq) {
    if (f != 0) heap.push(f);
  }
  uint64_t cost = 0;
  while (heap.size() > 1) {
    uint64_t a = heap.top();
    heap.pop();
    uint64_t b = heap.top();
    heap.pop();
    cost += a + b;
    heap.push(a + b);
  }
  return cost;
}

std::vector<uint32_t> Fibonacci(uint32_t count) {
  std::vector<uint32_t> f(count, 1);
  for (uint32_t i = 2; i < count; ++i) f[i] = f[i - 1] + f[i - 2];
  return f;
}

struct LengthCase {
  const char* name;
  std::vector<uint32_t> freq;
  uint32_t max_bits;
  bool limited;  // the unrestricted optimum is deeper than max_bits
};

std::vector<LengthCase> LengthCases() {
  std::vector<LengthCase> cases;
  cases.push_back({"two symbols", {0, 5, 0, 1}, 16, false});
  cases.push_back({"equal 510", std::vector<uint32_t>(510, 7), 16, false});
  cases.push_back({"fibonacci 24 within 16", Fibonacci(24), 16, true});
  cases.push_back({"fibonacci 40 within 16", Fibonacci(40), 16, true});
  std::vector<uint32_t> wide = Fibonacci(30);
  wide.resize(510, 1);  // many rare symbols fill the deepest level
  cases.push_back({"fibonacci head, 480 rare tail", wide, 16, true});
  cases.push_back({"pre-tree sized, within 7", Fibonacci(19), 7, true});
  std::vector<uint32_t> sparse(510, 0);
  for (uint32_t s = 0; s < 510; s += 37) sparse[s] = 1 + s * s;
  cases.push_back({"sparse", sparse, 16, false});
  return cases;
}

TEST(HuffmanLengthsTest, FillCodeSpaceWithinLimitAndStayOptimalWhenNotLimited) {
  for (const LengthCase& c : LengthCases()) {
    SCOPED_TRACE(c.name);
    std::vector<uint8_t> lengths(c.freq.size(), 99);
    uint32_t used = BuildCodeLengths(c.freq.data(), static_cast<uint32_t>(c.freq.size()),
                                     c.max_bits, lengths.data());
    uint64_t kraft = 0;  // in units of 2^-max_bits
    uint64_t cost = 0;
    uint32_t longest = 0;
    for (size_t s = 0; s < c.freq.size(); ++s) {
      EXPECT_EQ(c.freq[s] == 0, lengths[s] == 0) << "symbol " << s;
      if (lengths[s] == 0) continue;
      ASSERT_LE(lengths[s], c.max_bits);
      kraft += uint64_t{1} << (c.max_bits - lengths[s]);
      cost += uint64_t{c.freq[s]} * lengths[s];
      longest = std::max<uint32_t>(longest, lengths[s]);
    }
    EXPECT_EQ(used, static_cast<uint32_t>(std::count_if(c.freq.begin(), c.freq.end(),
                                                        [](uint32_t f) { return f != 0; })));
    EXPECT_EQ(kraft, uint64_t{1} << c.max_bits) << "code space not filled exactly";
    // A more frequent symbol never gets a longer code.
    for (size_t a = 0; a < c.freq.size(); ++a) {
      for (size_t b = 0; b < c.freq.size(); ++b) {
        if (c.freq[a] > c.freq[b] && c.freq[b] != 0) EXPECT_LE(lengths[a], lengths[b]);
      }
    }
    if (c.limited) {
      EXPECT_EQ(longest, c.max_bits);
      EXPECT_GT(cost, OptimalCost(c.freq));
    } else {
      EXPECT_EQ(cost, OptimalCost(c.freq));
    }
  }
}

TEST(HuffmanLengthsTest, OneOrNoSymbolHasNoCode) {
  for (uint32_t used : {0u, 1u}) {
    std::vector<uint32_t> freq(19, 0);
    if (used) freq[7] = 1000;
    std::vector<uint8_t> lengths(19, 99);
    EXPECT_EQ(used, BuildCodeLengths(freq.data(), 19, 16, lengths.data()));
    EXPECT_EQ(std::vector<uint8_t>(19, 0), lengths);
  }
}

// The decoder assigns codes from the lengths alone: shorter codes first,
// ascending symbols within a length.
TEST(HuffmanCodesTest, CanonicalAssignment) {
  struct Case {
    std::vector<uint8_t> lengths;
    std::vector<uint16_t> codes;  // for the symbols with a length, in order
  };
  const Case cases[] = {
      {{0, 0, 1, 2, 2}, {0b0, 0b10, 0b11}},
      {{2, 1, 3, 3}, {0b10, 0b0, 0b110, 0b111}},
      {{3, 3, 3, 3, 3, 3, 3, 3}, {0, 1, 2, 3, 4, 5, 6, 7}},
  };
  for (const Case& c : cases) {
    std::vector<uint16_t> codes(c.lengths.size(), 0xFFFF);
    AssignCodes(c.lengths.data(), static_cast<uint32_t>(c.lengths.size()), codes.data());
    std::vector<uint16_t> got;
    for (size_t s = 0; s < c.lengths.size(); ++s) {
      if (c.lengths[s] != 0) got.push_back(codes[s]);
    }
    EXPECT_EQ(c.codes, got);
  }
}

TEST(HuffmanCodesTest, LimitedCodeIsPrefixFree) {
  std::vector<uint32_t> freq = Fibonacci(30);
  freq.resize(510, 1);
  std::vector<uint8_t> lengths(510);
  std::vector<uint16_t> codes(510);
  BuildCodeLengths(freq.data(), 510, 16, lengths.data());
  AssignCodes(lengths.data(), 510, codes.data());
  for (size_t a = 0; a < 510; ++a) {
    for (size_t b = 0; b < 510; ++b) {
      if (a == b || lengths[a] > lengths[b]) continue;
      uint32_t prefix = codes[b] >> (lengths[b] - lengths[a]);
      EXPECT_NE(prefix, codes[a]) << a << " is a prefix of " << b;
    }
  }
}

}  // namespace
}  // namespace kest
