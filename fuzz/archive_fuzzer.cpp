// Feeds arbitrary bytes to the package reader as a bare archive: header
// reading (every check, the extension chain), iteration over the entries
// and extraction of each (stored and compressed) into files that only
// count their bytes. Nothing may read or write outside its buffers (the
// sanitizers watch), and what the reader reports must hold together:
// names are terminated, the packed data is as long as it says, the error
// word only grows, and a finished reader stays finished.
//
// Seeds: archives made by Debian's arj with methods 0 to 3
// (fuzz/seeds/archive.sh).
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>

#include "archive/memory_source.h"
#include "archive/package_reader.h"

namespace {

// Output files that keep nothing. A write fails once a file would pass
// kMaxFileBytes, so a forged original size cannot make one input decode
// gigabytes.
constexpr uint32_t kMaxFileBytes = 1u << 21;

class CountingFile : public kest::OutputFile {
 public:
  uint32_t Write(const void* data, uint32_t size) override {
    if (size > kMaxFileBytes - written_) return 5;
    if (size != 0) {
      // Touch both ends of what the writer hands over.
      volatile uint8_t first = static_cast<const uint8_t*>(data)[0];
      volatile uint8_t last = static_cast<const uint8_t*>(data)[size - 1];
      (void)first;
      (void)last;
    }
    written_ += size;
    return 0;
  }
  uint32_t SetDosTime(uint32_t) override { return 0; }
  void Close() override {}

 private:
  uint32_t written_ = 0;
};

class CountingFiles : public kest::OutputFileSystem {
 public:
  uint32_t Create(const char* path, std::unique_ptr<kest::OutputFile>* file) override {
    if (strlen(path) > 100000) __builtin_trap();
    file->reset(new CountingFile);
    return 0;
  }
  uint32_t Delete(const char*) override { return 0; }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > (1u << 20)) return 0;
  kest::MemorySource source(data, static_cast<uint32_t>(size));
  CountingFiles files;
  kest::BareArchiveReader reader(&source, false, files);
  reader.set_packed_size_limit(1u << 20);
  reader.Open();
  uint32_t error = reader.GetError();
  while (reader.IsUsable() && reader.HasEntry()) {
    const uint32_t packed = reader.GetEntryPackedSize();
    const uint8_t* bytes = reader.GetEntryData();
    if (bytes == nullptr || packed != reader.entry().packed_size) __builtin_trap();
    if (packed != 0) {
      volatile uint8_t last = bytes[packed - 1];
      (void)last;
    }
    (void)strlen(reader.GetEntryName());
    (void)strlen(reader.entry().comment());
    uint16_t version[4];
    reader.GetEntryVersion(version);
    reader.ExtractEntry();
    if ((reader.GetError() & error) != error) __builtin_trap();  // codes are never cleared
    error = reader.GetError();
    if (!reader.NextEntry()) break;
  }
  if (!reader.IsUsable()) {
    if (reader.NextEntry() || reader.ExtractEntry()) __builtin_trap();
  }
  return 0;
}
