// The replace decision: whether a package entry is written over the file
// already at its target path, or the disk file stays and the entry is
// skipped.
//
//   entry carries   bound for the        replaced when
//   a version       system folder
//   yes             yes                  entry version newer than the disk file's
//   yes             no                   entry version newer than or equal to it
//   no              yes                  entry time later than the disk file's
//   no              no                   entry time later than or equal to it
//
// A disk file that is missing, has no version resource, cannot be opened or
// has no readable time counts against itself: its version is 0.0.0.0, and
// an unreadable time means replace. The two rules never mix: a versioned
// entry ignores times, an unversioned one ignores version resources.
#pragma once
#include <cstdint>

#include "install/file_version.h"

namespace kest {

class PackageReader;

// What the decision learns about the disk file; DiskFileFactsWin32 asks the
// system, tests describe a disk of their own.
class DiskFileFacts {
 public:
  virtual ~DiskFileFacts() = default;
  // The file version of path's version resource; 0.0.0.0, not known, when
  // the file is missing, has none, or cannot be read.
  virtual FileVersion GetFileVersion(const char* path) = 0;
  // Opens path for reading while others may read too, and reads its
  // last-write time (100-ns units since 1601, as the file system keeps it).
  // False when the file cannot be opened or the time cannot be read.
  virtual bool GetLastWriteTime(const char* path, uint64_t* time) = 0;
};

// An entry for the Windows system folder: its package name begins with
// "_winsys" or "_WINSYS" (exactly these two spellings).
bool IsSystemFolderEntry(const char* package_name);

// What the decision needs of a package entry.
struct EntryStamp {
  bool has_version = false;  // some version word is non-zero
  uint16_t version[4] = {0, 0, 0, 0};
  uint64_t file_time = 0;  // Windows file time, as stored in the entry
};

// The decision and what it was made on, for the log line and for tools
// that show it.
struct ReplaceAnswer {
  bool replace = false;
  bool by_version = false;  // the version rule decided; otherwise the time rule
  bool strict = false;      // a system-folder entry: only strictly newer replaces
  FileVersion entry_version;  // version rule: the entry's and the disk file's
  FileVersion disk_version;
  uint64_t entry_time = 0;  // time rule: the entry's, and the disk file's when
  uint64_t disk_time = 0;   // disk_time_known
  bool disk_time_known = false;
};

// The rule itself, for the entry bound for target: no log line. The
// installer reaches it through ShouldReplace.
ReplaceAnswer DecideReplace(const EntryStamp& entry, const char* target, const char* package_name,
                            DiskFileFacts& disk);

// Decides for the reader's current entry, whose output name is already its
// target path. package_name is the entry's name in the package, used only
// for the system-folder test. Writes one log line:
//   Version compare for "<target>" indicates archive is|is not older than disk version
//   Date/time compare for "<target>" indicates archive is|is not older than disk version
// ("is not" when the entry replaces the disk file). Never fails.
bool ShouldReplace(const PackageReader& reader, const char* package_name, DiskFileFacts& disk);

}  // namespace kest
