// The file copy under Wine against a plain Win32 copy of the same files
// under the same Wine, the floor: a pack of more than a thousand files and
// tens of megabytes (small and large files, text that packs and bytes that
// do not), made here, on the prefix's drive (tmpfs when the prefix is, as
// scripts/with-wine.sh makes it).
//
//   copy_pass_bench [ROUNDS]          prints the figures
//   copy_pass_bench plain SRC DST     (child) CopyFileA of every file below SRC
//   copy_pass_bench pass ARCHIVE DST  (child) CopyPackageFiles of ARCHIVE into DST
//
// Each contender runs as a child process into a fresh destination, taking
// turns; the fastest run of each counts (the machine is shared). A child
// times its own work, from before its first file operation to after its
// last (the start of a Wine process varies by tenths of a second), and
// reports it with its peak memory (working set and private bytes) on
// stdout; the copy pass's own memory is what it needs beyond the plain
// copy's process, to compare with the bound of the largest entry's packed
// plus original size plus 2 MB.
#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "archive/package_reader.h"
#include "archive/win32_file_source.h"
#include "archive/win32_output_files.h"
#include "base/host_status_platform.h"
#include "base/install_status.h"
#include "bench/copy_tree_win32.h"
#include "install/copy_pass_win32.h"
#include "packaging/archive_writer.h"
#include "packaging/vector_sink.h"

namespace kest {
namespace {

constexpr int kFolders = 40;
constexpr int kFiles = 1200;
constexpr uint32_t kDosTime = 0x2231228F;

struct PackFile {
  std::string name;  // relative, "\" between folders
  std::vector<uint8_t> data;
};

uint32_t Next(uint32_t* seed) {
  *seed = *seed * 1103515245u + 12345u;
  return *seed >> 8;
}

// Sizes: most files small (1 to 16 KB), one in ten up to 256 KB, a few
// large (1 to 3 MB); every third file bytes that do not pack, the rest text.
std::vector<PackFile> MakePack() {
  static const char* const kWords[] = {"component", "install", "registry", "folder", "the",
                                       "version",   "library", "window",   "of",     "file",
                                       "and",       "system",  "package",  "copy",   "entry"};
  std::vector<PackFile> files;
  uint32_t seed = 20261210;
  for (int k = 0; k < kFiles; ++k) {
    PackFile f;
    f.name = "folder" + std::to_string(k % kFolders) + "\\file" + std::to_string(k) +
             (k % 3 == 0 ? ".bin" : ".txt");
    uint32_t size = 1024 + Next(&seed) % (15 * 1024);
    if (k % 10 == 0) size = 16384 + Next(&seed) % (240 * 1024);
    if (k % 100 == 50) size = (1 + Next(&seed) % 3) << 20;
    f.data.reserve(size);
    if (k % 3 == 0) {
      while (f.data.size() < size) f.data.push_back(static_cast<uint8_t>(Next(&seed)));
    } else {
      while (f.data.size() < size) {
        const char* word = kWords[Next(&seed) % (sizeof(kWords) / sizeof(kWords[0]))];
        f.data.insert(f.data.end(), word, word + strlen(word));
        f.data.push_back(Next(&seed) % 9 == 0 ? '\n' : ' ');
      }
      f.data.resize(size);
    }
    files.push_back(std::move(f));
  }
  return files;
}

bool WriteFileBytes(const std::string& path, const void* data, size_t size) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  const bool ok = WriteFile(file, data, static_cast<DWORD>(size), &written, nullptr) &&
                  written == size;
  CloseHandle(file);
  return ok;
}

void RemoveTree(const std::string& path) {
  WIN32_FIND_DATAA data;
  HANDLE find = FindFirstFileA((path + "\\*").c_str(), &data);
  if (find != INVALID_HANDLE_VALUE) {
    do {
      const std::string name = data.cFileName;
      if (name == "." || name == "..") continue;
      const std::string child = path + "\\" + name;
      if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) RemoveTree(child);
      else DeleteFileA(child.c_str());
    } while (FindNextFileA(find, &data));
    FindClose(find);
  }
  RemoveDirectoryA(path.c_str());
}

double Now() {
  LARGE_INTEGER frequency, now;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&now);
  return double(now.QuadPart) / double(frequency.QuadPart);
}

// What a child reports: its work's time and its peak memory.
void PrintFigures(double start) {
  const double seconds = Now() - start;
  PROCESS_MEMORY_COUNTERS counters = {};
  counters.cb = sizeof(counters);
  GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof(counters));
  printf("figures %.6f %llu %llu\n", seconds,
         static_cast<unsigned long long>(counters.PeakWorkingSetSize),
         static_cast<unsigned long long>(counters.PeakPagefileUsage));
}

