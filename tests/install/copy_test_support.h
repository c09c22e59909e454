// Shared by the file-copy tests under Wine: packages built in memory by
// the archive writer, the copy run in copy_probe.exe under a chosen Windows
// version, the install log's lines, and what a restart would act on
// (WININIT.INI and the pending moves).
#pragma once
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "tests/support/win32_test_support.h"

namespace kest::test {

using Strings = std::vector<std::string>;

// One entry of a package: its stored name ("/" between folders), its
// contents, version words (all 0: none) and Windows file time.
struct PackEntry {
  std::string name;
  std::string data;
  uint16_t version[4];
  uint64_t file_time;
};

// A bare archive of the entries, compressed with methods 1, 2 and 3 in
// turn, every entry dated kEntryDosTime.
std::string BuildArchive(const std::vector<PackEntry>& entries);
constexpr uint32_t kEntryDosTime = 0x2231228F;

// Where each entry's packed data lies in archive: offset and size.
struct PackedData {
  size_t offset;
  size_t size;
};
std::vector<PackedData> FindPackedData(const std::string& archive);

// What copy_probe.exe copy reported.
struct CopyRun {
  bool started = false;
  DWORD start_error = 0;  // why it did not start
  bool finished = false;
  DWORD exit_code = 0;
  bool result = false;
  uint32_t options = 0;
  Strings installed;
  Strings dialogs;  // "0x<code> <detail>"
};
// Runs the copy of archive into destination under Windows `version`, with
// the probe's further arguments (--silent, --choices=...).
CopyRun RunCopyProbe(const char* version, const std::string& archive,
                     const std::string& destination, const std::string& arguments = "");

// The texts of the ordinary lines of <folder>\install.log, without their
// timestamps (each checked for its form); "<bad timestamp>" for a line
// without one.
Strings LogLines(const std::string& folder);

std::string WindowsFile(const char* name);
std::string ShortPath(const std::string& path);
// The texts of the pending-move value; empty when there is none.
Strings PendingMoves();
// Removes WININIT.INI, the copy a restart keeps of it, and the pending moves.
void ForgetQueuedReplacements();
// The file's contents, or "<missing>".
std::string Contents(const std::string& path);
// `wineboot -r`: the prefix restarts, carrying out queued replacements.
bool RestartPrefix();

}  // namespace kest::test
