// The sample pack's component, morvgrid.dll (samples/components), the file
// scripts/sample.sh packs into the sample installer: registered through the
// registration pass among the pack's other files, then unregistered as an
// obsolete file. It keeps the shared count of its own file while it is
// registered.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/install_options.h"
#include "base/install_status.h"
#include "install/self_registration_win32.h"
#include "manifest/string_list.h"
#include "tests/install/registration/registration_fixture.h"

namespace kest {
namespace {

using SampleComponent = test::RegistrationTest;

TEST_F(SampleComponent, RegistersThroughThePassAndCountsItself) {
  test::SharedDllsKey key;
  const std::string readme = folder_.File("readme.txt");
  ASSERT_TRUE(test::WriteWholeFile(readme, "Morvane Components"));
  const std::string grid = AddFile(test::WindowsPath(KEST_SAMPLE_COMPONENT), "morvgrid.dll");
  StringList installed;
  installed.Append(readme.c_str());
  installed.Append(grid.c_str());

  uint32_t options = kOptionLogBit;
  EXPECT_TRUE(RegisterInstalledFiles(options, installed, *context_, progress_));
  EXPECT_EQ(options, kOptionLogBit);
  EXPECT_EQ(Status().install_code, 0u);
  EXPECT_EQ(key.Count(grid), 1);

  UnregisterLibrary(grid.c_str(), *context_, UnregisterForm::kObsoleteFile, false);
  EXPECT_EQ(key.Count(grid), 0);
  EXPECT_EQ(LogLines(), test::Fill({"Loading \"%s\" for registration",
                                    "Calling DllInstallInit in \"%s\"",
                                    "Calling DllRegisterServer in \"%s\"",
                                    "Calling DllInstallShutdown in \"%s\"",
                                    "Unloading \"%s\"",
                                    " ",
                                    "Loading \"%s\" for unregistration",
                                    "Calling DllInstallInit in \"%s\"",
                                    "Calling DllUnregisterServer in \"%s\"",
                                    "Calling DllInstallShutdown in \"%s\"",
                                    "Unloading \"%s\""},
                                   grid));
  key.Remove(grid);
}

}  // namespace
}  // namespace kest
