// The install benchmark: one corpus (bench/install_corpus.h) installed
// silently under the same Wine, on tmpfs, into a fresh target folder per
// run, by
//   KestInst    the installer kestpack builds (method 1), run with /U0 and
//               the folder;
//   NSIS        an installer of the same files made here by makensis with
//               its default zlib compression, its stub for the same
//               Windows build, run with /S /D=folder;
//   plain copy  bench/plain_copy.cpp: CopyFileA of the unpacked corpus, the
//               floor.
//
//   install_bench --kestpack PATH --stub KESTINST.EXE --key KEY.pem
//                 --components CPACK.INI --dependencies CPACK.INF
//                 --plain-copy PLAIN_COPY.EXE --nsis-target TARGET
//                 --library DLL [--library DLL]... [--rounds N]
//                 [--size-pair STUB NSIS_TARGET] [--large FILES]... [--keep]
//
// It runs inside scripts/with-wine.sh (WINEPREFIX, DISPLAY and `wine` are
// set up there); bench/install_bench.sh builds everything and starts it.
// The manifests are the sample pack's (samples/morvane): a component, its
// obsolete files (looked for, and not found, in a fresh target) and the
// dependency that names where an earlier release went.
// --size-pair builds both installers once more with another stub and NSIS
// target (the shipped 32-bit pair) and prints only their sizes. --keep
// keeps the work folder (corpus, installers, the runs' output) at the end.
// Each --large FILES runs, after the small corpus, the first FILES files of
// the large one (20,000 files in 2,000 folders, about 320 MB) the same way,
// and a closing table shows how the time grows with the number of files:
// the time per file against the small corpus's (target: at most 1.1 times
// it) and the peak memory against NSIS's.
//
// What one run measures, seen from Linux:
//   time    from starting `wine PROGRAM ARGS` to its end: what a user
//           waiting for the install sees (process start, the installer
//           reading and checking its own file, every file written);
//   memory  the peak resident set of that process, ru_maxrss from wait4:
//           Linux's VmHWM, which is also what Wine reports to the program
//           as its PeakWorkingSetSize. It includes Wine's own libraries
//           and heaps, which the plain copy's figure shows.
// Cold: the prefix's wineserver is stopped (wineserver -k, then -w) before
// every run, so the run starts it. Warm: one persistent wineserver runs
// throughout, and every contender has run once, untimed, before.
// The contenders take turns round by round, so that a busy moment of the
// shared machine falls on all of them; each figure is the median of the
// rounds, and the fastest run of each is printed beside it. After every
// run its target is compared with the corpus, file by file, outside the
// timed part; a wrong install stops the benchmark.
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "bench/bench_support.h"
#include "bench/install_corpus.h"

