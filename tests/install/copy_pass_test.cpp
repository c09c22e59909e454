// The file copy under Wine, on each family of Windows: one package of
// entries meeting every kind of disk file (none, older, equal and newer
// versioned libraries, unversioned files older and newer by time,
// read-only files kept and replaced, a system-folder entry, two entries
// for one target, a file held open by another program), run in
// copy_probe.exe under the chosen Windows version; then the restart that
// puts the held file's replacement in place.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
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

// What a restart would do: the WININIT.INI lines or the pending moves, as
// texts.
Strings QueuedForRestart() {
  Strings queued = test::PendingMoves();
  std::string wininit;
  if (test::ReadWholeFile(test::WindowsFile("WININIT.INI"), &wininit)) queued.push_back(wininit);
  return queued;
}

// A scanner holds each new temporary file for reading, sharing read access
// only, from the moment it is written (or created) until the next question
// to the user (copy_probe --scanner): the old file is never lost, a library
// whose old copy is unregistered never waits for the restart, and no
// temporary file outlives the restart.
TEST_F(CopyPassScenario, AScannerHoldingTheNewFileNeverCostsTheOldOne) {
  const std::string old_text = "the user's file\n", new_text = LargeText(2000);
  const std::string second_library = FileBytes(test::BesideTestProgram("kest_version_second.dll"));
  named_.Add("second library", second_library);
  struct ScanCase {
    const char* version;
    bool library;           // a self-registering library, else a text
    const char* scanner;    // when the scanner opens the file
    bool held;              // the target is in use: a lazy copy
    const char* arguments;
    DWORD exit_code;
    bool replaced_now;
    bool at_restart;        // the new file waits beside the old for the restart
    Strings dialogs;
  };
  const ScanCase kCases[] = {
      // The move is refused: the old file stays, the new one waits.
      {"win95", false, "written", false, "--silent", 0, false, true, {}},
      {"win98", false, "written", false, "--silent", 0, false, true, {}},
      {"win10", false, "written", false, "--silent", 0, false, true, {}},
      // The old library is unregistered already: the user is asked, and
      // Try Again (the scan over) replaces it now.
      {"win95", true, "written", false, "--choices=4", 0, true, false, {"0x8040F00C"}},
      {"win10", true, "written", false, "--choices=4", 0, true, false, {"0x8040F00C"}},
      // A silent run cannot ask: the run fails, the old file stays, and the
      // held temporary file goes at the restart.
      {"win95", true, "written", false, "--silent", kCodeFileInUse, false, false, {}},
      {"win10", true, "written", false, "--silent", kCodeFileInUse, false, false, {}},
      // The lazy copy's output cannot be created: given up, its empty
      // temporary file goes.
      {"win95", false, "created", true, "--choices=1", kCodeFileInUse, false, false,
       {"0x8040F00C"}},
      {"win10", false, "created", true, "--choices=1", kCodeFileInUse, false, false,
       {"0x8040F00C"}},
  };
  for (const ScanCase& c : kCases) {
    SCOPED_TRACE(std::string(c.version) + (c.library ? ", library, " : ", text, ") + c.scanner +
                 ", " + c.arguments);
    test::ForgetQueuedReplacements();
    ScratchFolder destination, work;
    const std::string folder = Lower(destination.File("dir"));
    const std::string target = folder + (c.library ? "\\comp.dll" : "\\file.txt");
    const std::string& old_bytes = c.library ? new_library_ : old_text;
    const std::string& new_bytes = c.library ? second_library : new_text;
    ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr));
    ASSERT_TRUE(test::WriteWholeFile(target, old_bytes));
    ASSERT_TRUE(test::SetWriteTime(target, kEntryTime - kHour));
    PackEntry entry = {c.library ? "dir/comp.dll" : "dir/file.txt", new_bytes, {}, kEntryTime};
    if (c.library) {
      const uint16_t v1_10[4] = {1, 10, 0, 0};
      std::copy(v1_10, v1_10 + 4, entry.version);
    }
    ASSERT_TRUE(test::WriteWholeFile(work.File("copy.arj"), test::BuildArchive({entry})));

    test::CopyRun run;
    {
      std::unique_ptr<FileHolder> holder;
      if (c.held) {
        holder.reset(new FileHolder(target));
        ASSERT_TRUE(holder->holding());
      }
      run = test::RunCopyProbe(c.version, work.File("copy.arj"), destination.path(),
                               std::string("--scanner=") + c.scanner + " " + c.arguments);
    }
    ASSERT_TRUE(run.finished);
    EXPECT_EQ(run.exit_code, c.exit_code) << std::hex << run.exit_code;
    Strings codes;
    for (const std::string& dialog : run.dialogs) codes.push_back(dialog.substr(0, 10));
    EXPECT_EQ(codes, c.dialogs);
    EXPECT_EQ(named_(Contents(target)), named_(c.replaced_now ? new_bytes : old_bytes));
    EXPECT_EQ((run.options & kStateRestartNeeded) != 0, c.at_restart);
    if (c.replaced_now) EXPECT_EQ(run.installed, Strings{target});
    if (c.at_restart) {
      ASSERT_EQ(run.installed.size(), 1u);
      EXPECT_EQ(named_(Contents(run.installed[0])), named_(new_bytes));
    }
    if (c.exit_code != 0) EXPECT_EQ(run.installed, Strings{});
    EXPECT_FALSE(test::FileExists(destination.File("install.jnl")));

    // The restart carries out what was queued, and leaves the target alone.
    ASSERT_TRUE(test::RestartPrefix());
    EXPECT_EQ(named_(Contents(target)), named_(c.replaced_now || c.at_restart ? new_bytes : old_bytes));
    EXPECT_EQ(test::FolderContents(folder), Strings{target.substr(folder.size() + 1)});
    test::ForgetQueuedReplacements();
  }
}

