#include "install/replace_decision.h"

#include <cstring>

#include "archive/package_reader.h"
#include "base/install_log.h"

namespace kest {

bool IsSystemFolderEntry(const char* package_name) {
  return strncmp(package_name, "_winsys", 7) == 0 || strncmp(package_name, "_WINSYS", 7) == 0;
}

ReplaceAnswer DecideReplace(const EntryStamp& entry, const char* target, const char* package_name,
                            DiskFileFacts& disk) {
  ReplaceAnswer answer;
  answer.strict = IsSystemFolderEntry(package_name);
  if (entry.has_version) {
    answer.by_version = true;
    answer.entry_version = MakeFileVersion(entry.version);
    answer.disk_version = disk.GetFileVersion(target);
    answer.replace = IsNewerThan(answer.entry_version, answer.disk_version) ||
                     (!answer.strict && Equals(answer.entry_version, answer.disk_version));
    return answer;
  }
  // Both are Windows file times, compared as stored: unsigned 64-bit.
  answer.entry_time = entry.file_time;
  answer.disk_time_known = disk.GetLastWriteTime(target, &answer.disk_time);
  answer.replace = !answer.disk_time_known || answer.entry_time > answer.disk_time ||
                   (!answer.strict && answer.entry_time == answer.disk_time);
  return answer;
}

bool ShouldReplace(const PackageReader& reader, const char* package_name, DiskFileFacts& disk) {
  const char* target = reader.GetEntryName();
  EntryStamp entry;
  entry.has_version = reader.GetEntryVersion(entry.version);
  entry.file_time = reader.GetEntryFileTime();
  const ReplaceAnswer answer = DecideReplace(entry, target, package_name, disk);
  LogFormat(answer.by_version
                ? "Version compare for \"%s\" indicates archive %s older than disk version"
                : "Date/time compare for \"%s\" indicates archive %s older than disk version",
            target, answer.replace ? "is not" : "is");
  return answer.replace;
}

}  // namespace kest
