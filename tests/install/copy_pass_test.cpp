// The file copy under Wine, on each family of Windows: one package of
// entries meeting every kind of disk file (none, older, equal and newer
// versioned libraries, unversioned files older and newer by time,
// read-only files kept and replaced, a system-folder entry, two entries
// for one target, a file held open by another program), run in
// copy_probe.exe under the chosen Windows version; then the restart that
// puts the held file's replacement in place.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "base/install_codes.h"
#include "base/install_options.h"
#include "tests/install/copy_test_support.h"
#include "tests/install/test_key_signer.h"
#include "tests/support/win32_test_support.h"

namespace kest {
namespace {

using test::Contents;
using test::FileHolder;
using test::Lower;
using test::PackEntry;
using test::ScratchFolder;
using test::Strings;

constexpr uint64_t kHour = 36000000000ull;  // in file-time units
constexpr uint64_t kEntryTime = 0x01D5000000000000ull;

std::string FileBytes(const std::string& path) { return Contents(path); }

// Names a file's contents by what they are, so that a failure prints no
// library bytes.
class Named {
 public:
  void Add(const std::string& name, const std::string& bytes) { names_.push_back({name, bytes}); }
  std::string operator()(const std::string& bytes) const {
    for (const auto& n : names_) {
      if (n.second == bytes) return n.first;
    }
    return bytes.size() > 40 ? "<" + std::to_string(bytes.size()) + " other bytes>" : bytes;
  }

 private:
  std::vector<std::pair<std::string, std::string>> names_;
};

std::string Backslashes(std::string name) {
  for (char& c : name) {
    if (c == '/') c = '\\';
  }
  return name;
}

std::string SystemFolder() {
  char folder[MAX_PATH];
  GetSystemDirectoryA(folder, MAX_PATH);
  return folder;
}

class CopyPassScenario : public ::testing::Test {
 protected:
  void TearDown() override { test::ForgetQueuedReplacements(); }

