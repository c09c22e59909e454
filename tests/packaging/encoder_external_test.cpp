// Archives from our writer and encoder, checked by Debian's arj and 7z used
// as black boxes: every entry must test clean and extract to the original
// bytes under its own path.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "packaging/archive_writer.h"
#include "tests/archive/archive_test_support.h"

namespace kest {
namespace {

using test::Bytes;
using test::InputKind;

struct Entry {
  std::string path;  // as extracted, "/" between parts
  Bytes data;
};

constexpr InputKind kKinds[] = {InputKind::kRandom, InputKind::kText, InputKind::kRuns,
                                InputKind::kPhrases, InputKind::kPeriodic,
                                InputKind::kFibonacci};
constexpr uint32_t kSizes[] = {0, 1, 2, 3, 16385, 26623, 26624, 26625, 65536, 65537, 200000};
constexpr uint32_t kLargeSize = 3 << 20;

std::vector<Entry> Inputs() {
  std::vector<Entry> entries;
  for (InputKind kind : kKinds) {
    for (uint32_t size : kSizes) {
      entries.push_back({std::string("Data/") + test::KindName(kind) + "/" +
                             std::to_string(size) + ".bin",
                         test::MakeInput(kind, size, size)});
    }
  }
  for (InputKind kind : {InputKind::kText, InputKind::kPhrases, InputKind::kRandom}) {
    entries.push_back({std::string("Large/") + test::KindName(kind) + ".bin",
                       test::MakeInput(kind, kLargeSize, 7)});
  }
  // Even bytes that still pack: a repeat within the window, and two parts
  // with different byte ranges.
  Bytes noise = test::MakeInput(InputKind::kRandom, 100000, 8);
  Bytes twice(noise.begin(), noise.begin() + 24000);
  twice.insert(twice.end(), twice.begin(), twice.end());
  entries.push_back({"Mixed/noise twice.bin", twice});
  for (size_t i = 0; i < noise.size(); ++i) {
    noise[i] = static_cast<uint8_t>((noise[i] & 0x7F) | (i < noise.size() / 2 ? 0 : 0x80));
  }
  entries.push_back({"Mixed/halves.bin", noise});
  return entries;
}

struct Packing {
  uint32_t method;
  bool smallest;
};

// Builds the archive with every input, half of the names given with "\".
Bytes BuildArchive(const std::vector<Entry>& entries, Packing packing) {
  const uint32_t method = packing.method;
  test::MemorySink sink;
  ArchiveWriter writer(sink);
  writer.set_smallest(packing.smallest);
  EXPECT_EQ(0u, writer.Begin("TEST.ARJ", 0x22388502));
  for (size_t i = 0; i < entries.size(); ++i) {
    std::string name = entries[i].path;
    if (i % 2 == 1) {
      for (char& c : name) c = c == '/' ? '\\' : c;
    }
    EntryInfo info = {name.c_str(), 0x22388269, 0x01BC0A3C4155F880ull, {1, 2, 3, 4}};
    EXPECT_EQ(0u, writer.AddEntry(info, entries[i].data.data(),
                                  static_cast<uint32_t>(entries[i].data.size()), method));
  }
  EXPECT_EQ(0u, writer.Finish());
  ArchiveLengthPatch patch = writer.LengthPatch();
  std::copy(patch.bytes, patch.bytes + 8, sink.bytes.begin() + patch.offset);
  return sink.bytes;
}

void ExpectExtracted(const std::vector<Entry>& entries, const std::string& folder) {
  for (const Entry& e : entries) {
    Bytes got;
    ASSERT_TRUE(test::ReadFile(folder + "/" + e.path, &got)) << e.path;
    EXPECT_TRUE(got == e.data) << e.path << ": " << got.size() << " bytes, expected "
                               << e.data.size();
  }
}

class ExternalArchiverTest : public ::testing::TestWithParam<Packing> {};

TEST_P(ExternalArchiverTest, ArjAndSevenZipExtractEveryEntry) {
  static const std::vector<Entry> entries = Inputs();
  test::TempDir dir;
  ASSERT_FALSE(dir.path().empty());
  std::string archive = dir.path() + "/test.arj";
  test::WriteFile(archive, BuildArchive(entries, GetParam()));
  std::string output;

  EXPECT_EQ(0, test::RunCommand("arj t -y -i " + archive, &output)) << output;
  EXPECT_EQ(0, test::RunCommand("cd " + dir.path() + " && mkdir arj && arj x -y -i test.arj arj/",
                                &output))
      << output;
  ExpectExtracted(entries, dir.path() + "/arj");

  EXPECT_EQ(0, test::RunCommand("7z t " + archive, &output)) << output;
  EXPECT_EQ(0, test::RunCommand("7z x -y -o" + dir.path() + "/7z " + archive, &output)) << output;
  ExpectExtracted(entries, dir.path() + "/7z");
}

// A block whose code had to be cut to 16 bits: both archivers must accept
// the limited tables.
TEST(LimitedCodeTest, ArjAndSevenZipExtract) {
  Bytes original;
  Bytes packed = test::DeepCodeStream(&original);
  test::TempDir dir;
  ASSERT_FALSE(dir.path().empty());
  test::WriteFile(dir.path() + "/deep.arj", test::SingleEntryArchive("deep.bin", 1, packed, original));
  std::string output;
  EXPECT_EQ(0, test::RunCommand("cd " + dir.path() + " && mkdir arj && arj x -y -i deep.arj arj/",
                                &output))
      << output;
  EXPECT_EQ(0, test::RunCommand("7z x -y -o" + dir.path() + "/7z " + dir.path() + "/deep.arj",
                                &output))
      << output;
  ExpectExtracted({{"deep.bin", original}}, dir.path() + "/arj");
  ExpectExtracted({{"deep.bin", original}}, dir.path() + "/7z");
}

INSTANTIATE_TEST_SUITE_P(Methods, ExternalArchiverTest,
                         ::testing::Values(Packing{1, false}, Packing{2, false},
                                           Packing{3, false}, Packing{0, false},
                                           Packing{1, true}),
                         [](const ::testing::TestParamInfo<Packing>& info) {
                           return "Method" + std::to_string(info.param.method) +
                                  (info.param.smallest ? "Smallest" : "");
                         });

}  // namespace
}  // namespace kest
