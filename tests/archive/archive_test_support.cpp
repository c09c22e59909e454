#include "tests/archive/archive_test_support.h"

#include <ftw.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cstring>
#include <memory>

#include "packaging/bit_writer.h"
#include "packaging/block_coder.h"
#include "packaging/header_builder.h"

namespace kest {
namespace test {
namespace {

// splitmix64: a small, fixed generator so that every input is reproducible.
struct Random {
  uint64_t state;
  uint64_t Next() {
    uint64_t z = (state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  uint32_t Below(uint32_t n) { return static_cast<uint32_t>(Next() % n); }
};

const char* const kWords[] = {
    "the", "package", "installer", "component", "folder", "system", "version", "library",
    "registry", "file", "copy", "replace", "restart", "signature", "archive", "entry",
    "decoder", "window", "match", "length", "position", "table", "Morvane", "Scriba",
    "of", "and", "to", "in", "is", "a", "for", "with", "when", "every", "its", "not"};

int RemoveEntry(const char* path, const struct stat*, int, struct FTW*) { return remove(path); }

}  // namespace

const char* KindName(InputKind kind) {
  switch (kind) {
    case InputKind::kRandom: return "random";
    case InputKind::kText: return "text";
    case InputKind::kRuns: return "runs";
    case InputKind::kPhrases: return "phrases";
    case InputKind::kPeriodic: return "periodic";
    case InputKind::kFibonacci: return "fibonacci";
  }
  return "?";
}

Bytes MakeInput(InputKind kind, uint32_t size, uint32_t seed) {
  Random random{seed * 0x1000193ull + static_cast<uint64_t>(kind)};
  Bytes out;
  out.reserve(size);
  switch (kind) {
    case InputKind::kRandom:
      while (out.size() < size) out.push_back(static_cast<uint8_t>(random.Next()));
      break;
    case InputKind::kText: {
      uint32_t column = 0;
      while (out.size() < size) {
        const char* word = kWords[random.Below(sizeof(kWords) / sizeof(kWords[0]))];
        out.insert(out.end(), word, word + strlen(word));
        column += static_cast<uint32_t>(strlen(word)) + 1;
        uint32_t r = random.Below(16);
        out.push_back(column > 70 ? '\n' : r == 0 ? ',' : r == 1 ? '.' : ' ');
        if (column > 70) column = 0;
      }
      break;
    }
    case InputKind::kRuns:
      while (out.size() < size) {
        uint8_t byte = static_cast<uint8_t>(random.Next());
        out.insert(out.end(), 1 + random.Below(300), byte);
      }
      break;
    case InputKind::kPhrases: {
      Bytes phrases[4];
      for (Bytes& phrase : phrases) {
        phrase.resize(40 + random.Below(400));
        for (uint8_t& b : phrase) b = static_cast<uint8_t>('A' + random.Below(26));
      }
      while (out.size() < size) {
        const Bytes& phrase = phrases[random.Below(4)];
        size_t at = out.size();
        out.insert(out.end(), phrase.begin(), phrase.end());
        out[at + random.Below(static_cast<uint32_t>(phrase.size()))] ^= 0x20;
      }
      break;
    }
    case InputKind::kPeriodic: {
      Bytes block(26624);
      for (uint8_t& b : block) b = static_cast<uint8_t>(random.Next());
      while (out.size() < size) out.insert(out.end(), block.begin(), block.end());
      break;
    }
    case InputKind::kFibonacci: {
      // Symbol k appears in proportion to Fib(k + 1), shuffled; 24 symbols
      // give an optimal code 23 bits deep.
      uint32_t fib[24] = {1, 1};
      for (int k = 2; k < 24; ++k) fib[k] = fib[k - 1] + fib[k - 2];
      uint32_t total = 0;
      for (uint32_t f : fib) total += f;
      while (out.size() < size) {
        uint32_t pick = random.Below(total);
        int k = 0;
        while (pick >= fib[k]) pick -= fib[k++];
        out.push_back(static_cast<uint8_t>('a' + k));
      }
      break;
    }
  }
  out.resize(size);
  return out;
}

uint32_t MemorySink::Write(const void* data, uint32_t size) {
  const uint8_t* p = static_cast<const uint8_t*>(data);
  if (bytes.size() + size > fail_after) {
    bytes.insert(bytes.end(), p, p + (fail_after - bytes.size()));
    return fail_code;
  }
  bytes.insert(bytes.end(), p, p + size);
  return 0;
}

TempDir::TempDir() {
  char pattern[] = "/tmp/kest-archive-test-XXXXXX";
  if (mkdtemp(pattern) != nullptr) path_ = pattern;
}

ScopedTimeZone::ScopedTimeZone(const char* zone) {
  const char* old = getenv("TZ");
  had_ = old != nullptr;
  if (had_) old_ = old;
  setenv("TZ", zone, 1);
  tzset();
}

ScopedTimeZone::~ScopedTimeZone() {
  if (had_) {
    setenv("TZ", old_.c_str(), 1);
  } else {
    unsetenv("TZ");
  }
  tzset();
}

TempDir::~TempDir() {
  if (!path_.empty()) nftw(path_.c_str(), RemoveEntry, 16, FTW_DEPTH | FTW_PHYS);
}

void WriteFile(const std::string& path, const Bytes& bytes) {
  FILE* f = fopen(path.c_str(), "wb");
  if (f == nullptr) return;
  if (!bytes.empty()) fwrite(bytes.data(), 1, bytes.size(), f);
  fclose(f);
}

bool ReadFile(const std::string& path, Bytes* bytes) {
  FILE* f = fopen(path.c_str(), "rb");
  if (f == nullptr) return false;
  bytes->clear();
  uint8_t buffer[65536];
  size_t n;
  while ((n = fread(buffer, 1, sizeof(buffer), f)) > 0) bytes->insert(bytes->end(), buffer, buffer + n);
  fclose(f);
  return true;
}

int RunCommand(const std::string& command, std::string* output) {
  output->clear();
  FILE* pipe = popen((command + " 2>&1").c_str(), "r");
  if (pipe == nullptr) return -1;
  char buffer[4096];
  size_t n;
  while ((n = fread(buffer, 1, sizeof(buffer), pipe)) > 0) output->append(buffer, n);
  int status = pclose(pipe);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

uint32_t ReferenceCrc32(const uint8_t* data, size_t size) {
  uint32_t crc = 0xFFFFFFFF;
  for (size_t i = 0; i < size; ++i) {
    crc ^= data[i];
    for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1)));
  }
  return ~crc;
}

Bytes DeepCodeStream(Bytes* original) {
  auto block = std::make_unique<TokenBlock>();
  original->clear();
  uint32_t fib[22] = {1, 1};
  for (int k = 2; k < 22; ++k) fib[k] = fib[k - 1] + fib[k - 2];
  for (uint32_t round = 0; round < fib[21]; ++round) {
    for (int k = 0; k < 22; ++k) {
      if (round >= fib[k]) continue;
      block->AddLiteral(static_cast<uint8_t>(k * 11));
      original->push_back(static_cast<uint8_t>(k * 11));
    }
  }
  SymbolCounts counts;
  counts.Count(*block, 0, block->count);
  BitWriter out;
  CodeBlock(*block, 0, block->count, counts, out);
  out.Flush();
  return Bytes(out.data(), out.data() + out.size());
}

Bytes SingleEntryArchive(const char* name, uint8_t method, const Bytes& packed,
                         const Bytes& original) {
  Crc32 crc;
  EntryFields f;
  f.archiver_version = 4;
  f.minimum_version = 1;
  f.flags = 0x10;
  f.file_type = 2;
  f.dos_time = 0x22388502;
  uint8_t header[kHeaderOverhead + 64];
  Bytes out(header, header + BuildHeader(f, "ONE.ARJ", 7, crc, header));
  f.file_type = 0;
  f.method = method;
  f.packed_size = static_cast<uint32_t>(packed.size());
  f.original_size = static_cast<uint32_t>(original.size());
  f.data_crc = ReferenceCrc32(original.data(), original.size());
  f.access_mode = 0x20;
  uint32_t size = BuildHeader(f, name, static_cast<uint32_t>(strlen(name)), crc, header);
  out.insert(out.end(), header, header + size);
  out.insert(out.end(), packed.begin(), packed.end());
  const uint8_t end[4] = {0x60, 0xEA, 0, 0};
  out.insert(out.end(), end, end + 4);
  return out;
}

uint32_t StoredHeader::Field32(int offset) const {
  const uint8_t* p = fixed + offset - 4;
  return p[0] | (p[1] << 8) | (p[2] << 16) | (uint32_t{p[3]} << 24);
}

uint16_t StoredHeader::Field16(int offset) const {
  const uint8_t* p = fixed + offset - 4;
  return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

namespace {

// Reads one header at *at; false on a layout error. basic_size 0 marks the end.
bool ReadHeader(const Bytes& a, size_t* at, StoredHeader* h) {
  size_t p = *at;
  if (a.size() < p + 4 || a[p] != 0x60 || a[p + 1] != 0xEA) return false;
  h->basic_size = a[p + 2] | (a[p + 3] << 8);
  p += 4;
  if (h->basic_size == 0) {
    *at = p;
    return true;
  }
  if (h->basic_size < 32 || a.size() < p + h->basic_size + 6) return false;
  std::memcpy(h->fixed, &a[p], 30);
  const char* names = reinterpret_cast<const char*>(&a[p + 30]);
  size_t name_room = h->basic_size - 30;
  h->name.assign(names, strnlen(names, name_room));
  uint32_t stored = a[p + h->basic_size] | (a[p + h->basic_size + 1] << 8) |
                    (a[p + h->basic_size + 2] << 16) | (uint32_t{a[p + h->basic_size + 3]} << 24);
  h->header_crc_ok = stored == ReferenceCrc32(&a[p], h->basic_size);
  p += h->basic_size + 4;
  for (;;) {
    if (a.size() < p + 2) return false;
    uint32_t size = a[p] | (a[p + 1] << 8);
    p += 2;
    if (size == 0) break;
    if (a.size() < p + size + 4) return false;
    h->extensions.emplace_back(a.begin() + p, a.begin() + p + size);
    uint32_t crc = a[p + size] | (a[p + size + 1] << 8) | (a[p + size + 2] << 16) |
                   (uint32_t{a[p + size + 3]} << 24);
    h->extension_crc_ok.push_back(crc == ReferenceCrc32(&a[p], size));
    p += size + 4;
  }
  h->data_offset = p;
  h->packed_size = h->Field32(16);
  *at = p;
  return true;
}

}  // namespace

bool WalkArchive(const Bytes& archive, StoredHeader* main, std::vector<StoredHeader>* entries,
                 size_t* end_offset) {
  size_t at = 0;
  if (!ReadHeader(archive, &at, main) || main->basic_size == 0) return false;
  entries->clear();
  for (;;) {
    StoredHeader h;
    if (!ReadHeader(archive, &at, &h)) return false;
    if (h.basic_size == 0) break;
    if (archive.size() < at + h.packed_size) return false;
    at += h.packed_size;
    entries->push_back(h);
  }
  *end_offset = at;
  return true;
}

}  // namespace test
}  // namespace kest
