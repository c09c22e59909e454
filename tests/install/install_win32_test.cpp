// The install machinery on a real Windows: system folders, folders and
// temporary files on disk, version resources of libraries built by the
// test build (test_library.rc), file times set with SetFileTime, and a file
// held open with no sharing by another process (hold_file.exe).
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "base/install_codes.h"
#include "install/disk_file_facts_win32.h"
#include "install/folder_creation.h"
#include "install/folder_security.h"
#include "install/folder_system_win32.h"
#include "install/replace_decision.h"
#include "install/target_path.h"
#include "install/version_resource_win32.h"
#include "manifest/string_list.h"
#include "tests/install/install_test_support.h"
#include "tests/support/win32_test_support.h"

namespace kest {
namespace {

using test::EntryOnTarget;
using test::FileHolder;
using test::FolderContents;
using test::ListTexts;
using test::LogCapture;
using test::Lower;
using test::ScratchFolder;
using test::SetWriteTime;
using test::V;
using Strings = std::vector<std::string>;

std::string BuildFile(const char* name) { return test::BesideTestProgram(name); }

// The test libraries: file versions 1.9.65535.65535 and 1.10.0.0 (the
// latter with OLESelfRegister in its first translation), 1.10.0.0 with it
// only in the second translation, and one without a version resource.
const char* const kOldLibrary = "kest_version_old.dll";
const char* const kNewLibrary = "kest_version_new.dll";
const char* const kSecondLibrary = "kest_version_second.dll";
const char* const kPlainLibrary = "kest_version_none.dll";

bool IsFolder(const std::string& path) {
  DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

TEST(VersionResource, ReadsTheFixedFileVersionAndTheFirstTranslationsStrings) {
  VersionResource resource;
  uint16_t words[4] = {7, 7, 7, 7};
  EXPECT_FALSE(resource.FixedFileVersion(words));
  EXPECT_FALSE(resource.HasString("FileDescription"));

  ASSERT_TRUE(resource.Load(BuildFile(kNewLibrary).c_str()));
  ASSERT_TRUE(resource.FixedFileVersion(words));
  EXPECT_EQ((Strings{std::to_string(words[0]), std::to_string(words[1]), std::to_string(words[2]),
                     std::to_string(words[3])}),
            (Strings{"1", "10", "0", "0"}));
  EXPECT_TRUE(resource.HasString("OLESelfRegister"));
  EXPECT_TRUE(resource.HasString("FileDescription"));
  EXPECT_FALSE(resource.HasString("CompanyName"));
  EXPECT_FALSE(resource.HasString(std::string(300, 'n').c_str()));

  // The buffer of the larger block is used again for the next file.
  ASSERT_TRUE(resource.Load(BuildFile(kOldLibrary).c_str()));
  ASSERT_TRUE(resource.FixedFileVersion(words));
  EXPECT_EQ(words[1], 9);
  EXPECT_EQ(words[2], 65535);
  EXPECT_EQ(words[3], 65535);
  EXPECT_FALSE(resource.HasString("OLESelfRegister"));

  // Only the first translation is looked at.
  ASSERT_TRUE(resource.Load(BuildFile(kSecondLibrary).c_str()));
  EXPECT_FALSE(resource.HasString("OLESelfRegister"));

  VersionResource moved(std::move(resource));
  EXPECT_FALSE(resource.loaded());
  EXPECT_TRUE(moved.HasString("FileDescription"));

  // No version resource, no file, not an image: nothing loaded.
  ScratchFolder scratch;
  ASSERT_TRUE(test::WriteWholeFile(scratch.File("text.dll"), "not an image"));
  for (std::string path :
       {BuildFile(kPlainLibrary), scratch.File("missing.dll"), scratch.File("text.dll")}) {
    SCOPED_TRACE(path);
    EXPECT_FALSE(moved.Load(path.c_str()));
    EXPECT_FALSE(moved.FixedFileVersion(words));
    EXPECT_FALSE(moved.HasString("FileDescription"));
  }
}

TEST(DiskFileFactsWin32, VersionsAndWriteTimesOfFilesOnDisk) {
  DiskFileFactsWin32 disk;
  FileVersion v = disk.GetFileVersion(BuildFile(kOldLibrary).c_str());
  EXPECT_NE(v.known, 0u);
  EXPECT_EQ((Strings{std::to_string(v.part[0]), std::to_string(v.part[1]),
                     std::to_string(v.part[2]), std::to_string(v.part[3])}),
            (Strings{"1", "9", "65535", "65535"}));
  ScratchFolder scratch;
  for (std::string path : {BuildFile(kPlainLibrary), scratch.File("missing.dll")}) {
    v = disk.GetFileVersion(path.c_str());
    EXPECT_EQ(v.known, 0u) << path;
    EXPECT_TRUE(Equals(v, FileVersion())) << path;
  }

  const std::string file = scratch.File("timed.dat");
  const uint64_t time = 0x01D5F0A0B0C00000;  // a whole second
  ASSERT_TRUE(test::WriteWholeFile(file, "x"));
  ASSERT_TRUE(SetWriteTime(file, time));
  uint64_t read = 0;
  ASSERT_TRUE(disk.GetLastWriteTime(file.c_str(), &read));
  EXPECT_EQ(read, time);
  EXPECT_FALSE(disk.GetLastWriteTime(scratch.File("missing.dll").c_str(), &read));
}

TEST(ShouldReplaceWin32, VersionResourcesOfRealLibraries) {
  ScratchFolder scratch;
  const std::string old_copy = scratch.File("old.dll");
  const std::string plain_copy = scratch.File("plain.dll");
  ASSERT_TRUE(CopyFileA(BuildFile(kOldLibrary).c_str(), old_copy.c_str(), FALSE));
  ASSERT_TRUE(CopyFileA(BuildFile(kPlainLibrary).c_str(), plain_copy.c_str(), FALSE));
  // The old library is newer by time than every entry: times play no part.
  ASSERT_TRUE(SetWriteTime(old_copy, 0x01F0000000000000));
  struct Case {
    const char* stored_name;
    FileVersion version;
    std::string target;
    bool replace;
  } cases[] = {
      {"X.DLL", V(1, 10, 0, 0), old_copy, true},
      {"_WINSYS/X.DLL", V(1, 10, 0, 0), old_copy, true},
      {"X.DLL", V(1, 9, 65535, 65535), old_copy, true},
      {"_WINSYS/X.DLL", V(1, 9, 65535, 65535), old_copy, false},
      {"X.DLL", V(1, 9, 0, 0), old_copy, false},
      {"X.DLL", V(0, 0, 0, 1), plain_copy, true},
      {"_WINSYS/X.DLL", V(0, 0, 0, 1), scratch.File("missing.dll"), true},
  };
  DiskFileFactsWin32 disk;
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message()
                 << c.stored_name << " " << c.version.part[0] << "." << c.version.part[1] << "."
                 << c.version.part[2] << "." << c.version.part[3] << " over " << c.target);
    EntryOnTarget entry(c.stored_name, c.version, 0x01D0000000000000, c.target);
    LogCapture log;
    EXPECT_EQ(ShouldReplace(entry.reader, entry.package_name.c_str(), disk), c.replace);
    EXPECT_EQ(log.Lines(), Strings{"Version compare for \"" + c.target + "\" indicates archive " +
                                   (c.replace ? "is not" : "is") + " older than disk version"});
  }
}

TEST(ShouldReplaceWin32, FileTimesWhenTheEntryCarriesNoVersion) {
  ScratchFolder scratch;
  const std::string target = scratch.File("x.dll");
  // A disk file with a version resource: ignored by the time rule.
  ASSERT_TRUE(CopyFileA(BuildFile(kNewLibrary).c_str(), target.c_str(), FALSE));
  const uint64_t disk_time = 0x01D5F0A0B0C00000;
  const uint64_t second = 10000000;
  ASSERT_TRUE(SetWriteTime(target, disk_time));
  struct Case {
    const char* stored_name;
    uint64_t entry_time;
    bool replace;
  } cases[] = {
      {"X.DLL", disk_time, true},
      {"_WINSYS/X.DLL", disk_time, false},
      {"X.DLL", disk_time - second, false},
      {"_WINSYS/X.DLL", disk_time + second, true},
  };
  DiskFileFactsWin32 disk;
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.stored_name << " " << std::hex << c.entry_time);
    EntryOnTarget entry(c.stored_name, FileVersion(), c.entry_time, target);
    LogCapture log;
    EXPECT_EQ(ShouldReplace(entry.reader, entry.package_name.c_str(), disk), c.replace);
    EXPECT_EQ(log.Lines(), Strings{"Date/time compare for \"" + target + "\" indicates archive " +
                                   (c.replace ? "is not" : "is") + " older than disk version"});
  }
}

