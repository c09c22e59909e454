// The reader against archives made by Debian's arj, an archiver nobody
// here wrote (used as a black box), and the host's output file system.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <ctime>
#include <map>
#include <string>

#include "archive/memory_source.h"
#include "archive/package_reader.h"
#include "archive/posix_output_files.h"
#include "archive/reader_codes.h"
#include "tests/archive/archive_test_support.h"
#include "tests/archive/reader_test_support.h"

namespace kest {
namespace {

using test::Bytes;
using test::InputKind;
using test::ScopedTimeZone;
using test::TempDir;

struct Archived {
  std::string stored_name;  // as given to arj
  Bytes data;
};

// Makes the inputs under dir/in and archives them with `arj a -m<method>`
// into dir/<archive>.
void MakeArchive(const TempDir& dir, const std::vector<Archived>& files, const std::string& options,
                 const std::string& archive) {
  std::string list;
  for (const Archived& f : files) {
    const std::string path = dir.path() + "/in/" + f.stored_name;
    mkdir((dir.path() + "/in").c_str(), 0755);
    mkdir((dir.path() + "/in/Data").c_str(), 0755);
    test::WriteFile(path, f.data);
    list += " " + f.stored_name;
  }
  std::string output;
  ASSERT_EQ(test::RunCommand("cd " + dir.path() + "/in && /usr/bin/arj a " + options + " -y ../" +
                                 archive + list,
                             &output),
            0)
      << output;
}

std::string ReaderName(const std::string& stored) {
  std::string name = stored;
  for (char& c : name) {
    if (c == '/') c = '\\';
    else if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return name;
}

std::vector<Archived> Inputs() {
  const uint32_t sizes[] = {0, 1, 2, 26623, 26624, 26625, 65536, 65537, 2 * 1024 * 1024 + 17};
  const InputKind kinds[] = {InputKind::kRandom, InputKind::kText, InputKind::kRuns,
                             InputKind::kPhrases, InputKind::kPeriodic};
  std::vector<Archived> files;
  uint32_t seed = 1;
  for (InputKind kind : kinds) {
    for (uint32_t size : sizes) {
      files.push_back({"Data/" + std::string(test::KindName(kind)) + "_" + std::to_string(size) +
                           ".BIN",
                       test::MakeInput(kind, size, seed++)});
    }
  }
  // Text with a stretch of random bytes inside, so the codes change from
  // block to block.
  Bytes mixed = test::MakeInput(InputKind::kText, 3000000, 7);
  const Bytes noise = test::MakeInput(InputKind::kRandom, 300000, 8);
  std::copy(noise.begin(), noise.end(), mixed.begin() + 1000000);
  files.push_back({"Mixed.DAT", mixed});
  return files;
}

TEST(ArjArchives, EveryEntryOfEveryMethodExtractsByteForByte) {
  const std::vector<Archived> files = Inputs();
  for (int method = 0; method <= 3; ++method) {
    SCOPED_TRACE("method " + std::to_string(method));
    TempDir dir;
    const std::string archive = "m" + std::to_string(method) + ".arj";
    MakeArchive(dir, files, "-m" + std::to_string(method), archive);
    Bytes bytes;
    ASSERT_TRUE(test::ReadFile(dir.path() + "/" + archive, &bytes));

    std::map<std::string, const Archived*> expected;
    for (const Archived& f : files) expected[ReaderName(f.stored_name)] = &f;
    PosixFileSystem host;
    BareArchiveReader reader(new MemorySource(bytes.data(), static_cast<uint32_t>(bytes.size())),
                             true, host);
    ASSERT_TRUE(reader.Open()) << std::hex << reader.GetError();
    EXPECT_EQ(reader.main_header().first_size, 34);  // what this arj writes
    int count = 0;
    size_t compressed_bytes = 0;
    do {
      const std::string name = reader.GetEntryName();
      ASSERT_EQ(expected.count(name), 1u) << name;
      const Bytes& data = expected[name]->data;
      EXPECT_EQ(reader.entry().original_size, data.size()) << name;
      if (reader.entry().method != 0) compressed_bytes += data.size();
      const std::string out = dir.path() + "/out" + std::to_string(count);
      ASSERT_TRUE(reader.SetEntryName(out.c_str()));
      ASSERT_TRUE(reader.ExtractEntry()) << name << " " << std::hex << reader.GetError();
      Bytes written;
      ASSERT_TRUE(test::ReadFile(out, &written));
      EXPECT_TRUE(written == data) << name;
      ++count;
    } while (reader.NextEntry());
    EXPECT_EQ(reader.GetError(), kReaderEndOfArchive);
    EXPECT_EQ(count, static_cast<int>(files.size()));
    // Everything but the random data is worth compressing.
    if (method > 0) EXPECT_GT(compressed_bytes, 8000000u);
  }
}

TEST(ArjArchives, Method4IsRefusedAndLeavesNoFile) {
  TempDir dir;
  MakeArchive(dir, {{"Data/Text.TXT", test::MakeInput(InputKind::kText, 50000, 3)}}, "-m4",
              "m4.arj");
  Bytes bytes;
  ASSERT_TRUE(test::ReadFile(dir.path() + "/m4.arj", &bytes));
  PosixFileSystem host;
  BareArchiveReader reader(new MemorySource(bytes.data(), static_cast<uint32_t>(bytes.size())),
                           true, host);
  ASSERT_TRUE(reader.Open());
  ASSERT_EQ(reader.entry().method, 4);
  const std::string out = dir.path() + "/out";
  reader.SetEntryName(out.c_str());
  EXPECT_FALSE(reader.ExtractEntry());
  EXPECT_EQ(reader.GetError(), kReaderBadMethod);
  struct stat st;
  EXPECT_NE(stat(out.c_str(), &st), 0);
}

TEST(PosixFileSystem, SetsTheDosTimeAsLocalTime) {
  struct Case {
    const char* zone;
    time_t expected;  // 17 January 1997, 04:20:30 local
  };
  const Case cases[] = {{"UTC0", 853474830}, {"EST5", 853474830 + 5 * 3600},
                        {"JST-9", 853474830 - 9 * 3600}};
  TempDir dir;
  PosixFileSystem host;
  for (const Case& c : cases) {
    ScopedTimeZone zone(c.zone);
    const std::string path = dir.path() + "/timed";
    std::unique_ptr<OutputFile> file;
    ASSERT_EQ(host.Create(path.c_str(), &file), 0u);
    ASSERT_EQ(file->Write("abc", 3), 0u);
    EXPECT_EQ(file->SetDosTime(0x2231228F), 0u);
    file->Close();
    struct stat st;
    ASSERT_EQ(stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mtime, c.expected) << c.zone;
    EXPECT_EQ(st.st_atime, c.expected) << c.zone;
    EXPECT_EQ(st.st_size, 3);
  }
}

TEST(PosixFileSystem, CreatesAnewAndReportsMissingFolders) {
  TempDir dir;
  PosixFileSystem host;
  const std::string path = dir.path() + "/file";
  test::WriteFile(path, Bytes(100, 1));
  std::unique_ptr<OutputFile> file;
  ASSERT_EQ(host.Create(path.c_str(), &file), 0u);
  file->Write("x", 1);
  file.reset();
  Bytes now;
  ASSERT_TRUE(test::ReadFile(path, &now));
  EXPECT_EQ(now, Bytes(1, 'x'));
  // "\" separates folders too.
  const std::string nested = dir.path() + "\\missing\\file";
  EXPECT_EQ(host.Create(nested.c_str(), &file), 2u);  // no such folder
  EXPECT_EQ(host.Delete(path.c_str()), 0u);
  EXPECT_EQ(host.Delete(path.c_str()), 2u);
}

}  // namespace
}  // namespace kest
