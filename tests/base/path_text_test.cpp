#include "base/path_text.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace kest {
namespace {

// A folder and a name joined: one backslash between them, whatever the
// folder ends in; a result that needs the last byte of the buffer for
// text does not fit, and a refused join leaves the buffer as it was.
TEST(PathText, JoinsWithOneBackslashAndOnlyWhenItFits) {
  struct Row {
    const char* folder;
    const char* name;
    size_t size;
    const char* expected;  // nullptr: refused
  } rows[] = {
      {"c:\\dest", "install.log", 64, "c:\\dest\\install.log"},
      {"c:\\dest\\", "install.log", 64, "c:\\dest\\install.log"},
      {"c:\\", "a", 64, "c:\\a"},
      {"", "a", 64, "\\a"},
      {"c:\\dest", "", 64, "c:\\dest\\"},
      {"c:\\dest\\", "", 64, "c:\\dest\\"},
      {"c:\\d", "ab", 8, "c:\\d\\ab"},  // seven characters and the end
      {"c:\\d", "abc", 8, nullptr},
      {"c:\\d\\", "ab", 8, "c:\\d\\ab"},
      {"c:\\d\\", "abc", 8, nullptr},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(std::string(row.folder) + " + " + row.name);
    char joined[64];
    memset(joined, 'x', sizeof(joined));
    joined[row.size - 1] = '\0';
    const std::string before = joined;
    const bool fits = JoinPath(joined, row.size, row.folder, row.name);
    EXPECT_EQ(fits, row.expected != nullptr);
    EXPECT_EQ(std::string(joined), row.expected != nullptr ? row.expected : before);

    char appended[64];
    strcpy(appended, row.folder);
    EXPECT_EQ(AppendPathName(appended, row.size, row.name), row.expected != nullptr);
    EXPECT_EQ(std::string(appended), row.expected != nullptr ? row.expected : row.folder);
  }
}

TEST(PathText, CutsAfterTheLastBackslash) {
  struct Row {
    const char* path;
    bool cut;
    const char* expected;
  } rows[] = {
      {"c:\\dest\\sub\\file.dll", true, "c:\\dest\\sub\\"},
      {"c:\\dest\\", true, "c:\\dest\\"},
      {"c:\\file", true, "c:\\"},
      {"file.dll", false, "file.dll"},
      {"", false, ""},
  };
  for (const Row& row : rows) {
    char path[64];
    strcpy(path, row.path);
    EXPECT_EQ(CutToFolderPart(path), row.cut) << row.path;
    EXPECT_STREQ(path, row.expected) << row.path;
    EXPECT_EQ(EndsInSeparator(row.expected), row.cut) << row.path;
  }
}

}  // namespace
}  // namespace kest
