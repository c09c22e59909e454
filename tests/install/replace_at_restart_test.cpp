// Replacement of a file in use: queued for the next restart on each family
// of Windows, then carried out by a real restart of the Wine prefix, and
// the replacing move made at once. The queue runs in copy_probe.exe, which
// sees the Windows version chosen for it; the restart is `wineboot -r`,
// which performs the prefix's WININIT.INI renames and pending moves, as
// Windows does while it starts.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "base/install_codes.h"
#include "base/platform_win32.h"
#include "install/file_state_win32.h"
#include "install/restart_replacement_win32.h"
#include "tests/install/copy_test_support.h"
#include "tests/support/win32_test_support.h"

namespace kest {
namespace {

using test::Contents;
using test::FileExists;
using test::FileHolder;
using test::ForgetQueuedReplacements;
using test::PendingMoves;
using test::ReadWholeFile;
using test::ScratchFolder;
using test::ShortPath;
using test::Strings;
using test::WindowsFile;
using test::WriteWholeFile;

// copy_probe.exe queue REPLACEMENT TARGET under the given Windows version.
DWORD QueueInProbe(const char* version, const std::string& replacement, const std::string& target) {
  test::ScopedWindowsVersion seen("copy_probe.exe", version);
  test::ProcessResult run = test::RunProcess("\"" + test::BesideTestProgram("copy_probe.exe") +
                                             "\" queue \"" + replacement + "\" \"" + target + "\"");
  EXPECT_TRUE(run.finished);
  return run.exit_code;
}

// A folder and file with long names, so that the short forms differ, and a
// replacement made beside the target the way the copy makes it.
struct LongNames {
  LongNames() {
    folder = scratch.File("Long Folder Name");
    CreateDirectoryA(folder.c_str(), nullptr);
    target = folder + "\\long target name.dll";
    char temp[MAX_PATH];
    GetTempFileNameA(folder.c_str(), "lon", 0, temp);
    replacement = temp;
    WriteWholeFile(target, "old copy");
    WriteWholeFile(replacement, "new copy");
  }
  ScratchFolder scratch;
  std::string folder, target, replacement;
};

class ReplaceAtRestart : public ::testing::Test {
 protected:
  void SetUp() override { ForgetQueuedReplacements(); }
  void TearDown() override { ForgetQueuedReplacements(); }
};

TEST_F(ReplaceAtRestart, QueuedOnEachFamilyAndCarriedOutByTheRestart) {
  struct Family {
    const char* version;
    bool wininit;  // the Windows 95 family's WININIT.INI, else a pending move
  };
  for (const Family f : {Family{"win95", true}, Family{"win98", true}, Family{"nt351", false},
                         Family{"nt40", false}, Family{"win10", false}}) {
    SCOPED_TRACE(f.version);
    LongNames files;
    const std::string short_target = ShortPath(files.target);
    const std::string short_replacement = ShortPath(files.replacement);
    ASSERT_NE(short_target, files.target) << "the names must have short forms of their own";

    EXPECT_EQ(QueueInProbe(f.version, files.replacement, files.target), 0u);
    std::string wininit;
    if (f.wininit) {
      ASSERT_TRUE(ReadWholeFile(WindowsFile("WININIT.INI"), &wininit));
      EXPECT_EQ(wininit, "[rename]\r\n" + short_target + "=" + short_replacement + "\r\n");
      EXPECT_EQ(PendingMoves(), Strings{});
    } else {
      EXPECT_FALSE(FileExists(WindowsFile("WININIT.INI")));
      // Each move is "\??\" source, then destination with "!" for
      // replace-existing.
      EXPECT_EQ(PendingMoves(), (Strings{"\\??\\" + files.replacement, "!\\??\\" + files.target}));
    }
    // Nothing moves before the restart.
    EXPECT_EQ(Contents(files.target), "old copy");

    ASSERT_TRUE(test::RestartPrefix());
    EXPECT_EQ(Contents(files.target), "new copy");
    EXPECT_FALSE(FileExists(files.replacement));
    EXPECT_FALSE(FileExists(WindowsFile("WININIT.INI")));
    EXPECT_EQ(PendingMoves(), Strings{});
    ForgetQueuedReplacements();
  }
}

// Deletions queued one after another (a component's shared files whose
// counts reach zero) are all carried out, on the Windows 95 family too,
// where each is a line with the same key.
TEST_F(ReplaceAtRestart, EveryQueuedDeletionIsCarriedOut) {
  for (const char* version : {"win95", "nt40"}) {
    SCOPED_TRACE(version);
    ScratchFolder scratch;
    std::string arguments, expected_wininit = "[rename]\r\n";
    std::vector<std::string> files;
    for (const char* name : {"first shared library.dll", "second shared library.dll",
                             "third shared library.dll"}) {
      files.push_back(scratch.File(name));
      ASSERT_TRUE(WriteWholeFile(files.back(), name));
      arguments += " \"" + files.back() + "\"";
      expected_wininit += "NUL=" + ShortPath(files.back()) + "\r\n";
    }
    test::ScopedWindowsVersion seen("copy_probe.exe", version);
    test::ProcessResult run = test::RunProcess(
        "\"" + test::BesideTestProgram("copy_probe.exe") + "\" delete" + arguments);
    EXPECT_EQ(run.exit_code, 0u);
    if (std::string(version) == "win95") {
      std::string wininit;
      ASSERT_TRUE(ReadWholeFile(WindowsFile("WININIT.INI"), &wininit));
      EXPECT_EQ(wininit, expected_wininit);
    }
    for (const std::string& file : files) EXPECT_TRUE(FileExists(file));

    ASSERT_TRUE(test::RestartPrefix());
    for (const std::string& file : files) EXPECT_FALSE(FileExists(file)) << file;
    ForgetQueuedReplacements();
  }
}

TEST_F(ReplaceAtRestart, WhatCannotBeQueuedIsReportedAndQueuesNothing) {
  struct Case {
    const char* version;
    bool target_exists;
    DWORD code;
  };
  const Case kCases[] = {
      // The Windows 95 family names both files by their short paths, which
      // only existing files have.
      {"win95", false, kCodeRestartCopyFailed},
      // Neither family (Win32s).
      {"win31", true, kCodeSystemError},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.version);
    LongNames files;
    if (!c.target_exists) DeleteFileA(files.target.c_str());
    EXPECT_EQ(QueueInProbe(c.version, files.replacement, files.target), c.code);
    EXPECT_FALSE(FileExists(WindowsFile("WININIT.INI")));
    EXPECT_EQ(PendingMoves(), Strings{});
    EXPECT_EQ(Contents(files.replacement), "new copy");
  }
}

TEST(ReplaceFileNow, MovesOverTheTargetInOneStepOrLeavesBothFiles) {
  for (const uint32_t platform : {kPlatformWindows95, kPlatformNt}) {
    SCOPED_TRACE(platform);
    {
      LongNames files;
      EXPECT_EQ(ReplaceFileNow(files.replacement.c_str(), files.target.c_str(), platform), 0u);
      EXPECT_EQ(Contents(files.target), "new copy");
      EXPECT_FALSE(FileExists(files.replacement));
    }
    {
      LongNames files;
      DeleteFileA(files.target.c_str());
      EXPECT_EQ(ReplaceFileNow(files.replacement.c_str(), files.target.c_str(), platform), 0u);
      EXPECT_EQ(Contents(files.target), "new copy");
    }
    {
      LongNames files;
      {
        FileHolder holder(files.target);
        ASSERT_TRUE(holder.holding());
        // A sharing violation from the deletion, access denied from the move.
        EXPECT_NE(ReplaceFileNow(files.replacement.c_str(), files.target.c_str(), platform), 0u);
      }
      EXPECT_EQ(Contents(files.replacement), "new copy");
      EXPECT_EQ(Contents(files.target), "old copy");
    }
    {
      // The new file held by a scanner: it cannot move in, and the old one
      // stays (on the Windows 95 family, back from beside it).
      LongNames files;
      {
        FileHolder scanner(files.replacement, FileHolder::Mode::kSharedRead);
        ASSERT_TRUE(scanner.holding());
        EXPECT_NE(ReplaceFileNow(files.replacement.c_str(), files.target.c_str(), platform), 0u);
      }
      EXPECT_EQ(Contents(files.target), "old copy");
      EXPECT_EQ(Contents(files.replacement), "new copy");
      EXPECT_EQ(test::FolderContents(files.folder).size(), 2u);
    }
  }
}

TEST(FileState, InUseOnlyWhenAnotherProcessHoldsItAndReadOnlyByItsAttribute) {
  ScratchFolder scratch;
  const std::string free_file = scratch.File("free.dll"), held = scratch.File("held.dll"),
                    read_only = scratch.File("read-only.dll");
  for (const std::string& path : {free_file, held, read_only}) ASSERT_TRUE(WriteWholeFile(path, "x"));
  ASSERT_TRUE(SetFileAttributesA(read_only.c_str(), FILE_ATTRIBUTE_READONLY));
  FileHolder holder(held);
  ASSERT_TRUE(holder.holding());
  struct Case {
    std::string path;
    bool in_use, read_only;
  };
  const Case kCases[] = {
      {free_file, false, false},
      {held, true, false},
      // Denied exclusive access is no sharing violation.
      {read_only, false, true},
      {scratch.File("missing.dll"), false, false},
      {scratch.path(), false, false},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.path);
    EXPECT_EQ(IsFileInUse(c.path.c_str()), c.in_use);
    EXPECT_EQ(IsReadOnly(c.path.c_str()), c.read_only);
  }
}

}  // namespace
}  // namespace kest
