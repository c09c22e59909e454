#include <gtest/gtest.h>

#include "archive/crc32.h"
#include "archive/entry_decoder.h"
#include "archive/memory_source.h"
#include "archive/package_reader.h"
#include "archive/reader_codes.h"
#include "base/install_codes.h"
#include "tests/archive/reader_test_support.h"
#include "tests/manifest/failing_allocation.h"

namespace kest {
namespace {

using test::Bytes;
using test::MemoryFileSystem;
using test::StoredEntry;
using test::TestEntry;

constexpr uint32_t kRuns = 60000;  // decoded size of RunEntry: three chunks

// Method 1 data that decodes to kRuns bytes 'A' (one block of a
// single-symbol code).
TestEntry RunEntry(uint8_t method = 1) {
  test::StreamBuilder s;
  s.BlockCount(0);
  s.PreTreeSingle(0);
  s.CharSingle('A');
  s.PositionSingle(0);
  TestEntry e;
  e.data = s.Finish();
  e.header.name = "RUNS.BIN";
  e.header.method = method;
  e.header.packed_size = static_cast<uint32_t>(e.data.size());
  e.header.original_size = kRuns;
  const Bytes expected(kRuns, 'A');
  e.header.data_crc = Crc32Of(expected.data(), expected.size());
  return e;
}

struct Extraction {
  explicit Extraction(const TestEntry& entry)
      : bytes(test::BuildArchive({entry})),
        reader(new MemorySource(bytes.data(), static_cast<uint32_t>(bytes.size())), true, files) {
    reader.Open();
  }
  Bytes bytes;
  MemoryFileSystem files;
  BareArchiveReader reader;
};

TEST(ExtractEntry, WritesStoredAndCompressedEntriesWithTheirTime) {
  struct Case {
    const char* what;
    TestEntry entry;
    Bytes expected;
  };
  const Bytes text(5000, 'x');
  const Case cases[] = {
      {"stored", StoredEntry("Dir/Stored.TXT", text), text},
      {"stored, empty", StoredEntry("empty", Bytes()), Bytes()},
      {"method 1", RunEntry(1), Bytes(kRuns, 'A')},
      {"method 2", RunEntry(2), Bytes(kRuns, 'A')},
      {"method 3", RunEntry(3), Bytes(kRuns, 'A')},
  };
  for (const Case& c : cases) {
    Extraction x(c.entry);
    ASSERT_TRUE(x.reader.IsUsable()) << c.what;
    ASSERT_TRUE(x.reader.SetEntryName("c:\\out\\file")) << c.what;
    EXPECT_TRUE(x.reader.ExtractEntry()) << c.what;
    EXPECT_EQ(x.reader.GetError(), 0u) << c.what;
    ASSERT_EQ(x.files.files.count("c:\\out\\file"), 1u) << c.what;
    const MemoryFileSystem::File& f = x.files.files["c:\\out\\file"];
    EXPECT_TRUE(f.bytes == c.expected) << c.what;
    EXPECT_TRUE(f.time_set) << c.what;
    EXPECT_EQ(f.dos_time, 0x2231228Fu) << c.what;
    EXPECT_TRUE(f.closed) << c.what;
  }
}

TEST(ExtractEntry, WithoutAnOutputPathTheStoredNameIsUsed) {
  Extraction x(StoredEntry("RUNTIME/Sub/File.DLL", Bytes(3, 1)));
  EXPECT_TRUE(x.reader.ExtractEntry());
  EXPECT_EQ(x.files.created, std::vector<std::string>{"runtime\\sub\\file.dll"});
}

TEST(ExtractEntry, FailuresAndWhatTheyLeaveBehind) {
  struct Case {
    const char* what;
    TestEntry entry;
    uint32_t create_error;
    int fail_write_at;
    uint32_t write_error;
    bool no_window;
    uint32_t code;        // the error word afterwards
    bool usable;          // archive-usable afterwards
    bool kept;            // the output file is still there
  };
  TestEntry changed = StoredEntry("a", Bytes(100, 7));
  changed.data[50] = 8;
  TestEntry short_data = StoredEntry("a", Bytes(100, 7));
  short_data.header.original_size = 101;
  TestEntry bad_crc = RunEntry();
  bad_crc.header.data_crc ^= 1;
  TestEntry bad_table = RunEntry();
  bad_table.data = {0x00, 0x10, 0x09};  // pre-tree: one length of 1, half the code space
  bad_table.header.packed_size = 3;
  TestEntry method4 = RunEntry(4);
  TestEntry cut = RunEntry();
  cut.data.resize(cut.data.size() - 2);  // the tail of the stream is missing
  cut.header.packed_size = static_cast<uint32_t>(cut.data.size());
  // Far more than the data holds: decoding stops soon after the packed
  // bytes run out, with the code cut-short data ends with.
  TestEntry far = RunEntry();
  far.header.original_size = 40 * kWindowSize;
  const Case cases[] = {
      {"output cannot be created", RunEntry(), 3, -1, 0, false, 3, true, false},
      {"stored entry, CRC mismatch", changed, 0, -1, 0, false, kReaderBadCrc, true, false},
      {"stored entry, write fails", StoredEntry("a", Bytes(10, 1)), 0, 0, 112, false, 112, true,
       false},
      {"stored entry larger than its data", short_data, 0, -1, 0, false, kReaderBadCrc, true,
       false},
      {"compressed entry, CRC mismatch", bad_crc, 0, -1, 0, false, kReaderBadCrc, true, false},
      {"compressed entry cut short", cut, 0, -1, 0, false, kReaderBadCrc, true, false},
      {"original size far past the data", far, 0, -1, 0, false, kReaderBadCrc, true, false},
      {"bad table", bad_table, 0, -1, 0, false, kReaderBadTable, true, false},
      {"no window", RunEntry(), 0, -1, 0, true, kReaderNoWindow, true, false},
      {"disk full (112)", RunEntry(), 0, 1, 112, false, kCodeDiskFull, true, false},
      {"disk full (39)", RunEntry(), 0, 0, 39, false, kCodeDiskFull, true, false},
      {"other write error", RunEntry(), 0, 1, 5, false, kCodeWriteFailed, false, true},
      {"method 4", method4, 0, -1, 0, false, kReaderBadMethod, true, false},
  };
  for (const Case& c : cases) {
    Extraction x(c.entry);
    ASSERT_TRUE(x.reader.IsUsable()) << c.what;
    x.reader.SetEntryName("out");
    x.files.create_error = c.create_error;
    x.files.fail_write_at = c.fail_write_at;
    x.files.write_error = c.write_error;
    if (c.no_window) FailAllocations(26624, 1);
    EXPECT_FALSE(x.reader.ExtractEntry()) << c.what;
    StopFailingAllocations();
    EXPECT_EQ(x.reader.GetError(), c.code) << c.what;
    EXPECT_EQ(x.reader.IsUsable(), c.usable) << c.what;
    EXPECT_EQ(x.reader.entry_ok(), c.kept) << c.what;
    EXPECT_EQ(x.files.files.count("out"), c.kept ? 1u : 0u) << c.what;
    if (c.kept) {
      EXPECT_TRUE(x.files.files["out"].time_set) << c.what;
      EXPECT_EQ(x.files.files["out"].bytes.size(), kWindowSize) << c.what;  // the first chunk
    }
    if (c.create_error != 0) {
      EXPECT_TRUE(x.files.created.empty()) << c.what;
    } else {
      EXPECT_EQ(x.files.created, std::vector<std::string>{"out"}) << c.what;
      EXPECT_EQ(x.files.deleted.size(), c.kept ? 0u : 1u) << c.what;
    }
  }
}

TEST(ExtractEntry, TryAgainAfterADiskFullSucceedsAndKeepsTheCode) {
  Extraction x(RunEntry());
  x.reader.SetEntryName("out");
  x.files.fail_write_at = 2;
  x.files.write_error = 112;
  EXPECT_FALSE(x.reader.ExtractEntry());
  x.files.fail_write_at = -1;
  EXPECT_TRUE(x.reader.ExtractEntry());
  EXPECT_EQ(x.reader.GetError(), kCodeDiskFull);
  EXPECT_EQ(x.files.files["out"].bytes, Bytes(kRuns, 'A'));
}

TEST(ExtractEntry, AFinishedReaderWritesNothing) {
  std::vector<TestEntry> two = {RunEntry(), StoredEntry("b", Bytes(1, 2))};
  Bytes bytes = test::BuildArchive(two);
  MemoryFileSystem files;
  BareArchiveReader reader(new MemorySource(bytes.data(), static_cast<uint32_t>(bytes.size())),
                           true, files);
  ASSERT_TRUE(reader.Open());
  files.fail_write_at = 0;
  files.write_error = 5;
  EXPECT_FALSE(reader.ExtractEntry());
  ASSERT_FALSE(reader.IsUsable());
  files.created.clear();
  // Unusable: nothing made, nothing recorded, no way on.
  EXPECT_FALSE(reader.ExtractEntry());
  EXPECT_TRUE(files.created.empty());
  EXPECT_EQ(reader.GetError(), kCodeWriteFailed);
  EXPECT_FALSE(reader.NextEntry());
  EXPECT_EQ(reader.GetError(), kCodeWriteFailed | kReaderNoEntry);
}

TEST(ExtractEntry, AfterTheEndThereIsNoEntryToWrite) {
  Extraction x(StoredEntry("a", Bytes(1, 1)));
  EXPECT_FALSE(x.reader.NextEntry());
  EXPECT_FALSE(x.reader.ExtractEntry());
  EXPECT_EQ(x.reader.GetError(), kReaderEndOfArchive | kReaderNoEntry);
  EXPECT_TRUE(x.files.created.empty());
}

}  // namespace
}  // namespace kest
