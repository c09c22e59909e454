#include "archive/entry_decoder.h"

#include <gtest/gtest.h>

#include <string>

#include "archive/bit_reader.h"
#include "archive/reader_codes.h"
#include "base/install_codes.h"
#include "tests/archive/reader_test_support.h"
#include "tests/manifest/failing_allocation.h"

namespace kest {
namespace {

using test::Bytes;
using test::ChunkSink;
using test::StreamBuilder;

struct Decoded {
  uint32_t code;
  uint32_t crc_register;
  ChunkSink sink;
};

Decoded Decode(const Bytes& packed, uint32_t original_size, ChunkSink sink = ChunkSink(),
               DecodeWindow* kept = nullptr) {
  Crc32 crc;
  Decoded d{0, 0, std::move(sink)};
  d.code = DecodeEntry(packed.data(), static_cast<uint32_t>(packed.size()), original_size, crc,
                       &d.crc_register, d.sink, kept);
  return d;
}

Bytes Text(const std::string& s) { return Bytes(s.begin(), s.end()); }

// A literal (length 0) or a match.
struct Token {
  uint8_t literal;
  uint32_t length;
  uint32_t distance;
};
Token Lit(uint8_t byte) { return {byte, 0, 0}; }
Token Match(uint32_t length, uint32_t distance) { return {0, length, distance}; }

// What the tokens mean: bytes before the first one read as zero (the
// decoder's window starts cleared), and the window holds the last 26624
// bytes, so a distance of more than that counts a window less.
Bytes Expand(const std::vector<Token>& tokens) {
  Bytes out;
  for (const Token& t : tokens) {
    if (t.length == 0) {
      out.push_back(t.literal);
      continue;
    }
    const uint32_t d = t.distance > kWindowSize ? t.distance - kWindowSize : t.distance;
    for (uint32_t k = 0; k < t.length; ++k) out.push_back(out.size() >= d ? out[out.size() - d] : 0);
  }
  return out;
}

// Block heads whose codes hold every symbol: characters of 8 and 9 bits,
// positions 0 of 1 bit and 1..16 of 5 bits.
void UniversalHead(StreamBuilder* s, uint32_t count) {
  s->BlockCount(count);
  s->StandardPreTree();
  std::vector<int> chars(510, 9);
  chars[0] = chars[1] = 8;
  s->CharLengths(chars);
  std::vector<int> positions(17, 5);
  positions[0] = 1;
  s->PositionLengths(positions);
}

Bytes Encode(const std::vector<Token>& tokens) {
  StreamBuilder s;
  for (size_t at = 0; at < tokens.size(); at += 65535) {
    const size_t n = std::min<size_t>(65535, tokens.size() - at);
    UniversalHead(&s, static_cast<uint32_t>(n));
    for (size_t k = at; k < at + n; ++k) {
      if (tokens[k].length == 0) s.Literal(tokens[k].literal);
      else s.Match(tokens[k].length, tokens[k].distance);
    }
  }
  return s.Finish();
}

std::vector<Token> Literals(size_t count) {
  std::vector<Token> tokens;
  for (size_t k = 0; k < count; ++k) tokens.push_back(Lit(static_cast<uint8_t>(k * 7 + k / 256)));
  return tokens;
}

void ExpectDecodes(const std::vector<Token>& tokens, const char* what,
                   DecodeWindow* kept = nullptr) {
  const Bytes expected = Expand(tokens);
  Decoded d = Decode(Encode(tokens), static_cast<uint32_t>(expected.size()), ChunkSink(), kept);
  ASSERT_EQ(d.code, 0u) << what;
  ASSERT_EQ(d.sink.bytes.size(), expected.size()) << what;
  EXPECT_TRUE(d.sink.bytes == expected) << what;
  EXPECT_EQ(~d.crc_register, Crc32Of(expected.data(), expected.size())) << what;
  // Whole windows, then the rest.
  for (size_t k = 0; k + 1 < d.sink.chunks.size(); ++k) EXPECT_EQ(d.sink.chunks[k], kWindowSize);
}

TEST(EntryDecoder, WorkedExamples) {
  struct Case {
    Bytes packed;
    uint32_t size;
    const char* output;
    uint32_t crc;
  };
  const Case cases[] = {
      // Single-symbol codes for every table; three symbols of no bits.
      {{0x00, 0x03, 0x00, 0x00, 0x04, 0x10, 0x00}, 3, "AAA", 0x66A031A7},
      // Real codes; a match of 4 that overlaps the bytes it writes.
      {{0x00, 0x03, 0x28, 0x04, 0x4A, 0x04, 0x16, 0xD9, 0x55, 0x88, 0x95, 0xC0, 0x12},
       6, "ABABAB", 0x76F34B4D},
  };
  for (const Case& c : cases) {
    Decoded d = Decode(c.packed, c.size);
    ASSERT_EQ(d.code, 0u) << c.output;
    EXPECT_EQ(d.sink.bytes, Text(c.output));
    EXPECT_EQ(~d.crc_register, c.crc);
    EXPECT_EQ(d.sink.chunks, std::vector<uint32_t>{c.size});
  }

  // The stream builder writes the second example bit for bit (its last
  // byte is padding).
  StreamBuilder s;
  s.BlockCount(3);
  s.PreTreeLengths({0, 0, 1, 2, 2});
  s.CharLengths(test::LengthsFor(258, {65, 66, 257}, {1, 2, 2}));
  s.PositionLengths({1, 1});
  s.Literal('A');
  s.Literal('B');
  s.Match(4, 2);
  EXPECT_EQ(s.Finish(), Bytes(cases[1].packed.begin(), cases[1].packed.end() - 1));
}

TEST(EntryDecoder, MatchesAcrossTheWindow) {
  auto with = [](std::vector<Token> tokens, std::initializer_list<Token> more) {
    tokens.insert(tokens.end(), more);
    return tokens;
  };
  struct Case {
    const char* what;
    std::vector<Token> tokens;
  };
  const Case cases[] = {
      {"distance 1 repeats the last byte", {Lit('x'), Match(256, 1), Lit('y')}},
      {"short overlapping distances", {Lit('a'), Lit('b'), Lit('c'), Match(200, 3), Match(77, 7)}},
      {"overlap of 8 and more", with(Literals(40), {Match(256, 8), Match(255, 13), Match(3, 40)})},
      {"before the first byte reads zeros", {Lit('q'), Match(10, 100)}},
      {"starting at 26366: the plain copy", with(Literals(26366), {Match(256, 1000), Lit(1)})},
      {"starting at 26367: the wrapping copy", with(Literals(26367), {Match(256, 1000), Lit(1)})},
      {"source wraps past the window end", with(Literals(26634), {Match(20, 15), Match(30, 26600)})},
      {"distance of a whole window", with(Literals(26629), {Match(100, 26624)})},
      {"write wraps during an overlap", with(Literals(26620), {Match(256, 2)})},
      {"ends exactly on the window", with(Literals(26621), {Match(3, 5)})},
      {"a distance of more than a window reaches the recent bytes",
       with(Literals(26624 + 100), {Match(40, 26624 + 1), Match(30, 26624 + 20), Match(9, 26624 + 9)})},
      {"the oldest bytes just past a match stay history",
       with(Literals(26624 + 2000), {Match(20, 1000), Match(10, 26624 - 5)})},
  };
  for (const Case& c : cases) ExpectDecodes(c.tokens, c.what);
}

// One window kept from entry to entry: each entry still starts from a
// cleared window, whatever the one before wrote or how it ended. A
// distance of a window less k reads k bytes ahead of the write position:
// bytes the entry has not written, zeros by the tokens' meaning.
TEST(EntryDecoder, AKeptWindowDecodesAsAFreshOne) {
  auto with = [](std::vector<Token> tokens, std::initializer_list<Token> more) {
    tokens.insert(tokens.end(), more);
    return tokens;
  };
  const std::vector<Token> reads_ahead = {Lit('q'), Match(10, kWindowSize - 100),
                                          Match(200, kWindowSize - 3), Lit('r')};
  const std::vector<Token> reads_the_end = {Lit('s'), Match(256, 300)};
  const Bytes bad_table = {0x00, 0x10, 0x09};  // pre-tree: half the code space
  DecodeWindow kept;
  ExpectDecodes(Literals(600), "600 bytes", &kept);
  ExpectDecodes(reads_ahead, "ahead of 600 bytes", &kept);
  ExpectDecodes(with(Literals(kWindowSize - 1), {Match(5, 3)}), "to the window's end and past", &kept);
  ExpectDecodes(reads_the_end, "after a wrap", &kept);
  ExpectDecodes(with(Literals(kWindowSize + 40), {Match(30, 20)}), "a window and more", &kept);
  ExpectDecodes(reads_ahead, "after a window and more", &kept);
  // A failed entry may have written anywhere: here all but its last ten
  // bytes, which the disk then refused.
  const std::vector<Token> long_literals = Literals(kWindowSize - 10);
  ChunkSink full_disk;
  full_disk.fail_at_chunk = 0;
  full_disk.fail_code = 112;
  EXPECT_EQ(Decode(Encode(long_literals), kWindowSize - 10, full_disk, &kept).code, kCodeDiskFull);
  ExpectDecodes(reads_the_end, "after a failed write", &kept);
  ExpectDecodes(with(Literals(5000), {Match(100, 7)}), "5100 bytes", &kept);
  EXPECT_EQ(Decode(bad_table, 50, ChunkSink(), &kept).code, kReaderBadTable);
  ExpectDecodes(reads_ahead, "after a bad table", &kept);
}

TEST(EntryDecoder, RandomTokensOverManyWindows) {
  std::vector<Token> tokens = Literals(300);
  uint32_t x = 99;
  auto next = [&x](uint32_t n) {
    x = x * 1664525 + 1013904223;
    return (x >> 8) % n;
  };
  size_t out = 300;
  while (out < 300000) {
    if (next(3) == 0) {
      tokens.push_back(Lit(static_cast<uint8_t>(next(256))));
      ++out;
    } else {
      const uint32_t length = 3 + next(254);
      const uint32_t distance = 1 + next(next(2) ? 64 : 26624);
      tokens.push_back(Match(length, distance));
      out += length;
    }
  }
  ExpectDecodes(tokens, "random");
}

TEST(EntryDecoder, OutputSizesAndChunks) {
  {  // Size 0: nothing decoded or written; the CRC of nothing.
    Decoded d = Decode(Bytes(), 0);
    EXPECT_EQ(d.code, 0u);
    EXPECT_TRUE(d.sink.chunks.empty());
    EXPECT_EQ(d.crc_register, Crc32::kStart);
  }
  {  // Exactly one window: one write, no final chunk.
    Decoded d = Decode(Encode(Literals(kWindowSize)), kWindowSize);
    EXPECT_EQ(d.code, 0u);
    EXPECT_EQ(d.sink.chunks, std::vector<uint32_t>{kWindowSize});
  }
  {  // A last match running past the original size writes it whole.
    Decoded d = Decode(Encode({Lit('a'), Lit('b'), Match(10, 1)}), 5);
    EXPECT_EQ(d.code, 0u);
    EXPECT_EQ(d.sink.bytes, Text("abbbbbbbbbbb"));
  }
  {  // A block count of 0 is 65536 symbols; then the data runs out and the
     // zero bits that follow read as a block of single-symbol codes for 0.
    StreamBuilder s;
    s.BlockCount(0);
    s.PreTreeSingle(0);
    s.CharSingle('A');
    s.PositionSingle(0);
    Decoded d = Decode(s.Finish(), 70000);
    ASSERT_EQ(d.code, 0u);
    EXPECT_EQ(d.sink.chunks, (std::vector<uint32_t>{kWindowSize, kWindowSize, 16752}));
    Bytes expected(65536, 'A');
    expected.resize(70000, 0);
    EXPECT_TRUE(d.sink.bytes == expected);
  }
}

// Lengths of 7 and more continue in unary: 7 is 1110, 9 is 111110.
// The tokens as one block with the given character and position code
// lengths decode to what they mean.
void ExpectDecodesInOneBlock(const std::vector<int>& char_lengths,
                             const std::vector<int>& position_lengths,
                             const std::vector<Token>& tokens) {
  StreamBuilder s;
  s.BlockCount(static_cast<uint32_t>(tokens.size()));
  s.StandardPreTree();
  s.CharLengths(char_lengths);
  s.PositionLengths(position_lengths);
  for (const Token& t : tokens) {
    if (t.length == 0) s.Literal(t.literal);
    else s.Match(t.length, t.distance);
  }
  const Bytes expected = Expand(tokens);
  Decoded d = Decode(s.Finish(), static_cast<uint32_t>(expected.size()));
  ASSERT_EQ(d.code, 0u);
  EXPECT_TRUE(d.sink.bytes == expected);
}

TEST(EntryDecoder, LongLengthFieldsConsumeTheirTerminatingBit) {
  ExpectDecodesInOneBlock(test::LengthsFor(510, {'a', 256 + 7 - 3}, {1, 1}),  // 'a' and length 7
                          {1, 2, 3, 4, 5, 6, 7, 8, 9, 9},
                          {Lit('a'), Match(7, 1), Match(7, 200), Match(7, 300)});
}

// Codes of every length up to 16 in both the character and the position
// code: the longer ones are looked up past the first table level, and a
// block long enough to cross windows goes through the decoder's fast path
// and its careful one near each window's end.
TEST(EntryDecoder, CodesOfEveryLength) {
  // Literals 'a'.. of 1 to 14 bits, then 'z' of 15 and match lengths 3 and
  // 200 of 16; position classes 0 to 14 of 1 to 15 bits, 15 and 16 of 16.
  std::vector<int> chars_used, char_lengths;
  for (int k = 0; k < 14; ++k) chars_used.push_back('a' + k), char_lengths.push_back(k + 1);
  chars_used.insert(chars_used.end(), {'z', 256 + 3 - 3, 256 + 200 - 3});
  char_lengths.insert(char_lengths.end(), {15, 16, 16});
  std::vector<int> positions;
  for (int k = 1; k <= 15; ++k) positions.push_back(k);
  positions.insert(positions.end(), {16, 16});
  std::vector<Token> tokens;
  uint32_t x = 7, out = 0;
  while (out < 3 * kWindowSize) {
    x = x * 1664525 + 1013904223;
    const uint32_t pick = (x >> 8) % 17;
    if (pick < 15) {
      tokens.push_back(Lit(static_cast<uint8_t>(pick == 14 ? 'z' : 'a' + pick)));
      ++out;
    } else {
      // Distances of every class, up to a window and a half back but never
      // before the window's first round.
      const uint32_t reach = std::min<uint32_t>(40000, out + kWindowSize);
      const uint32_t distance = 1 + ((x >> 4) % reach >> ((x >> 20) % 16));
      tokens.push_back(Match(pick == 15 ? 3 : 200, distance));
      out += pick == 15 ? 3 : 200;
    }
  }
  ExpectDecodesInOneBlock(test::LengthsFor(510, chars_used, char_lengths), positions, tokens);
}

// Every stream that asks for more than the tables hold stops with 0x4016
// before writing anything (the sanitizers watch for any stray access).
TEST(EntryDecoder, CorruptStreamsStop) {
  using Build = void (*)(StreamBuilder*);
  struct Case {
    const char* what;
    Build build;  // everything after the block count
  };
  const Case cases[] = {
      {"pre-tree count 20", [](StreamBuilder* s) { s->PreTreeLengths(std::vector<int>(20, 5)); }},
      {"pre-tree length 17", [](StreamBuilder* s) { s->PreTreeLengths({17, 1, 1}); }},
      {"pre-tree length 20 (13 one bits)", [](StreamBuilder* s) { s->PreTreeLengths({20, 1}); }},
      {"pre-tree leaves codes unused", [](StreamBuilder* s) { s->PreTreeLengths({1}); }},
      {"pre-tree over-full", [](StreamBuilder* s) { s->PreTreeLengths({1, 1, 1}); }},
      {"pre-tree over-full by a whole code space",
       [](StreamBuilder* s) { s->PreTreeLengths({1, 1, 1, 1}); }},
      {"character count 511",
       [](StreamBuilder* s) {
         s->StandardPreTree();
         s->CharLengths(std::vector<int>(511, 9));
       }},
      {"zero run past the character lengths",
       [](StreamBuilder* s) {
         s->StandardPreTree();
         s->Bits(9, 510);
         s->PreTreeSymbol(3);  // one length of 1
         s->PreTreeSymbol(2);  // then 20 + 511 zeros
         s->Bits(9, 511);
       }},
      {"characters leave codes unused",
       [](StreamBuilder* s) {
         s->StandardPreTree();
         s->CharLengths(test::LengthsFor(510, {65}, {1}));
       }},
      {"characters over-full",
       [](StreamBuilder* s) {
         s->StandardPreTree();
         s->CharLengths(test::LengthsFor(510, {1, 2, 3}, {1, 1, 1}));
       }},
      {"a character from an empty code",
       [](StreamBuilder* s) {
         s->StandardPreTree();
         s->CharLengths({0, 0, 0});
         s->PositionSingle(0);
       }},
      {"a single character outside the alphabet",
       [](StreamBuilder* s) {
         s->PreTreeSingle(0);
         s->CharSingle(510);
         s->PositionSingle(0);
       }},
      {"position count 18",
       [](StreamBuilder* s) {
         s->PreTreeSingle(0);
         s->CharSingle('a');
         s->PositionLengths(std::vector<int>(18, 5));
       }},
      {"positions leave codes unused",
       [](StreamBuilder* s) {
         s->PreTreeSingle(0);
         s->CharSingle('a');
         s->PositionLengths({1, 0, 2});
       }},
      {"a match from a single position outside the alphabet",
       [](StreamBuilder* s) {
         s->PreTreeSingle(0);
         s->CharSingle(300);
         s->PositionSingle(17);
       }},
      {"distance 26625 at the window's start",
       [](StreamBuilder* s) {
         UniversalHead(s, 1);
         s->Match(3, 26625);
       }},
      {"distance 65536",
       [](StreamBuilder* s) {
         UniversalHead(s, 1);
         s->Match(256, 65536);
       }},
  };
  for (const Case& c : cases) {
    StreamBuilder s;
    s.BlockCount(10);
    c.build(&s);
    Decoded d = Decode(s.Finish(), 100);
    EXPECT_EQ(d.code, kReaderBadTable) << c.what;
    EXPECT_TRUE(d.sink.chunks.empty()) << c.what;
  }
}

// An original size far beyond what the packed bytes hold (a forged header)
// must not turn the zero bits after them into gigabytes of output: once
// decoding has taken more than a few bytes past the end, it stops, with
// the code cut-short data ends with, the CRC mismatch. The sink gives up after 16 windows, so a decoder that runs on
// shows as a write failure instead of filling the disk.
TEST(EntryDecoder, StopsSoonAfterThePackedBytesRunOut) {
  StreamBuilder zero_bit_symbols;  // the first worked example: "AAA", then zero bits
  zero_bit_symbols.BlockCount(3);
  zero_bit_symbols.PreTreeSingle(0);
  zero_bit_symbols.CharSingle('A');
  zero_bit_symbols.PositionSingle(0);
  StreamBuilder block_left_open;  // a block that claims more symbols than it holds
  UniversalHead(&block_left_open, 60000);
  for (int k = 0; k < 100; ++k) block_left_open.Literal('x');
  struct Case {
    const char* what;
    Bytes packed;
  } cases[] = {
      {"zero-bit codes, then blocks read from zero bits", zero_bit_symbols.Finish()},
      {"a block whose symbols run on past the data", block_left_open.Finish()},
      {"whole windows of real data first", Encode(Literals(3 * kWindowSize))},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ChunkSink sink;
    sink.fail_at_chunk = 16;
    sink.fail_code = 5;
    Decoded d = Decode(c.packed, 0xFFFFFFFF, sink);
    EXPECT_EQ(d.code, kReaderBadCrc);
    EXPECT_LE(d.sink.bytes.size(), 4 * kWindowSize + c.packed.size() * 8 * 256);
  }
}

// The same odd codes are fine while nothing is decoded from them.
TEST(EntryDecoder, UnusedOddCodesAreHarmless) {
  StreamBuilder s;
  s.BlockCount(3);
  s.PreTreeSingle(0);
  s.CharSingle('z');
  s.PositionSingle(31);  // no match in this block
  Decoded d = Decode(s.Finish(), 3);
  EXPECT_EQ(d.code, 0u);
  EXPECT_EQ(d.sink.bytes, Text("zzz"));
}

TEST(EntryDecoder, WriteFailuresAndTheirCodes) {
  const std::vector<Token> tokens = Literals(kWindowSize * 2 + 10);
  const Bytes packed = Encode(tokens);
  const Bytes expected = Expand(tokens);
  struct Case {
    size_t fail_at_chunk;
    uint32_t system_code;
    uint32_t code;
  };
  const Case cases[] = {
      {0, 112, kCodeDiskFull}, {1, 39, kCodeDiskFull}, {2, 112, kCodeDiskFull},
      {0, 5, kCodeWriteFailed}, {1, 32, kCodeWriteFailed},
  };
  for (const Case& c : cases) {
    ChunkSink sink;
    sink.fail_at_chunk = c.fail_at_chunk;
    sink.fail_code = c.system_code;
    Decoded d = Decode(packed, static_cast<uint32_t>(expected.size()), sink);
    EXPECT_EQ(d.code, c.code) << c.system_code;
    EXPECT_EQ(d.sink.chunks.size(), c.fail_at_chunk);
    // The register covers every chunk offered to the sink, the failed one too.
    const size_t offered = std::min<size_t>((c.fail_at_chunk + 1) * kWindowSize, expected.size());
    Crc32 crc;
    EXPECT_EQ(d.crc_register, crc.Advance(Crc32::kStart, expected.data(), offered));
  }
}

TEST(EntryDecoder, NoWindowNoOutput) {
  FailAllocations(kWindowSize, 1);
  Decoded d = Decode(Encode(Literals(10)), 10);
  StopFailingAllocations();
  EXPECT_EQ(d.code, kReaderNoWindow);
  EXPECT_TRUE(d.sink.chunks.empty());
}

// The bit reader against a bit-by-bit reading of the same bytes, for every
// data length around its 8-byte refill and read widths 0 to 16.
TEST(BitReader, ReadsMostSignificantBitFirstThenZeros) {
  Bytes data(24);
  for (size_t k = 0; k < data.size(); ++k) data[k] = static_cast<uint8_t>(k * 37 + 11);
  for (uint32_t size = 0; size <= data.size(); ++size) {
    for (int width = 0; width <= 16; ++width) {
      BitReader bits(data.data(), size);
      size_t bit = 0;
      for (int step = 0; step < 40; ++step) {
        const int n = (width + step) % 17;
        uint32_t expected = 0;
        for (int k = 0; k < n; ++k, ++bit) {
          const uint32_t b = bit / 8 < size ? (data[bit / 8] >> (7 - bit % 8)) & 1 : 0;
          expected = expected << 1 | b;
        }
        bits.Refill();
        ASSERT_EQ(bits.Get(n), expected) << size << "/" << width << "/" << step;
      }
    }
  }
}

}  // namespace
}  // namespace kest
