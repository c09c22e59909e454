// Fixtures for the package reader's tests, built by code: ARJ headers with
// any field, extension chain or damage; decoder bit streams written symbol
// by symbol; a sink that records its chunks; an output file system in
// memory; a byte source that fails on request. Portable: the same tests
// run natively and under Wine.
#pragma once
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "packaging/bit_writer.h"
#include "archive/output_file.h"
#include "base/byte_io.h"

namespace kest {
namespace test {

using Bytes = std::vector<uint8_t>;

void Put16(Bytes* out, uint32_t v);
void Put32(Bytes* out, uint32_t v);
void Append(Bytes* out, const Bytes& more);

// A 24-byte Qel1 extension.
Bytes Qel1(uint16_t major, uint16_t minor, uint16_t build, uint16_t revision,
           uint64_t file_time, uint32_t value, const char* magic = "Qel1");

// One header, field by field. Build() writes the id, B, the fixed part
// (first_size bytes, zero past the 30 named ones), name, comment, the
// header CRC (computed, or header_crc when set), then every extension with
// a CRC and the 0 that ends the chain.
struct TestHeader {
  uint16_t id = 0xEA60;
  uint16_t basic_size = 0;  // B; 0: the size of what is written
  uint8_t first_size = 30;
  uint8_t archiver_version = 11;
  uint8_t minimum_version = 1;
  uint8_t host_os = 0;
  uint8_t flags = 0;
  uint8_t method = 0;
  uint8_t file_type = 0;
  uint8_t reserved = 0;
  uint32_t dos_time = 0x2231228F;
  uint32_t packed_size = 0;
  uint32_t original_size = 0;
  uint32_t data_crc = 0;
  uint16_t file_spec_position = 0;
  uint16_t access_mode = 0x20;
  uint16_t host_data = 0;
  std::string name = "file.bin";
  std::string comment;
  bool set_header_crc = false;
  uint32_t header_crc = 0;
  std::vector<Bytes> extensions;

  Bytes Build() const;
};

// The four bytes that end an archive.
Bytes EndMarker();

// An archive of a main header (with a Qel1 extension whose value is the
// archive's length), the given entries (header then data) and the end
// marker.
struct TestEntry {
  TestHeader header;
  Bytes data;
};
TestEntry StoredEntry(const std::string& name, const Bytes& data);
Bytes BuildArchive(const std::vector<TestEntry>& entries);

// Writes decoder input: block heads and symbols. Code lengths are written
// as given, so a test can write any table, valid or not; symbols are coded
// with the canonical codes of the current tables.
class StreamBuilder {
 public:
  void Bits(uint32_t count, uint32_t value) { bits_.Put(count, value); }
  // The block's symbol count (16 bits).
  void BlockCount(uint32_t count) { Bits(16, count); }
  // Pre-tree or position lengths: a 5-bit count (lengths.size()), then each
  // length in its 3-bit/unary form; for the pre-tree, after the third a
  // 2-bit run: lengths[3] to lengths[2 + zero_run] are zeros written that way.
  void PreTreeLengths(const std::vector<int>& lengths, int zero_run = 0);
  void PositionLengths(const std::vector<int>& lengths);
  // The one-symbol form (count 0): 5-bit count and 5-bit value.
  void PreTreeSingle(uint32_t symbol);
  void PositionSingle(uint32_t symbol);
  // Character/length lengths (9-bit count = lengths.size()), coded with the
  // pre-tree written by StandardPreTree(): zero runs as pre-tree symbols 0,
  // 1 and 2, a length l as symbol l + 2.
  void StandardPreTree();
  // One symbol coded with the current pre-tree.
  void PreTreeSymbol(int symbol) { Symbol(pre_tree_, symbol); }
  void CharLengths(const std::vector<int>& lengths);
  void CharSingle(uint32_t symbol);
  // A literal byte, or a match of length 3..256 from distance 1..65536.
  void Literal(uint8_t byte);
  void Match(uint32_t length, uint32_t distance);
  Bytes Finish();

 private:
  // A code's lengths and canonical codes; empty for a one-symbol code.
  struct Code {
    std::vector<int> lengths;
    std::vector<uint32_t> codes;
    void Set(const std::vector<int>& new_lengths);
  };
  void SmallLengths(const std::vector<int>& lengths, int zero_run_after, int zero_run);
  void Symbol(const Code& code, int symbol);

  BitWriter bits_;
  Code pre_tree_, chars_, positions_;
};

// Canonical code lengths for a handful of symbols: symbols[k] gets
// lengths[k]; all others 0.
std::vector<int> LengthsFor(size_t alphabet, const std::vector<int>& symbols,
                            const std::vector<int>& lengths);

// Collects everything written, chunk by chunk; fails with fail_code once
// fail_at_chunk chunks were written.
class ChunkSink : public ByteSink {
 public:
  uint32_t Write(const void* data, uint32_t size) override;
  Bytes bytes;
  std::vector<uint32_t> chunks;
  size_t fail_at_chunk = SIZE_MAX;
  uint32_t fail_code = 0;
};

// Output files kept in memory. Creating can fail with create_error; the
// n-th write to a file (fail_write_at, counted from 0 per file) fails with
// write_error.
class MemoryFileSystem : public OutputFileSystem {
 public:
  struct File {
    Bytes bytes;
    uint32_t dos_time = 0;
    bool time_set = false;
    bool closed = false;
  };
  uint32_t Create(const char* path, std::unique_ptr<OutputFile>* file) override;
  uint32_t Delete(const char* path) override;

  std::map<std::string, File> files;
  std::vector<std::string> created, deleted;
  uint32_t create_error = 0;
  int fail_write_at = -1;
  uint32_t write_error = 0;
};

// A MemorySource that can fail: Tell with tell_error, and any read that
// reaches offset fail_read_at with read_error.
class FaultySource : public ByteSource {
 public:
  explicit FaultySource(Bytes bytes) : bytes_(std::move(bytes)) {}
  uint32_t Read(void* buffer, uint32_t size, uint32_t* read) override;
  uint32_t Tell(uint32_t* position) override;
  uint32_t Seek(uint32_t position) override;
  uint32_t Size(uint32_t* size) override;

  uint32_t tell_error = 0;
  uint32_t fail_read_at = UINT32_MAX;
  uint32_t read_error = 0;
  uint32_t position = 0;

 private:
  Bytes bytes_;
};

}  // namespace test
}  // namespace kest
