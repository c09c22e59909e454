// The install log on a real Windows file system.
#include <gtest/gtest.h>

#include <string>

#include "base/install_log.h"
#include "base/win32_log_backend.h"
#include "tests/support/win32_test_support.h"

namespace kest {
namespace {

size_t Count(const std::string& text, const std::string& what) {
  size_t n = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

TEST(Win32Log, TwoSessionsAppendToOneFileWithLineFeeds) {
  test::ScratchFolder folder;
  for (int run = 0; run < 2; ++run) {
    Win32LogBackend backend;
    InstallLog log;
    log.SetBackend(&backend);
    log.SetLogging(folder.path().c_str(), kOptionLogBit);
    log.LogLine(run == 0 ? "first run" : "second run");
    log.LogLine(" ");
    log.SetLogging(nullptr, 0);
  }
  std::string text;
  ASSERT_TRUE(test::ReadWholeFile(folder.File("install.log"), &text));
  EXPECT_EQ(text.find('\r'), std::string::npos);
  EXPECT_EQ(Count(text, " Logging Started (\""), 2u);
  EXPECT_EQ(Count(text, " Logging Stopped (\""), 2u);
  EXPECT_LT(text.find("first run"), text.find("second run"));

  // Line by line: each run is an empty line, the start line, an empty line,
  // its lines, an empty line, the stop line and an empty line.
  std::string program(MAX_PATH, '\0');
  program.resize(GetModuleFileNameA(nullptr, &program[0], MAX_PATH));
  const char* stamp = "^\\w\\w\\w \\w\\w\\w \\d\\d \\d\\d:\\d\\d:\\d\\d \\wM:";
  size_t at = 0;
  for (const char* line : {"first run", "second run"}) {
    auto next = [&]() {
      size_t end = text.find('\n', at);
      std::string result = text.substr(at, end - at);
      at = end + 1;
      return result;
    };
    EXPECT_EQ(next(), "");
    std::string start = next();
    EXPECT_TRUE(testing::internal::RE::PartialMatch(start, testing::internal::RE(stamp))) << start;
    EXPECT_EQ(start.substr(23), " Logging Started (\"" + program + "\").");
    EXPECT_EQ(next(), "");
    EXPECT_EQ(next().substr(23), std::string(" ") + line);
    EXPECT_EQ(next().substr(23), "  ");
    EXPECT_EQ(next(), "");
    EXPECT_EQ(next().substr(23), " Logging Stopped (\"" + program + "\").");
    EXPECT_EQ(next(), "");
  }
  EXPECT_EQ(at, text.size());
}

TEST(Win32Log, FileIsNotSharedWhileOpenAndFreeAfterClose) {
  test::ScratchFolder folder;
  Win32LogBackend backend;
  InstallLog log;
  log.SetBackend(&backend);
  log.SetLogging(folder.path().c_str(), kOptionLogBit);
  std::string path = folder.File("install.log");
  HANDLE other = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                             nullptr, OPEN_EXISTING, 0, nullptr);
  EXPECT_EQ(other, INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));

  // Closed for a prerequisite installer: another process may append.
  log.CloseFile();
  EXPECT_TRUE(log.logging_on());
  other = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(other, INVALID_HANDLE_VALUE);
  SetFilePointer(other, 0, nullptr, FILE_END);
  DWORD written;
  WriteFile(other, "child\n", 6, &written, nullptr);
  CloseHandle(other);

  log.LogLine("parent again");  // reopens and appends
  log.SetLogging(nullptr, 0);
  std::string text;
  ASSERT_TRUE(test::ReadWholeFile(path, &text));
  EXPECT_LT(text.find("child\n"), text.find("parent again\n"));
}

TEST(Win32Log, UnwritableFolderIsSilent) {
  Win32LogBackend backend;
  InstallLog log;
  log.SetBackend(&backend);
  log.SetLogging("c:\\no such folder\\deeper", kOptionLogBit);
  log.LogLine("lost");
  EXPECT_TRUE(log.logging_on());
  EXPECT_FALSE(backend.IsOpen());
  log.SetLogging(nullptr, 0);
}

}  // namespace
}  // namespace kest
