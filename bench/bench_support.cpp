#include "bench/bench_support.h"

#include <ftw.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <algorithm>
#include <chrono>

namespace kest {
namespace bench {
namespace {

int RemoveEntry(const char* path, const struct stat*, int, struct FTW*) { return remove(path); }

}  // namespace

std::vector<double> Fastest(int rounds, const std::vector<std::function<bool()>>& runs) {
  using Clock = std::chrono::steady_clock;
  std::vector<double> best(runs.size(), 1e30);
  for (int round = 0; round < rounds; ++round) {
    for (size_t k = 0; k < runs.size(); ++k) {
      if (best[k] < 0) continue;
      const Clock::time_point start = Clock::now();
      if (!runs[k]()) {
        best[k] = -1;
        continue;
      }
      best[k] = std::min(best[k], std::chrono::duration<double>(Clock::now() - start).count());
    }
  }
  return best;
}

std::string MakeScratchFolder(const std::string& prefix) {
  struct stat shm;
  std::string pattern = (stat("/dev/shm", &shm) == 0 ? "/dev/shm/" : "/tmp/") + prefix + "-XXXXXX";
  if (mkdtemp(&pattern[0]) == nullptr) {
    perror("mkdtemp");
    return "";
  }
  return pattern;
}

void RemoveFolder(const std::string& folder) {
  nftw(folder.c_str(), RemoveEntry, 16, FTW_DEPTH | FTW_PHYS);
}

}  // namespace bench
}  // namespace kest