// A disk file another program holds open with no sharing cannot be judged:
// the answer is replace, under either rule, and the copy meets it as a
// file in use.
TEST(ShouldReplaceWin32, AFileHeldOpenByAnotherProcessIsReplaced) {
  ScratchFolder scratch;
  const std::string target = scratch.File("held.dll");
  ASSERT_TRUE(CopyFileA(BuildFile(kNewLibrary).c_str(), target.c_str(), FALSE));
  ASSERT_TRUE(SetWriteTime(target, 0x01F0000000000000));
  DiskFileFactsWin32 disk;
  const FileVersion older = V(1, 0, 0, 0);
  {
    // Before it is held, both rules keep the newer disk file.
    EntryOnTarget timed("X.DLL", FileVersion(), 0x01D0000000000000, target);
    EntryOnTarget versioned("X.DLL", older, 0x01D0000000000000, target);
    EXPECT_FALSE(ShouldReplace(timed.reader, timed.package_name.c_str(), disk));
    EXPECT_FALSE(ShouldReplace(versioned.reader, versioned.package_name.c_str(), disk));
  }
  FileHolder holder(target);
  ASSERT_TRUE(holder.holding());
  EntryOnTarget timed("X.DLL", FileVersion(), 0x01D0000000000000, target);
  EntryOnTarget versioned("X.DLL", older, 0x01D0000000000000, target);
  LogCapture log;
  EXPECT_TRUE(ShouldReplace(timed.reader, timed.package_name.c_str(), disk));
  EXPECT_TRUE(ShouldReplace(versioned.reader, versioned.package_name.c_str(), disk));
  EXPECT_EQ(log.Lines(), (Strings{"Date/time compare for \"" + target +
                                      "\" indicates archive is not older than disk version",
                                  "Version compare for \"" + target +
                                      "\" indicates archive is not older than disk version"}));
}

