// Builds the package archive in memory: the main header, then one entry per
// input in the order given, each with its Qel1 version words and file time,
// then the end marker; finally the main header's Qel1 value is set to the
// archive length.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace kest {

// The name of the archive in its main header. Fixed, so that the output's
// file name does not change its bytes.
constexpr char kArchiveName[] = "CPACK.ARJ";

struct ArchiveInput {
  std::string name;      // entry name, '/' between folders
  std::string path;      // file to read
  int64_t mtime_seconds;
  long mtime_nanoseconds;
  uint32_t method;       // 0 stored, 1..3
  uint64_t size;         // the file's size when it was found
  bool smallest = false; // method 1: the slower setting for the smallest output
};

// What was written for one input, for the progress line and the listing.
struct BuiltEntry {
  uint32_t method;       // 0 when stored instead of packed
  uint32_t original_size;
  uint32_t packed_size;
};

// Called after each entry with its index and what was written.
using BuildProgress = std::function<void(size_t index, const BuiltEntry& entry)>;

// Every time in the archive comes from the inputs: each entry's from its
// file, the main header's the latest of them. The build stops with an
// error as soon as the archive passes limit bytes. False with *error
// naming the file and the reason.
bool BuildArchive(const std::vector<ArchiveInput>& inputs, uint64_t limit,
                  std::vector<uint8_t>* archive, const BuildProgress& progress,
                  std::string* error);

// The archive's length when every input is stored at its recorded size:
// the most BuildArchive can write for them, since an entry that would not
// shrink is stored.
uint64_t StoredArchiveBytes(const std::vector<ArchiveInput>& inputs);

}  // namespace kest
