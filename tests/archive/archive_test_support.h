// Fixtures for the encoder and writer tests: generated inputs, a memory
// sink, scratch folders, running the black-box archivers, and a small
// header walker that reads back what the writer wrote.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "base/byte_io.h"

namespace kest {
namespace test {

using Bytes = std::vector<uint8_t>;

enum class InputKind {
  kRandom,     // incompressible
  kText,       // words from a small vocabulary, lines, punctuation
  kRuns,       // runs of 1..300 equal bytes
  kPhrases,    // a few long phrases repeated with small changes
  kPeriodic,   // a random 26624-byte block repeated: matches at the window's far end
  kFibonacci,  // byte frequencies in Fibonacci proportions: a very deep optimal code
};

const char* KindName(InputKind kind);
Bytes MakeInput(InputKind kind, uint32_t size, uint32_t seed);

// Collects everything written; can be told to fail once it holds
// fail_after bytes.
class MemorySink : public ByteSink {
 public:
  uint32_t Write(const void* data, uint32_t size) override;
  Bytes bytes;
  size_t fail_after = SIZE_MAX;
  uint32_t fail_code = 28;  // ENOSPC-like
};

// Sets TZ (and tzset) while it lives, then restores the old value.
class ScopedTimeZone {
 public:
  explicit ScopedTimeZone(const char* zone);
  ~ScopedTimeZone();
  ScopedTimeZone(const ScopedTimeZone&) = delete;
  ScopedTimeZone& operator=(const ScopedTimeZone&) = delete;

 private:
  bool had_;
  std::string old_;
};

// A fresh folder under /tmp, removed with its contents when destroyed.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

void WriteFile(const std::string& path, const Bytes& bytes);
bool ReadFile(const std::string& path, Bytes* bytes);
// Runs a shell command; returns its exit status and its output in *output.
int RunCommand(const std::string& command, std::string* output);

// One header as stored, read back without the installer's reader.
struct StoredHeader {
  uint32_t basic_size = 0;
  uint8_t fixed[30] = {};
  std::string name;
  bool header_crc_ok = false;
  std::vector<Bytes> extensions;   // data of each extended header
  std::vector<bool> extension_crc_ok;
  size_t data_offset = 0;          // where the entry's packed data starts
  uint32_t packed_size = 0;
  uint32_t Field32(int offset) const;  // offset within the fixed part + 4
  uint16_t Field16(int offset) const;
};

// Walks archive: main header, entries, end marker. False on any layout
// error (the walk stops there).
bool WalkArchive(const Bytes& archive, StoredHeader* main, std::vector<StoredHeader>* entries,
                 size_t* end_offset);

uint32_t ReferenceCrc32(const uint8_t* data, size_t size);

// A packed stream of one block whose literal frequencies follow the
// Fibonacci numbers, so that its optimal code (21 bits deep) has to be
// limited to 16 bits; *original receives the bytes it decodes to.
Bytes DeepCodeStream(Bytes* original);

// A whole archive holding one entry with the given packed stream.
Bytes SingleEntryArchive(const char* name, uint8_t method, const Bytes& packed,
                         const Bytes& original);

}  // namespace test
}  // namespace kest