  // The version libraries the build makes: 1.9.65535.65535, and 1.10.0.0
  // marked self-registering (without any entry point).
  const std::string old_library_ = FileBytes(test::BesideTestProgram("kest_version_old.dll"));
  const std::string new_library_ = FileBytes(test::BesideTestProgram("kest_version_new.dll"));
  Named named_;
  void SetUp() override {
    test::ForgetQueuedReplacements();
    named_.Add("old library", old_library_);
    named_.Add("new library", new_library_);
  }
};

// One entry and the disk file it meets.
struct Case {
  std::string name;        // stored name
  std::string disk;        // the disk file's contents; empty: no file
  uint64_t disk_time;      // its last-write time; 0: left as written
  bool read_only;
  std::string entry;       // the entry's contents
  std::vector<uint16_t> version;  // empty: none
  uint64_t entry_time;
  bool replaced;
  bool unregistered;       // the disk file is self-registering
};

TEST_F(CopyPassScenario, EveryKindOfDiskFileOnEachFamily) {
  const std::string text_old = "old text\n", text_new = std::string(2000, 'n') + "\n";
  const std::vector<uint16_t> v1_9 = {1, 9, 65535, 65535}, v1_10 = {1, 10, 0, 0};
  for (const char* version : {"win95", "win98", "nt351", "nt40", "win10"}) {
    SCOPED_TRACE(version);
    const bool wininit = version[0] == 'w' && version[3] == '9';
    const std::string system_name = std::string("kestcopy-") + version + ".dll";
    const std::vector<Case> cases = {
        {"fresh/new.txt", "", 0, false, text_new, {}, kEntryTime, true, false},
        {"lib/older.dll", old_library_, 0, false, new_library_, v1_10, kEntryTime, true, false},
        // Equal versions replace outside the system folder; the entry's
        // version is its header's, whatever its bytes.
        {"lib/equal.dll", new_library_, 0, false, old_library_, v1_10, kEntryTime, true, true},
        {"lib/newer.dll", new_library_, 0, false, old_library_, v1_9, kEntryTime, false, false},
        {"doc/older.txt", text_old, kEntryTime - kHour, false, text_new, {}, kEntryTime, true, false},
        {"doc/newer.txt", text_old, kEntryTime + kHour, false, text_new, {}, kEntryTime, false, false},
        {"doc/kept-read-only.txt", text_old, kEntryTime + kHour, true, text_new, {}, kEntryTime,
         false, false},
        {"doc/read-only.txt", text_old, kEntryTime - kHour, true, text_new, {}, kEntryTime, true,
         false},
        {"_winsys/" + system_name, "", 0, false, new_library_, v1_10, kEntryTime, true, false},
        // The second entry for a target is judged against the first's file.
        {"twice/up.dll", "", 0, false, old_library_, v1_9, kEntryTime, true, false},
        {"twice/up.dll", "", 0, false, new_library_, v1_10, kEntryTime, true, false},
        {"twice/down.dll", "", 0, false, new_library_, v1_10, kEntryTime, true, false},
        {"twice/down.dll", "", 0, false, old_library_, v1_9, kEntryTime, false, false},
        // Held open by another program: written beside, replaced at the restart.
        {"held/held.dll", old_library_, 0, false, new_library_, v1_10, kEntryTime, true, false},
    };
    const size_t held_case = cases.size() - 1;

    ScratchFolder destination, work;
    const std::string root = Lower(destination.path());
    std::vector<PackEntry> entries;
    Strings targets;
    for (const Case& c : cases) {
      const std::string target = c.name.compare(0, 8, "_winsys/") == 0
                                     ? Lower(SystemFolder() + "\\" + system_name)
                                     : root + "\\" + Backslashes(c.name);
      targets.push_back(target);
      if (!c.disk.empty()) {
        CreateDirectoryA(target.substr(0, target.rfind('\\')).c_str(), nullptr);
        ASSERT_TRUE(test::WriteWholeFile(target, c.disk));
        if (c.disk_time != 0) ASSERT_TRUE(test::SetWriteTime(target, c.disk_time));
        if (c.read_only) ASSERT_TRUE(SetFileAttributesA(target.c_str(), FILE_ATTRIBUTE_READONLY));
      }
      PackEntry entry = {c.name, c.entry, {0, 0, 0, 0}, c.entry_time};
      for (size_t k = 0; k < c.version.size(); ++k) entry.version[k] = c.version[k];
      entries.push_back(entry);
    }
    const std::string archive = work.File("copy.arj");
    ASSERT_TRUE(test::WriteWholeFile(archive, test::BuildArchive(entries)));

    FileHolder holder(targets[held_case]);
    ASSERT_TRUE(holder.holding());
    // Continue at the read-only question.
    const test::CopyRun run = test::RunCopyProbe(version, archive, destination.path(),
                                                 "--choices=4");
    ASSERT_TRUE(run.finished);
    EXPECT_EQ(run.exit_code, 0u);
    EXPECT_TRUE(run.result);
    EXPECT_EQ(run.options & kStateRestartNeeded, kStateRestartNeeded);
    EXPECT_EQ(run.dialogs, Strings{"0x8040F014 File:   " + targets[7]});
    ASSERT_FALSE(run.installed.empty());
    const std::string temporary = run.installed.back();
    EXPECT_EQ(Lower(temporary.substr(0, temporary.rfind('\\') + 4)),
              root + "\\held\\hel");

    Strings installed, log;
    for (size_t k = 0; k < cases.size(); ++k) {
      const Case& c = cases[k];
      const std::string& target = targets[k];
      const bool lazy = k == held_case;
      const std::string written = lazy ? temporary : target;
      log.push_back("Renaming archive from \"" + Backslashes(c.name) + "\" to \"" + target + "\"");
      log.push_back(std::string(c.version.empty() ? "Date/time" : "Version") + " compare for \"" +
                    target + "\" indicates archive " + (c.replaced ? "is not" : "is") +
                    " older than disk version");
      if (c.replaced) {
        if (c.read_only) {
          log.push_back("ERROR: \"Cannot access file\"");
          log.push_back("       \"File:   " + target + "\"");
        }
        if (c.unregistered) {
          log.push_back("Loading \"" + target + "\" for unregistration");
          log.push_back("Calling DllUnregisterServer in \"" + target + "\"");
          log.push_back("Unloading \"" + target + "\"");
        }
        if (lazy) {
          log.push_back("Renaming archive from \"" + target + "\" to \"" + temporary +
                        "\" for lazy copy");
          log.push_back("Queuing \"" + target + "\" for lazy copy as \"" + temporary + "\")");
        }
        log.push_back("Setting directory for \"" + written + "\"");
        log.push_back("Copying \"" + written + "\" to install target");
        installed.push_back(written);
      }
      log.push_back(" ");
      // The last entry for a target decides what it holds.
      bool later_entry = false;
      for (size_t j = k + 1; j < cases.size(); ++j) later_entry |= cases[j].name == c.name;
      if (later_entry || lazy) continue;
      SCOPED_TRACE(c.name);
      const std::string expected = c.replaced ? c.entry : c.name == "twice/down.dll" ? new_library_
                                                                                     : c.disk;
      EXPECT_EQ(named_(Contents(target)), named_(expected));
    }
    EXPECT_EQ(run.installed, installed);
    EXPECT_EQ(test::LogLines(destination.path()), log);
    DeleteFileA(targets[8].c_str());

    // The held file is untouched; its replacement waits beside it.
    const std::string& held = targets[held_case];
    holder.Release();
    EXPECT_EQ(named_(Contents(held)), "old library");
    EXPECT_EQ(named_(Contents(temporary)), "new library");
    if (wininit) {
      EXPECT_EQ(Contents(test::WindowsFile("WININIT.INI")),
                "[rename]\r\n" + test::ShortPath(held) + "=" + test::ShortPath(temporary) + "\r\n");
    } else {
      EXPECT_EQ(test::PendingMoves(), (Strings{"\\??\\" + temporary, "!\\??\\" + held}));
    }
    ASSERT_TRUE(test::RestartPrefix());
    EXPECT_EQ(named_(Contents(held)), "new library");
    EXPECT_EQ(test::FolderContents(root + "\\held"), Strings{"held.dll"});
    test::ForgetQueuedReplacements();
  }
}

// Data of its own for every line, so that it packs and a change to the
// packed bytes shows.
std::string LargeText(size_t lines) {
  std::string text;
  for (size_t k = 0; k < lines; ++k) text += "line " + std::to_string(k * 7919 % 100003) + " of the file\n";
  return text;
}

// What ends the pass: each failure is reported, the entry's old file is
// exactly as it was with no temporary file beside it, and no later entry is
// written.
TEST_F(CopyPassScenario, AFailedEntryKeepsTheOldFileAndEndsThePass) {
  const std::string old_text = "the user's file\n", new_text = LargeText(20000);
  enum class Damage { kNone, kPackedData, kNextHeader };
  struct FailureCase {
    const char* name;
    Damage damage;
    bool read_only;
    DWORD exit_code;
  };
  const FailureCase kCases[] = {
      // The decoder writes most of the file before the CRC shows the damage.
      {"corrupt entry", Damage::kPackedData, false, 0x400B},
      // Silent: the read-only question gets no Continue.
      {"read-only disk file", Damage::kNone, true, kCodeReadOnlyFile},
      // The entry is written; the header after it cannot be read.
      {"damaged next header", Damage::kNextHeader, false, 0x400B},
  };
  for (const char* version : {"win95", "win10"}) {
    for (const FailureCase& c : kCases) {
      SCOPED_TRACE(std::string(version) + ", " + c.name);
      ScratchFolder destination, work;
      const std::string folder = destination.File("dir"), target = folder + "\\file.txt";
      ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr));
      ASSERT_TRUE(test::WriteWholeFile(target, old_text));
      ASSERT_TRUE(test::SetWriteTime(target, kEntryTime - kHour));
      if (c.read_only) ASSERT_TRUE(SetFileAttributesA(target.c_str(), FILE_ATTRIBUTE_READONLY));
      std::string archive = test::BuildArchive({{"dir/file.txt", new_text, {}, kEntryTime},
                                                {"later.txt", "later", {}, kEntryTime}});
      const std::vector<test::PackedData> data = test::FindPackedData(archive);
      ASSERT_EQ(data.size(), 2u);
      if (c.damage == Damage::kPackedData) archive[data[0].offset + data[0].size * 3 / 4] ^= 0x55;
      // The second header's name, right after the first entry's data.
      if (c.damage == Damage::kNextHeader) archive[data[0].offset + data[0].size + 34] ^= 0x55;
      ASSERT_TRUE(test::WriteWholeFile(work.File("copy.arj"), archive));

      const test::CopyRun run =
          test::RunCopyProbe(version, work.File("copy.arj"), destination.path(), "--silent");
      ASSERT_TRUE(run.finished);
      EXPECT_EQ(run.exit_code, c.exit_code) << std::hex << run.exit_code;
      EXPECT_FALSE(run.result);
      EXPECT_EQ(Contents(target), c.damage == Damage::kNextHeader ? new_text : old_text);
      EXPECT_EQ(test::FolderContents(folder), Strings{"file.txt"});
      EXPECT_EQ((GetFileAttributesA(target.c_str()) & FILE_ATTRIBUTE_READONLY) != 0, c.read_only);
      EXPECT_FALSE(test::FileExists(destination.File("later.txt")));
    }
  }
}

