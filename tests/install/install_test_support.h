// Fixtures for the install machinery's tests: a machine described in
// memory behind FolderSystem, and the log lines of the process's install
// log. Portable: the same tests run natively and under Wine.
#pragma once
#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "archive/package_reader.h"
#include "base/host_status_platform.h"
#include "install/file_version.h"
#include "install/folder_system.h"
#include "tests/archive/reader_test_support.h"

namespace kest {

class StringList;

namespace test {

// Folders are known by their path with a trailing backslash, compared
// exactly. Every request is recorded.
class FakeFolderSystem : public FolderSystem {
 public:
  bool GetSystemFolder(char (&out)[kPathChars]) override;
  bool GetWindowsFolder(char (&out)[kPathChars]) override;
  bool GetCurrentFolder(char (&out)[kPathChars]) override;
  bool GetAttributes(const char* path, uint32_t* attributes) override;
  uint32_t CreateFolder(const char* path) override;
  uint32_t RemoveFolder(const char* path) override;
  uint32_t CreateTempFile(const char* folder, const char* prefix, char (&out)[kPathChars]) override;
  uint32_t RemoveFile(const char* path) override;

  // Empty: the system gives none.
  std::string system_folder = "c:\\windows\\system";
  std::string windows_folder = "c:\\windows";
  std::string current_folder = "c:\\comp";
  std::map<std::string, uint32_t> attributes;     // readable attributes by path
  std::set<std::string> folders;                  // existing folders
  std::map<std::string, uint32_t> create_errors;  // CreateFolder fails for these
  std::map<std::string, uint32_t> temp_errors;    // CreateTempFile fails in these

  std::vector<std::string> create_calls;  // every CreateFolder, in order
  std::vector<std::string> removed_folders;
  std::vector<std::string> temp_calls;  // folder "|" prefix of every CreateTempFile
  std::set<std::string> files;          // temporary files not deleted
  int system_queries = 0;
  int windows_queries = 0;
  int current_queries = 0;

 private:
  int next_temp_ = 0x1A2B;
};

// a.b.c.d, known.
FileVersion V(uint16_t a, uint16_t b, uint16_t c, uint16_t d);

// A package of one entry (stored_name as an archiver stores it, with the
// version and file time of its extension header) whose reader stands on the
// entry with its output name set to target, as the copy does it.
struct EntryOnTarget {
  EntryOnTarget(const char* stored_name, const FileVersion& version, uint64_t time,
                const std::string& target);
  Bytes bytes;
  MemoryFileSystem files;
  BareArchiveReader reader;
  std::string package_name;  // the entry's name before the output name was set
};

// The texts of a StringList, in order.
std::vector<std::string> ListTexts(const StringList& list);

// Collects the lines written to the process's install log while it lives,
// with a recording status platform for the reports.
class LogCapture {
 public:
  LogCapture();
  ~LogCapture();
  LogCapture(const LogCapture&) = delete;
  LogCapture& operator=(const LogCapture&) = delete;

  // The texts of the ordinary lines so far, without their timestamps.
  std::vector<std::string> Lines();
  void Clear() { backend_.files.clear(); }
  RecordingStatusPlatform platform;

 private:
  MemoryLogBackend backend_;
};

}  // namespace test
}  // namespace kest
