// The reader on the Windows side, under Wine: an archive made by Debian's
// arj (make_win32_inputs.sh, run before this test) read through a Win32
// file handle and extracted through Win32 files, with its time set.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>
#include <string>

#include "archive/crc32.h"
#include "archive/package_reader.h"
#include "archive/win32_file_source.h"
#include "archive/win32_output_files.h"
#include "tests/manifest/failing_allocation.h"
#include "tests/support/win32_test_support.h"

namespace kest {
namespace {

// 17 January 1997, 04:20:30 local time.
constexpr uint32_t kExampleTime = 0x2231228F;
// The same wall-clock moment read as UTC, in 100 ns units since 1601.
constexpr uint64_t kExampleWallClockTicks = 0x01BC042DC5E9BB00ull;
constexpr uint64_t kTicksPerMinute = 600000000ull;

// How far the time zone the test runs in is ahead of UTC in January, in
// minutes: KEST_TZ_OFFSET_MINUTES, set with TZ where the test is run in
// another zone; 0 (UTC) when it is not set.
int64_t ZoneOffsetMinutes() {
  char text[16];
  const DWORD n = GetEnvironmentVariableA("KEST_TZ_OFFSET_MINUTES", text, sizeof text);
  return n == 0 || n >= sizeof text ? 0 : strtoll(text, nullptr, 10);
}

std::string Input(const char* name) {
  return test::WindowsPath(std::string(KEST_ARCHIVE_INPUTS) + "/" + name);
}

uint32_t Le(const std::string& s, size_t at, int bytes) {
  uint32_t v = 0;
  for (int k = bytes - 1; k >= 0; --k) v = v << 8 | static_cast<uint8_t>(s[at + k]);
  return v;
}

void PutLe32(std::string* s, size_t at, uint32_t v) {
  for (int k = 0; k < 4; ++k) (*s)[at + k] = static_cast<char>(v >> (8 * k));
}

// Gives the archive's first entry the MS-DOS time `time` and a header CRC
// to match.
bool SetFirstEntryTime(std::string* archive, uint32_t time) {
  size_t at = 4 + Le(*archive, 2, 2) + 4;  // past the main header and its CRC
  for (uint32_t ext; (ext = Le(*archive, at, 2)) != 0;) at += 2 + ext + 4;
  at += 2;
  if (Le(*archive, at, 2) != 0xEA60) return false;
  const uint32_t basic = Le(*archive, at + 2, 2);
  PutLe32(archive, at + 12, time);
  PutLe32(archive, at + 4 + basic, Crc32Of(archive->data() + at + 4, basic));
  return true;
}

std::unique_ptr<ByteSource> OpenSource(const std::string& path) {
  Win32File file;
  if (OpenFileForReading(path.c_str(), FILE_FLAG_RANDOM_ACCESS, &file) != 0) return nullptr;
  return std::unique_ptr<ByteSource>(new Win32FileSource(std::move(file)));
}

uint64_t Ticks(const FILETIME& t) { return uint64_t(t.dwHighDateTime) << 32 | t.dwLowDateTime; }

TEST(Win32Reader, ExtractsAMultiMegabyteEntryWithItsTime) {
  std::string archive, original;
  ASSERT_TRUE(test::ReadWholeFile(Input("big.arj"), &archive)) << Input("big.arj");
  ASSERT_TRUE(test::ReadWholeFile(Input("big.bin"), &original));
  ASSERT_GT(original.size(), 2000000u);
  ASSERT_TRUE(SetFirstEntryTime(&archive, kExampleTime));
  test::ScratchFolder scratch;
  const std::string path = scratch.File("timed.arj");
  ASSERT_TRUE(test::WriteWholeFile(path, archive));

  Win32FileSystem files;
  std::unique_ptr<ByteSource> source = OpenSource(path);
  ASSERT_NE(source, nullptr);
  BareArchiveReader reader(source.release(), true, files);
  ASSERT_TRUE(reader.Open()) << std::hex << reader.GetError();
  EXPECT_STREQ(reader.GetEntryName(), "big.bin");
  EXPECT_EQ(reader.entry().method, 1);
  const std::string out = scratch.File("big.bin");
  ASSERT_TRUE(reader.SetEntryName(out.c_str()));
  ASSERT_TRUE(reader.ExtractEntry()) << std::hex << reader.GetError();
  EXPECT_FALSE(reader.NextEntry());
  EXPECT_EQ(reader.GetError(), 0x4019u);

  // Last access and last write: 04:20:30 local time on 17 January 1997,
  // in UTC (read before the contents, which would touch the access time).
  Win32File check(CreateFileA(out.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, 0, nullptr));
  ASSERT_TRUE(check.valid());
  FILETIME accessed, modified;
  ASSERT_TRUE(GetFileTime(check.get(), nullptr, &accessed, &modified));
  check.Close();
  const uint64_t expected =
      kExampleWallClockTicks - uint64_t(ZoneOffsetMinutes() * int64_t(kTicksPerMinute));
  EXPECT_EQ(Ticks(modified), expected) << "offset " << ZoneOffsetMinutes() << " minutes";
  EXPECT_EQ(Ticks(accessed), expected);

  std::string written;
  ASSERT_TRUE(test::ReadWholeFile(out, &written));
  EXPECT_TRUE(written == original);
}

TEST(Win32Reader, OutputsThatCannotBeCreated) {
  test::ScratchFolder scratch;
  std::string archive;
  ASSERT_TRUE(test::ReadWholeFile(Input("big.arj"), &archive));
  const std::string path = scratch.File("big.arj");
  ASSERT_TRUE(test::WriteWholeFile(path, archive));
  const std::string busy = scratch.File("busy.bin");
  Win32File holder(CreateFileA(busy.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
  ASSERT_TRUE(holder.valid());

  const std::string kept = scratch.File("kept.bin");
  ASSERT_TRUE(test::WriteWholeFile(kept, "an earlier file"));

  struct Case {
    std::string output;
    uint32_t code;
    bool no_memory;  // the output file's object cannot be allocated
  };
  const Case cases[] = {
      {scratch.File("missing\\big.bin"), ERROR_PATH_NOT_FOUND, false},
      {busy, ERROR_SHARING_VIOLATION, false},
      {scratch.File("fresh.bin"), ERROR_NOT_ENOUGH_MEMORY, true},
      {kept, ERROR_NOT_ENOUGH_MEMORY, true},
  };
  for (const Case& c : cases) {
    Win32FileSystem files;
    BareArchiveReader reader(OpenSource(path).release(), true, files);
    ASSERT_TRUE(reader.Open());
    reader.SetEntryName(c.output.c_str());
    // The object holds its vtable pointer and the handle.
    if (c.no_memory) FailAllocations(2 * sizeof(void*), 1);
    EXPECT_FALSE(reader.ExtractEntry()) << c.output;
    StopFailingAllocations();
    EXPECT_EQ(reader.GetError(), c.code) << c.output;
    EXPECT_TRUE(reader.IsUsable());
  }
  // No file is made where none could be created, and none is truncated.
  EXPECT_FALSE(test::FileExists(scratch.File("missing\\big.bin")));
  EXPECT_FALSE(test::FileExists(scratch.File("fresh.bin")));
  std::string still;
  ASSERT_TRUE(test::ReadWholeFile(kept, &still));
  EXPECT_EQ(still, "an earlier file");
}

TEST(Win32Reader, FileSourcePositionsAndSize) {
  test::ScratchFolder scratch;
  const std::string path = scratch.File("ten.bin");
  ASSERT_TRUE(test::WriteWholeFile(path, "0123456789"));
  std::unique_ptr<ByteSource> source = OpenSource(path);
  ASSERT_NE(source, nullptr);
  uint32_t size = 0, at = 99, got = 0;
  char buffer[16] = {};
  EXPECT_EQ(source->Size(&size), 0u);
  EXPECT_EQ(size, 10u);
  EXPECT_EQ(source->Seek(7), 0u);
  EXPECT_EQ(source->Tell(&at), 0u);
  EXPECT_EQ(at, 7u);
  EXPECT_EQ(source->Read(buffer, sizeof(buffer), &got), 0u);
  EXPECT_EQ(got, 3u);  // the end of the file: a short read, not an error
  EXPECT_STREQ(buffer, "789");
  Win32File missing;
  EXPECT_EQ(OpenFileForReading(scratch.File("none").c_str(), 0, &missing),
            uint32_t(ERROR_FILE_NOT_FOUND));
  EXPECT_FALSE(missing.valid());
}

// Packages up to 4 GiB - 1 bytes: positions from 2 GiB on are positions,
// not negative distances. The files are sparse, so they cost no disk.
TEST(Win32Reader, FileSourceBeyondTwoGibibytes) {
  test::ScratchFolder scratch;
  struct Case {
    uint64_t file_size;
    uint32_t marker_at;  // 0: no marker
  } cases[] = {
      {0x80000010ull, 0x80000000u},  // 2 GiB: the first position that was refused
      {kLargestSourceBytes, 0xFFFFFFF0u},  // the largest installer kestpack writes
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file_size);
    const std::string path = scratch.File("sparse.bin");
    {
      Win32File file(CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                 FILE_ATTRIBUTE_NORMAL, nullptr));
      ASSERT_TRUE(file.valid());
      LONG high = LONG(c.marker_at >> 31 >> 1);
      SetFilePointer(file.get(), LONG(c.marker_at), &high, FILE_BEGIN);
      DWORD written = 0;
      ASSERT_TRUE(WriteFile(file.get(), "marker", 6, &written, nullptr));
      high = LONG(c.file_size >> 32);
      SetFilePointer(file.get(), LONG(uint32_t(c.file_size)), &high, FILE_BEGIN);
      ASSERT_TRUE(SetEndOfFile(file.get()));
    }
    std::unique_ptr<ByteSource> source = OpenSource(path);
    ASSERT_NE(source, nullptr);
    uint32_t size = 0, at = 0, got = 0;
    char buffer[8] = {};
    EXPECT_EQ(source->Size(&size), 0u);
    EXPECT_EQ(size, c.file_size);
    EXPECT_EQ(source->Seek(c.marker_at), 0u);
    EXPECT_EQ(source->Tell(&at), 0u);
    EXPECT_EQ(at, c.marker_at);
    EXPECT_EQ(source->Read(buffer, 6, &got), 0u);
    EXPECT_STREQ(buffer, "marker");
  }

  // A file of 4 GiB or more holds no package this reader can address.
  const std::string path = scratch.File("too_big.bin");
  {
    Win32File file(CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(file.valid());
    LONG high = 1;
    SetFilePointer(file.get(), 0, &high, FILE_BEGIN);
    ASSERT_TRUE(SetEndOfFile(file.get()));
  }
  std::unique_ptr<ByteSource> source = OpenSource(path);
  ASSERT_NE(source, nullptr);
  uint32_t size = 0;
  EXPECT_NE(source->Size(&size), 0u);
}

}  // namespace
}  // namespace kest
