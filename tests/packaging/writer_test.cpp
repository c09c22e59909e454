// The archive writer's headers, read back field by field, its stored
// fallback, its determinism and its errors.
#include "packaging/archive_writer.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "packaging/header_builder.h"
#include "base/install_codes.h"
#include "tests/archive/archive_test_support.h"

namespace kest {
namespace {

using test::Bytes;
using test::StoredHeader;

uint32_t Le32(const uint8_t* p) { return p[0] | (p[1] << 8) | (p[2] << 16) | (uint32_t{p[3]} << 24); }

// The first two headers of a package built by the original tool, with the
// CRCs it stored: our header layout must reproduce them bit for bit.
TEST(HeaderBuilderTest, ReproducesKnownHeaders) {
  struct Case {
    const char* name;
    uint8_t file_type;
    uint32_t dos_time;
    uint32_t size;  // packed and original
    uint32_t data_crc;
    uint16_t file_spec_position;
    uint16_t access_mode;
    uint64_t file_time;
    uint32_t value;
    uint32_t header_crc;
  };
  const Case cases[] = {
      {"CPACK.ARJ", 2, 0x22388502, 0, 0, 4, 0x0000, 0, 0x0073F698, 0x1C4C052E},
      {"CPACK.INI", 0, 0x22388269, 757, 0x74BDB0F7, 0, 0x0020, 0x01BC0A3C4155F880ull, 0x51,
       0x80DFD3DE},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EntryFields f;
    f.archiver_version = 4;
    f.minimum_version = 1;
    f.host_os = 0;
    f.flags = 0x10;
    f.method = 0;
    f.file_type = c.file_type;
    f.reserved = 2;
    f.dos_time = c.dos_time;
    f.packed_size = f.original_size = c.size;
    f.data_crc = c.data_crc;
    f.file_spec_position = c.file_spec_position;
    f.access_mode = c.access_mode;
    f.file_time = c.file_time;
    f.value = c.value;
    uint8_t out[kHeaderOverhead + 16];
    Crc32 crc;
    uint32_t size = BuildHeader(f, c.name, 9, crc, out);
    ASSERT_EQ(kHeaderOverhead + 9, size);
    EXPECT_EQ(0x60, out[0]);
    EXPECT_EQ(0xEA, out[1]);
    EXPECT_EQ(41, out[2] | (out[3] << 8));
    EXPECT_EQ(0, std::memcmp(out + 34, c.name, 10));
    EXPECT_EQ(0, out[44]);
    EXPECT_EQ(c.header_crc, Le32(out + 45));
    EXPECT_EQ(24, out[49]);
    EXPECT_EQ(0, std::memcmp(out + 51, "Qel1", 4));
    EXPECT_EQ(static_cast<uint32_t>(c.file_time), Le32(out + 63));
    EXPECT_EQ(static_cast<uint32_t>(c.file_time >> 32), Le32(out + 67));
    EXPECT_EQ(c.value, Le32(out + 71));
    EXPECT_EQ(test::ReferenceCrc32(out + 51, 24), Le32(out + 75));
    EXPECT_EQ(0, out[79] | out[80]);
  }
}

struct Input {
  const char* name;
  const char* stored_name;
  uint16_t file_spec_position;
  Bytes data;
  uint32_t method;
  uint32_t expected_method;
};

std::vector<Input> Inputs() {
  Bytes text = test::MakeInput(test::InputKind::kText, 5000, 1);
  return {
      {"CPACK.INI", "CPACK.INI", 0, Bytes(text.begin(), text.begin() + 700), 0, 0},
      {"_winsys\\Sub\\X.DLL", "_winsys/Sub/X.DLL", 12, text, 1, 1},
      {"docs/read me.txt", "docs/read me.txt", 5, text, 3, 3},
      {"noise.bin", "noise.bin", 0, test::MakeInput(test::InputKind::kRandom, 3000, 2), 1, 0},
      {"noise2.bin", "noise2.bin", 0, test::MakeInput(test::InputKind::kRandom, 70000, 2), 2, 0},
      {"empty\\zero.txt", "empty/zero.txt", 6, {}, 2, 0},
  };
}

Bytes Write(const std::vector<Input>& inputs, std::vector<WrittenEntry>* written) {
  test::MemorySink sink;
  ArchiveWriter writer(sink);
  EXPECT_EQ(0u, writer.Begin("CPACK.ARJ", 0x22388502));
  written->clear();
  for (size_t i = 0; i < inputs.size(); ++i) {
    const Input& in = inputs[i];
    EntryInfo info = {in.name, 0x22388269 + static_cast<uint32_t>(i), 0x01BC0A3C4155F880ull + i,
                      {1, 2, static_cast<uint16_t>(i), 0xFFFF}};
    WrittenEntry w = {};
    EXPECT_EQ(0u, writer.AddEntry(info, in.data.data(), static_cast<uint32_t>(in.data.size()),
                                  in.method, &w));
    written->push_back(w);
  }
  EXPECT_EQ(0u, writer.Finish());
  EXPECT_EQ(sink.bytes.size(), writer.length());
  ArchiveLengthPatch patch = writer.LengthPatch();
  EXPECT_LE(patch.offset + 8, sink.bytes.size());
  std::memcpy(&sink.bytes[patch.offset], patch.bytes, 8);
  return sink.bytes;
}

TEST(ArchiveWriterTest, HeadersReadBackAsWritten) {
  const std::vector<Input> inputs = Inputs();
  std::vector<WrittenEntry> written;
  Bytes archive = Write(inputs, &written);

  StoredHeader main;
  std::vector<StoredHeader> entries;
  size_t end = 0;
  ASSERT_TRUE(test::WalkArchive(archive, &main, &entries, &end));
  EXPECT_EQ(archive.size(), end);
  EXPECT_EQ("CPACK.ARJ", main.name);
  EXPECT_TRUE(main.header_crc_ok);
  EXPECT_EQ(2, main.fixed[6]);                 // file type: main header
  EXPECT_EQ(0u, main.Field32(20));             // original size 0: not an entry
  ASSERT_EQ(1u, main.extensions.size());
  ASSERT_EQ(24u, main.extensions[0].size());
  EXPECT_EQ(archive.size(), Le32(&main.extensions[0][20]));  // the archive length
  EXPECT_TRUE(main.extension_crc_ok[0]);

  ASSERT_EQ(inputs.size(), entries.size());
  for (size_t i = 0; i < inputs.size(); ++i) {
    const Input& in = inputs[i];
    const StoredHeader& h = entries[i];
    SCOPED_TRACE(in.name);
    EXPECT_EQ(in.stored_name, h.name);
    EXPECT_TRUE(h.header_crc_ok);
    EXPECT_EQ(30, h.fixed[0]);
    EXPECT_EQ(0, h.fixed[3]);                  // host: MS-DOS
    EXPECT_EQ(in.expected_method, h.fixed[5]);
    EXPECT_EQ(0, h.fixed[6]);                  // binary
    EXPECT_EQ(0x22388269 + i, h.Field32(12));
    EXPECT_EQ(in.data.size(), h.Field32(20));
    EXPECT_EQ(test::ReferenceCrc32(in.data.data(), in.data.size()), h.Field32(24));
    EXPECT_EQ(in.file_spec_position, h.Field16(28));
    EXPECT_EQ(0x20, h.Field16(30));
    EXPECT_EQ(written[i].method, in.expected_method);
    EXPECT_EQ(written[i].packed_size, h.packed_size);
    EXPECT_EQ(written[i].crc, h.Field32(24));
    if (in.expected_method == 0) {
      EXPECT_EQ(in.data, Bytes(archive.begin() + h.data_offset,
                               archive.begin() + h.data_offset + h.packed_size));
    } else {
      EXPECT_LT(h.packed_size, in.data.size());
    }
    ASSERT_EQ(1u, h.extensions.size());
    const Bytes& q = h.extensions[0];
    ASSERT_EQ(24u, q.size());
    EXPECT_TRUE(h.extension_crc_ok[0]);
    EXPECT_EQ(0, std::memcmp(q.data(), "Qel1", 4));
    const uint16_t version[4] = {1, 2, static_cast<uint16_t>(i), 0xFFFF};
    EXPECT_EQ(0, std::memcmp(q.data() + 4, version, 8));
    EXPECT_EQ(0x4155F880u + i, Le32(&q[12]));
    EXPECT_EQ(0x01BC0A3Cu, Le32(&q[16]));
  }
}

TEST(ArchiveWriterTest, SameInputsGiveSameBytes) {
  const std::vector<Input> inputs = Inputs();
  std::vector<WrittenEntry> written;
  EXPECT_EQ(Write(inputs, &written), Write(inputs, &written));

  // An encoder that packed something else first gives the same stream.
  Bytes first = test::MakeInput(test::InputKind::kPhrases, 90000, 3);
  Bytes second = test::MakeInput(test::InputKind::kText, 70000, 4);
  for (uint32_t method = 1; method <= 3; ++method) {
    EntryEncoder used;
    EntryEncoder fresh;
    ASSERT_EQ(EncodeResult::kPacked, used.Encode(first.data(), 90000, method));
    ASSERT_EQ(EncodeResult::kPacked, used.Encode(second.data(), 70000, method));
    ASSERT_EQ(EncodeResult::kPacked, fresh.Encode(second.data(), 70000, method));
    EXPECT_EQ(Bytes(fresh.packed(), fresh.packed() + fresh.packed_size()),
              Bytes(used.packed(), used.packed() + used.packed_size()));
  }
}

TEST(ArchiveWriterTest, SetArchiveLengthMatchesLengthPatch) {
  std::vector<WrittenEntry> written;
  Bytes archive = Write(Inputs(), &written);
  Bytes again = archive;
  ASSERT_EQ(0u, SetArchiveLength(again.data(), static_cast<uint32_t>(again.size()),
                                 static_cast<uint32_t>(again.size())));
  EXPECT_EQ(archive, again);
  ASSERT_EQ(0u, SetArchiveLength(again.data(), static_cast<uint32_t>(again.size()), 1234567));
  StoredHeader main;
  std::vector<StoredHeader> entries;
  size_t end;
  ASSERT_TRUE(test::WalkArchive(again, &main, &entries, &end));
  EXPECT_EQ(1234567u, Le32(&main.extensions[0][20]));
  EXPECT_TRUE(main.extension_crc_ok[0]);

  // Bytes that are not a main header with a Qel1 extension are left alone.
  struct Bad {
    const char* what;
    size_t keep;        // bytes of the archive given
    size_t flip;        // byte flipped first, or SIZE_MAX
  };
  const Bad bad[] = {
      {"empty", 0, SIZE_MAX},
      {"cut inside the header", 40, SIZE_MAX},
      {"cut inside the extension", 60, SIZE_MAX},
      {"wrong id", archive.size(), 1},
      {"wrong magic", archive.size(), 51},
      {"extension size not 24", archive.size(), 49},
  };
  for (const Bad& b : bad) {
    SCOPED_TRACE(b.what);
    Bytes copy(archive.begin(), archive.begin() + b.keep);
    if (b.flip != SIZE_MAX) copy[b.flip] ^= 0x01;
    Bytes before = copy;
    EXPECT_EQ(kWriterBadArchive,
              SetArchiveLength(copy.data(), static_cast<uint32_t>(copy.size()), 99));
    EXPECT_EQ(before, copy);
  }
}

TEST(ArchiveWriterTest, RefusesBadCallsAndKeepsTheFirstError) {
  const uint8_t data[4] = {1, 2, 3, 4};
  const std::string longest(kMaxEntryName, 'n');
  const std::string too_long(kMaxEntryName + 1, 'n');
  struct Case {
    const char* what;
    bool begin;
    const char* name;
    uint32_t method;
    uint32_t expected;
  };
  const Case cases[] = {
      {"method 4", true, "a.txt", 4, kWriterBadMethod},
      {"empty name", true, "", 1, kCodeInvalidFileName},
      {"name too long", true, too_long.c_str(), 1, kCodeInvalidFileName},
      {"longest name", true, longest.c_str(), 1, 0},
      {"entry before the main header", false, "a.txt", 1, kWriterBadOrder},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    test::MemorySink sink;
    ArchiveWriter writer(sink);
    if (c.begin) ASSERT_EQ(0u, writer.Begin("A.ARJ", 0));
    EntryInfo info = {c.name, 0, 0, {0, 0, 0, 0}};
    EXPECT_EQ(c.expected, writer.AddEntry(info, data, 4, c.method));
    if (c.expected != 0) EXPECT_EQ(c.expected, writer.Finish());
  }

  // A failing sink: its code comes back, now and on every later call.
  test::MemorySink sink;
  sink.fail_after = 100;
  ArchiveWriter writer(sink);
  ASSERT_EQ(0u, writer.Begin("A.ARJ", 0));
  Bytes big(500, 'x');
  EntryInfo info = {"big.txt", 0, 0, {0, 0, 0, 0}};
  EXPECT_EQ(sink.fail_code, writer.AddEntry(info, big.data(), 500, 0));
  EXPECT_EQ(sink.fail_code, writer.AddEntry(info, big.data(), 500, 0));
  EXPECT_EQ(sink.fail_code, writer.Finish());

  // Finish twice.
  test::MemorySink twice;
  ArchiveWriter second(twice);
  ASSERT_EQ(0u, second.Begin("A.ARJ", 0));
  ASSERT_EQ(0u, second.Finish());
  EXPECT_EQ(kWriterBadOrder, second.Finish());
}

}  // namespace
}  // namespace kest
