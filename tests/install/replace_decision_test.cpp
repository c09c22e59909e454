#include "install/replace_decision.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "install/file_version.h"
#include "tests/install/install_test_support.h"

namespace kest {
namespace {

using test::EntryOnTarget;
using test::LogCapture;
using test::V;

TEST(FileVersion, PartsCompareAsNumbersFromMajorToRevision) {
  struct Case {
    FileVersion a, b;
    bool a_newer, b_newer, equal;
  } cases[] = {
      {V(1, 10, 0, 0), V(1, 9, 65535, 65535), true, false, false},
      {V(2, 0, 0, 0), V(1, 65535, 65535, 65535), true, false, false},
      {V(1, 2, 3, 5), V(1, 2, 3, 4), true, false, false},
      {V(1, 2, 3, 4), V(1, 2, 4, 3), false, true, false},
      {V(65535, 0, 0, 0), V(1, 0, 0, 0), true, false, false},
      {V(1, 0, 0, 0), V(1, 0, 0, 0), false, false, true},
      // The known flag takes no part: a missing file's 0.0.0.0 equals a
      // resource's 0.0.0.0.
      {V(0, 0, 0, 0), FileVersion(), false, false, true},
      {V(0, 0, 0, 1), FileVersion(), true, false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.a.part[0] << "." << c.a.part[1] << "." << c.a.part[2]
                                    << "." << c.a.part[3] << " against " << c.b.part[0] << "."
                                    << c.b.part[1] << "." << c.b.part[2] << "." << c.b.part[3]);
    EXPECT_EQ(IsNewerThan(c.a, c.b), c.a_newer);
    EXPECT_EQ(IsNewerThan(c.b, c.a), c.b_newer);
    EXPECT_EQ(Equals(c.a, c.b), c.equal);
    EXPECT_EQ(Equals(c.b, c.a), c.equal);
  }
}

TEST(ReplaceDecision, SystemFolderEntriesByTheirExactSpelling) {
  for (const char* name : {"_winsys\\x.dll", "_WINSYS\\X.DLL", "_winsys", "_winsysx.dll"})
    EXPECT_TRUE(IsSystemFolderEntry(name)) << name;
  for (const char* name :
       {"_WinSys\\x.dll", "_winSYS\\x.dll", "_winsy", "_win\\x.dll", "runtime\\_winsys\\x.dll", ""})
    EXPECT_FALSE(IsSystemFolderEntry(name)) << name;
}

// A disk described by the test: the file at one path, if any.
struct FakeDisk : DiskFileFacts {
  FileVersion GetFileVersion(const char* path) override {
    asked.push_back(path);
    return path == target && exists && readable ? version : FileVersion();
  }
  bool GetLastWriteTime(const char* path, uint64_t* time) override {
    asked.push_back(path);
    if (path != target || !exists || !readable) return false;
    *time = write_time;
    return true;
  }
  std::string target;
  bool exists = true;
  bool readable = true;
  FileVersion version;  // from its resource; 0.0.0.0 when it has none
  uint64_t write_time = 0;
  std::vector<std::string> asked;
};

enum class Disk { kMissing, kOlder, kEqual, kNewer, kUnreadable };

// Every combination of (entry carries a version or not) x (disk file
// missing, older, equal, newer, unreadable) x (system folder or not), with
// the answer and the log line.
TEST(ReplaceDecision, DecisionTable) {
  const FileVersion kEntryVersion = V(2, 5, 0, 0);
  const uint64_t kEntryTime = 0x01D9A1B2C3D4E5F6;
  struct Row {
    bool versioned;
    Disk disk;
    bool system;
    bool replace;
  } rows[] = {
      {true, Disk::kMissing, false, true},     {true, Disk::kOlder, false, true},
      {true, Disk::kEqual, false, true},       {true, Disk::kNewer, false, false},
      {true, Disk::kUnreadable, false, true},  {true, Disk::kMissing, true, true},
      {true, Disk::kOlder, true, true},        {true, Disk::kEqual, true, false},
      {true, Disk::kNewer, true, false},       {true, Disk::kUnreadable, true, true},
      {false, Disk::kMissing, false, true},    {false, Disk::kOlder, false, true},
      {false, Disk::kEqual, false, true},      {false, Disk::kNewer, false, false},
      {false, Disk::kUnreadable, false, true}, {false, Disk::kMissing, true, true},
      {false, Disk::kOlder, true, true},       {false, Disk::kEqual, true, false},
      {false, Disk::kNewer, true, false},      {false, Disk::kUnreadable, true, true},
  };
  const char* kDiskNames[] = {"missing", "older", "equal", "newer", "unreadable"};
  for (const Row& r : rows) {
    SCOPED_TRACE(testing::Message() << (r.versioned ? "versioned" : "unversioned") << " entry, "
                                    << kDiskNames[static_cast<int>(r.disk)] << " disk file, "
                                    << (r.system ? "system folder" : "destination"));
    const char* target = r.system ? "c:\\windows\\system\\x.dll" : "c:\\comp\\runtime\\x.dll";
    EntryOnTarget entry(r.system ? "_WINSYS/X.DLL" : "RUNTIME/X.DLL",
                        r.versioned ? kEntryVersion : FileVersion(), kEntryTime, target);
    ASSERT_EQ(entry.package_name, r.system ? "_winsys\\x.dll" : "runtime\\x.dll");
    FakeDisk disk;
    disk.target = target;
    disk.exists = r.disk != Disk::kMissing;
    disk.readable = r.disk != Disk::kUnreadable;
    const int step = r.disk == Disk::kOlder ? -1 : r.disk == Disk::kNewer ? 1 : 0;
    // Version and time of the disk file both stand on the same side.
    disk.version = step < 0 ? V(2, 4, 65535, 65535) : step > 0 ? V(2, 5, 0, 1) : kEntryVersion;
    disk.write_time = kEntryTime + step;

    LogCapture log;
    EXPECT_EQ(ShouldReplace(entry.reader, entry.package_name.c_str(), disk), r.replace);
    EXPECT_EQ(disk.asked, std::vector<std::string>{target});
    const std::string line = std::string(r.versioned ? "Version" : "Date/time") +
                             " compare for \"" + target + "\" indicates archive " +
                             (r.replace ? "is not" : "is") + " older than disk version";
    EXPECT_EQ(log.Lines(), std::vector<std::string>{line});
  }
}

// A versioned entry never looks at times, an unversioned one never at
// version resources; times compare as unsigned 64-bit numbers; the
// system-folder rule follows the package name as given.
TEST(ReplaceDecision, RulesNeverMix) {
  struct Case {
    const char* package_name;
    FileVersion entry_version;
    uint64_t entry_time;
    FileVersion disk_version;
    uint64_t disk_time;
    bool replace;
  } cases[] = {
      {"runtime\\x.dll", V(1, 0, 0, 0), 100, V(1, 0, 0, 0), 200, true},
      {"_winsys\\x.dll", V(1, 0, 0, 0), 300, V(1, 0, 0, 0), 200, false},
      {"runtime\\x.dll", V(1, 0, 0, 0), 100, V(0, 9, 0, 0), 200, true},
      {"runtime\\x.dll", FileVersion(), 100, V(9, 0, 0, 0), 50, true},
      {"runtime\\x.dll", FileVersion(), 100, V(0, 1, 0, 0), 150, false},
      {"runtime\\x.dll", FileVersion(), 0x8000000000000000, FileVersion(), 0x7FFFFFFFFFFFFFFF,
       true},
      {"_winsys\\x.dll", FileVersion(), 0x7FFFFFFFFFFFFFFF, FileVersion(), 0x8000000000000000,
       false},
      {"_WINSYS\\x.dll", V(1, 0, 0, 0), 0, V(1, 0, 0, 0), 0, false},
      {"_WinSys\\x.dll", V(1, 0, 0, 0), 0, V(1, 0, 0, 0), 0, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.package_name << " " << c.entry_time);
    EntryOnTarget entry("X.DLL", c.entry_version, c.entry_time, "c:\\t\\x.dll");
    FakeDisk disk;
    disk.target = "c:\\t\\x.dll";
    disk.version = c.disk_version;
    disk.write_time = c.disk_time;
    LogCapture log;
    EXPECT_EQ(ShouldReplace(entry.reader, c.package_name, disk), c.replace);
    EXPECT_EQ(disk.asked.size(), 1u);
  }
}

}  // namespace
}  // namespace kest
