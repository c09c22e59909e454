#include <gtest/gtest.h>

#include <string>

#include "base/host_status_platform.h"
#include "base/install_log.h"

namespace kest {
namespace {

std::string Stamp(int weekday, int month, int day, int hour, int minute, int second) {
  char out[kLogTimestampChars];
  FormatLogTimestamp({2025, month, day, weekday, hour, minute, second}, out);
  return out;
}

TEST(LogTimestamp, TwelveHourClock) {
  EXPECT_EQ(Stamp(5, 12, 5, 14, 5, 9), "Fri Dec 05 02:05:09 PM:");
  EXPECT_EQ(Stamp(0, 1, 1, 0, 30, 0), "Sun Jan 01 12:30:00 AM:");
  EXPECT_EQ(Stamp(1, 6, 30, 12, 30, 59), "Mon Jun 30 12:30:59 PM:");
  EXPECT_EQ(Stamp(6, 2, 28, 23, 59, 1), "Sat Feb 28 11:59:01 PM:");
  EXPECT_EQ(Stamp(3, 7, 9, 1, 0, 0), "Wed Jul 09 01:00:00 AM:");
  EXPECT_EQ(Stamp(2, 3, 10, 11, 59, 59), "Tue Mar 10 11:59:59 AM:");
}

class LogTest : public testing::Test {
 protected:
  LogTest() { log_.SetBackend(&backend_); }
  InstallLog log_;
  MemoryLogBackend backend_;
};

TEST_F(LogTest, RunLayout) {
  backend_.now = {2025, 12, 5, 5, 0, 30, 7};
  log_.SetLogging("c:\\Morvane Components", kOptionLogBit);
  log_.LogLine("Copying \"a.dll\" to install target");
  log_.LogLine("");   // empty texts are not logged
  log_.LogLine(" ");  // a single blank is
  backend_.now.hour = 23;
  log_.SetLogging(nullptr, 0);
  EXPECT_EQ(backend_.files["c:\\Morvane Components\\install.log"],
            "\nFri Dec 05 12:30:07 AM: Logging Started (\"c:\\kestinst.exe\").\n\n"
            "Fri Dec 05 12:30:07 AM: Copying \"a.dll\" to install target\n"
            "Fri Dec 05 12:30:07 AM:  \n"
            "\nFri Dec 05 11:30:07 PM: Logging Stopped (\"c:\\kestinst.exe\").\n\n");
  EXPECT_FALSE(log_.logging_on());
  EXPECT_FALSE(backend_.IsOpen());
}

TEST_F(LogTest, PathRules) {
  log_.SetLogging("c:\\", kOptionLogBit);
  EXPECT_STREQ(log_.path(), "c:\\install.log");
  log_.SetLogging("d:\\dest\\", kOptionLogBit);
  EXPECT_STREQ(log_.path(), "d:\\dest\\install.log");
  log_.SetLogging(nullptr, kOptionLogBit);  // keeps the path
  EXPECT_STREQ(log_.path(), "d:\\dest\\install.log");
}

TEST_F(LogTest, WithoutTheLogBitNothingIsWritten) {
  log_.SetLogging("c:\\dest", 0);
  log_.LogLine("text");
  EXPECT_TRUE(backend_.files.empty());
}

TEST_F(LogTest, CloseAndReopenKeepLogging) {
  log_.SetLogging("c:\\d", kOptionLogBit);
  log_.CloseFile();
  EXPECT_TRUE(log_.logging_on());
  EXPECT_FALSE(backend_.IsOpen());
  log_.LogLine("after");  // reopens by itself
  EXPECT_TRUE(backend_.IsOpen());
  EXPECT_NE(backend_.files["c:\\d\\install.log"].find("after\n"), std::string::npos);
}

TEST_F(LogTest, FailuresAreSilent) {
  backend_.fail_open = true;
  log_.SetLogging("c:\\d", kOptionLogBit);
  log_.LogLine("lost");
  EXPECT_TRUE(log_.logging_on());
  EXPECT_TRUE(backend_.files.empty());
}

TEST_F(LogTest, OverlongLineIsCutButEndsWithLineFeed) {
  log_.SetLogging("c:\\d", kOptionLogBit);
  std::string text(3000, 'x');
  log_.LogLine(text.c_str());
  const std::string& file = backend_.files["c:\\d\\install.log"];
  size_t start = file.rfind(": xxx");
  ASSERT_NE(start, std::string::npos);
  std::string line = file.substr(file.rfind('\n', start) + 1);
  EXPECT_EQ(line.size(), kTextBytes - 1);
  EXPECT_EQ(line.back(), '\n');
}

TEST_F(LogTest, SecondStartWhileOpenStartsAfresh) {
  log_.SetLogging("c:\\a", kOptionLogBit);
  log_.SetLogging("c:\\b", kOptionLogBit);
  log_.LogLine("line");
  EXPECT_NE(backend_.files["c:\\b\\install.log"].find("line\n"), std::string::npos);
  EXPECT_EQ(backend_.files["c:\\a\\install.log"].find("line"), std::string::npos);
}

}  // namespace
}  // namespace kest