// A component's unregistration may remove a folder the pass has already
// written to; the next file for that folder makes it again.
TEST_F(CopyPassScenario, AFolderRemovedByAComponentIsMadeAgain) {
  for (const char* version : {"win95", "win10"}) {
    SCOPED_TRACE(version);
    ScratchFolder destination, work;
    const std::string root = Lower(destination.path());
    const std::string library = root + "\\comp.dll";
    ASSERT_TRUE(test::WriteWholeFile(library, Contents(KEST_PROBE_DIR "\\probe_removes_folder.dll")));
    const uint16_t v9[4] = {9, 9, 9, 9};
    PackEntry comp = {"comp.dll", "new component", {}, kEntryTime};
    std::copy(v9, v9 + 4, comp.version);
    ASSERT_TRUE(test::WriteWholeFile(
        work.File("copy.arj"),
        test::BuildArchive({{"sub/one.txt", "one", {}, kEntryTime}, comp,
                            {"sub/two.txt", "two", {}, kEntryTime}})));
    SetEnvironmentVariableA("KEST_PROBE_REMOVE", (root + "\\sub").c_str());
    const test::CopyRun run =
        test::RunCopyProbe(version, work.File("copy.arj"), destination.path(), "--silent");
    SetEnvironmentVariableA("KEST_PROBE_REMOVE", nullptr);
    ASSERT_TRUE(run.finished);
    EXPECT_EQ(run.exit_code, 0u) << std::hex << run.exit_code;
    EXPECT_EQ(Contents(root + "\\sub\\one.txt"), "<missing>");  // removed with its folder
    EXPECT_EQ(Contents(root + "\\sub\\two.txt"), "two");
    EXPECT_EQ(Contents(library), "new component");
  }
}

// A library written by the copy and loaded later for its registration: a
// program that moves its own library over the file the moment it appears
// (swap_file.exe) never gets that one registered; the package's is. The
// copy's own write shuts it out, then the hold; should it slip in between,
// the comparison finds it and the package's file is written again. A
// library of the package that declares no self-registration is not held:
// one put in its place after the copy looked at it is not loaded either.
TEST_F(CopyPassScenario, ALibrarySwappedInBeforeItsRegistrationIsNeverLoaded) {
  const std::string planted = Contents(KEST_PROBE_DIR "\\probe_failing.dll");
  struct Row {
    const char* what;
    std::string package_library;
    bool registers;  // the package's library registers itself
  } rows[] = {
      {"a self-registering library", Contents(KEST_PROBE_DIR "\\probe_full.dll"), true},
      {"a library without self-registration", new_library_, false},
  };
  named_.Add("the planted library", planted);
  for (const Row& row : rows) {
    named_.Add(row.what, row.package_library);
    for (const char* version : {"win95", "win10"}) {
      SCOPED_TRACE(std::string(row.what) + " under " + version);
      ScratchFolder destination, work;
      const std::string target = Lower(destination.File("comp.dll"));
      const std::string replacement = destination.File("planted.bin");
      ASSERT_TRUE(test::WriteWholeFile(replacement, planted));
      PackEntry entry = {"comp.dll", row.package_library, {1, 0, 0, 0}, kEntryTime};
      ASSERT_TRUE(test::WriteWholeFile(work.File("copy.arj"), test::BuildArchive({entry})));
      const std::string record = work.File("record.txt");
      SetEnvironmentVariableA("KEST_PROBE_RECORD", record.c_str());

      const std::string tag = std::to_string(GetCurrentProcessId());
      HANDLE ready = CreateEventA(nullptr, TRUE, FALSE, ("kest-swap-ready-" + tag).c_str());
      HANDLE quit = CreateEventA(nullptr, TRUE, FALSE, ("kest-swap-quit-" + tag).c_str());
      std::string command = "\"" + test::BesideTestProgram("swap_file.exe") + "\" \"" + target +
                            "\" \"" + replacement + "\" kest-swap-ready-" + tag +
                            " kest-swap-quit-" + tag;
      STARTUPINFOA startup = {};
      startup.cb = sizeof(startup);
      PROCESS_INFORMATION swapper = {};
      ASSERT_TRUE(CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr,
                                 nullptr, &startup, &swapper));
      HANDLE waits[2] = {ready, swapper.hProcess};
      ASSERT_EQ(WaitForMultipleObjects(2, waits, FALSE, test::HangGuardMs(60000)), WAIT_OBJECT_0);

      const test::CopyRun run = test::RunCopyProbe(version, work.File("copy.arj"),
                                                   destination.path(), "--silent --register");
      SetEvent(quit);
      WaitForSingleObject(swapper.hProcess, 30000);
      CloseHandle(swapper.hThread);
      CloseHandle(swapper.hProcess);
      CloseHandle(ready);
      CloseHandle(quit);
      SetEnvironmentVariableA("KEST_PROBE_RECORD", nullptr);

      ASSERT_TRUE(run.finished);
      EXPECT_EQ(run.exit_code, 0u) << std::hex << run.exit_code;
      // Once registered, the file is no longer held: what the helper does
      // then is beyond the run.
      const std::string events = Contents(record);
      EXPECT_EQ(events.find("full register") != std::string::npos, row.registers) << events;
      EXPECT_EQ(events.find("failing"), std::string::npos) << events;
    }
  }
}

