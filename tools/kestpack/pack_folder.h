// The files of a pack folder, in the order they enter the package: by the
// bytes of their relative paths, '/' between folders (so "A/b" < "B" < "a"),
// which depends on nothing but the names.
#pragma once
#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

namespace kest {

struct PackFile {
  std::string name;   // relative path, '/' between folders
  std::string path;   // where to read it
  int64_t mtime_seconds;
  long mtime_nanoseconds;
  uint64_t size;      // bytes, below 4 GiB
};

// What to do with a symbolic link below the folder (the folder itself may
// be a link).
enum class FolderLinks {
  kRefuse,  // a link is an error: it can point anywhere, a home folder too
  kFollow,  // a link stands for what it points to
};

// Every regular file below folder. Fails with *error naming the file and
// the reason for a name CheckPackedName refuses, a symbolic link (unless
// links are followed), anything that is neither a file nor a folder, a
// file of 4 GiB or more, or a folder that cannot be read. Empty folders
// add nothing. Names that differ only in letter case are left to
// CheckDistinctNames.
bool CollectPackFiles(const std::string& folder, FolderLinks links, std::vector<PackFile>* files,
                      std::string* error);

}  // namespace kest
