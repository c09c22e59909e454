#include "install/replace_decision.h"

#include <cstring>

#include "archive/package_reader.h"
#include "base/install_log.h"

namespace kest {

bool IsSystemFolderEntry(const char* package_name) {
  return strncmp(package_name, "_winsys", 7) == 0 || strncmp(package_name, "_WINSYS", 7) == 0;
}

bool ShouldReplace(const PackageReader& reader, const char* package_name, DiskFileFacts& disk) {
  const char* target = reader.GetEntryName();
  const bool strict = IsSystemFolderEntry(package_name);
  uint16_t words[4];
  if (reader.GetEntryVersion(words)) {
    const FileVersion entry = MakeFileVersion(words);
    const FileVersion on_disk = disk.GetFileVersion(target);
    const bool replace = IsNewerThan(entry, on_disk) || (!strict && Equals(entry, on_disk));
    LogFormat("Version compare for \"%s\" indicates archive %s older than disk version", target,
              replace ? "is not" : "is");
    return replace;
  }
  // Both are Windows file times, compared as stored: unsigned 64-bit.
  const uint64_t entry_time = reader.GetEntryFileTime();
  uint64_t disk_time;
  const bool replace = !disk.GetLastWriteTime(target, &disk_time) || entry_time > disk_time ||
                       (!strict && entry_time == disk_time);
  LogFormat("Date/time compare for \"%s\" indicates archive %s older than disk version", target,
            replace ? "is not" : "is");
  return replace;
}

}  // namespace kest
