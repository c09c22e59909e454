// Archive size and build time of our writer against Debian's `arj a -m1`,
// on one corpus, in one run. Prints the figures and the ratios ours / arj
// (targets for method 1: size at most 0.97, time at most 0.8), and the same
// for method 1's smallest setting.
//
// Usage: encoder_bench [CORPUS_FOLDER]
// A corpus of about 30 MB is built in CORPUS_FOLDER when that does not
// exist yet (and kept, for repeated runs), or without a folder in a scratch
// folder removed at the end: C headers from /usr/include as text, shared
// objects from /usr/lib/x86_64-linux-gnu as binaries, random bytes and
// byte runs. Files are picked in sorted order, so a machine with the same
// packages gets the same corpus.
//
// Each archive is built three times and the fastest run counts: the
// machine is shared, and the minimum is the least disturbed figure.
#include <dirent.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstring>
#include <chrono>
#include <string>
#include <vector>

#include "bench/bench_support.h"
#include "packaging/archive_writer.h"

namespace {

using Clock = std::chrono::steady_clock;

struct Category {
  const char* folder;
  uint64_t bytes = 0;
  uint32_t files = 0;
};

bool IsRegular(const std::string& path, off_t* size) {
  struct stat st;
  if (lstat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
  *size = st.st_size;
  return true;
}

// Regular files under root (recursively), sorted, whose name ends in suffix
// (or contains it, for ".so"), each at most max_file bytes.
void ListFiles(const std::string& root, const std::string& rel, const char* suffix,
               bool contains, off_t max_file, std::vector<std::string>* out) {
  DIR* dir = opendir((root + "/" + rel).c_str());
  if (dir == nullptr) return;
  std::vector<std::string> names;
  while (dirent* e = readdir(dir)) {
    std::string name = e->d_name;
    if (name != "." && name != "..") names.push_back(name);
  }
  closedir(dir);
  std::sort(names.begin(), names.end());
  for (const std::string& name : names) {
    std::string sub = rel.empty() ? name : rel + "/" + name;
    std::string full = root + "/" + sub;
    struct stat st;
    if (lstat(full.c_str(), &st) != 0) continue;
    if (S_ISDIR(st.st_mode)) {
      ListFiles(root, sub, suffix, contains, max_file, out);
    } else if (S_ISREG(st.st_mode) && st.st_size > 0 && st.st_size <= max_file) {
      bool match = contains ? name.find(suffix) != std::string::npos
                            : name.size() >= strlen(suffix) &&
                                  name.compare(name.size() - strlen(suffix), std::string::npos, suffix) == 0;
      if (match) out->push_back(sub);
    }
  }
}

bool ReadAll(const std::string& path, std::vector<uint8_t>* bytes) {
  FILE* f = fopen(path.c_str(), "rb");
  if (f == nullptr) return false;
  fseek(f, 0, SEEK_END);
  long size = ftell(f);
  fseek(f, 0, SEEK_SET);
  bytes->resize(static_cast<size_t>(size));
  bool ok = size == 0 || fread(bytes->data(), 1, bytes->size(), f) == bytes->size();
  fclose(f);
  return ok;
}

bool WriteAll(const std::string& path, const void* data, size_t size) {
  FILE* f = fopen(path.c_str(), "wb");
  if (f == nullptr) return false;
  bool ok = size == 0 || fwrite(data, 1, size, f) == size;
  return fclose(f) == 0 && ok;
}

std::string Flatten(std::string path) {
  std::replace(path.begin(), path.end(), '/', '_');
  return path;
}

// Copies picked files into corpus/<category>/ until the category holds
// budget bytes.
void CopyInto(const std::string& corpus, Category* category, const std::string& root,
              const std::vector<std::string>& picked, uint64_t budget) {
  std::string folder = corpus + "/" + category->folder;
  mkdir(folder.c_str(), 0755);
  std::vector<uint8_t> bytes;
  for (const std::string& rel : picked) {
    if (category->bytes >= budget) break;
    if (!ReadAll(root + "/" + rel, &bytes)) continue;
    if (!WriteAll(folder + "/" + Flatten(rel), bytes.data(), bytes.size())) continue;
    category->bytes += bytes.size();
    ++category->files;
  }
}

uint64_t SplitMix(uint64_t* state) {
  uint64_t z = (*state += 0x9E3779B97F4A7C15ull);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return z ^ (z >> 31);
}

void Generate(const std::string& corpus, Category* category, bool runs, uint32_t files,
              uint32_t size) {
  std::string folder = corpus + "/" + category->folder;
  mkdir(folder.c_str(), 0755);
  uint64_t state = runs ? 77 : 11;
  for (uint32_t i = 0; i < files; ++i) {
    std::vector<uint8_t> bytes;
    while (bytes.size() < size) {
      uint64_t r = SplitMix(&state);
      if (runs) {
        bytes.insert(bytes.end(), 1 + (r >> 8) % 200, static_cast<uint8_t>(r));
      } else {
        for (int k = 0; k < 8; ++k) bytes.push_back(static_cast<uint8_t>(r >> (8 * k)));
      }
    }
    bytes.resize(size);
    WriteAll(folder + "/" + std::to_string(i) + ".bin", bytes.data(), bytes.size());
    category->bytes += size;
    ++category->files;
  }
}

std::vector<Category> BuildCorpus(const std::string& corpus) {
  std::vector<Category> categories(4);
  categories[0].folder = "text";
  categories[1].folder = "binary";
  categories[2].folder = "random";
  categories[3].folder = "runs";
  std::vector<std::string> picked;
  ListFiles("/usr/include", "", ".h", false, 1 << 20, &picked);
  CopyInto(corpus, &categories[0], "/usr/include", picked, 10u << 20);
  picked.clear();
  ListFiles("/usr/lib/x86_64-linux-gnu", "", ".so", true, 4 << 20, &picked);
  CopyInto(corpus, &categories[1], "/usr/lib/x86_64-linux-gnu", picked, 14u << 20);
  Generate(corpus, &categories[2], false, 4, 512 << 10);
  Generate(corpus, &categories[3], true, 2, 1 << 20);
  return categories;
}

struct Result {
  uint64_t size = 0;
  double seconds = 1e30;
};

// Reads every file, packs it with method (and method 1's smallest setting
// when smallest) and writes the archive file, as a packaging run does.
bool BuildOurs(const std::string& corpus, const std::vector<std::string>& files, uint32_t method,
               bool smallest, const std::string& out, Result* result) {
  Clock::time_point start = Clock::now();
  struct FileSink : kest::ByteSink {
    FILE* f;
    uint32_t Write(const void* data, uint32_t size) override {
      return fwrite(data, 1, size, f) == size ? 0 : 5;
    }
  } sink;
  sink.f = fopen(out.c_str(), "wb");
  if (sink.f == nullptr) return false;
  kest::ArchiveWriter writer(sink);
  writer.set_smallest(smallest);
  uint32_t code = writer.Begin("BENCH.ARJ", 0x22388502);
  std::vector<uint8_t> bytes;
  for (const std::string& rel : files) {
    if (code != 0) break;
    if (!ReadAll(corpus + "/" + rel, &bytes)) return false;
    kest::EntryInfo info = {rel.c_str(), 0x22388502, 0, {0, 0, 0, 0}};
    code = writer.AddEntry(info, bytes.data(), static_cast<uint32_t>(bytes.size()), method);
  }
  if (code == 0) code = writer.Finish();
  fclose(sink.f);
  if (code != 0) return false;
  double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  result->seconds = std::min(result->seconds, seconds);
  result->size = writer.length();
  return true;
}

bool BuildArj(const std::string& corpus, const std::string& out, Result* result) {
  remove(out.c_str());
  std::string command = "cd '" + corpus + "' && arj a -m1 -r -y -i '" + out + "' '*' >/dev/null";
  Clock::time_point start = Clock::now();
  int status = system(command.c_str());
  double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  struct stat st;
  if (status != 0 || stat(out.c_str(), &st) != 0) return false;
  result->seconds = std::min(result->seconds, seconds);
  result->size = static_cast<uint64_t>(st.st_size);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  char scratch[] = "/tmp/kest-encoder-bench-XXXXXX";
  if (mkdtemp(scratch) == nullptr) {
    perror("mkdtemp");
    return 1;
  }
  std::string work = scratch;
  std::string corpus = argc > 1 ? argv[1] : work + "/corpus";
  struct stat st;
  if (stat(corpus.c_str(), &st) != 0) {
    mkdir(corpus.c_str(), 0755);
    for (const Category& c : BuildCorpus(corpus)) {
      printf("corpus %-7s %5u files %10llu bytes\n", c.folder, c.files,
             static_cast<unsigned long long>(c.bytes));
    }
  }
  std::vector<std::string> files;
  ListFiles(corpus, "", "", true, 1LL << 32, &files);
  uint64_t total = 0;
  for (const std::string& rel : files) {
    off_t size = 0;
    if (IsRegular(corpus + "/" + rel, &size)) total += static_cast<uint64_t>(size);
  }
  printf("corpus  total   %5zu files %10llu bytes\n\n", files.size(),
         static_cast<unsigned long long>(total));

  const int kRuns = 3;
  // Method 1 against arj -m1.
  const double kSizeTarget = 0.97, kTimeTarget = 0.8;
  // ours[4]: method 1 with the smallest setting.
  Result ours[5];
  Result arj;
  bool ok = true;
  for (int run = 0; run < kRuns && ok; ++run) {
    for (uint32_t method = 1; method <= 4 && ok; ++method) {
      ok = BuildOurs(corpus, files, method == 4 ? 1 : method, method == 4, work + "/ours.arj",
                     &ours[method]);
    }
    ok = ok && BuildArj(corpus, work + "/arj.arj", &arj);
  }
  if (ok) {
    printf("%-22s %12s %9s %10s %10s\n", "archive", "bytes", "seconds", "size/arj", "time/arj");
    printf("%-22s %12llu %9.3f %10.4f %10.3f\n", "arj a -m1", static_cast<unsigned long long>(arj.size),
           arj.seconds, 1.0, 1.0);
    for (uint32_t method = 1; method <= 4; ++method) {
      char label[32];
      snprintf(label, sizeof(label), method == 4 ? "ours, 1 --smallest" : "ours, method %u",
               method);
      printf("%-22s %12llu %9.3f %10.4f %10.3f\n", label,
             static_cast<unsigned long long>(ours[method].size), ours[method].seconds,
             static_cast<double>(ours[method].size) / static_cast<double>(arj.size),
             ours[method].seconds / arj.seconds);
    }
    printf("\n");
    for (uint32_t method : {1u, 4u}) {
      const double size_ratio =
          static_cast<double>(ours[method].size) / static_cast<double>(arj.size);
      const double time_ratio = ours[method].seconds / arj.seconds;
      printf("%-12s size/arj %.4f (target <= %.2f: %s), time/arj %.3f (target <= %.2f: %s)\n",
             method == 4 ? "--smallest:" : "method 1:", size_ratio, kSizeTarget,
             size_ratio <= kSizeTarget ? "met" : "MISSED", time_ratio, kTimeTarget,
             time_ratio <= kTimeTarget ? "met" : "MISSED");
    }
  } else {
    fprintf(stderr, "encoder_bench: a build failed (is arj installed?)\n");
  }
  kest::bench::RemoveFolder(work);
  return ok ? 0 : 1;
}