// A package signed with the test key, as kestpack signs, whose entry's data
// was damaged before signing: the signature check passes, and the entry's
// CRC fails while the decoder writes it. A byte changed after signing is
// refused when the package is opened.
TEST_F(CopyPassScenario, ACorruptEntryInASignedPackageKeepsTheOldFile) {
  const std::string old_text = "the user's file\n", new_text = LargeText(20000);
  std::string archive = test::BuildArchive(
      {{"first.txt", "first", {}, kEntryTime}, {"dir/file.txt", new_text, {}, kEntryTime}});
  const std::vector<test::PackedData> data = test::FindPackedData(archive);
  ASSERT_EQ(data.size(), 2u);
  archive[data[1].offset + data[1].size * 3 / 4] ^= 0x55;
  const std::string package = test::SignWithTestKey(archive);
  ASSERT_FALSE(package.empty()) << "the test key could not be read";
  std::string tampered = package;
  tampered[data[0].offset] ^= 0x01;

  struct SignedCase {
    const char* name;
    const std::string& bytes;
    DWORD exit_code;
    bool first_written;
  };
  for (const SignedCase& c : {SignedCase{"signed", package, 0x400B, true},
                              SignedCase{"changed after signing", tampered, kCodeDamagedPackage,
                                         false}}) {
    SCOPED_TRACE(c.name);
    ScratchFolder destination, work;
    const std::string folder = destination.File("dir"), target = folder + "\\file.txt";
    ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr));
    ASSERT_TRUE(test::WriteWholeFile(target, old_text));
    ASSERT_TRUE(test::SetWriteTime(target, kEntryTime - kHour));
    ASSERT_TRUE(test::WriteWholeFile(work.File("package.bin"), c.bytes));
    const test::CopyRun run = test::RunCopyProbe("win10", work.File("package.bin"),
                                                 destination.path(), "--signed --silent");
    ASSERT_TRUE(run.finished);
    EXPECT_EQ(run.exit_code, c.exit_code) << std::hex << run.exit_code;
    EXPECT_EQ(Contents(destination.File("first.txt")), c.first_written ? "first" : "<missing>");
    EXPECT_EQ(Contents(target), old_text);
    EXPECT_EQ(test::FolderContents(folder), Strings{"file.txt"});
  }
}