// The journal a killed run left: its temporary files go, except one queued
// to replace its target at the restart; a line that names no temporary file
// of the installer's is passed over.
TEST_F(CopyPassScenario, TheNextRunClearsWhatTheJournalNames) {
  ScratchFolder destination, work;
  const std::string root = destination.path();
  const std::string gone = root + "\\abc1.tmp", queued = root + "\\abc2.tmp",
                    user_file = root + "\\notes.txt";
  for (const std::string& path : {gone, queued, user_file}) {
    ASSERT_TRUE(test::WriteWholeFile(path, "left"));
  }
  ASSERT_TRUE(test::WriteWholeFile(destination.File("install.jnl"),
                                   "T " + gone + "\r\nT " + queued + "\r\nK " + queued + "\r\nT " +
                                       user_file + "\r\n"));
  ASSERT_TRUE(test::WriteWholeFile(work.File("copy.arj"),
                                   test::BuildArchive({{"x.txt", "x", {}, kEntryTime}})));
  const test::CopyRun run =
      test::RunCopyProbe("win10", work.File("copy.arj"), root, "--silent");
  ASSERT_TRUE(run.finished);
  EXPECT_EQ(run.exit_code, 0u);
  Strings names = test::FolderContents(root);
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (Strings{"abc2.tmp", "install.log", "notes.txt", "x.txt"}));
}

