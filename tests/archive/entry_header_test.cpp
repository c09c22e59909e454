#include "archive/entry_header.h"

#include <gtest/gtest.h>

#include "archive/memory_source.h"
#include "archive/reader_codes.h"
#include "base/install_codes.h"
#include "tests/archive/reader_test_support.h"
#include "tests/manifest/failing_allocation.h"

namespace kest {
namespace {

using test::Bytes;
using test::Qel1;
using test::TestHeader;

struct ReadResult {
  uint32_t code;
  EntryHeader header;
  uint32_t position;  // where the source stands afterwards
};

ReadResult Read(const Bytes& bytes) {
  MemorySource source(bytes.data(), static_cast<uint32_t>(bytes.size()));
  Crc32 crc;
  ReadResult r;
  r.code = ReadEntryHeader(source, crc, &r.header);
  source.Tell(&r.position);
  return r;
}

// The first two headers of a shipped package, field by field, with the
// header CRCs it stores.
TEST(EntryHeader, ReadsTheShippedPackagesHeaders) {
  TestHeader main;
  main.archiver_version = 4;
  main.minimum_version = 1;
  main.host_os = 0;
  main.flags = 0x10;
  main.file_type = 2;
  main.reserved = 2;
  main.dos_time = 0x22388502;
  main.file_spec_position = 4;
  main.access_mode = 0;
  main.name = "CPACK.ARJ";
  main.set_header_crc = true;
  main.header_crc = 0x1C4C052E;
  main.extensions = {Qel1(0, 0, 0, 0, 0, 0x0073F698)};

  TestHeader entry = main;
  entry.file_type = 0;
  entry.dos_time = 0x22388269;
  entry.packed_size = entry.original_size = 757;
  entry.data_crc = 0x74BDB0F7;
  entry.file_spec_position = 0;
  entry.access_mode = 0x20;
  entry.name = "CPACK.INI";
  entry.header_crc = 0x80DFD3DE;
  entry.extensions = {Qel1(0, 0, 0, 0, 0x01BC0A3C4155F880, 0x51)};

  const Bytes main_bytes = main.Build();
  ReadResult m = Read(main_bytes);
  ASSERT_EQ(m.code, 0u);
  EXPECT_EQ(m.header.id, 0xEA60);
  EXPECT_EQ(m.header.basic_size, 41);
  EXPECT_EQ(m.header.first_size, 30);
  EXPECT_EQ(m.header.flags, 0x10);
  EXPECT_EQ(m.header.file_type, 2);
  EXPECT_EQ(m.header.dos_time, 0x22388502u);
  EXPECT_EQ(m.header.header_crc, 0x1C4C052Eu);
  EXPECT_STREQ(m.header.name(), "cpack.arj");
  EXPECT_STREQ(m.header.comment(), "");
  EXPECT_EQ(m.header.value, 7599768u);
  EXPECT_EQ(m.position, main_bytes.size());

  ReadResult e = Read(entry.Build());
  ASSERT_EQ(e.code, 0u);
  EXPECT_EQ(e.header.basic_size, 41);
  EXPECT_EQ(e.header.method, 0);
  EXPECT_EQ(e.header.reserved, 2);
  EXPECT_EQ(e.header.packed_size, 757u);
  EXPECT_EQ(e.header.original_size, 757u);
  EXPECT_EQ(e.header.data_crc, 0x74BDB0F7u);
  EXPECT_EQ(e.header.access_mode, 0x20);
  EXPECT_STREQ(e.header.name(), "cpack.ini");
  EXPECT_EQ(e.header.file_time, 0x01BC0A3C4155F880u);
  EXPECT_EQ(e.header.value, 0x51u);
  for (uint16_t word : e.header.version) EXPECT_EQ(word, 0);
}

TEST(EntryHeader, NamesTakeBackslashesAndLowerCaseAsciiOnly) {
  struct Case {
    const char* stored;
    const char* read;
  };
  const Case cases[] = {
      {"RUNTIME/X.DLL", "runtime\\x.dll"},
      {"RUNTIME/Sub/File.DLL", "runtime\\sub\\file.dll"},
      {"[AZ]@_`{az}", "[az]@_`{az}"},
      {"\xC4RGER/\xC9T\xC9.TXT", "\xC4rger\\\xC9t\xC9.txt"},  // bytes above 127 stay
      {"a\\B", "a\\b"},
  };
  for (const Case& c : cases) {
    TestHeader h;
    h.name = c.stored;
    h.comment = "Comment/KEPT";
    ReadResult r = Read(h.Build());
    ASSERT_EQ(r.code, 0u) << c.stored;
    EXPECT_STREQ(r.header.name(), c.read);
    EXPECT_STREQ(r.header.comment(), "Comment/KEPT");
  }
}

TEST(EntryHeader, FirstHeaderSizesOfAtLeast30AreReadWhole) {
  for (uint8_t size : {30, 34, 46, 255}) {
    SCOPED_TRACE(static_cast<int>(size));
    TestHeader h;
    h.first_size = size;
    h.extensions = {Qel1(1, 2, 3, 4, 5, 6)};
    Bytes bytes = h.Build();
    ReadResult r = Read(bytes);
    ASSERT_EQ(r.code, 0u);
    EXPECT_STREQ(r.header.name(), "file.bin");
    EXPECT_EQ(r.header.value, 6u);
    EXPECT_EQ(r.position, bytes.size());
    if (size > 30) {
      // The bytes past the 30 named are covered by the header CRC.
      bytes[4 + size - 1] ^= 1;
      EXPECT_EQ(Read(bytes).code, kReaderBadCrc);
    }
  }
}

TEST(EntryHeader, MalformedHeadersAreRefusedWithoutReadingOutsideTheirBlock) {
  struct Case {
    const char* what;
    Bytes bytes;
    uint32_t code;
  };
  TestHeader plain;
  const Bytes good = plain.Build();
  TestHeader small_first = plain;
  small_first.first_size = 29;
  TestHeader zero_first = plain;
  zero_first.first_size = 0;
  TestHeader tiny_b = plain;
  tiny_b.basic_size = 31;  // no room for two terminators
  TestHeader unterminated_name = plain;
  unterminated_name.basic_size = 30 + 8;  // the name's 8 bytes, no NUL
  TestHeader unterminated_comment = plain;
  unterminated_comment.comment = "note";
  unterminated_comment.basic_size = 30 + 9 + 4;
  TestHeader wrong_id = plain;
  wrong_id.id = 0xEA61;
  // B covers three bytes after the comment's terminator, and the CRC over
  // all of B stands at 4 + B: the stored CRC is read right after the
  // comment, so it is those bytes that are compared.
  TestHeader bytes_after_comment = plain;
  bytes_after_comment.comment = std::string("note\0xy", 7);
  const Case cases[] = {
      {"bytes after the comment", bytes_after_comment.Build(), kReaderBadCrc},
      {"F below 30", small_first.Build(), kReaderBadHeader},
      {"F zero", zero_first.Build(), kReaderBadHeader},
      {"B below F + 2", tiny_b.Build(), kReaderBadHeader},
      {"name not terminated", unterminated_name.Build(), kReaderBadHeader},
      {"comment not terminated", unterminated_comment.Build(), kReaderBadHeader},
      {"wrong id", wrong_id.Build(), kReaderBadHeader},
      {"cut inside the fixed part", Bytes(good.begin(), good.begin() + 20), kReaderBadHeader},
      {"only the id", Bytes(good.begin(), good.begin() + 2), kReaderBadHeader},
      {"nothing", Bytes(), kReaderBadHeader},
  };
  for (const Case& c : cases) {
    ReadResult r = Read(c.bytes);
    EXPECT_EQ(r.code, c.code) << c.what;
    EXPECT_EQ(r.header.id, 0) << c.what;
  }
}

// The end marker is read as 34 bytes like any header: fewer are a short
// read, unless the marker may end the data (an archive on its own).
TEST(EntryHeader, EndMarkerIsReadWhole) {
  Bytes followed = test::EndMarker();
  followed.resize(34, 0xEE);
  struct Case {
    const char* what;
    Bytes bytes;
    EndMarker end;
    uint32_t code;
  } const cases[] = {
      {"followed by 30 bytes", followed, EndMarker::kFollowed, 0},
      {"followed by 29 bytes", Bytes(followed.begin(), followed.end() - 1), EndMarker::kFollowed,
       kReaderBadHeader},
      {"ending the data", test::EndMarker(), EndMarker::kFollowed, kReaderBadHeader},
      {"ending the data, allowed", test::EndMarker(), EndMarker::kMayEndData, 0},
      {"followed by 3 bytes, allowed", Bytes{0x60, 0xEA, 0, 0, 1, 2, 3}, EndMarker::kMayEndData,
       0},
  };
  for (const Case& c : cases) {
    MemorySource source(c.bytes.data(), static_cast<uint32_t>(c.bytes.size()));
    Crc32 crc;
    EntryHeader header;
    EXPECT_EQ(ReadEntryHeader(source, crc, &header, c.end), c.code) << c.what;
    EXPECT_EQ(header.id, c.code == 0 ? kEndMarkerId : 0) << c.what;
    EXPECT_STREQ(header.name(), "") << c.what;
  }
}

// Any single bit flipped in the fixed part, name, comment or stored CRC is
// caught by the header CRC.
TEST(EntryHeader, EveryBitFlipInTheBasicHeaderFailsTheCrc) {
  TestHeader h;
  h.method = 1;
  h.packed_size = 1234;
  h.original_size = 5678;
  h.data_crc = 0xDEADBEEF;
  h.name = "RUNTIME/X.DLL";
  h.comment = "a comment";
  const Bytes good = h.Build();
  const size_t name_end = 4 + 30 + h.name.size();
  const size_t basic_end = name_end + 1 + h.comment.size() + 1;
  for (size_t at = 4; at < basic_end + 4; ++at) {
    for (int bit = 0; bit < 8; ++bit) {
      Bytes bad = good;
      bad[at] ^= static_cast<uint8_t>(1 << bit);
      ReadResult r = Read(bad);
      if (at == 4 || at == name_end || at == basic_end - 1) {
        // F itself: too small is malformed, larger leaves B too small or
        // moves the CRC. A terminator gone leaves the comment unterminated.
        EXPECT_TRUE(r.code == kReaderBadHeader || r.code == kReaderBadCrc) << at << ":" << bit;
      } else {
        EXPECT_EQ(r.code, kReaderBadCrc) << at << ":" << bit;
      }
      EXPECT_EQ(r.header.id, 0);
    }
  }
}

TEST(EntryHeader, Qel1RulesForExtensionChains) {
  struct Case {
    const char* what;
    std::vector<Bytes> extensions;
    uint16_t version[4];
    uint64_t file_time;
    uint32_t value;
  };
  const Bytes twelve(12, 0xAB);
  const Case cases[] = {
      {"none", {}, {0, 0, 0, 0}, 0, 0},
      {"one", {Qel1(1, 1, 0, 0, 77, 5)}, {1, 1, 0, 0}, 77, 5},
      {"12 bytes, then Qel1", {twelve, Qel1(5, 6, 7, 8, 99, 3)}, {5, 6, 7, 8}, 99, 3},
      {"Qel1, then 12 bytes", {Qel1(5, 6, 7, 8, 99, 3), twelve}, {5, 6, 7, 8}, 99, 3},
      {"two: the last counts", {Qel1(1, 2, 3, 4, 5, 6), Qel1(9, 9, 9, 9, 8, 7)}, {9, 9, 9, 9}, 8, 7},
      {"other magic: no version or time, value kept",
       {Qel1(1, 2, 3, 4, 5, 0x1234, "Qel2")}, {0, 0, 0, 0}, 0, 0x1234},
      {"good, then other magic",
       {Qel1(1, 2, 3, 4, 5, 6), Qel1(1, 2, 3, 4, 5, 9, "qel1")}, {0, 0, 0, 0}, 0, 9},
      {"23 and 25 bytes are skipped", {Bytes(23, 1), Qel1(2, 0, 0, 0, 0, 1), Bytes(25, 1)},
       {2, 0, 0, 0}, 0, 1},
      {"a large one is skipped", {Bytes(1000, 7), Qel1(3, 0, 0, 0, 0, 2)}, {3, 0, 0, 0}, 0, 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TestHeader h;
    h.extensions = c.extensions;
    Bytes bytes = h.Build();
    // Extension CRCs are never checked: damage every one of them.
    size_t at = 4 + 30 + h.name.size() + 2 + 4;
    for (const Bytes& x : c.extensions) {
      bytes[at + 2 + x.size()] ^= 0xFF;
      at += 2 + x.size() + 4;
    }
    ReadResult r = Read(bytes);
    ASSERT_EQ(r.code, 0u);
    for (int k = 0; k < 4; ++k) EXPECT_EQ(r.header.version[k], c.version[k]);
    EXPECT_EQ(r.header.file_time, c.file_time);
    EXPECT_EQ(r.header.value, c.value);
    EXPECT_EQ(r.position, bytes.size());
  }
}

TEST(EntryHeader, ReadAndAllocationFailures) {
  TestHeader h;
  h.extensions = {Bytes(12, 0), Qel1(1, 0, 0, 0, 0, 0)};
  const Bytes bytes = h.Build();
  // A read error anywhere: the fixed part, the name block, an extension.
  for (uint32_t at : {0u, 10u, 36u, 50u, 60u, 80u}) {
    ASSERT_LT(at, bytes.size());
    test::FaultySource source(bytes);
    source.fail_read_at = at;
    source.read_error = 5;
    Crc32 crc;
    EntryHeader header;
    EXPECT_EQ(ReadEntryHeader(source, crc, &header), kReaderReadError) << at;
    EXPECT_EQ(header.id, 0);
  }
  // No memory for the name block (B - F name and comment, CRC, next size).
  FailAllocations(h.name.size() + 2 + 6, 1);
  ReadResult r = Read(bytes);
  StopFailingAllocations();
  EXPECT_EQ(r.code, kCodeOutOfMemory);
  EXPECT_EQ(r.header.id, 0);
}

TEST(EntryHeader, SetNameReplacesTheNameAndCopiesKeepEverything) {
  TestHeader h;
  h.name = "Dir/Name.TXT";
  h.extensions = {Qel1(1, 2, 3, 4, 5, 6)};
  ReadResult r = Read(h.Build());
  ASSERT_EQ(r.code, 0u);
  ASSERT_TRUE(r.header.SetName("c:\\first"));
  ASSERT_TRUE(r.header.SetName("c:\\second"));
  EXPECT_STREQ(r.header.name(), "c:\\second");

  EntryHeader copy;
  ASSERT_TRUE(r.header.CopyTo(&copy));
  EXPECT_STREQ(copy.name(), "c:\\second");
  EXPECT_EQ(copy.version[3], 4);
  EXPECT_EQ(copy.value, 6u);
  EXPECT_NE(copy.name(), r.header.name());  // its own storage

  FailAllocations(strlen("c:\\third") + 1, 1);
  EXPECT_FALSE(r.header.SetName("c:\\third"));
  StopFailingAllocations();
  EXPECT_STREQ(r.header.name(), "c:\\second");
}

}  // namespace
}  // namespace kest