// Restores the current directory when it goes.
class CurrentDirectory {
 public:
  explicit CurrentDirectory(const std::string& folder) {
    GetCurrentDirectoryA(MAX_PATH, saved_);
    SetCurrentDirectoryA(folder.c_str());
  }
  ~CurrentDirectory() { SetCurrentDirectoryA(saved_); }

 private:
  char saved_[MAX_PATH];
};

TEST(TargetPathWin32, TokensReachTheSystemsFolders) {
  ScratchFolder scratch;
  CurrentDirectory current(scratch.path());
  char system[MAX_PATH], windows[MAX_PATH];
  ASSERT_GT(GetSystemDirectoryA(system, MAX_PATH), 0u);
  ASSERT_GT(GetWindowsDirectoryA(windows, MAX_PATH), 0u);
  FolderSystemWin32 folders;
  TargetResolver resolver(folders, nullptr);
  char out[kPathChars];
  ASSERT_EQ(resolver.ResolveEntryTarget("_winsys\\sub\\x.dll", out).value(), kSuccess);
  EXPECT_EQ(out, Lower(std::string(system) + "\\sub\\x.dll"));
  ASSERT_EQ(resolver.ResolveEntryTarget("_win\\x.ini", out).value(), kSuccess);
  EXPECT_EQ(out, Lower(std::string(windows) + "\\x.ini"));
  ASSERT_EQ(resolver.ResolveEntryTarget("runtime\\x.dll", out).value(), kSuccess);
  EXPECT_EQ(out, Lower(scratch.File("runtime\\x.dll")));
  ASSERT_EQ(resolver.ResolveEntryTarget("_scriba\\x.h", out).value(), kSuccess);
  EXPECT_EQ(out, Lower(scratch.File("include\\x.h")));
}