// An upgrade killed in the middle (TerminateProcess, as a crash or a power
// cut ends it) after N files, for a spread of N: every file holds one
// release's bytes whole, and the next run completes and leaves no
// temporary file.
TEST_F(CopyPassScenario, AKilledUpgradeLeavesWholeFilesAndTheNextRunClearsUp) {
  const std::string second_library = FileBytes(test::BesideTestProgram("kest_version_second.dll"));
  const std::string old_library = old_library_, new_library = new_library_;
  constexpr size_t kFiles = 240;
  std::vector<PackEntry> release1, release2;
  Strings targets;
  for (size_t k = 0; k < kFiles; ++k) {
    const std::string folder = "dir" + std::to_string(k % 6) + "/";
    switch (k % 3) {
      case 0: {  // texts, by time
        const std::string name = folder + "text" + std::to_string(k) + ".txt";
        release1.push_back({name, "release 1 of " + name + "\n", {}, kEntryTime - kHour});
        release2.push_back({name, LargeText(200 + k) + name, {}, kEntryTime});
        break;
      }
      case 1: {  // versioned libraries
        const std::string name = folder + "lib" + std::to_string(k) + ".dll";
        release1.push_back({name, old_library, {1, 9, 65535, 65535}, kEntryTime});
        release2.push_back({name, new_library, {1, 10, 0, 0}, kEntryTime});
        break;
      }
      default: {  // self-registering libraries, unregistered before replacement
        const std::string name = folder + "reg" + std::to_string(k) + ".dll";
        release1.push_back({name, new_library, {1, 10, 0, 0}, kEntryTime - kHour});
        release2.push_back({name, second_library, {1, 10, 0, 0}, kEntryTime});
        break;
      }
    }
  }
  ScratchFolder work;
  ASSERT_TRUE(test::WriteWholeFile(work.File("release1.arj"), test::BuildArchive(release1)));
  ASSERT_TRUE(test::WriteWholeFile(work.File("release2.arj"), test::BuildArchive(release2)));

  for (const char* version : {"win95", "win10"}) {
    for (const size_t killed_after : {1u, 59u, 118u, 200u}) {
      SCOPED_TRACE(std::string(version) + ", killed after " + std::to_string(killed_after));
      ScratchFolder destination;
      const std::string root = Lower(destination.path());
      const test::CopyRun first =
          test::RunCopyProbe(version, work.File("release1.arj"), destination.path(), "--silent");
      ASSERT_TRUE(first.finished);
      ASSERT_EQ(first.exit_code, 0u);

      // Release 2, ended once it has shown the file after killed_after.
      const std::string semaphore_name = "kest-copy-progress-" + std::to_string(GetCurrentProcessId());
      HANDLE semaphore = CreateSemaphoreA(nullptr, 0, 100000, semaphore_name.c_str());
      ASSERT_NE(semaphore, nullptr);
      {
        test::ScopedWindowsVersion seen("copy_probe.exe", version);
        std::string command = "\"" + test::BesideTestProgram("copy_probe.exe") + "\" copy \"" +
                              work.File("release2.arj") + "\" \"" + destination.path() + "\" \"" +
                              work.File("report.txt") + "\" --silent --progress=" + semaphore_name;
        STARTUPINFOA startup = {};
        startup.cb = sizeof(startup);
        PROCESS_INFORMATION process = {};
        ASSERT_TRUE(CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr,
                                   nullptr, &startup, &process));
        size_t shown = 0;
        HANDLE waits[2] = {semaphore, process.hProcess};
        while (shown <= killed_after &&
               WaitForMultipleObjects(2, waits, FALSE, 120000) == WAIT_OBJECT_0) {
          ++shown;
        }
        EXPECT_EQ(shown, killed_after + 1) << "the run ended or stalled before";
        TerminateProcess(process.hProcess, 99);
        WaitForSingleObject(process.hProcess, 30000);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
      }
      CloseHandle(semaphore);

      size_t new_files = 0;
      for (size_t k = 0; k < kFiles; ++k) {
        const std::string path = root + "\\" + Backslashes(release1[k].name);
        const std::string bytes = Contents(path);
        EXPECT_TRUE(bytes == release1[k].data || bytes == release2[k].data)
            << path << ": " << named_(bytes);
        if (bytes == release2[k].data) ++new_files;
      }
      EXPECT_GE(new_files, killed_after);
      EXPECT_LT(new_files, kFiles);

      const test::CopyRun second =
          test::RunCopyProbe(version, work.File("release2.arj"), destination.path(), "--silent");
      ASSERT_TRUE(second.finished) << "started " << second.started << ", error "
                                   << second.start_error;
      EXPECT_EQ(second.exit_code, 0u) << std::hex << second.exit_code;
      for (size_t k = 0; k < kFiles; ++k) {
        EXPECT_EQ(named_(Contents(root + "\\" + Backslashes(release2[k].name))),
                  named_(release2[k].data));
      }
      // Nothing but the files, their folders and the log.
      Strings expected_root = {"dir0", "dir1", "dir2", "dir3", "dir4", "dir5", "install.log"};
      Strings names = test::FolderContents(root);
      std::sort(names.begin(), names.end());
      EXPECT_EQ(names, expected_root);
      for (int d = 0; d < 6; ++d) {
        for (const std::string& name : test::FolderContents(root + "\\dir" + std::to_string(d))) {
          EXPECT_EQ(name.find(".tmp"), std::string::npos) << name;
        }
      }
      EXPECT_EQ(QueuedForRestart(), Strings{});
      test::ForgetQueuedReplacements();
    }
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
// can never fit, one of 100 KiB fits beside the old file, and one of 400
// KiB only where the old file was, which is where it is then written.
TEST(DiskFull, AReplacementThatDoesNotFitFailsAndKeepsTheOldFile) {
  const char* drive = getenv("KEST_FULL_DRIVE");
  ASSERT_NE(drive, nullptr) << "run through tests/install/disk_full.sh";
  const std::string old_bytes = Incompressible(200 << 10, 1);
  struct FullCase {
    size_t new_size;
    DWORD exit_code;
  };
  for (const char* version : {"win95", "win10"}) {
    // 400 KiB: no room beside the old file, but room over it.
    for (const FullCase c : {FullCase{600 << 10, kCodeDiskFull}, FullCase{100 << 10, 0},
                             FullCase{400 << 10, 0}}) {
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
