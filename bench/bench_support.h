// What the benchmarks share: timing contenders side by side on a shared
// machine, and scratch folders.
#pragma once
#include <functional>
#include <string>
#include <vector>

namespace kest {
namespace bench {

// Runs every contender `rounds` times, taking turns (so that a busy moment
// of the shared machine falls on all of them), and returns the fastest
// time of each in seconds; -1 for one that failed.
std::vector<double> Fastest(int rounds, const std::vector<std::function<bool()>>& runs);

// A new folder named after prefix, on tmpfs (/dev/shm) when there is one,
// so that disk write-back does not blur the figures; "" on failure.
std::string MakeScratchFolder(const std::string& prefix);

// Removes folder and everything below it.
void RemoveFolder(const std::string& folder);

}  // namespace bench
}  // namespace kest
