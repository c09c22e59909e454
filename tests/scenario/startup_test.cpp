// Start-up of the real installer: rights, command line and exit code.
#include <gtest/gtest.h>

#include <string>

#include "resources/resource_ids.h"
#include "tests/support/win32_test_support.h"
#include "tests/ui/dialog_driver.h"

namespace kest {
namespace {

const std::string kInstaller = test::WindowsPath(KESTINST_EXE);
constexpr DWORD kBadCommandLine = 0x8040F007;

// The per-program version switch that every family-specific test relies on
// reaches the child, on whichever build and Wine the tests run.
TEST(Startup, ChildSeesTheWindowsVersionAskedFor) {
  const std::string reporter = test::WindowsPath(REPORT_VERSION_EXE);
  const struct {
    const char* version;
    DWORD platform_and_version;  // platform id << 16 | major << 8 | minor
  } cases[] = {
      {"win95", 0x10400}, {"win98", 0x1040A}, {"nt351", 0x20333}, {"nt40", 0x20400}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.version);
    test::ScopedWindowsVersion version("report_version.exe", c.version);
    test::ProcessResult result = test::RunProcess("\"" + reporter + "\"");
    ASSERT_TRUE(result.finished);
    EXPECT_EQ(result.exit_code, c.platform_and_version);
  }
  test::ScopedWindowsVersion version("report_version.exe", "win10");
  test::ProcessResult result = test::RunProcess("\"" + reporter + "\"");
  EXPECT_EQ(result.exit_code >> 16, 2u);
  EXPECT_GE((result.exit_code >> 8) & 0xFF, 6u);
}

// A bad command line is reported in the error dialog, with the line as
// received, and the run ends with the code once it is answered. A silent
// switch does not silence the report, before or after the bad argument:
// the UI level of a line that did not parse is not taken over.
TEST(Startup, BadCommandLines) {
  const struct {
    const char* version;
    const char* arguments;
  } cases[] = {
      {"win10", "/Q"},        {"win10", "\"x"},        {"win10", "/L /np"},
      {"win95", "/Q"},        {"nt40", "/Q"},          {"nt40", "/U1"},
      {"win10", "/U0 /Q"},    {"win10", "/Q /U0"},     {"win10", "/U0 \"x"},
      {"win95", "-U /Q"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.version) + " " + c.arguments);
    test::ScopedWindowsVersion version("kestinst.exe", c.version);
    test::RunScenario(kInstaller, c.arguments,
                      {test::ExpectDialog(IDD_ERROR_DETAIL),
                       test::ExpectText(IDC_ERROR_HEADLINE, "A command line argument is invalid"),
                       test::ExpectText(IDC_ERROR_MESSAGE,
                                        "The command line argument shown above is incorrect. "
                                        "Please correct the command line and rerun Install."),
                       test::ExpectText(IDC_ERROR_DETAIL, std::string("Command:   ") + c.arguments),
                       test::ExpectText(IDC_ERROR_FIRST_BUTTON, "E&xit Install"),
                       test::ExpectHidden(IDC_ERROR_TRY_AGAIN),
                       test::ExpectHidden(IDC_ERROR_CHANGE_DRIVE),
                       test::Press(IDC_ERROR_FIRST_BUTTON), test::ExpectExit(kBadCommandLine)});
  }
}

}  // namespace
}  // namespace kest

namespace kest {
namespace {

// A complete signed package: the rights check passes on every Windows
// family under Wine (whose token carries the Administrators group), the
// package opens and verifies, and a silent run ends with 0.
TEST(Startup, SignedPackageRunsSilentlyOnEveryFamily) {
  const std::string installer = test::SampleInstallerPath();
  ASSERT_TRUE(test::FileExists(installer))
      << "no signed sample installer at " << installer << "; scripts/sample.sh builds it";
  for (const char* version : {"win95", "win98", "nt351", "nt40", "winxp", "win10"}) {
    SCOPED_TRACE(version);
    test::ScopedWindowsVersion scoped("MorvaneSetup.exe", version);
    test::ProcessResult result = test::RunProcess("\"" + installer + "\" /U0");
    ASSERT_TRUE(result.started);
    EXPECT_TRUE(result.finished);
    EXPECT_EQ(result.exit_code, 0u);
  }

  // A command line of several kilobytes is read whole: its quoted folder
  // at the very end is still closed, and the pack is installed there.
  test::ScratchFolder scratch;
  const std::string folder = scratch.File("long line");
  std::string many_switches;
  for (int i = 0; i < 1000; ++i) many_switches += "/R ";
  test::ProcessResult result =
      test::RunProcess("\"" + installer + "\" /U0 " + many_switches + "\"" + folder + "\"");
  EXPECT_EQ(result.exit_code, 0u);
  EXPECT_TRUE(test::FileExists(folder + "\\readme.txt"));
}

}  // namespace
}  // namespace kest
