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

// A bad command line: a wizard run says so in the error dialog, with the
// line as received, and ends with the code once it is answered; a run that
// asked for silence before the bad argument ends at once with the code.
TEST(Startup, BadCommandLines) {
  const struct {
    const char* version;
    const char* arguments;
    bool silent;
  } cases[] = {
      {"win10", "/Q", false},
      {"win10", "\"x", false},
      {"win10", "/L /np", false},
      {"win95", "/Q", false},
      {"nt40", "/Q", false},
      {"nt40", "/U1", false},
      {"win10", "/U0 /Q", true},
      {"win95", "-U /Q", true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.version) + " " + c.arguments);
    test::ScopedWindowsVersion version("kestinst.exe", c.version);
    if (c.silent) {
      test::ProcessResult result =
          test::RunProcess("\"" + kInstaller + "\" " + c.arguments, 30000);
      EXPECT_TRUE(result.finished) << "a silent run waited";
      EXPECT_EQ(result.exit_code, kBadCommandLine);
      continue;
    }
    test::RunScenario(kInstaller, c.arguments,
                      {test::ExpectDialog(IDD_ERROR_DETAIL),
                       test::ExpectText(IDC_ERROR_HEADLINE, "A command line argument is invalid"),
                       test::ExpectTextHas(IDC_ERROR_DETAIL, "Command:"),
                       test::ExpectTextHas(IDC_ERROR_DETAIL, c.arguments),
                       test::ExpectText(IDC_ERROR_FIRST_BUTTON, "E&xit Install"),
                       test::ExpectHidden(IDC_ERROR_TRY_AGAIN),
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
    EXPECT_EQ(test::RunProcess("\"" + installer + "\" /U0 /Q", 30000).exit_code, kBadCommandLine);
  }

  // A command line of several kilobytes is read whole: its quoted folder
  // at the very end is still closed.
  std::string many_switches;
  for (int i = 0; i < 1000; ++i) many_switches += "/R ";
  test::ProcessResult result =
      test::RunProcess("\"" + installer + "\" /U0 " + many_switches + "\"c:\\long line\"");
  EXPECT_EQ(result.exit_code, 0u);
}

}  // namespace
}  // namespace kest