// The host product's folder is used only while a file can be written to
// it; a read-only one sends its files to the "include" folder. Wine keeps
// no read-only attribute for a folder it is asked to set, but reports one
// whose Unix folder has no write permission: the test build makes such a
// folder first (KEST_INSTALL_INPUTS/read-only-host).
TEST(TargetPathWin32, ReadOnlyHostProductFolder) {
  ScratchFolder scratch;
  const std::string host = scratch.File("host");
  ASSERT_TRUE(CreateDirectoryA(host.c_str(), nullptr));
  FolderSystemWin32 folders;
  char out[kPathChars];
  {
    TargetResolver resolver(folders, host.c_str());
    ASSERT_EQ(resolver.ResolveTargetPath("_scriba\\x.dll", out, scratch.path().c_str()).value(),
              kSuccess);
    EXPECT_EQ(out, host + "\\x.dll");
    EXPECT_TRUE(FolderContents(host).empty()) << "the write test left a file";
  }
  const std::string read_only = test::WindowsPath(KEST_INSTALL_INPUTS "/read-only-host");
  uint32_t attributes = 0;
  ASSERT_TRUE(folders.GetAttributes(read_only.c_str(), &attributes));
  ASSERT_NE(attributes & kAttributeReadOnly, 0u);
  TargetResolver resolver(folders, read_only.c_str());
  ASSERT_EQ(resolver.ResolveTargetPath("_scriba\\x.dll", out, scratch.path().c_str()).value(),
            kSuccess);
  EXPECT_EQ(out, scratch.File("include\\x.dll"));
  EXPECT_TRUE(FolderContents(read_only).empty());
}

TEST(CreateFoldersForWin32, ChainsBelowATemporaryRoot) {
  ScratchFolder scratch;
  const std::string a = scratch.File("a");
  ASSERT_TRUE(CreateDirectoryA(a.c_str(), nullptr));
  FolderSystemWin32 folders;
  StringList created;
  ASSERT_EQ(CreateFoldersFor(folders, (a + "\\b\\c\\file.dll").c_str(), &created).value(),
            kSuccess);
  EXPECT_EQ(ListTexts(created), (Strings{a + "\\b\\", a + "\\b\\c\\"}));
  EXPECT_TRUE(IsFolder(a + "\\b\\c"));
  EXPECT_TRUE(FolderContents(a + "\\b\\c").empty()) << "the write test left a file";

  // All there: nothing more recorded. A folder given with its backslash is
  // the folder itself.
  ASSERT_EQ(CreateFoldersFor(folders, (a + "\\b\\c\\other.dll").c_str(), &created).value(),
            kSuccess);
  ASSERT_EQ(CreateFoldersFor(folders, (a + "\\d\\").c_str(), &created).value(), kSuccess);
  EXPECT_EQ(ListTexts(created), (Strings{a + "\\b\\", a + "\\b\\c\\", a + "\\d\\"}));
  EXPECT_TRUE(IsFolder(a + "\\d"));

  // A file standing where a folder should be; a name the system refuses.
  ASSERT_TRUE(test::WriteWholeFile(scratch.File("file"), "x"));
  StringList none;
  EXPECT_EQ(CreateFoldersFor(folders, scratch.File("file\\sub\\x.dll").c_str(), &none).value(),
            static_cast<uint32_t>(ERROR_PATH_NOT_FOUND));
  EXPECT_EQ(CreateFoldersFor(folders, scratch.File("bad|name\\x.dll").c_str(), &none).value(),
            kCodeInvalidFolder);
  EXPECT_EQ(none.count(), 0u);
}

// Paths at and past the limit: refused or failed by the system, never
// written past a buffer (the guards behind the outputs stay as they were).
TEST(LongPathsWin32, NeverOverflow) {
  ScratchFolder scratch;
  FolderSystemWin32 folders;
  struct Guarded {
    char out[kPathChars];
    char guard[64];
  } g;
  const std::string guard(sizeof(g.guard), 'g');
  for (size_t length : {259u, 260u, 261u, 400u}) {
    SCOPED_TRACE(length);
    const std::string base =
        scratch.path() + "\\" + std::string(length - scratch.path().size() - 7, 'f');
    const std::string path = base + "\\x.dll";
    ASSERT_EQ(path.size(), length);
    memset(&g, 'g', sizeof(g));
    LogCapture log;
    TargetResolver resolver(folders, nullptr);
    uint32_t code = resolver.ResolveTargetPath("x.dll", g.out, base.c_str()).value();
    EXPECT_EQ(code, length < kPathChars ? kSuccess : kCodeInvalidFolder);
    EXPECT_EQ(std::string(g.guard, sizeof(g.guard)), guard);

    // Too long for the buffer: refused, nothing created. Short enough for
    // it but too long for a temporary name in the folder (more than 246
    // characters): the write test fails; a folder the system did create
    // stays, recorded.
    StringList created;
    EXPECT_NE(CreateFoldersFor(folders, path.c_str(), &created).value(), kSuccess);
    if (length >= kPathChars) EXPECT_EQ(created.count(), 0u);
    for (const std::string& folder : ListTexts(created)) EXPECT_TRUE(IsFolder(folder)) << folder;
    memset(&g, 'g', sizeof(g));
    EXPECT_FALSE(MakeTempNameBeside(folders, path.c_str(), g.out));
    EXPECT_STREQ(g.out, "");
    EXPECT_EQ(std::string(g.guard, sizeof(g.guard)), guard);
    ResetStatus();
  }
}

