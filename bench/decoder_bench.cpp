// Decoding speed of our entry decoder against Debian's `arj e` and `7z e`
// on the same archive, in one run. Prints output MB/s for each and the
// ratios ours / theirs, each next to its target: the decoder in the
// installer's process at least 1.5 times 7-Zip's speed.
//
// Usage: decoder_bench [WORK_FOLDER]
// About 32 MB of mixed data is made as one file: C headers from
// /usr/include (text), shared objects from /usr/lib/x86_64-linux-gnu
// (binaries), random bytes and byte runs, taken in sorted order so that a
// machine with the same packages gets the same file. `arj a -m1` packs it.
// Then each contender extracts the entry to a file in the work folder:
//   ours     BareArchiveReader over the archive file, ExtractEntry
//            (reading, decoding, CRC check, file write, time set)
//   ours, no file   DecodeEntry into a sink that discards the bytes
//   arj e, 7z e     the programs, run from here (their start-up included;
//                   a few milliseconds against hundreds)
// Each runs five times, taking turns, and the fastest run counts: the
// machine is shared, and the minimum is the least disturbed figure. The
// default work folder is on tmpfs (/dev/shm), so that disk write-back does
// not blur the figures.
//
// Then the same archive is extracted by whole processes, as a user runs
// them: `kestpack extract` against `7z x` and `arj e`, each timed from
// start to exit (elapsed time, and the processor time the process used,
// which a busy machine disturbs less), with the ratio ours / the faster of
// the two (the target: at most 0.7).
#include <dirent.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <algorithm>
#include <string>
#include <vector>

#include "archive/crc32.h"
#include "archive/entry_decoder.h"
#include "archive/memory_source.h"
#include "archive/package_reader.h"
#include "archive/posix_output_files.h"
#include "bench/bench_support.h"

namespace {

using Bytes = std::vector<uint8_t>;

constexpr size_t kTextBytes = 12u << 20;
constexpr size_t kBinaryBytes = 14u << 20;
constexpr size_t kRandomBytes = 3u << 20;
constexpr size_t kRunBytes = 3u << 20;
constexpr int kRounds = 5;
// The targets the ratios are printed against.
constexpr double kInProcessTarget = 1.5;    // our speed / 7z e's, at least
constexpr double kWholeProcessTarget = 0.7; // kestpack extract's time / the faster's, at most

bool ReadAll(const std::string& path, Bytes* bytes) {
  FILE* f = fopen(path.c_str(), "rb");
  if (f == nullptr) return false;
  struct stat st;
  bool ok = fstat(fileno(f), &st) == 0;
  if (ok) {
    bytes->resize(static_cast<size_t>(st.st_size));
    ok = fread(bytes->data(), 1, bytes->size(), f) == bytes->size();
  }
  fclose(f);
  return ok;
}

// Appends regular files below folder (sorted, recursively) whose names end
// with one of the suffixes, until out holds limit more bytes.
void AppendFiles(const std::string& folder, const std::vector<std::string>& suffixes,
                 size_t limit, Bytes* out) {
  const size_t goal = out->size() + limit;
  std::vector<std::string> names;
  if (DIR* dir = opendir(folder.c_str())) {
    while (dirent* e = readdir(dir)) {
      const std::string name = e->d_name;
      if (name != "." && name != "..") names.push_back(name);
    }
    closedir(dir);
  }
  std::sort(names.begin(), names.end());
  for (const std::string& name : names) {
    if (out->size() >= goal) return;
    const std::string path = folder + "/" + name;
    struct stat st;
    if (lstat(path.c_str(), &st) != 0) continue;
    if (S_ISDIR(st.st_mode)) {
      AppendFiles(path, suffixes, goal - out->size(), out);
      continue;
    }
    if (!S_ISREG(st.st_mode)) continue;
    bool wanted = false;
    for (const std::string& s : suffixes)
      wanted |= name.size() > s.size() && name.find(s) != std::string::npos;
    Bytes file;
    if (wanted && ReadAll(path, &file)) {
      file.resize(std::min(file.size(), goal - out->size()));
      out->insert(out->end(), file.begin(), file.end());
    }
  }
}

Bytes MixedData() {
  Bytes data;
  AppendFiles("/usr/include", {".h"}, kTextBytes, &data);
  AppendFiles("/usr/lib/x86_64-linux-gnu", {".so"}, kBinaryBytes, &data);
  uint64_t x = 0x9E3779B97F4A7C15ull;
  for (size_t k = 0; k < kRandomBytes; ++k) {
    x ^= x << 13, x ^= x >> 7, x ^= x << 17;
    data.push_back(static_cast<uint8_t>(x));
  }
  for (size_t k = 0; k < kRunBytes;) {
    x ^= x << 13, x ^= x >> 7, x ^= x << 17;
    const size_t run = 1 + x % 500;
    data.insert(data.end(), std::min(run, kRunBytes - k), static_cast<uint8_t>(x >> 32));
    k += run;
  }
  return data;
}

// The archive file as the reader's source, read where it lies (as the
// installer reads its own file).
class FileSource : public kest::ByteSource {
 public:
  explicit FileSource(FILE* file) : file_(file) {}
  ~FileSource() override { fclose(file_); }
  uint32_t Read(void* buffer, uint32_t size, uint32_t* read) override {
    *read = static_cast<uint32_t>(fread(buffer, 1, size, file_));
    return ferror(file_) ? 5 : 0;
  }
  uint32_t Tell(uint32_t* position) override {
    *position = static_cast<uint32_t>(ftell(file_));
    return 0;
  }
  uint32_t Seek(uint32_t position) override { return fseek(file_, position, SEEK_SET) ? 5 : 0; }
  uint32_t Size(uint32_t* size) override {
    struct stat st;
    if (fstat(fileno(file_), &st) != 0) return 5;
    *size = static_cast<uint32_t>(st.st_size);
    return 0;
  }