// Every file and folder below folder, as relative paths.
Strings TreeContents(const std::string& folder, const std::string& prefix = "") {
  Strings all;
  for (const std::string& name : test::FolderContents(folder)) {
    all.push_back(prefix + name);
    const std::string path = folder + "\\" + name;
    const DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
      for (const std::string& below : TreeContents(path, prefix + name + "\\")) {
        all.push_back(below);
      }
    }
  }
  return all;
}

// Signed packages made by hand, since kestpack refuses such names: each
// bad name is refused before the disk is touched for it, exit-only with the
// entry as the detail; nothing is written, inside the destination or out.
TEST_F(CopyPassScenario, EntryNamesThatCouldLeaveTheirFolderAreRefused) {
  char windows[MAX_PATH];
  GetWindowsDirectoryA(windows, MAX_PATH);
  const std::string drive_root = std::string(windows).substr(0, 3);
  const char* const kNames[] = {
      "../../x.txt",       "..\\x.txt",      "_win\\..\\kest-x.txt", "con.txt",
      "sub/lpt1.log",      "trail. ",          "readme.txt:hidden",   "c:\\kest-x.txt",
      "\\kest-x.txt",      "sub/./x.txt",      "tab\tname",          "_winsys\\nul",
      "_win",              "a//b.txt",
  };
  for (const char* version : {"win95", "win10"}) {
    for (const char* name : kNames) {
      SCOPED_TRACE(std::string(version) + " \"" + name + "\"");
      ScratchFolder scratch;
      const std::string destination = scratch.File("a\\dest");
      ASSERT_TRUE(CreateDirectoryA(scratch.File("a").c_str(), nullptr));
      ASSERT_TRUE(CreateDirectoryA(destination.c_str(), nullptr));
      // The bad entry first, a good one after it.
      const std::string package = test::SignWithTestKey(test::BuildArchive(
          {{name, "bad", {}, kEntryTime}, {"good.txt", "good", {}, kEntryTime}}));
      ASSERT_FALSE(package.empty()) << "the test key could not be read";
      ScratchFolder work;
      ASSERT_TRUE(test::WriteWholeFile(work.File("package.bin"), package));
      // Not silent, so that the report's detail is recorded.
      const test::CopyRun run =
          test::RunCopyProbe(version, work.File("package.bin"), destination, "--signed");
      ASSERT_TRUE(run.finished);
      EXPECT_EQ(run.exit_code, kCodeInvalidFileName) << std::hex << run.exit_code;
      EXPECT_FALSE(run.result);
      // The reader's form of the name: lower case, '\' between parts.
      EXPECT_EQ(run.dialogs, Strings{"0x8040F00B File:   " + Lower(Backslashes(name))});
      EXPECT_EQ(TreeContents(scratch.path()), (Strings{"a", "a\\dest", "a\\dest\\install.log"}));
      EXPECT_FALSE(test::FileExists(drive_root + "kest-x.txt"));
    }
  }
}

