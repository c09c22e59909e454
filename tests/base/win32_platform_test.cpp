#include <gtest/gtest.h>

#include <string>

#include "base/system_api_win32.h"
#include "base/win32_status_platform.h"

namespace kest {
namespace {

TEST(Win32Platform, SystemMessageHasNoTrailingLineBreak) {
  Win32StatusPlatform platform(GetModuleHandleA(nullptr));
  char text[1024];
  ASSERT_TRUE(platform.SystemMessage(ERROR_ACCESS_DENIED, text, sizeof(text)));
  std::string s = text;
  EXPECT_FALSE(s.empty());
  EXPECT_NE(s.back(), '\n');
  EXPECT_NE(s.back(), '\r');
  EXPECT_FALSE(platform.SystemMessage(0x4002, text, sizeof(text)));
}

// Every system library beyond the three the image imports comes from the
// system folder, and each table is complete on the Windows the tests run.
TEST(Win32Platform, SystemLibrariesComeFromTheSystemFolder) {
  char system[MAX_PATH];
  UINT length = GetSystemDirectoryA(system, MAX_PATH);
  ASSERT_GT(length, 0u);
  for (const char* name : {"advapi32.dll", "version.dll", "ole32.dll"}) {
    SCOPED_TRACE(name);
    HMODULE module = LoadSystemLibrary(name);
    ASSERT_NE(module, nullptr);
    char path[MAX_PATH];
    ASSERT_GT(GetModuleFileNameA(module, path, MAX_PATH), 0u);
    EXPECT_EQ(lstrcmpiA(std::string(path, length).c_str(), system), 0) << path;
  }
  EXPECT_NE(Registry(), nullptr);
  EXPECT_NE(Version(), nullptr);
  EXPECT_NE(Com(), nullptr);
  EXPECT_EQ(LoadSystemLibrary("no-such-library.dll"), nullptr);
  EXPECT_EQ(LoadSystemLibrary(std::string(300, 'x').c_str()), nullptr);
}

}  // namespace
}  // namespace kest
