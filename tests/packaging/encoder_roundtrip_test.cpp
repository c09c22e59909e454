// Every packed stream the encoder writes decodes, through the installer's
// own decoder, to the original bytes and CRC.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "archive/crc32.h"
#include "archive/entry_decoder.h"
#include "packaging/entry_encoder.h"
#include "packaging/huffman_code.h"
#include "tests/archive/archive_test_support.h"

namespace kest {
namespace {

using test::Bytes;
using test::InputKind;

struct Case {
  std::string name;
  Bytes data;
};

Bytes Concatenate(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& part : parts) out.insert(out.end(), part.begin(), part.end());
  return out;
}

std::vector<Case> Cases() {
  std::vector<Case> cases;
  const InputKind kinds[] = {InputKind::kRandom, InputKind::kText, InputKind::kRuns,
                             InputKind::kPhrases, InputKind::kPeriodic, InputKind::kFibonacci};
  for (InputKind kind : kinds) {
    for (uint32_t size :
         {0u, 1u, 2u, 3u, 4u, 16384u, 16385u, 26623u, 26624u, 26625u, 65536u, 65537u, 300000u}) {
      cases.push_back({std::string(test::KindName(kind)) + " " + std::to_string(size),
                       test::MakeInput(kind, size, size + 1)});
    }
  }
  // Small inputs of every length: the edges of the first block's tables.
  for (uint32_t size = 5; size < 80; ++size) {
    cases.push_back({"small text " + std::to_string(size),
                     test::MakeInput(InputKind::kText, size, size)});
  }
  // Ever shorter prefixes of one phrase, each cut off by another byte, then
  // the whole phrase: from the newest (shortest) back, the search at the
  // phrase meets ever longer candidates, as many as it keeps.
  {
    Bytes phrase = test::MakeInput(InputKind::kRandom, 300, 5);
    Bytes data;
    for (uint32_t length = 297; length >= 3; length -= 3) {
      data.insert(data.end(), phrase.begin(), phrase.begin() + length);
      data.push_back(static_cast<uint8_t>(~phrase[length % 300]));
    }
    data.insert(data.end(), phrase.begin(), phrase.end());
    cases.push_back({"prefixes of one phrase", data});
  }
  // One symbol only: a block whose tables are all in their one-symbol form.
  cases.push_back({"one byte value", Bytes(100000, 0x41)});
  // Statistics that change inside one token chunk: the coder cuts blocks.
  cases.push_back({"text, random, runs, text",
                   Concatenate({test::MakeInput(InputKind::kText, 30000, 1),
                                test::MakeInput(InputKind::kRandom, 20000, 2),
                                test::MakeInput(InputKind::kRuns, 30000, 3),
                                test::MakeInput(InputKind::kPhrases, 30000, 4)})});
  return cases;
}

// The last stream of encoder decodes to data, with data's CRC.
void ExpectDecodes(const EntryEncoder& encoder, const Bytes& data) {
  const uint32_t size = static_cast<uint32_t>(data.size());
  Crc32 crc;
  test::MemorySink out;
  uint32_t reg = Crc32::kStart;
  ASSERT_EQ(0u, DecodeEntry(encoder.packed(), encoder.packed_size(), size, crc, &reg, out));
  EXPECT_TRUE(out.bytes == data) << out.bytes.size() << " bytes out";
  EXPECT_EQ(test::ReferenceCrc32(data.data(), size), ~reg);
}

TEST(EncoderRoundTripTest, OwnDecoderRestoresEveryInput) {
  static const std::vector<Case> cases = Cases();
  EntryEncoder encoder;
  // Method 4 here: method 1 with the smallest setting.
  for (uint32_t method = 1; method <= 4; ++method) {
    encoder.set_smallest(method == 4);
    for (const Case& c : cases) {
      SCOPED_TRACE("method " + std::to_string(method) + ", " + c.name);
      const uint32_t size = static_cast<uint32_t>(c.data.size());
      ASSERT_EQ(EncodeResult::kPacked,
                encoder.Encode(c.data.data(), size, method == 4 ? 1 : method));
      ExpectDecodes(encoder, c.data);
    }
  }
}

// One block of literals whose frequencies are the Fibonacci numbers: its
// optimal code would be 21 bits deep. The coder must cut it to 16 bits and
// still fill the code space, or the decoder rejects the table.
TEST(EncoderRoundTripTest, DeepOptimalCodeIsLimitedAndDecodes) {
  Bytes expected;
  Bytes packed = test::DeepCodeStream(&expected);
  // The stream's own frequencies do need the limit.
  std::vector<uint32_t> freq(kCharAlphabet, 0);
  for (uint8_t byte : expected) ++freq[byte];
  uint8_t lengths[kCharAlphabet];
  BuildCodeLengths(freq.data(), kCharAlphabet, kMaxCodeBits, lengths);
  EXPECT_EQ(kMaxCodeBits, *std::max_element(lengths, lengths + kCharAlphabet));

  test::MemorySink decoded;
  Crc32 crc;
  uint32_t reg = Crc32::kStart;
  ASSERT_EQ(0u, DecodeEntry(packed.data(), static_cast<uint32_t>(packed.size()),
                            static_cast<uint32_t>(expected.size()), crc, &reg, decoded));
  EXPECT_TRUE(decoded.bytes == expected);
}

// The methods trade time for size on compressible data, and the stream
// size limit turns an entry that does not pack into a stored one.
TEST(EncoderRoundTripTest, MethodsAndSizeLimit) {
  Bytes text = test::MakeInput(InputKind::kText, 200000, 9);
  Bytes noise = test::MakeInput(InputKind::kRandom, 50000, 9);
  EntryEncoder encoder;
  uint32_t sizes[4] = {};
  for (uint32_t method = 1; method <= 3; ++method) {
    ASSERT_EQ(EncodeResult::kPacked, encoder.Encode(text.data(), 200000, method, 200000));
    sizes[method] = encoder.packed_size();
  }
  EXPECT_LE(sizes[1], sizes[2]);
  EXPECT_LT(sizes[2], sizes[3]);
  EXPECT_LT(sizes[3], 200000u / 2);

  EXPECT_EQ(EncodeResult::kNotSmaller, encoder.Encode(noise.data(), 50000, 1, 50000));
  EXPECT_EQ(EncodeResult::kNotSmaller, encoder.Encode(text.data(), 200000, 1, sizes[1]));
  EXPECT_EQ(EncodeResult::kPacked, encoder.Encode(text.data(), 200000, 1, sizes[1] + 1));

  // The smallest setting packs smaller than method 1, and stops at the
  // limit as early.
  encoder.set_smallest(true);
  ASSERT_EQ(EncodeResult::kPacked, encoder.Encode(text.data(), 200000, 1, 200000));
  const uint32_t smallest = encoder.packed_size();
  EXPECT_LT(smallest, sizes[1]);
  EXPECT_EQ(EncodeResult::kNotSmaller, encoder.Encode(noise.data(), 50000, 1, 50000));
  EXPECT_EQ(EncodeResult::kNotSmaller, encoder.Encode(text.data(), 200000, 1, smallest));
  EXPECT_EQ(EncodeResult::kPacked, encoder.Encode(text.data(), 200000, 1, smallest + 1));
  encoder.set_smallest(false);

  EXPECT_EQ(EncodeResult::kBadMethod, encoder.Encode(text.data(), 200000, 0));
  EXPECT_EQ(EncodeResult::kBadMethod, encoder.Encode(text.data(), 200000, 4));
}

// Asked with the input's size as the limit, the encoder first looks at
// whether the input can pack at all. Even bytes without repeats are stored
// at once; input with repeats, uneven statistics in some part, or both,
// must still be packed (and decode), whatever the method.
TEST(EncoderRoundTripTest, OnlyWhatCannotPackIsStoredAtOnce) {
  const Bytes noise = test::MakeInput(InputKind::kRandom, 200000, 3);
  const Bytes text = test::MakeInput(InputKind::kText, 40000, 4);
  // The same bytes only in the lower and then the upper half of the byte
  // range: even over the whole input, 7 bits a byte in each half.
  Bytes halves = noise;
  for (size_t i = 0; i < halves.size(); ++i) {
    halves[i] = static_cast<uint8_t>((halves[i] & 0x7F) | (i < halves.size() / 2 ? 0 : 0x80));
  }
  const Bytes block(noise.begin(), noise.begin() + 24000);
  struct PackCase {
    const char* name;
    Bytes data;
    bool packs;
  };
  const PackCase cases[] = {
      {"noise", noise, false},
      {"noise, shorter than the look takes", Bytes(noise.begin(), noise.begin() + 30000), false},
      {"noise block twice", Concatenate({block, block}), true},
      {"noise block, then 9000 bytes of it again",
       Concatenate({block, Bytes(block.begin(), block.begin() + 9000)}), true},
      {"lower half, then upper half", halves, true},
      {"noise, then text", Concatenate({noise, text}), true},
      {"text, then noise", Concatenate({text, noise}), true},
  };
  EntryEncoder encoder;
  for (uint32_t method = 1; method <= 4; ++method) {
    encoder.set_smallest(method == 4);
    for (const PackCase& c : cases) {
      SCOPED_TRACE("method " + std::to_string(method) + ", " + c.name);
      const uint32_t size = static_cast<uint32_t>(c.data.size());
      const EncodeResult result =
          encoder.Encode(c.data.data(), size, method == 4 ? 1 : method, size);
      if (!c.packs) {
        EXPECT_EQ(EncodeResult::kNotSmaller, result);
        continue;
      }
      ASSERT_EQ(EncodeResult::kPacked, result);
      ExpectDecodes(encoder, c.data);
    }
  }
}

}  // namespace
}  // namespace kest
