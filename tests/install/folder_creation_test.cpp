#include "install/folder_creation.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "base/install_codes.h"
#include "base/install_status.h"
#include "manifest/string_list.h"
#include "tests/install/install_test_support.h"
#include "tests/manifest/failing_allocation.h"

namespace kest {
namespace {

using test::FakeFolderSystem;
using test::ListTexts;
using test::LogCapture;
using Strings = std::vector<std::string>;

TEST(CreateFoldersFor, CreatesTheMissingChainInOrderAndTestsWriting) {
  struct Case {
    const char* path;
    Strings existing;
    Strings attempts;  // CreateFolder calls, in order
    Strings recorded;  // the created-folders list afterwards
    const char* tested;
  } cases[] = {
      {"c:\\a\\b\\c\\file.dll", {"c:\\a\\"}, {"c:\\a\\", "c:\\a\\b\\", "c:\\a\\b\\c\\"},
       {"c:\\a\\b\\", "c:\\a\\b\\c\\"}, "c:\\a\\b\\c\\"},
      // Everything there: nothing recorded, the write test still made.
      {"c:\\a\\x.dll", {"c:\\a\\"}, {"c:\\a\\"}, {}, "c:\\a\\"},
      // A folder given with its backslash is the folder itself.
      {"c:\\comp\\", {}, {"c:\\comp\\"}, {"c:\\comp\\"}, "c:\\comp\\"},
      {"c:\\comp", {}, {}, {}, "c:\\"},
      {"c:\\x.dll", {}, {}, {}, "c:\\"},
      {"c:\\\\a\\x.dll", {}, {"c:\\\\a\\"}, {"c:\\\\a\\"}, "c:\\\\a\\"},
      // Server and share are never created.
      {"\\\\srv\\share\\dir\\x.dll", {}, {"\\\\srv\\share\\dir\\"}, {"\\\\srv\\share\\dir\\"},
       "\\\\srv\\share\\dir\\"},
      {"\\\\srv\\share\\x.dll", {}, {}, {}, "\\\\srv\\share\\"},
      {"\\\\srv\\share\\", {}, {}, {}, "\\\\srv\\share\\"},
      {"\\\\srv\\x.dll", {}, {}, {}, "\\\\srv\\"},
      // Relative to the current drive or directory.
      {"\\a\\x.dll", {}, {"\\a\\"}, {"\\a\\"}, "\\a\\"},
      {"a\\b\\x.dll", {}, {"a\\", "a\\b\\"}, {"a\\", "a\\b\\"}, "a\\b\\"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    FakeFolderSystem machine;
    machine.folders.insert(c.existing.begin(), c.existing.end());
    StringList created;
    EXPECT_EQ(CreateFoldersFor(machine, c.path, &created).value(), kSuccess);
    EXPECT_EQ(machine.create_calls, c.attempts);
    EXPECT_EQ(ListTexts(created), c.recorded);
    EXPECT_EQ(machine.temp_calls, Strings{std::string(c.tested) + "|test"});
    EXPECT_TRUE(machine.files.empty()) << "the write test left a file";
  }
  FakeFolderSystem machine;  // no list to record in
  EXPECT_EQ(CreateFoldersFor(machine, "c:\\a\\b\\x.dll", nullptr).value(), kSuccess);
  EXPECT_EQ(machine.folders.size(), 2u);
}

// The first failure stops the chain; what was created stays recorded. The
// file-not-found and invalid-name numbers become install codes, others are
// returned as the system gave them.
TEST(CreateFoldersFor, FailuresStopTheChainAndKeepTheRecord) {
  struct Case {
    uint32_t create_error;  // of c:\a\b\, or 0
    uint32_t write_error;   // of the write test in c:\a\b\c\, or 0
    uint32_t result;
    Strings attempts;
  } cases[] = {
      {5, 0, 5, {"c:\\a\\", "c:\\a\\b\\"}},
      {3, 0, 3, {"c:\\a\\", "c:\\a\\b\\"}},
      {2, 0, kCodeReadOnlyFile, {"c:\\a\\", "c:\\a\\b\\"}},
      {123, 0, kCodeInvalidFolder, {"c:\\a\\", "c:\\a\\b\\"}},
      {0, 5, 5, {"c:\\a\\", "c:\\a\\b\\", "c:\\a\\b\\c\\"}},
      {0, 2, kCodeReadOnlyFile, {"c:\\a\\", "c:\\a\\b\\", "c:\\a\\b\\c\\"}},
      {0, 112, 112, {"c:\\a\\", "c:\\a\\b\\", "c:\\a\\b\\c\\"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.create_error << " " << c.write_error);
    FakeFolderSystem machine;
    if (c.create_error != 0) machine.create_errors["c:\\a\\b\\"] = c.create_error;
    if (c.write_error != 0) machine.temp_errors["c:\\a\\b\\c\\"] = c.write_error;
    StringList created;
    EXPECT_EQ(CreateFoldersFor(machine, "c:\\a\\b\\c\\x.dll", &created).value(), c.result);
    EXPECT_EQ(machine.create_calls, c.attempts);
    EXPECT_EQ(ListTexts(created).front(), "c:\\a\\");
    EXPECT_EQ(machine.temp_calls.size(), c.create_error == 0 ? 1u : 0u);
  }
}

// A path that cannot be held is refused before anything is created.
TEST(CreateFoldersFor, PathsOfTooManyCharactersAreRefused) {
  for (size_t length : {259u, 260u, 261u, 400u}) {
    SCOPED_TRACE(length);
    FakeFolderSystem machine;
    std::string path = "c:\\dir\\" + std::string(length - 7, 'f');
    ASSERT_EQ(path.size(), length);
    StringList created;
    uint32_t code = CreateFoldersFor(machine, path.c_str(), &created).value();
    if (length < kPathChars) {
      EXPECT_EQ(code, kSuccess);
      EXPECT_EQ(created.count(), 1u);
    } else {
      EXPECT_EQ(code, kCodeInvalidFolder);
      EXPECT_TRUE(machine.create_calls.empty());
    }
  }
}

// A folder the list cannot take is removed again, so that Try Again
// creates and records it.
TEST(CreateFoldersFor, AFolderThatCannotBeRecordedIsRemovedAgain) {
  FakeFolderSystem machine;
  StringList created;
  const char* path = "c:\\a\\bbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbb\\x.dll";
  const size_t second = strlen("c:\\a\\bbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbb\\") + 1;
  FailAllocations(second, 1);
  EXPECT_EQ(CreateFoldersFor(machine, path, &created).value(), kCodeOutOfMemory);
  StopFailingAllocations();
  EXPECT_EQ(ListTexts(created), Strings{"c:\\a\\"});
  EXPECT_EQ(machine.removed_folders, Strings{"c:\\a\\bbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbb\\"});
  EXPECT_EQ(CreateFoldersFor(machine, path, &created).value(), kSuccess);
  EXPECT_EQ(ListTexts(created), (Strings{"c:\\a\\", "c:\\a\\bbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbb\\"}));
}

TEST(IsFolderWritable, ReadOnlyAttributeOrAFailedTemporaryFile) {
  FakeFolderSystem machine;
  machine.attributes["d:\\ro"] = 0x11;
  machine.attributes["d:\\rw"] = 0x10;
  machine.temp_errors["d:\\full"] = 112;
  EXPECT_FALSE(IsFolderWritable(machine, "d:\\ro"));
  EXPECT_TRUE(IsFolderWritable(machine, "d:\\rw"));
  EXPECT_TRUE(IsFolderWritable(machine, "d:\\no-attributes"));
  EXPECT_FALSE(IsFolderWritable(machine, "d:\\full"));
  EXPECT_EQ(machine.temp_calls,
            (Strings{"d:\\rw|test", "d:\\no-attributes|test", "d:\\full|test"}));
  EXPECT_TRUE(machine.files.empty());
}

TEST(MakeTempNameBeside, PrefixIsTheBaseNamesFirstThreeCharacters) {
  const char* cases[][2] = {
      {"c:\\dir\\library.dll", "c:\\dir\\|lib"}, {"c:\\dir\\ab.dll", "c:\\dir\\|ab"},
      {"c:\\dir\\abc", "c:\\dir\\|abc"},         {"c:\\dir\\.dll", "c:\\dir\\|"},
      {"c:\\dir.d\\abcd", "c:\\dir.d\\|abc"},     {"c:\\a.b.c", "c:\\|a.b"},
      {"\\\\srv\\share\\x.dll", "\\\\srv\\share\\|x"}, {"c:x.dll", "c:|x"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c[0]);
    FakeFolderSystem machine;
    char out[kPathChars];
    EXPECT_TRUE(MakeTempNameBeside(machine, c[0], out));
    EXPECT_EQ(machine.temp_calls, Strings{c[1]});
    EXPECT_EQ(machine.files.count(out), 1u) << out;
  }
}

TEST(MakeTempNameBeside, FailureIsReportedWithTheTarget) {
  LogCapture log;
  FakeFolderSystem machine;
  machine.temp_errors["c:\\dir\\"] = 5;
  log.platform.system_messages[5] = "Access is denied.";
  char out[kPathChars];
  EXPECT_FALSE(MakeTempNameBeside(machine, "c:\\dir\\x.dll", out));
  EXPECT_STREQ(out, "");
  ASSERT_EQ(log.platform.shown.size(), 1u);
  EXPECT_EQ(log.platform.shown[0].code, 5u);
  EXPECT_EQ(log.platform.shown[0].buttons, kButtonsExitOnly);
  EXPECT_EQ(log.platform.shown[0].detail, "File:   c:\\dir\\x.dll\nError:   Access is denied.");
  EXPECT_EQ(Status().install_code, 5u);
  ResetStatus();
}

}  // namespace
}  // namespace kest
