// Removal of obsolete files with real component DLLs: a self-registering
// one is unregistered and then deleted, a plain one deleted without being
// loaded, a missing one passed over in silence; on the Windows 95 family
// and on Windows NT 4.0 as on the system the tests run on. Also the
// platform names on those systems.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "base/install_codes.h"
#include "base/install_status.h"
#include "install/obsolete_files_win32.h"
#include "install/platform_win32.h"
#include "manifest/string_list.h"
#include "tests/install/registration/registration_fixture.h"

namespace kest {
namespace {

using Lines = std::vector<std::string>;

std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(tolower(c)); });
  return text;
}

class ObsoleteFiles : public test::RegistrationTest {
 protected:
  // One pass over an entry of each kind, checked by the log, the files left
  // and what the components recorded.
  void RemoveOneOfEach() {
    ASSERT_TRUE(CreateDirectoryA(folder_.File("Old").c_str(), nullptr));
    const std::string marked = Lower(AddProbe("full", "Old\\Grid.DLL"));
    const std::string plain = Lower(AddProbe("unmarked", "plain.dll"));
    const std::string help = folder_.File("chart.cnt");
    ASSERT_TRUE(test::WriteWholeFile(help, "help"));
    const std::string locked = Lower(folder_.File("locked.hlp"));
    ASSERT_TRUE(test::WriteWholeFile(locked, "read-only"));
    ASSERT_TRUE(SetFileAttributesA(locked.c_str(), FILE_ATTRIBUTE_READONLY));
    StringList obsolete;
    for (const char* entry : {"OLD\\GRID.DLL", "missing.hlp", "plain.dll", "locked.hlp",
                              "chart.cnt", "gone\\missing.dll"}) {
      obsolete.Append(entry);
    }

    EXPECT_TRUE(RemoveObsoleteFiles(folder_.path().c_str(), &obsolete, *context_));

    EXPECT_EQ(LogLines(), (Lines{"Loading \"" + marked + "\" for unregistration",
                                 "Calling DllInstallInit in \"" + marked + "\"",
                                 "Calling DllUnregisterServer in \"" + marked + "\"",
                                 "Calling DllInstallShutdown in \"" + marked + "\"",
                                 "Unloading \"" + marked + "\"",
                                 "ERROR: \"Could not delete file\"",
                                 "       \"File:   " + locked + "\""}));
    Lines record = Record();
    ASSERT_EQ(record.size(), 5u);
    EXPECT_EQ(record[0], "full attach " + marked);
    EXPECT_EQ(record[2], "full unregister");
    EXPECT_EQ(record[4], "full detach");
    EXPECT_FALSE(test::FileExists(marked));
    EXPECT_FALSE(test::FileExists(plain));
    EXPECT_FALSE(test::FileExists(help));
    EXPECT_TRUE(test::FileExists(locked));
    // Reports are cleared: obsolete files never stop an installation.
    EXPECT_EQ(Status().install_code, 0u);
    SetFileAttributesA(locked.c_str(), FILE_ATTRIBUTE_NORMAL);
  }
};

TEST_F(ObsoleteFiles, EachKindOfEntry) { RemoveOneOfEach(); }

// The folder's own backslash is not doubled, and an entry whose path would
// not fit is reported, never cut into the name of another file.
TEST_F(ObsoleteFiles, FolderEndingInBackslashAndOverlongEntry) {
  const std::string plain = Lower(AddProbe("unmarked", "plain.dll"));
  const std::string cut_to = folder_.File("plain.dll");
  std::string overlong = "plain.dll";
  overlong.insert(0, kPathChars - folder_.path().size() - 1 - overlong.size(), '\\');
  StringList obsolete;
  obsolete.Append(overlong.c_str());
  EXPECT_TRUE(RemoveObsoleteFiles(folder_.path().c_str(), &obsolete, *context_));
  EXPECT_TRUE(test::FileExists(plain));
  EXPECT_EQ(LogLines(), (Lines{"ERROR: \"Could not delete file\"",
                               "       \"File:   " + overlong + "\""}));
  EXPECT_EQ(Status().install_code, 0u);

  StringList fits;
  fits.Append("PLAIN.DLL");
  EXPECT_TRUE(RemoveObsoleteFiles((folder_.path() + "\\").c_str(), &fits, *context_));
  EXPECT_FALSE(test::FileExists(plain));
  EXPECT_TRUE(RemoveObsoleteFiles(folder_.path().c_str(), nullptr, *context_));
}

TEST(ObsoleteFilesOnOtherSystems, EveryOlderFamily) {
  test::ExpectTestsPassUnder({"win95", "win98", "nt351", "nt40"}, "ObsoleteFilesOnVersion.*");
}

// Run only by the test above, in a program that sees the system it asked for.
using ObsoleteFilesOnVersion = ObsoleteFiles;

TEST_F(ObsoleteFilesOnVersion, EachKindOfEntry) {
  if (test::RequestedWindowsVersion() == nullptr) GTEST_SKIP() << "started by another test";
  RemoveOneOfEach();
}

TEST_F(ObsoleteFilesOnVersion, PlatformNames) {
  const char* version = test::RequestedWindowsVersion();
  if (version == nullptr) GTEST_SKIP() << "started by another test";
  const std::string v = version;
  EXPECT_EQ(PlatformMatches("WIN_95"), v == "win95" || v == "win98");
  EXPECT_EQ(PlatformMatches("WIN_NT_40"), v == "nt40");
  EXPECT_EQ(PlatformMatches("WIN_NT_35"), v == "nt351");
  EXPECT_FALSE(PlatformMatches("win_95"));
  EXPECT_EQ(Status().install_code, 0u);
}

}  // namespace
}  // namespace kest
