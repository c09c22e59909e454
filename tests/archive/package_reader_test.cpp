#include "archive/package_reader.h"

#include <gtest/gtest.h>

#include <memory>

#include "archive/memory_source.h"
#include "archive/reader_codes.h"
#include "base/install_codes.h"
#include "tests/archive/reader_test_support.h"

namespace kest {
namespace {

using test::Bytes;
using test::BuildArchive;
using test::FaultySource;
using test::MemoryFileSystem;
using test::Qel1;
using test::StoredEntry;
using test::TestEntry;
using test::TestHeader;

Bytes Text(const char* s) { return Bytes(s, s + strlen(s)); }

// A bare reader over bytes held by the fixture.
struct Opened {
  explicit Opened(Bytes archive, uint32_t limit = 0xFFFFFFFF)
      : bytes(std::move(archive)),
        reader(new MemorySource(bytes.data(), static_cast<uint32_t>(bytes.size())), true, files) {
    reader.set_packed_size_limit(limit);
    reader.Open();
  }
  Bytes bytes;
  MemoryFileSystem files;
  BareArchiveReader reader;
};

std::vector<TestEntry> ThreeEntries() {
  TestEntry manifest = StoredEntry("CPACK.INI", Text("[Components]\r\nName=Grid\r\n"));
  TestEntry library = StoredEntry("RUNTIME/X.DLL", Bytes(300, 0x5A));
  library.header.extensions = {Qel1(1, 1, 0, 0, 0x01BC0A3C4155F880, 0)};
  TestEntry empty = StoredEntry("Empty.txt", Bytes());
  empty.header.extensions = {Qel1(0, 0, 0, 0, 42, 0)};
  return {manifest, library, empty};
}

// Bytes of BuildArchive's main header with its extension chain.
size_t MainHeaderSize() { return BuildArchive({}).size() - 4; }

TEST(PackageReader, WalksTheEntriesInArchiveOrder) {
  Opened o(BuildArchive(ThreeEntries()));
  PackageReader& r = o.reader;
  ASSERT_TRUE(r.IsUsable());
  EXPECT_EQ(r.GetError(), 0u);
  EXPECT_EQ(r.GetArchiveLength(), o.bytes.size());
  EXPECT_STREQ(r.main_header().name(), "test.arj");

  EXPECT_STREQ(r.GetEntryName(), "cpack.ini");
  ASSERT_EQ(r.GetEntryPackedSize(), 25u);
  EXPECT_EQ(memcmp(r.GetEntryData(), "[Components]\r\nName=Grid\r\n", 25), 0);
  uint16_t version[4] = {9, 9, 9, 9};
  EXPECT_TRUE(r.GetEntryVersion(version));  // 1.2.3.4 from StoredEntry
  EXPECT_EQ(version[3], 4);

  ASSERT_TRUE(r.NextEntry());
  EXPECT_STREQ(r.GetEntryName(), "runtime\\x.dll");
  ASSERT_EQ(r.GetEntryPackedSize(), 300u);
  EXPECT_EQ(r.GetEntryData()[299], 0x5A);
  ASSERT_TRUE(r.GetEntryVersion(version));
  EXPECT_EQ(version[0], 1);
  EXPECT_EQ(version[1], 1);
  EXPECT_EQ(version[2], 0);
  EXPECT_EQ(r.GetEntryFileTime(), 0x01BC0A3C4155F880u);

  ASSERT_TRUE(r.NextEntry());
  EXPECT_STREQ(r.GetEntryName(), "empty.txt");
  EXPECT_EQ(r.GetEntryPackedSize(), 0u);
  EXPECT_FALSE(r.GetEntryVersion(version));  // 0.0.0.0 is no version
  EXPECT_EQ(r.GetEntryFileTime(), 42u);
  EXPECT_EQ(r.GetError(), 0u);

  // The end: 0x4019, still usable, no entry any more.
  EXPECT_FALSE(r.NextEntry());
  EXPECT_EQ(r.GetError(), kReaderEndOfArchive);
  EXPECT_TRUE(r.IsUsable());
  EXPECT_FALSE(r.HasEntry());
  EXPECT_EQ(r.entry().id, kEndMarkerId);
  EXPECT_EQ(r.GetEntryData(), nullptr);
  EXPECT_STREQ(r.GetEntryName(), "");
  EXPECT_FALSE(r.SetEntryName("c:\\x"));
}

TEST(PackageReader, ConstructionFailuresLeaveItUnusable) {
  const Bytes good = BuildArchive(ThreeEntries());
  const size_t main_size = MainHeaderSize();
  const size_t first_data = main_size + ThreeEntries()[0].header.Build().size();

  struct Case {
    const char* what;
    Bytes bytes;
    uint32_t code;
    uint32_t tell_error = 0;
    uint32_t fail_read_at = UINT32_MAX;
    uint32_t limit = 0xFFFFFFFF;
  };
  const Bytes empty = BuildArchive({});
  Bytes bad_main_crc = good;
  bad_main_crc[10] ^= 1;
  Bytes bad_entry_crc = good;
  bad_entry_crc[main_size + 10] ^= 1;
  Bytes bad_entry_id = good;
  bad_entry_id[main_size] = 0x61;
  Bytes bad_main_id = good;
  bad_main_id[1] = 0xEB;
  Case cases[] = {
      {"main header, then the end", empty, kReaderNoEntry},
      {"only the end marker", test::EndMarker(), kReaderBadHeader},
      {"no bytes at all", Bytes(), kReaderBadHeader},
      {"main header id", bad_main_id, kReaderBadHeader},
      {"main header CRC", bad_main_crc, kReaderBadCrc},
      // A first entry header that cannot be read is not an entry header.
      {"first entry CRC", bad_entry_crc, kReaderBadHeader},
      {"read error in the first entry header", good, kReaderBadHeader, 0,
       static_cast<uint32_t>(main_size + 2)},
      {"first entry id", bad_entry_id, kReaderBadHeader},
      {"start position unknown", good, kReaderNoPosition, 6},
      {"read error in the main header", good, kReaderReadError, 0, 3},
      {"read error in the first data", good, kReaderReadError, 0,
       static_cast<uint32_t>(first_data + 2)},
      {"first entry too large to hold", good, kCodeOutOfMemory, 0, UINT32_MAX, 24},
  };
  for (Case& c : cases) {
    auto source = std::make_unique<FaultySource>(c.bytes);
    source->tell_error = c.tell_error;
    source->fail_read_at = c.fail_read_at;
    source->read_error = 5;
    MemoryFileSystem files;
    BareArchiveReader reader(source.get(), false, files);
    reader.set_packed_size_limit(c.limit);
    EXPECT_FALSE(reader.Open()) << c.what;
    EXPECT_FALSE(reader.IsUsable()) << c.what;
    EXPECT_EQ(reader.GetError(), c.code) << c.what;
    EXPECT_FALSE(reader.HasEntry()) << c.what;
    // An unusable reader refuses to move.
    EXPECT_FALSE(reader.NextEntry()) << c.what;
    EXPECT_EQ(reader.GetError(), c.code | kReaderNoEntry) << c.what;
  }
}

// A reader with a trailer: the archive stands at offset 100 of a file,
// followed by a 16-byte trailer that ReadTrailer reads and checks.
class TrailerReader : public PackageReader {
 public:
  using PackageReader::PackageReader;
  bool ReadTrailer(ByteSource& source) override {
    calls++;
    uint32_t at = 0;
    source.Tell(&at);
    position_seen = at;
    length_seen = GetArchiveLength();
    if (source.Seek(archive_start() + GetArchiveLength()) != 0) return false;
    uint32_t got = 0;
    ReadFully(source, trailer, sizeof(trailer), &got);
    source.Seek(at);
    if (got < sizeof(trailer)) {
      Record(kReaderShortTrailer);
      return false;
    }
    if (memcmp(trailer, "TRAILER", 7) != 0) {
      Record(kCodeDamagedPackage);
      return false;
    }
    return true;
  }
  int calls = 0;
  uint32_t position_seen = 0;
  uint32_t length_seen = 0;
  uint8_t trailer[16] = {};
};

TEST(PackageReader, ReadTrailerRunsAfterTheMainHeaderAndCanStopConstruction) {
  const Bytes archive = BuildArchive(ThreeEntries());
  const Bytes image(100, 0xCC);
  const Bytes trailer = Text("TRAILER and more");
  const size_t main_size = MainHeaderSize();

  struct Case {
    const char* what;
    Bytes trailer;
    size_t cut;  // bytes removed from the end of the file
    bool usable;
    uint32_t code;
  };
  const Case cases[] = {
      {"good trailer", trailer, 0, true, 0},
      {"damaged trailer", Text("TRAILEX and more"), 0, false, kCodeDamagedPackage},
      {"trailer cut short", trailer, 5, false, kReaderShortTrailer},
      {"file cut inside the archive", trailer, 16 + 30, false, kReaderShortTrailer},
  };
  for (const Case& c : cases) {
    Bytes file = image;
    test::Append(&file, archive);
    test::Append(&file, c.trailer);
    file.resize(file.size() - c.cut);
    MemorySource source(file.data(), static_cast<uint32_t>(file.size()));
    source.Seek(100);
    MemoryFileSystem files;
    TrailerReader reader(&source, false, files);
    EXPECT_EQ(reader.Open(), c.usable) << c.what;
    EXPECT_EQ(reader.GetError(), c.code) << c.what;
    EXPECT_EQ(reader.calls, 1) << c.what;
    EXPECT_EQ(reader.archive_start(), 100u) << c.what;
    EXPECT_EQ(reader.position_seen, 100 + main_size) << c.what;
    EXPECT_EQ(reader.length_seen, archive.size()) << c.what;
    EXPECT_EQ(reader.HasEntry(), c.usable) << c.what;
    if (c.usable) EXPECT_STREQ(reader.GetEntryName(), "cpack.ini");
  }
}

TEST(PackageReader, NextEntryFailuresAreRecordedAndAccumulate) {
  const std::vector<TestEntry> entries = ThreeEntries();
  const Bytes good = BuildArchive(entries);
  const size_t second_header = good.size() - 4 - entries[2].header.Build().size() -
                               entries[1].header.Build().size() - 300;
  const size_t second_data = second_header + entries[1].header.Build().size();

  {  // A damaged second header, then whatever follows reads as no header.
    Bytes bytes = good;
    bytes[second_header + 40] ^= 0x10;
    Opened o(bytes);
    ASSERT_TRUE(o.reader.IsUsable());
    EXPECT_FALSE(o.reader.NextEntry());
    EXPECT_EQ(o.reader.GetError(), kReaderBadCrc);
    EXPECT_TRUE(o.reader.IsUsable());
    EXPECT_FALSE(o.reader.NextEntry());
    EXPECT_EQ(o.reader.GetError(), kReaderBadCrc | kReaderBadHeader);
  }
  {  // Cut inside the second entry's data: it loads zero-filled; then no
     // end marker.
    Bytes bytes(good.begin(), good.begin() + second_data + 100);
    Opened o(bytes);
    ASSERT_TRUE(o.reader.NextEntry());
    EXPECT_EQ(o.reader.GetEntryData()[99], 0x5A);
    EXPECT_EQ(o.reader.GetEntryData()[100], 0);
    EXPECT_EQ(o.reader.GetEntryData()[299], 0);
    EXPECT_FALSE(o.reader.NextEntry());
    EXPECT_EQ(o.reader.GetError(), kReaderBadHeader);
  }
  {  // A read error in the data records the system code.
    auto source = std::make_unique<FaultySource>(good);
    source->fail_read_at = static_cast<uint32_t>(second_data + 10);
    source->read_error = 23;
    MemoryFileSystem files;
    BareArchiveReader reader(source.release(), true, files);
    ASSERT_TRUE(reader.Open());
    EXPECT_FALSE(reader.NextEntry());
    EXPECT_EQ(reader.GetError(), 23u);
    EXPECT_TRUE(reader.IsUsable());
    EXPECT_FALSE(reader.HasEntry());
  }
  {  // Too large to hold: out of memory finishes the reader.
    Opened o(good, 100);
    ASSERT_TRUE(o.reader.IsUsable());
    EXPECT_FALSE(o.reader.NextEntry());
    EXPECT_EQ(o.reader.GetError(), kCodeOutOfMemory);
    EXPECT_FALSE(o.reader.IsUsable());
    EXPECT_FALSE(o.reader.NextEntry());
    EXPECT_EQ(o.reader.GetError(), kCodeOutOfMemory | kReaderNoEntry);
  }
}

TEST(PackageReader, MainHeaderWithAnOriginalSizeIsTheFirstEntry) {
  TestHeader main;
  main.name = "ONLY.TXT";
  main.packed_size = main.original_size = 5;
  main.extensions = {Qel1(2, 0, 0, 0, 0, 1234)};
  Bytes bytes = main.Build();
  test::Append(&bytes, Text("hello"));
  test::Append(&bytes, test::EndMarker());
  Opened o(bytes);
  ASSERT_TRUE(o.reader.IsUsable());
  EXPECT_EQ(o.reader.GetArchiveLength(), 1234u);
  EXPECT_STREQ(o.reader.GetEntryName(), "only.txt");
  EXPECT_EQ(memcmp(o.reader.GetEntryData(), "hello", 5), 0);
  ASSERT_TRUE(o.reader.SetEntryName("out.txt"));
  EXPECT_STREQ(o.reader.main_header().name(), "only.txt");  // records apart
  EXPECT_FALSE(o.reader.NextEntry());
  EXPECT_EQ(o.reader.GetError(), kReaderEndOfArchive);
}

TEST(PackageReader, ArchiveLengthIsTakenEvenWithAnotherMagic) {
  TestHeader main;
  main.file_type = 2;
  main.extensions = {Qel1(0, 0, 0, 0, 0, 777, "XXXX")};
  Bytes bytes = main.Build();
  TestEntry e = StoredEntry("a", Text("a"));
  test::Append(&bytes, e.header.Build());
  test::Append(&bytes, e.data);
  test::Append(&bytes, test::EndMarker());
  Opened o(bytes);
  ASSERT_TRUE(o.reader.IsUsable());
  EXPECT_EQ(o.reader.GetArchiveLength(), 777u);
}

TEST(PackageReader, SetEntryNameReplacesTheNameUntilTheNextMove) {
  Opened o(BuildArchive(ThreeEntries()));
  ASSERT_TRUE(o.reader.SetEntryName("c:\\dest\\one.ini"));
  ASSERT_TRUE(o.reader.SetEntryName("c:\\dest\\two.ini"));
  EXPECT_STREQ(o.reader.GetEntryName(), "c:\\dest\\two.ini");
  ASSERT_TRUE(o.reader.NextEntry());
  EXPECT_STREQ(o.reader.GetEntryName(), "runtime\\x.dll");
}

// A later pass over the same entries: back at an entry, the reader reads it
// as the first pass did (its own name again, earlier failures forgotten),
// and an entry decodes again into memory, the disk untouched, a sink's
// refusal leaving the reader as it was.
TEST(PackageReader, ReturnsToAnEntryAndDecodesItAgain) {
  Opened o(BuildArchive(ThreeEntries()));
  PackageReader& r = o.reader;
  ASSERT_TRUE(r.NextEntry());
  const uint32_t second = r.entry_start();
  ASSERT_TRUE(r.SetEntryName("c:\\dest\\runtime\\x.dll"));
  ASSERT_TRUE(r.NextEntry());
  ASSERT_FALSE(r.NextEntry());
  const uint32_t end = r.entry_start();
  ASSERT_EQ(r.GetError(), kReaderEndOfArchive);

  ASSERT_TRUE(r.ReturnToEntry(second));
  EXPECT_EQ(r.GetError(), 0u);
  EXPECT_TRUE(r.IsUsable());
  EXPECT_STREQ(r.GetEntryName(), "runtime\\x.dll");
  ASSERT_EQ(r.GetEntryPackedSize(), 300u);
  EXPECT_EQ(r.GetEntryData()[299], 0x5A);

  class Collect : public ByteSink {
   public:
    uint32_t Write(const void* data, uint32_t size) override {
      if (refuse) return 5;
      const uint8_t* p = static_cast<const uint8_t*>(data);
      bytes.insert(bytes.end(), p, p + size);
      return 0;
    }
    Bytes bytes;
    bool refuse = false;
  } collect;
  ASSERT_TRUE(r.DecodeEntryTo(collect));
  EXPECT_EQ(collect.bytes, Bytes(300, 0x5A));
  collect.refuse = true;
  EXPECT_FALSE(r.DecodeEntryTo(collect));
  EXPECT_EQ(r.GetError(), 0u);
  EXPECT_TRUE(r.IsUsable() && r.entry_ok());
  EXPECT_TRUE(o.files.files.empty());

  ASSERT_TRUE(r.NextEntry());
  EXPECT_STREQ(r.GetEntryName(), "empty.txt");
  // Back at the end marker: the end, as NextEntry gives it.
  EXPECT_FALSE(r.ReturnToEntry(end));
  EXPECT_EQ(r.GetError(), kReaderEndOfArchive);
  EXPECT_TRUE(r.IsUsable());
  EXPECT_FALSE(r.HasEntry());
}

}  // namespace
}  // namespace kest