TEST(MakeTempNameBesideWin32, AnEmptyFileBesideTheTarget) {
  ScratchFolder scratch;
  FolderSystemWin32 folders;
  for (const char* name : {"ab.dll", "library.dll", "x"}) {
    SCOPED_TRACE(name);
    char out[kPathChars];
    ASSERT_TRUE(MakeTempNameBeside(folders, scratch.File(name).c_str(), out));
    const std::string made = Lower(out);
    const std::string prefix = Lower(scratch.File(
        std::string(name).substr(0, std::min<size_t>(3, std::string(name).find('.')))));
    EXPECT_EQ(made.compare(0, prefix.size(), prefix), 0) << made;
    EXPECT_EQ(made.substr(made.size() - 4), ".tmp");
    std::string contents = "not empty";
    ASSERT_TRUE(test::ReadWholeFile(out, &contents));
    EXPECT_EQ(contents, "");
  }
  // No such folder: the system's number, 267 (not a folder), as it is.
  LogCapture log;
  log.platform.system_messages[ERROR_DIRECTORY] = "The directory name is invalid.";
  char out[kPathChars];
  EXPECT_FALSE(MakeTempNameBeside(folders, scratch.File("missing\\x.dll").c_str(), out));
  ASSERT_EQ(log.platform.shown.size(), 1u);
  EXPECT_EQ(log.platform.shown[0].code, static_cast<uint32_t>(ERROR_DIRECTORY));
  EXPECT_EQ(log.platform.shown[0].buttons, kButtonsExitOnly);
  EXPECT_EQ(log.platform.shown[0].detail, "File:   " + scratch.File("missing\\x.dll") +
                                              "\nError:   The directory name is invalid.");
  ResetStatus();
}

// The descriptor the installer builds byte by byte, read by the system's own
// security calls: the permissions the installer promises, with and without
// the bit that keeps the parent's out (unknown before Windows 2000).
TEST(FolderSecurity, TheSystemReadsThePermissionsTheInstallerPromises) {
  const std::string inherited = test::kInstalledFolderSddl + std::string();
  const std::string unprotected = "D:" + inherited.substr(3);
  for (bool protect : {true, false}) {
    SCOPED_TRACE(protect ? "protected" : "not protected");
    const FolderSecurity security = MakeFolderSecurity(protect);
    EXPECT_TRUE(IsValidSecurityDescriptor(const_cast<uint8_t*>(security.bytes)));
    EXPECT_EQ(GetSecurityDescriptorLength(const_cast<uint8_t*>(security.bytes)),
              kFolderSecurityBytes);
    EXPECT_EQ(test::DaclText(security.bytes),
              test::NormalSddl(protect ? test::kInstalledFolderSddl : unprotected.c_str()));
  }
  // And a folder made with it reads back as one made with the system's own
  // parse of that text.
  ScratchFolder scratch;
  const FolderSecurity security = MakeFolderSecurity(true);
  FolderSystemWin32 protected_folders(security.bytes);
  ASSERT_EQ(protected_folders.CreateFolder(scratch.File("made").c_str()), 0u);
  ASSERT_TRUE(test::CreateFolderWith(scratch.File("reference"), test::kInstalledFolderSddl));
  ASSERT_TRUE(test::CreateFolderWith(scratch.File("default"), nullptr));
  EXPECT_EQ(test::FileDaclText(scratch.File("made")), test::FileDaclText(scratch.File("reference")));
  EXPECT_NE(test::FileDaclText(scratch.File("made")), test::FileDaclText(scratch.File("default")));
}

}  // namespace
}  // namespace kest
