#include "archive/crc32.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

namespace kest {
namespace {

// Bit-at-a-time CRC-32, the definition itself.
uint32_t BitwiseCrc(const uint8_t* data, size_t size) {
  uint32_t crc = 0xFFFFFFFF;
  for (size_t i = 0; i < size; ++i) {
    crc ^= data[i];
    for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1)));
  }
  return ~crc;
}

std::vector<uint8_t> Pattern(size_t size) {
  std::vector<uint8_t> bytes(size);
  uint32_t x = 12345;
  for (uint8_t& b : bytes) b = static_cast<uint8_t>((x = x * 1103515245 + 12345) >> 16);
  return bytes;
}

TEST(Crc32, KnownAnswers) {
  struct Case {
    const char* text;
    uint32_t crc;
  };
  const Case cases[] = {
      {"", 0x00000000},
      {"a", 0xE8B7BE43},
      {"abc", 0x352441C2},
      {"123456789", 0xCBF43926},
      {"The quick brown fox jumps over the lazy dog", 0x414FA339},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(Crc32Of(c.text, strlen(c.text)), c.crc);
  }
  const uint8_t zeros[32] = {};
  EXPECT_EQ(Crc32Of(zeros, sizeof(zeros)), 0x190A55ADu);
  // The decoder's worked outputs.
  EXPECT_EQ(Crc32Of("AAA", 3), 0x66A031A7u);
  EXPECT_EQ(Crc32Of("ABABAB", 6), 0x76F34B4Du);
}

TEST(Crc32, AgreesWithTheBitwiseDefinitionOnEveryLengthAndAlignment) {
  const std::vector<uint8_t> data = Pattern(300);
  for (size_t offset = 0; offset < 8; ++offset) {
    for (size_t size = 0; offset + size <= data.size(); size += 7) {
      ASSERT_EQ(Crc32Of(data.data() + offset, size), BitwiseCrc(data.data() + offset, size))
          << offset << "+" << size;
    }
  }
}

TEST(Crc32, StreamingGivesTheSameValueWhereverTheInputIsSplit) {
  const std::vector<uint8_t> data = Pattern(1000);
  const uint32_t whole = BitwiseCrc(data.data(), data.size());
  Crc32 crc;
  for (size_t cut = 0; cut <= data.size(); ++cut) {
    crc.Reset();
    crc.Update(data.data(), cut);
    crc.Update(data.data() + cut, data.size() - cut);
    ASSERT_EQ(crc.Value(), whole) << "cut at " << cut;
  }
  // Many small pieces of varying size.
  crc.Reset();
  for (size_t at = 0, piece = 1; at < data.size(); at += piece, piece = piece % 13 + 1)
    crc.Update(data.data() + at, std::min(piece, data.size() - at));
  EXPECT_EQ(crc.Value(), whole);
}

TEST(Crc32, ResetReturnsToTheStartValueAndAdvanceLeavesTheObjectAlone) {
  Crc32 crc;
  EXPECT_EQ(crc.Value(), 0u);
  crc.Update("123456789", 9);
  crc.Reset();
  crc.Update("abc", 3);
  EXPECT_EQ(crc.Value(), 0x352441C2u);
  // The raw register step as the decoder uses it: start value in,
  // complement out.
  EXPECT_EQ(~crc.Advance(Crc32::kStart, "123456789", 9), 0xCBF43926u);
  EXPECT_EQ(crc.Value(), 0x352441C2u);
}

}  // namespace
}  // namespace kest
