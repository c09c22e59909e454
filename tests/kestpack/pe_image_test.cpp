#include "tools/kestpack/pe_image.h"

#include <gtest/gtest.h>

#include <random>

#include "tests/archive/archive_test_support.h"

namespace kest {
namespace {

using test::Bytes;

Bytes Fixture(const char* name) {
  Bytes bytes;
  EXPECT_TRUE(test::ReadFile(std::string(KEST_FIXTURES) + "/" + name, &bytes)) << name;
  return bytes;
}

TEST(PeImage, ReadsTheFileVersionOfADllBuiltByTheCrossCompiler) {
  // FILEVERSION 1,2,3,4 with PRODUCTVERSION 5,6,7,8 beside it.
  const Bytes dll = Fixture("versioned.dll");
  PeImage image;
  const char* error = nullptr;
  ASSERT_TRUE(image.Parse(dll.data(), dll.size(), &error)) << error;
  EXPECT_EQ(image.EndOfSections(), dll.size()) << "a stripped DLL ends with its last section";
  uint16_t version[4] = {};
  ASSERT_TRUE(image.FixedFileVersion(version));
  EXPECT_EQ(std::vector<uint16_t>(version, version + 4), (std::vector<uint16_t>{1, 2, 3, 4}));

  const Bytes plain = Fixture("plain.dll");
  ASSERT_TRUE(image.Parse(plain.data(), plain.size(), &error)) << error;
  EXPECT_FALSE(image.FixedFileVersion(version));
  uint16_t zero[4] = {9, 9, 9, 9};
  ReadFileVersion(plain.data(), plain.size(), zero);
  EXPECT_EQ(std::vector<uint16_t>(zero, zero + 4), (std::vector<uint16_t>{0, 0, 0, 0}));
}

TEST(PeImage, RefusesWhatIsNotAPeImage) {
  const Bytes dll = Fixture("versioned.dll");
  Bytes far_header = dll;
  far_header[0x3C] = 0xF0;  // e_lfanew far beyond the file
  far_header[0x3F] = 0x7F;
  Bytes no_sections = dll;
  uint32_t pe = dll[0x3C] | dll[0x3D] << 8;
  no_sections[pe + 6] = no_sections[pe + 7] = 0;
  struct {
    const char* name;
    Bytes bytes;
  } const kCases[] = {
      {"empty", {}},
      {"text", Bytes({'h', 'e', 'l', 'l', 'o'})},
      {"MZ alone", Bytes({'M', 'Z'})},
      {"header cut short", Bytes(dll.begin(), dll.begin() + 0x80)},
      {"PE header out of the file", far_header},
      {"no sections", no_sections},
      {"last section cut short", Bytes(dll.begin(), dll.end() - 1)},
  };
  for (const auto& c : kCases) {
    PeImage image;
    const char* error = nullptr;
    EXPECT_FALSE(image.Parse(c.bytes.data(), c.bytes.size(), &error)) << c.name;
    EXPECT_NE(error, nullptr) << c.name;
  }
}

TEST(PeImage, DamagedImagesNeverReadOutsideTheirBytes) {
  // Every prefix and many random corruptions of a real DLL, each in its own
  // allocation so that the sanitizer sees any overread. A damaged resource
  // may still yield some version; it must not crash or read out of bounds.
  const Bytes dll = Fixture("versioned.dll");
  for (size_t n = 0; n < dll.size(); n += 7) {
    Bytes cut(dll.begin(), dll.begin() + n);
    uint16_t version[4];
    ReadFileVersion(cut.data(), cut.size(), version);
  }
  std::mt19937 rng(77);
  for (int round = 0; round < 3000; ++round) {
    Bytes damaged = dll;
    for (int i = 0; i < 4; ++i) damaged[rng() % damaged.size()] = uint8_t(rng());
    uint16_t version[4];
    ReadFileVersion(damaged.data(), damaged.size(), version);
  }
}

}  // namespace
}  // namespace kest