 private:
  FILE* file_;
};

class NullSink : public kest::ByteSink {
 public:
  uint32_t Write(const void*, uint32_t) override { return 0; }
};

// Processor time (user and system) used so far by finished child processes.
double ChildProcessorSeconds() {
  struct rusage usage;
  getrusage(RUSAGE_CHILDREN, &usage);
  return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
         (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// Runs command through the shell; keeps the least processor time any run of
// it took in *least.
bool RunCommand(const std::string& command, double* least) {
  const double before = ChildProcessorSeconds();
  const bool ok = system(command.c_str()) == 0;
  *least = std::min(*least, ChildProcessorSeconds() - before);
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  const bool scratch = argc < 2;
  const std::string work =
      scratch ? kest::bench::MakeScratchFolder("kest-decoder-bench") : std::string(argv[1]);
  if (work.empty()) return 1;
  if (!scratch) mkdir(work.c_str(), 0755);

  const Bytes data = MixedData();
  {
    FILE* f = fopen((work + "/mixed.bin").c_str(), "wb");
    if (f == nullptr || fwrite(data.data(), 1, data.size(), f) != data.size()) return 1;
    fclose(f);
  }
  const std::string archive = work + "/mixed.arj";
  remove(archive.c_str());
  if (system(("cd " + work + " && arj a -m1 -y mixed.arj mixed.bin >/dev/null").c_str()) != 0) {
    fprintf(stderr, "arj a failed\n");
    return 1;
  }
  Bytes packed;
  ReadAll(archive, &packed);
  printf("input: %.1f MB of mixed data; arj -m1 packs it into %.1f MB\n", data.size() / 1e6,
         packed.size() / 1e6);
  mkdir((work + "/ours").c_str(), 0755);
  mkdir((work + "/arj").c_str(), 0755);
  mkdir((work + "/7z").c_str(), 0755);

  const std::string our_output = work + "/ours/mixed.bin";
  kest::PosixFileSystem files;
  kest::BareArchiveReader in_memory(
      new kest::MemorySource(packed.data(), static_cast<uint32_t>(packed.size())), true, files);
  if (!in_memory.Open()) return 1;
  const kest::EntryHeader& entry = in_memory.entry();

  const std::vector<double> times = kest::bench::Fastest(kRounds, {
      [&] {
        FILE* file = fopen(archive.c_str(), "rb");
        if (file == nullptr) return false;
        kest::BareArchiveReader reader(new FileSource(file), true, files);
        return reader.Open() && reader.SetEntryName(our_output.c_str()) && reader.ExtractEntry();
      },
      [&] {
        kest::Crc32 crc;
        NullSink sink;
        uint32_t reg = 0;
        return kest::DecodeEntry(in_memory.GetEntryData(), entry.packed_size,
                                 entry.original_size, crc, &reg, sink) == 0 &&
               ~reg == entry.data_crc;
      },
      [&] { return system(("cd " + work + "/arj && arj e -y ../mixed.arj >/dev/null").c_str()) == 0; },
      [&] { return system(("cd " + work + "/7z && 7z e -y ../mixed.arj >/dev/null").c_str()) == 0; },
  });
  const double ours = times[0], no_file = times[1], arj = times[2], seven = times[3];

  Bytes check;
  const bool same = ReadAll(our_output, &check) && check == data;
  const double mb = data.size() / 1e6;
  auto line = [mb](const char* who, double seconds) {
    if (seconds < 0) printf("  %-26s failed\n", who);
    else printf("  %-26s %8.1f MB/s  (%.3f s)\n", who, mb / seconds, seconds);
  };
  printf("decoding one entry, output MB/s (fastest of %d):\n", kRounds);
  line("ours (ExtractEntry)", ours);
  line("ours (DecodeEntry, no file)", no_file);
  line("arj e", arj);
  line("7z e", seven);
  if (ours > 0 && arj > 0 && seven > 0) {
    printf("ratios (our speed / theirs): vs arj %.2f, vs 7z %.2f, vs the faster %.2f\n",
           arj / ours, seven / ours, std::min(arj, seven) / ours);
    printf("target: our speed / 7z's at least %.1f: %.2f (ExtractEntry), %.2f (DecodeEntry)\n",
           kInProcessTarget, seven / ours, no_file > 0 ? seven / no_file : 0.0);
  }
  printf("our output %s the input\n", same ? "matches" : "DIFFERS FROM");

  mkdir((work + "/kestpack").c_str(), 0755);
  mkdir((work + "/7z-x").c_str(), 0755);
  mkdir((work + "/arj-e").c_str(), 0755);
  double processor[3] = {1e30, 1e30, 1e30};
  const std::vector<double> whole = kest::bench::Fastest(kRounds, {
      [&] {
        return RunCommand(std::string(KESTPACK_PATH) + " extract " + archive + " -C " + work +
                              "/kestpack >/dev/null",
                          &processor[0]);
      },
      [&] {
        return RunCommand("7z x -y -o" + work + "/7z-x " + archive + " >/dev/null",
                          &processor[1]);
      },
      [&] {
        return RunCommand("cd " + work + "/arj-e && arj e -y " + archive + " >/dev/null",
                          &processor[2]);
      },
  });
  const bool extracted = ReadAll(work + "/kestpack/mixed.bin", &check) && check == data;
  printf("extracting the archive by whole processes (fastest of %d):\n", kRounds);
  const char* names[3] = {"kestpack extract", "7z x", "arj e"};
  for (int k = 0; k < 3; ++k) {
    if (whole[k] < 0) printf("  %-26s failed\n", names[k]);
    else printf("  %-26s %.3f s elapsed, %.3f s processor\n", names[k], whole[k], processor[k]);
  }
  if (whole[0] >= 0 && whole[1] >= 0 && whole[2] >= 0) {
    printf("ratios (kestpack extract / the faster of 7z x and arj e): elapsed %.2f, processor "
           "%.2f (target: at most %.1f)\n",
           whole[0] / std::min(whole[1], whole[2]),
           processor[0] / std::min(processor[1], processor[2]), kWholeProcessTarget);
  }
  printf("kestpack's output %s the input\n", extracted ? "matches" : "DIFFERS FROM");

  if (scratch) kest::bench::RemoveFolder(work);
  return same && extracted ? 0 : 1;
}