// The floor: CopyFileA of every file, folders created on the way.
int PlainCopy(const std::string& source, const std::string& destination) {
  const double start = Now();
  if (!bench::CopyTree(source, destination)) return 1;
  PrintFigures(start);
  return 0;
}

class NoProgress : public Progress {
 public:
  void ShowProgressText(const char*) override {}
  void PumpMessages() override {}
};

// The copy pass as the installer runs it, silent and without a log.
int CopyPass(const std::string& archive, const std::string& destination) {
  RecordingStatusPlatform platform;
  Status().ui_level = 0;
  const double start = Now();
  CreateDirectoryA(destination.c_str(), nullptr);
  SetCurrentDirectoryA(destination.c_str());
  Win32File file;
  if (OpenFileForReading(archive.c_str(), FILE_FLAG_RANDOM_ACCESS, &file) != 0) return 1;
  Win32FileSystem output;
  BareArchiveReader reader(new Win32FileSource(std::move(file)), true, output);
  if (!reader.Open()) return 1;
  InstallerContextPtr context(CreateInstallerContext(""));
  StringList installed, created;
  NoProgress progress;
  uint32_t options = 0;
  const CopyPassParts parts = {&options, destination.c_str(), "", &installed, &created,
                               context.get(), &progress, nullptr};
  const bool ok = CopyPackageFiles(reader, parts);
  PrintFigures(start);
  return ok ? 0 : 1;
}

struct ChildRun {
  double seconds = -1;
  unsigned long long peak_working_set = 0, peak_private = 0;
};

// Runs this program with arguments; the figures it printed.
ChildRun RunChild(const std::string& arguments) {
  ChildRun run;
  char self[MAX_PATH];
  GetModuleFileNameA(nullptr, self, MAX_PATH);
  std::string command = "\"" + std::string(self) + "\" " + arguments;
  SECURITY_ATTRIBUTES inherit = {sizeof(inherit), nullptr, TRUE};
  HANDLE read_end, write_end;
  if (!CreatePipe(&read_end, &write_end, &inherit, 0)) return run;
  SetHandleInformation(read_end, HANDLE_FLAG_INHERIT, 0);
  STARTUPINFOA startup = {};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdOutput = write_end;
  startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
  PROCESS_INFORMATION process = {};
  const bool started = CreateProcessA(nullptr, &command[0], nullptr, nullptr, TRUE, 0, nullptr,
                                      nullptr, &startup, &process);
  CloseHandle(write_end);
  std::string output;
  char buffer[256];
  DWORD got = 0;
  while (ReadFile(read_end, buffer, sizeof(buffer), &got, nullptr) && got > 0) output.append(buffer, got);
  CloseHandle(read_end);
  if (!started) return run;
  WaitForSingleObject(process.hProcess, INFINITE);
  DWORD code = 1;
  GetExitCodeProcess(process.hProcess, &code);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  double seconds = -1;
  if (code != 0 || sscanf(output.c_str(), "figures %lf %llu %llu", &seconds,
                          &run.peak_working_set, &run.peak_private) != 3)
    return run;
  run.seconds = seconds;
  return run;
}

bool SameTrees(const std::vector<PackFile>& files, const std::string& a, const std::string& b) {
  for (const PackFile& f : files) {
    std::vector<uint8_t> x, y;
    for (auto [root, out] : {std::make_pair(&a, &x), std::make_pair(&b, &y)}) {
      HANDLE file = CreateFileA((*root + "\\" + f.name).c_str(), GENERIC_READ, FILE_SHARE_READ,
                                nullptr, OPEN_EXISTING, 0, nullptr);
      if (file == INVALID_HANDLE_VALUE) return false;
      out->resize(GetFileSize(file, nullptr));
      DWORD got = 0;
      ReadFile(file, out->data(), static_cast<DWORD>(out->size()), &got, nullptr);
      CloseHandle(file);
    }
    if (x != f.data || y != f.data) return false;
  }
  return true;
}

