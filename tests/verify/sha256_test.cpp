#include "verify/sha256.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "openssl_test_keys.h"
#include "verify/md5.h"

namespace kest {
namespace {

using kest_test::Hex;

// Both engines: the portable rounds and, where this processor has them, its
// SHA instructions (elsewhere Sha256(true) falls back to the portable rounds,
// and must give the same digests).
constexpr bool kEngines[] = {false, true};

std::string EngineName(bool processor) {
  if (!processor) return "portable rounds";
  return Sha256::ProcessorShaUsable() ? "SHA instructions" : "SHA instructions (absent here)";
}

std::string DigestOf(const std::string& text, bool processor) {
  Sha256 sha(processor);
  EXPECT_EQ(sha.uses_processor(), processor && Sha256::ProcessorShaUsable());
  sha.Update(text.data(), text.size());
  uint8_t d[kSha256DigestBytes];
  sha.Final(d);
  return Hex(d, sizeof d);
}

TEST(Sha256, KnownAnswers) {
  // The examples of FIPS 180-2 and the empty message.
  struct {
    const char* text;
    const char* digest;
  } const kCases[] = {
      {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
      {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
      {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
       "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
  };
  for (bool processor : kEngines) {
    SCOPED_TRACE(EngineName(processor));
    for (const auto& c : kCases) {
      EXPECT_EQ(DigestOf(c.text, processor), c.digest) << '"' << c.text << '"';
    }
    EXPECT_EQ(DigestOf(std::string(1000000, 'a'), processor),
              "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
  }
}

TEST(Sha256, AgreesWithOpenSslAcrossPaddingBoundariesAndSplits) {
  // Lengths 0..200 cross the 55/56 and 63/64 bytes where the padding spills
  // into a second block; each message is also fed in two pieces split at
  // every point, and in pieces of 1 and 7 bytes.
  for (bool processor : kEngines) {
  SCOPED_TRACE(EngineName(processor));
  kest_test::Bytes data;
  for (size_t n = 0; n <= 200; ++n) {
    const kest_test::Bytes expected = kest_test::Sha256Of(data);
    uint8_t d[kSha256DigestBytes];
    for (size_t split = 0; split <= n; ++split) {
      Sha256 sha(processor);
      sha.Update(data.data(), split);
      sha.Update(data.data() + split, n - split);
      sha.Final(d);
      ASSERT_EQ(kest_test::Bytes(d, d + sizeof d), expected) << n << " split at " << split;
    }
    for (size_t piece : {1, 7}) {
      Sha256 sha(processor);
      for (size_t at = 0; at < n; at += piece) {
        sha.Update(data.data() + at, at + piece <= n ? piece : n - at);
      }
      sha.Final(d);
      EXPECT_EQ(kest_test::Bytes(d, d + sizeof d), expected) << n << " in pieces of " << piece;
    }
    data.push_back(uint8_t(n * 37 + 11));
  }
  }
}

TEST(Sha256, AgreesWithOpenSslOverManyBlocksInUnevenPieces) {
  // Runs of whole blocks go through an engine in one call; pieces that are
  // not whole blocks go through the held block first. Fed to MD5 and
  // SHA-256 together, whole blocks go through both at once while neither
  // holds a part block: a first piece of 5 bytes keeps them apart to the end.
  kest_test::Bytes data(1 << 20);
  uint32_t x = 2463534242u;
  for (uint8_t& b : data) {
    x ^= x << 13, x ^= x >> 17, x ^= x << 5;
    b = uint8_t(x);
  }
  const kest_test::Bytes expected = kest_test::Sha256Of(data);
  const kest_test::Bytes expected_md5 = kest_test::Md5Of(data);
  struct Pieces {
    size_t first, then;
  } const kPieces[] = {{64, 64}, {4096 + 13, 4096 + 13}, {65536, 65536},
                       {data.size(), data.size()}, {5, 65536}};
  for (bool processor : kEngines) {
    for (const Pieces& pieces : kPieces) {
      for (bool with_md5 : {false, true}) {
        Sha256 sha(processor);
        Md5 md5;
        for (size_t at = 0; at < data.size();) {
          size_t piece = at == 0 ? pieces.first : pieces.then;
          if (piece > data.size() - at) piece = data.size() - at;
          if (with_md5) {
            UpdateMd5AndSha256(md5, sha, data.data() + at, piece);
          } else {
            sha.Update(data.data() + at, piece);
          }
          at += piece;
        }
        uint8_t d[kSha256DigestBytes], m[kMd5DigestBytes];
        sha.Final(d);
        md5.Final(m);
        SCOPED_TRACE(EngineName(processor) + (with_md5 ? ", with MD5" : "") + ", pieces of " +
                     std::to_string(pieces.first) + " then " + std::to_string(pieces.then));
        EXPECT_EQ(kest_test::Bytes(d, d + sizeof d), expected);
        if (with_md5) EXPECT_EQ(kest_test::Bytes(m, m + sizeof m), expected_md5);
      }
    }
  }
}

}  // namespace
}  // namespace kest
