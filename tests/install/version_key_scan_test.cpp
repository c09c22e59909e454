// VersionKeyScan: the name in 8-bit and UTF-16 text, in any letter case and
// at any offset, the characters that case rules may fold onto its letters,
// near misses, compressed files, and the same bytes fed in pieces split at
// every point.
#include "install/version_key_scan.h"

#include <gtest/gtest.h>

#include <string>

namespace kest {
namespace {

std::string Wide(const std::string& text) {
  std::string out;
  for (char c : text) {
    out += c;
    out += '\0';
  }
  return out;
}

// A UTF-16 little-endian unit.
std::string Unit(unsigned u) { return std::string{char(u & 0xFF), char(u >> 8)}; }

bool Scan(const std::string& bytes, size_t piece, const char* name = "OLESelfRegister") {
  VersionKeyScan scan(name);
  for (size_t at = 0; at < bytes.size(); at += piece) {
    const size_t n = std::min(piece, bytes.size() - at);
    scan.Feed(reinterpret_cast<const uint8_t*>(bytes.data()) + at, n);
  }
  return scan.MayHold();
}

TEST(VersionKeyScan, FindsTheNameOnlyWhereTheVersionLibraryCould) {
  const std::string noise = std::string("MZ\x90\0\x03", 5) + std::string(300, '\xAB') + "PE";
  struct Case {
    const char* what;
    std::string bytes;
    bool may_hold;
  };
  const Case cases[] = {
      {"UTF-16, as in a 32-bit resource", noise + Wide("OLESelfRegister") + noise, true},
      {"UTF-16 at an odd offset", noise + "x" + Wide("OLESelfRegister"), true},
      {"8-bit, as in a 16-bit resource", noise + "OLESelfRegister" + noise, true},
      {"other letter case", noise + Wide("oleSELFregister"), true},
      {"at the very start", Wide("OLESelfRegister"), true},
      {"dotted capital I for i", Wide("OLESelfReg") + Unit(0x130) + Wide("ster"), true},
      {"long s for s", Wide("OLESelfRegi") + Unit(0x17F) + Wide("ter"), true},
      {"an 8-bit letter from 0x80 for i", "OLESelfReg\xFDster", true},
      {"LZ-compressed (SZDD)", "SZDD\x88\xF0\x27\x33" + noise, true},
      {"LZ-compressed (KWAJ)", "KWAJ\x88\xF0\x27\xD1" + noise, true},
      {"no name at all", noise + Wide("FileDescription") + noise, false},
      {"empty file", "", false},
      {"one letter short", noise + Wide("OLESelfRegiste") + noise, false},
      {"a wrong letter", noise + Wide("OLESelfRegistar") + noise, false},
      {"a character outside ASCII for another letter", Wide("OLESelfR") + Unit(0x130) + Wide("gister"), false},
      {"an 8-bit letter from 0x80 for e", "OLES\xE9lfRegister", false},
      {"UTF-16 with a high byte set", Wide("OLESelfRegiste") + "r\x01", false},
      {"compressed magic later in the file", noise + "SZDD", false},
  };
  for (const Case& c : cases) {
    for (size_t piece = 1; piece <= c.bytes.size() + 1; ++piece) {
      ASSERT_EQ(Scan(c.bytes, piece), c.may_hold) << c.what << ", pieces of " << piece;
    }
    if (c.bytes.empty()) EXPECT_EQ(Scan(c.bytes, 1), c.may_hold) << c.what;
  }
}

// A name whose first letter has a stand-in is looked for at every offset.
TEST(VersionKeyScan, NameStartingWithALetterThatHasStandIns) {
  const std::string noise(40, '\x5A');
  EXPECT_TRUE(Scan(noise + Unit(0x17F) + Wide("ize") + noise, 3, "Size"));
  EXPECT_TRUE(Scan(noise + "\xA7ize", 5, "Size"));
  EXPECT_TRUE(Scan(noise + Wide("SIZE"), 7, "Size"));
  EXPECT_FALSE(Scan(noise + Wide("Siz") + noise, 2, "Size"));
}

}  // namespace
}  // namespace kest
