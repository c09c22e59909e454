// DLL planting: an installer is typically started from a downloads folder,
// where anyone can drop a DLL. Libraries named like the system libraries
// the installer uses are planted beside it, and Wine is told to prefer such
// native files; the installer must never load them.
//
// Wine's own USER32 imports version.dll, so under Wine every GUI program
// gets that library at start-up, before any of its code runs, from
// wherever the search finds it first (Windows' USER32 does not). The
// installer's way of loading is therefore checked twice: in a console
// program that starts without USER32, for every library, and in the real
// installer for ole32.dll, which nothing loads before the installer asks.
#include <gtest/gtest.h>

#include <windows.h>

#include <initializer_list>
#include <string>

#include "tests/support/win32_test_support.h"

namespace kest {
namespace {

const std::string kPlanted = test::WindowsPath(KEST_PLANTED_DIR);
constexpr const char* kLibraries[] = {"version.dll", "ole32.dll"};

// Tells Wine to prefer native files of the libraries (names without
// ".dll") in processes started from exe_name, as long as the object lives:
// HKCU\Software\Wine\AppDefaults\<exe_name>\DllOverrides.
class PreferNative {
 public:
  PreferNative(const std::string& exe_name, std::initializer_list<const char*> libraries)
      : key_("Software\\Wine\\AppDefaults\\" + exe_name + "\\DllOverrides") {
    HKEY key;
    EXPECT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, key_.c_str(), 0, nullptr, 0, KEY_SET_VALUE,
                              nullptr, &key, nullptr),
              ERROR_SUCCESS);
    for (const char* library : libraries) {
      RegSetValueExA(key, library, 0, REG_SZ, reinterpret_cast<const BYTE*>("native,builtin"),
                     sizeof("native,builtin"));
    }
    RegCloseKey(key);
  }
  ~PreferNative() { RegDeleteKeyA(HKEY_CURRENT_USER, key_.c_str()); }
  PreferNative(const PreferNative&) = delete;
  PreferNative& operator=(const PreferNative&) = delete;

 private:
  std::string key_;
};

class DllPlanting : public testing::Test {
 protected:
  void Copy(const std::string& from, const std::string& name) {
    ASSERT_TRUE(CopyFileA(from.c_str(), media_.File(name).c_str(), FALSE)) << from;
  }
  // True when the planted library was loaded; the marker is then removed.
  bool TakeMarker(const char* library) {
    const std::string marker = media_.File(std::string(library) + ".loaded");
    const bool loaded = test::FileExists(marker);
    DeleteFileA(marker.c_str());
    return loaded;
  }
  DWORD Run(const std::string& program, const std::string& arguments) {
    return test::RunProcess("\"" + media_.File(program) + "\" " + arguments).exit_code;
  }

  test::ScratchFolder media_;
};

TEST_F(DllPlanting, SystemLibrariesLoadFromTheSystemFolderOnly) {
  for (const char* file : {"load_by_name.exe", "load_system_library.exe", kLibraries[0],
                           kLibraries[1]}) {
    Copy(kPlanted + "\\" + file, file);
  }
  PreferNative careless("load_by_name.exe", {"version", "ole32"});
  PreferNative careful("load_system_library.exe", {"version", "ole32"});
  for (const char* version : {"win95", "win10"}) {
    test::ScopedWindowsVersion scoped("load_system_library.exe", version);
    for (const char* library : kLibraries) {
      SCOPED_TRACE(std::string(library) + " under " + version);
      // The trap works: loading by bare name takes the planted file.
      EXPECT_EQ(Run("load_by_name.exe", library), 0u);
      EXPECT_TRUE(TakeMarker(library));
      // The installer's way takes the system's library.
      EXPECT_EQ(Run("load_system_library.exe", library), 0u);
      EXPECT_FALSE(TakeMarker(library));
    }
  }
}

TEST_F(DllPlanting, TheInstallerNeverLoadsAPlantedOle32) {
  // A pack with a self-registering component: the run initialises COM.
  Copy(test::WindowsPath(KEST_SCENARIO_PACKS) + "\\release2.exe", "setup.exe");
  Copy(kPlanted + "\\ole32.dll", "ole32.dll");
  PreferNative installer("setup.exe", {"ole32"});
  for (const char* version : {"win95", "win10"}) {
    SCOPED_TRACE(version);
    test::ScopedWindowsVersion scoped("setup.exe", version);
    const std::string target = media_.File(std::string("target-") + version);
    EXPECT_EQ(Run("setup.exe", "/U0 \"" + target + "\""), 0u);
    EXPECT_TRUE(test::FileExists(target + "\\shared.dll"));
    EXPECT_FALSE(TakeMarker("ole32.dll"));
  }
  // The pack's library for the system folder.
  char system_folder[MAX_PATH];
  const UINT n = GetSystemDirectoryA(system_folder, MAX_PATH);
  DeleteFileA((std::string(system_folder, n) + "\\kestscen.dll").c_str());
}

}  // namespace
}  // namespace kest