namespace kest {
namespace bench {
namespace {

using Clock = std::chrono::steady_clock;

struct Options {
  std::string kestpack, stub, key, components, dependencies, plain_copy, nsis_target;
  std::vector<std::string> libraries;
  std::string pair_stub, pair_nsis_target;
  std::vector<uint32_t> large;  // cuts of the large corpus, in files
  int rounds = 5;
  bool keep = false;  // the work folder stays, for a closer look
};

struct Run {
  double seconds = 0;
  long peak_kb = 0;  // ru_maxrss
};

struct Setup {
  std::string work, corpus, kestinst_installer, nsis_installer, plain_copy, log;
};

// One contender: its name and the arguments after `wine` for a target.
struct Contender {
  const char* name;
  std::vector<std::string> (*arguments)(const Setup&, const std::string& target);
  std::vector<Run> cold, warm;
};

// Z:\ is Wine's view of the Linux root.
std::string WindowsPath(const std::string& path) {
  std::string out = "Z:" + path;
  std::replace(out.begin(), out.end(), '/', '\\');
  return out;
}

bool WriteText(const std::string& path, const std::string& text) {
  std::ofstream file(path, std::ios::binary);
  file << text;
  file.close();
  return !file.fail();
}

uint64_t FileSize(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 ? uint64_t(st.st_size) : 0;
}

// Runs argv (searched on PATH) with its output appended to log; the exit
// status as wait4 gives it, the wall time and the child's peak resident
// set. status is -1 when the program could not be started.
int Spawn(const std::vector<std::string>& argv, const std::string& log, Run* run) {
  std::vector<char*> args;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  const Clock::time_point start = Clock::now();
  const pid_t child = fork();
  if (child < 0) return -1;
  if (child == 0) {
    const int out = open(log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
    if (out >= 0) {
      dup2(out, 1);
      dup2(out, 2);
    }
    execvp(args[0], args.data());
    _exit(127);
  }
  int status = 0;
  struct rusage usage = {};
  if (wait4(child, &status, 0, &usage) != child) return -1;
  if (run != nullptr) {
    run->seconds = std::chrono::duration<double>(Clock::now() - start).count();
    run->peak_kb = usage.ru_maxrss;
  }
  return status;
}

bool RunQuietly(const std::vector<std::string>& argv, const std::string& log) {
  const int status = Spawn(argv, log, nullptr);
  if (status == 0) return true;
  fprintf(stderr, "install_bench: %s failed (status %d); its output is in %s\n", argv[0].c_str(),
          status, log.c_str());
  return false;
}

void StopWineserver(const std::string& log) {
  Spawn({"wineserver", "-k"}, log, nullptr);  // fails when none runs
  Spawn({"wineserver", "-w"}, log, nullptr);
}

std::string ReadAll(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

uint32_t CountFiles(const std::string& folder) {
  // A shell's find keeps this short; the tree is small.
  const std::string command = "find '" + folder + "' -type f | wc -l";
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return 0;
  unsigned count = 0;
  if (fscanf(pipe, "%u", &count) != 1) count = 0;
  pclose(pipe);
  return count;
}

// The installed tree holds exactly the corpus's files, byte for byte.
bool SameAsCorpus(const Corpus& corpus, const std::string& source, const std::string& target,
                  const char* who) {
  for (const std::string& file : corpus.files) {
    if (ReadAll(target + "/" + file) != ReadAll(source + "/" + file)) {
      fprintf(stderr, "install_bench: %s installed %s wrongly or not at all\n", who, file.c_str());
      return false;
    }
  }
  const uint32_t found = CountFiles(target);
  if (found != corpus.files.size()) {
    fprintf(stderr, "install_bench: %s left %u files, the corpus has %zu\n", who, found,
            corpus.files.size());
    return false;
  }
  return true;
}

std::vector<std::string> KestInstArguments(const Setup& setup, const std::string& target) {
  return {"wine", setup.kestinst_installer, "/U0", WindowsPath(target)};
}

std::vector<std::string> NsisArguments(const Setup& setup, const std::string& target) {
  // /D= must come last and takes the rest of the line, unquoted.
  return {"wine", setup.nsis_installer, "/S", "/D=" + WindowsPath(target)};
}

std::vector<std::string> PlainCopyArguments(const Setup& setup, const std::string& target) {
  return {"wine", setup.plain_copy, WindowsPath(setup.corpus), WindowsPath(target)};
}

bool BuildKestInst(const Options& options, const Setup& setup, const std::string& stub,
                   const std::string& out) {
  return RunQuietly({options.kestpack, "build", "-o", out, "--stub", stub, "--key", options.key,
                     "--components", options.components, "--dependencies",
                     options.dependencies, "--method", "1", setup.corpus},
                    setup.log);
}

bool BuildNsis(const Setup& setup, const std::string& nsis_target, const std::string& out) {
  const std::string script = setup.work + "/setup-" + nsis_target + ".nsi";
  const std::string text =
      "Unicode true\n"
      "Target " + nsis_target + "\n"
      "SetCompressor zlib\n"  // makensis's default, named
      "Name \"Morvane Components\"\n"
      "OutFile \"" + out + "\"\n"
      "InstallDir \"$PROGRAMFILES\\Morvane Components\"\n"
      "RequestExecutionLevel admin\n"
      "Section\n"
      "  SetOutPath \"$INSTDIR\"\n"
      "  File /r \"" + setup.corpus + "/*\"\n"
      "SectionEnd\n";
  return WriteText(script, text) && RunQuietly({"makensis", "-V1", script}, setup.log);
}

// One run of a contender into a fresh target, checked afterwards.
bool RunOnce(Contender& contender, const Setup& setup, const Corpus& corpus, int number, Run* run) {
  const std::string target = setup.work + "/target-" + std::to_string(number);
  const int status = Spawn(contender.arguments(setup, target), setup.log, run);
  if (status != 0) {
    fprintf(stderr, "install_bench: %s ended with status %d; its output is in %s\n",
            contender.name, status, setup.log.c_str());
    return false;
  }
  const bool same = SameAsCorpus(corpus, setup.corpus, target, contender.name);
  RemoveFolder(target);
  return same;
}

// The timed rounds, the contenders taking turns; cold ones stop the
// wineserver before each run. *number counts the target folders.
bool RunRounds(int rounds, bool cold, Contender (&contenders)[3], const Setup& setup,
               const Corpus& corpus, int* number) {
  for (int round = 0; round < rounds; ++round) {
    printf("%s round %d:", cold ? "cold" : "warm", round + 1);
    for (Contender& c : contenders) {
      if (cold) StopWineserver(setup.log);
      Run run;
      if (!RunOnce(c, setup, corpus, ++*number, &run)) return false;
      (cold ? c.cold : c.warm).push_back(run);
      printf("  %s %.3f s", c.name, run.seconds);
      fflush(stdout);
    }
    printf("\n");
  }
  return true;
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  const size_t n = values.size();
  return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

double MedianSeconds(const std::vector<Run>& runs) {
  std::vector<double> values;
  for (const Run& r : runs) values.push_back(r.seconds);
  return Median(values);
}

double FastestSeconds(const std::vector<Run>& runs) {
  double best = runs.front().seconds;
  for (const Run& r : runs) best = std::min(best, r.seconds);
  return best;
}

double MedianPeakMb(const std::vector<Run>& runs) {
  std::vector<double> values;
  for (const Run& r : runs) values.push_back(r.peak_kb * 1024 / 1e6);
  return Median(values);
}

// The install time's targets, cold and warm alike.
constexpr double kTimeAgainstNsis = 0.85;
constexpr double kTimeAgainstPlainCopy = 1.25;

const char* Verdict(double ratio, double target) { return ratio <= target ? "met" : "MISSED"; }

bool ParseOptions(int argc, char** argv, Options* options) {
  for (int k = 1; k < argc; ++k) {
    const std::string a = argv[k];
    auto value = [&](std::string* out) {
      if (k + 1 >= argc) return false;
      *out = argv[++k];
      return true;
    };
    std::string number;
    bool ok = true;
    if (a == "--kestpack") ok = value(&options->kestpack);
    else if (a == "--stub") ok = value(&options->stub);
    else if (a == "--key") ok = value(&options->key);
    else if (a == "--components") ok = value(&options->components);
    else if (a == "--dependencies") ok = value(&options->dependencies);
    else if (a == "--plain-copy") ok = value(&options->plain_copy);
    else if (a == "--nsis-target") ok = value(&options->nsis_target);
    else if (a == "--library") ok = value(&number) && (options->libraries.push_back(number), true);
    else if (a == "--rounds") ok = value(&number) && (options->rounds = atoi(number.c_str())) > 0;
    else if (a == "--keep") options->keep = true;
    else if (a == "--large")
      ok = value(&number) && (options->large.push_back(uint32_t(atol(number.c_str()))),
                              options->large.back() > 0 && options->large.back() <= kLargeCorpusFiles);
    else if (a == "--size-pair") ok = value(&options->pair_stub) && value(&options->pair_nsis_target);
    else ok = false;
    if (!ok) return false;
  }
  return !options->kestpack.empty() && !options->stub.empty() && !options->key.empty() &&
         !options->components.empty() && !options->dependencies.empty() &&
         !options->plain_copy.empty() && !options->nsis_target.empty() &&
         !options->libraries.empty();
}

// What one corpus gave: its size and the medians, for the closing table.
struct CorpusResult {
  size_t files = 0;
  double megabytes = 0;
  double kestinst_cold = 0, kestinst_warm = 0, nsis_warm = 0, plain_warm = 0;
  double kestinst_peak_mb = 0, nsis_peak_mb = 0;
};

// Makes one corpus (the small one when large_files is 0) in a work folder
// of its own, builds both installers of it, times the three contenders and
// prints the figures; the work folder goes at the end unless --keep.
bool RunCorpus(const Options& options, uint32_t large_files, CorpusResult* result) {
  Setup setup;
  setup.work = MakeScratchFolder("kest-install-bench");
  if (setup.work.empty()) return false;
  setup.corpus = setup.work + "/corpus";
  setup.kestinst_installer = setup.work + "/kestinst-setup.exe";
  setup.nsis_installer = setup.work + "/nsis-setup.exe";
  setup.plain_copy = options.plain_copy;
  setup.log = setup.work + "/runs.log";
  Corpus corpus;
  if (mkdir(setup.corpus.c_str(), 0755) != 0 ||
      !MakeCorpus(setup.corpus, options.libraries, large_files, &corpus) ||
      !BuildKestInst(options, setup, options.stub, setup.kestinst_installer) ||
      !BuildNsis(setup, options.nsis_target, setup.nsis_installer)) {
    fprintf(stderr, "install_bench: setting up failed; the work folder %s is kept\n",
            setup.work.c_str());
    return false;
  }
  std::vector<std::string> distinct_libraries = options.libraries;
  std::sort(distinct_libraries.begin(), distinct_libraries.end());
  distinct_libraries.erase(std::unique(distinct_libraries.begin(), distinct_libraries.end()),
                           distinct_libraries.end());
  const uint64_t total = corpus.text_bytes + corpus.binary_bytes + corpus.library_bytes;
  printf("\n%s corpus: %zu files in %u folders, %.1f MB: text %.1f MB, binary data %.1f MB, "
         "libraries %.1f MB (%zu DLLs with version resources, copied under many names)\n",
         large_files == 0 ? "small" : "large", corpus.files.size(), corpus.folders, total / 1e6,
         corpus.text_bytes / 1e6, corpus.binary_bytes / 1e6, corpus.library_bytes / 1e6,
         distinct_libraries.size());

  const uint64_t kestinst_size = FileSize(setup.kestinst_installer);
  const uint64_t nsis_size = FileSize(setup.nsis_installer);
  const uint64_t nsis_stub = FileSize("/usr/share/nsis/Stubs/zlib-" + options.nsis_target);
  printf("installer size: KestInst %llu bytes (stub image %llu), NSIS %llu bytes (stub %llu, %s); "
         "KestInst/NSIS %.3f [target <= 1.0: %s]\n",
         (unsigned long long)kestinst_size, (unsigned long long)FileSize(options.stub),
         (unsigned long long)nsis_size, (unsigned long long)nsis_stub, options.nsis_target.c_str(),
         double(kestinst_size) / nsis_size, Verdict(double(kestinst_size) / nsis_size, 1.0));
  if (!options.pair_stub.empty() && large_files == 0) {
    // kestpack refuses to put the corpus's libraries, built for the
    // benchmark's machine, behind a stub for the other one; the archive and
    // signature record are the same behind either stub, so the pair's size
    // is the other stub plus what follows the benchmark's own.
    const std::string nsis = setup.work + "/nsis-pair.exe";
    if (!BuildNsis(setup, options.pair_nsis_target, nsis)) return false;
    const uint64_t pair_size = FileSize(options.pair_stub) + kestinst_size - FileSize(options.stub);
    printf("installer size, shipped pair: KestInst %llu bytes (stub image %llu), NSIS %s %llu "
           "bytes; KestInst/NSIS %.3f [target <= 1.0: %s]\n",
           (unsigned long long)pair_size, (unsigned long long)FileSize(options.pair_stub),
           options.pair_nsis_target.c_str(), (unsigned long long)FileSize(nsis),
           double(pair_size) / FileSize(nsis), Verdict(double(pair_size) / FileSize(nsis), 1.0));
  }
  fflush(stdout);

  Contender contenders[] = {{"KestInst", KestInstArguments, {}, {}},
                            {"NSIS", NsisArguments, {}, {}},
                            {"plain copy", PlainCopyArguments, {}, {}}};
  int number = 0;
  // Cold: every run starts the wineserver.
  if (!RunRounds(options.rounds, true, contenders, setup, corpus, &number)) return false;
  // Warm: one persistent wineserver; each contender once before the count.
  StopWineserver(setup.log);
  if (!RunQuietly({"wineserver", "-p"}, setup.log)) return false;
  for (Contender& c : contenders) {
    Run run;
    if (!RunOnce(c, setup, corpus, ++number, &run)) return false;
  }
  if (!RunRounds(options.rounds, false, contenders, setup, corpus, &number)) return false;

  const Contender &kestinst = contenders[0], &nsis = contenders[1], &plain = contenders[2];
  printf("install time, %d runs each              KestInst    NSIS   plain copy   "
         "KestInst/NSIS  KestInst/plain copy\n", options.rounds);
  // The median is the figure; the fastest run, the least disturbed one on
  // a shared machine, is shown beside it.
  for (bool fastest : {false, true}) {
    for (bool cold : {true, false}) {
      auto pick = [&](const Contender& c) {
        const std::vector<Run>& runs = cold ? c.cold : c.warm;
        return fastest ? FastestSeconds(runs) : MedianSeconds(runs);
      };
      const double k = pick(kestinst), n = pick(nsis), p = pick(plain);
      printf("  %s, %s wineserver   %7.3f s %6.3f s %8.3f s   %8.2f [%s]   %8.2f [%s]\n",
             fastest ? "fastest" : "median ", cold ? "cold" : "warm", k, n, p, k / n,
             Verdict(k / n, kTimeAgainstNsis), k / p, Verdict(k / p, kTimeAgainstPlainCopy));
    }
  }
  printf("peak memory (peak resident set of the installing process, warm; median)\n");
  const double peak_ratio = MedianPeakMb(kestinst.warm) / MedianPeakMb(nsis.warm);
  printf("  KestInst %.1f MB, NSIS %.1f MB, plain copy %.1f MB; beyond the plain copy: "
         "KestInst %.1f MB, NSIS %.1f MB; KestInst/NSIS %.2f [%s]\n",
         MedianPeakMb(kestinst.warm), MedianPeakMb(nsis.warm), MedianPeakMb(plain.warm),
         MedianPeakMb(kestinst.warm) - MedianPeakMb(plain.warm),
         MedianPeakMb(nsis.warm) - MedianPeakMb(plain.warm), peak_ratio,
         Verdict(peak_ratio, 1.0));
  printf("targets: time KestInst/NSIS <= %.2f, KestInst/plain copy <= %.2f; peak memory and "
         "installer size <= NSIS's\n",
         kTimeAgainstNsis, kTimeAgainstPlainCopy);
  fflush(stdout);
  result->files = corpus.files.size();
  result->megabytes = total / 1e6;
  result->kestinst_cold = MedianSeconds(kestinst.cold);
  result->kestinst_warm = MedianSeconds(kestinst.warm);
  result->nsis_warm = MedianSeconds(nsis.warm);
  result->plain_warm = MedianSeconds(plain.warm);
  result->kestinst_peak_mb = MedianPeakMb(kestinst.warm);
  result->nsis_peak_mb = MedianPeakMb(nsis.warm);
  // The next corpus starts its own wineserver cold.
  StopWineserver(setup.log);
  if (options.keep) printf("work folder kept: %s\n", setup.work.c_str());
  else RemoveFolder(setup.work);
  return true;
}

// The time per file may grow by this much from the small corpus to the
// large one.
constexpr double kPerFileGrowth = 1.1;

int Main(const Options& options) {
  std::vector<CorpusResult> results(1);
  if (!RunCorpus(options, 0, &results[0])) return 1;
  for (uint32_t files : options.large) {
    results.emplace_back();
    if (!RunCorpus(options, files, &results.back())) return 1;
  }
  if (results.size() == 1) return 0;
  // Warm medians: the process start, the same for every size, is in each.
  const CorpusResult& small = results[0];
  const double small_per_file = small.kestinst_warm / small.files;
  printf("\ntime against files (medians, warm; cold for KestInst beside it)\n"
         "  files     MB   KestInst warm  cold    NSIS   plain copy  KestInst ms/file  "
         "per file / small's  KestInst/NSIS  peak MB KestInst  NSIS  ratio\n");
  for (size_t k = 0; k < results.size(); ++k) {
    const CorpusResult& r = results[k];
    const double per_file = r.kestinst_warm / r.files;
    const double growth = per_file / small_per_file;
    const double peak = r.kestinst_peak_mb / r.nsis_peak_mb;
    printf("  %6zu %6.1f  %8.3f s %7.3f s %6.3f s %8.3f s  %10.3f        %6.2f%-9s  %8.2f"
           "      %8.1f %6.1f  %5.2f [%s]\n",
           r.files, r.megabytes, r.kestinst_warm, r.kestinst_cold, r.nsis_warm, r.plain_warm,
           per_file * 1e3, growth,
           k == 0 ? "" : (growth <= kPerFileGrowth ? " [met]" : " [MISSED]"),
           r.kestinst_warm / r.nsis_warm, r.kestinst_peak_mb, r.nsis_peak_mb, peak,
           Verdict(peak, 1.0));
  }
  printf("targets: time per file at most %.1f times the small corpus's; peak memory <= NSIS's\n",
         kPerFileGrowth);
  return 0;
}

}  // namespace
}  // namespace bench
}  // namespace kest

int main(int argc, char** argv) {
  kest::bench::Options options;
  if (!kest::bench::ParseOptions(argc, argv, &options)) {
    fprintf(stderr,
            "usage: install_bench --kestpack PATH --stub KESTINST.EXE --key KEY.pem\n"
            "                     --components CPACK.INI --dependencies CPACK.INF\n"
            "                     --plain-copy PLAIN_COPY.EXE --nsis-target TARGET\n"
            "                     --library DLL [--library DLL]... [--rounds N]\n"
            "                     [--size-pair STUB NSIS_TARGET] [--large FILES]... [--keep]\n");
    return 2;
  }
  return kest::bench::Main(options);
}