int Main(int rounds) {
  char temp[MAX_PATH];
  GetTempPathA(MAX_PATH, temp);
  const std::string work = std::string(temp) + "kest-copy-bench-" + std::to_string(GetCurrentProcessId());
  RemoveTree(work);
  CreateDirectoryA(work.c_str(), nullptr);
  const std::string source = work + "\\source", archive = work + "\\pack.arj";

  const std::vector<PackFile> files = MakePack();
  CreateDirectoryA(source.c_str(), nullptr);
  std::vector<uint8_t> packed;
  VectorSink sink(&packed);
  ArchiveWriter writer(sink);
  uint32_t error = writer.Begin("pack.arj", kDosTime);
  uint64_t total = 0, largest = 0;
  for (int k = 0; k < kFolders; ++k)
    CreateDirectoryA((source + "\\folder" + std::to_string(k)).c_str(), nullptr);
  for (const PackFile& f : files) {
    const EntryInfo info = {f.name.c_str(), kDosTime, 0, {0, 0, 0, 0}};
    WrittenEntry written = {};
    if (error == 0) {
      error = writer.AddEntry(info, f.data.data(), static_cast<uint32_t>(f.data.size()), 1,
                              &written);
    }
    if (!WriteFileBytes(source + "\\" + f.name, f.data.data(), f.data.size())) error = 1;
    total += f.data.size();
    largest = std::max<uint64_t>(largest, uint64_t(written.packed_size) + written.original_size);
  }
  if (error == 0) error = writer.Finish();
  if (error == 0) {
    const ArchiveLengthPatch patch = writer.LengthPatch();
    memcpy(packed.data() + patch.offset, patch.bytes, sizeof(patch.bytes));
  }
  if (error != 0 || !WriteFileBytes(archive, packed.data(), packed.size())) {
    fprintf(stderr, "copy_pass_bench: cannot make the pack (%u)\n", error);
    return 1;
  }
  printf("pack: %d files in %d folders, %.1f MB, packed into %.1f MB (arj method 1)\n", kFiles,
         kFolders, total / 1e6, packed.size() / 1e6);

  ChildRun best_plain, best_pass;
  for (int round = 0; round < rounds; ++round) {
    const std::string plain_out = work + "\\plain", pass_out = work + "\\pass";
    RemoveTree(plain_out);
    RemoveTree(pass_out);
    const ChildRun plain = RunChild("plain \"" + source + "\" \"" + plain_out + "\"");
    const ChildRun pass = RunChild("pass \"" + archive + "\" \"" + pass_out + "\"");
    if (plain.seconds < 0 || pass.seconds < 0) {
      fprintf(stderr, "copy_pass_bench: a run failed\n");
      return 1;
    }
    printf("round %d: plain copy %.3f s, copy pass %.3f s\n", round + 1, plain.seconds,
           pass.seconds);
    if (best_plain.seconds < 0 || plain.seconds < best_plain.seconds) best_plain = plain;
    if (best_pass.seconds < 0 || pass.seconds < best_pass.seconds) best_pass = pass;
    if (round == rounds - 1 && !SameTrees(files, plain_out, pass_out)) {
      fprintf(stderr, "copy_pass_bench: the copies differ from the pack\n");
      return 1;
    }
  }
  printf("fastest of %d: plain Win32 copy %.3f s (%.1f MB/s), copy pass %.3f s (%.1f MB/s)\n",
         rounds, best_plain.seconds, total / 1e6 / best_plain.seconds, best_pass.seconds,
         total / 1e6 / best_pass.seconds);
  printf("ratio (copy pass / plain copy): %.2f\n", best_pass.seconds / best_plain.seconds);
  printf("peak memory: copy pass %.1f MB working set, %.1f MB private; plain copy %.1f MB, %.1f MB\n",
         best_pass.peak_working_set / 1e6, best_pass.peak_private / 1e6,
         best_plain.peak_working_set / 1e6, best_plain.peak_private / 1e6);
  printf("copy pass beyond the plain copy: %.2f MB working set, %.2f MB private; bound: largest "
         "entry packed + original + 2 MB = %.2f MB\n",
         (double(best_pass.peak_working_set) - double(best_plain.peak_working_set)) / 1e6,
         (double(best_pass.peak_private) - double(best_plain.peak_private)) / 1e6,
         (largest + (2u << 20)) / 1e6);
  RemoveTree(work);
  return 0;
}

}  // namespace
}  // namespace kest

int main(int argc, char** argv) {
  if (argc == 4 && strcmp(argv[1], "plain") == 0) return kest::PlainCopy(argv[2], argv[3]);
  if (argc == 4 && strcmp(argv[1], "pass") == 0) return kest::CopyPass(argv[2], argv[3]);
  return kest::Main(argc > 1 ? atoi(argv[1]) : 3);
}
