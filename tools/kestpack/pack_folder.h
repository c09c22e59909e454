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
};

// Every regular file below folder, symbolic links followed. Fails with
// *error naming the file and the reason for a name CheckEntryName refuses,
// two names the installer would take for one (they differ only in letter
// case), anything that is neither a file nor a folder, or a folder that
// cannot be read. Empty folders add nothing.
bool CollectPackFiles(const std::string& folder, std::vector<PackFile>* files,
                      std::string* error);

}  // namespace kest