// Bytes that do not pack: a file of this size takes this much of a drive.
std::string Incompressible(size_t size, uint32_t seed) {
  std::string bytes(size, '\0');
  for (char& c : bytes) {
    seed = seed * 1103515245 + 12345;
    c = static_cast<char>(seed >> 23);
  }
  return bytes;
}

// On a drive of 512 KiB (tests/install/disk_full.sh mounts it; drive name
// in KEST_FULL_DRIVE) holding a file of 200 KiB: a replacement of 600 KiB
// can never fit, while one of 100 KiB fits beside the old file.
TEST(DiskFull, AReplacementThatDoesNotFitFailsAndKeepsTheOldFile) {
  const char* drive = getenv("KEST_FULL_DRIVE");
  ASSERT_NE(drive, nullptr) << "run through tests/install/disk_full.sh";
  const std::string old_bytes = Incompressible(200 << 10, 1);
  struct FullCase {
    size_t new_size;
    DWORD exit_code;
  };
  for (const char* version : {"win95", "win10"}) {
    for (const FullCase c : {FullCase{600 << 10, kCodeDiskFull}, FullCase{100 << 10, 0}}) {
      SCOPED_TRACE(std::string(version) + ", " + std::to_string(c.new_size) + " bytes");
      const std::string folder = std::string(drive) + "\\dest";
      test::RemoveTree(folder);
      ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr));
      const std::string target = folder + "\\big.dat";
      ASSERT_TRUE(test::WriteWholeFile(target, old_bytes));
      ASSERT_TRUE(test::SetWriteTime(target, kEntryTime - kHour));
      ULARGE_INTEGER free_before, total, free_total;
      ASSERT_TRUE(GetDiskFreeSpaceExA(folder.c_str(), &free_before, &total, &free_total));

      ScratchFolder work;
      const std::string new_bytes = Incompressible(c.new_size, 2);
      ASSERT_TRUE(test::WriteWholeFile(
          work.File("copy.arj"), test::BuildArchive({{"big.dat", new_bytes, {}, kEntryTime}})));
      const test::CopyRun run =
          test::RunCopyProbe(version, work.File("copy.arj"), folder, "--silent");
      ASSERT_TRUE(run.finished);
      EXPECT_EQ(run.exit_code, c.exit_code) << std::hex << run.exit_code;
      EXPECT_EQ(run.result, c.exit_code == 0);
      EXPECT_TRUE(Contents(target) == (c.exit_code == 0 ? new_bytes : old_bytes));
      // The install log is the only other file.
      EXPECT_EQ(test::FolderContents(folder), (Strings{"big.dat", "install.log"}));
      if (c.exit_code != 0) {
        ULARGE_INTEGER free_after;
        ASSERT_TRUE(GetDiskFreeSpaceExA(folder.c_str(), &free_after, &total, &free_total));
        EXPECT_GE(free_after.QuadPart + (4 << 10), free_before.QuadPart);  // the log's page
      }
    }
  }
}

}  // namespace
}  // namespace kest
