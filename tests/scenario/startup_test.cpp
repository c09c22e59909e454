// Start-up of the real installer: rights, command line and exit code.
#include <gtest/gtest.h>

#include <string>

#include "tests/support/win32_test_support.h"

namespace kest {
namespace {

const std::string kInstaller = test::WindowsPath(KESTINST_EXE);

DWORD RunInstaller(const std::string& arguments) {
  test::ProcessResult result = test::RunProcess("\"" + kInstaller + "\" " + arguments);
  EXPECT_TRUE(result.started) << kInstaller;
  EXPECT_TRUE(result.finished) << arguments;
  return result.exit_code;
}

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

struct Case {
  const char* version;
  const char* arguments;
  DWORD exit_code;
};

TEST(Startup, ExitCodes) {
  const Case cases[] = {
      {"win10", "/Q", 0x8040F007},
      {"win10", "\"x", 0x8040F007},
      {"win10", "/L /np", 0x8040F007},
      // A silent run asked for on a bad command line still fails as one.
      {"win10", "/U0 /Q", 0x8040F007},
      {"win95", "/Q", 0x8040F007},
      {"nt40", "/Q", 0x8040F007},
      {"nt40", "/U1", 0x8040F007},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.version) + " " + c.arguments);
    test::ScopedWindowsVersion version("kestinst.exe", c.version);
    EXPECT_EQ(RunInstaller(c.arguments), c.exit_code);
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
    EXPECT_EQ(test::RunProcess("\"" + installer + "\" /U0 /Q").exit_code, 0x8040F007u);
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
