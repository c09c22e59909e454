// Platforms, the rule that judges a dependency present, and the names and
// command line of a prerequisite install.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "base/install_codes.h"
#include "base/install_options.h"
#include "base/install_status.h"
#include "install/dependency_rule.h"
#include "install/platform.h"
#include "install/prerequisite_command.h"
#include "tests/install/install_test_support.h"

namespace kest {
namespace {

using test::V;

TEST(Platform, NamesMatchTheirFamilyAndVersionExactly) {
  const SystemVersion win95 = {kPlatformWindows95, 4}, win98 = {kPlatformWindows95, 4},
                      nt351 = {kPlatformNt, 3}, nt40 = {kPlatformNt, 4}, nt10 = {kPlatformNt, 10};
  struct Case {
    const char* name;
    SystemVersion version;
    bool matches;
  } cases[] = {
      {"WIN_95", win95, true},     {"WIN_95", win98, true},      {"WIN_NT_40", win98, false},
      {"WIN_NT_35", win95, false}, {"WIN_NT_35", nt351, true},   {"WIN_NT_40", nt351, false},
      {"WIN_NT_40", nt40, true},   {"WIN_NT_40", nt10, true},    {"WIN_NT_35", nt40, false},
      {"WIN_95", nt40, false},     {"win_95", win95, false},     {"WIN_NT_4", nt40, false},
      {"WIN_NT_40 ", nt40, false}, {"", nt40, false},
  };
  test::LogCapture log;
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << '"' << c.name << "\" on " << c.version.platform_id << "/"
                                    << c.version.major);
    EXPECT_EQ(PlatformMatches(c.name, &c.version), c.matches);
  }
  EXPECT_FALSE(PlatformMatches(nullptr, nullptr));
  EXPECT_EQ(Status().install_code, 0u);
  EXPECT_TRUE(log.platform.shown.empty());
}

TEST(Platform, UnreadableOrUnknownSystemIsReported) {
  const SystemVersion win32s = {0, 3};
  for (const SystemVersion* version : {&win32s, static_cast<const SystemVersion*>(nullptr)}) {
    test::LogCapture log;
    EXPECT_FALSE(PlatformMatches("WIN_95", version));
    EXPECT_EQ(Status().install_code, kCodeSystemError);
    ASSERT_EQ(log.platform.shown.size(), 1u);
    EXPECT_EQ(log.platform.shown[0].buttons, kButtonsExitOnly);
    EXPECT_EQ(log.platform.shown[0].detail, "File:   WIN_95");
  }
}

// The disk of the version rule: file versions by path.
struct VersionDisk : DiskFileFacts {
  FileVersion GetFileVersion(const char* path) override {
    asked.push_back(path);
    auto it = versions.find(path);
    return it == versions.end() ? FileVersion() : it->second;
  }
  bool GetLastWriteTime(const char*, uint64_t*) override { return false; }
  std::map<std::string, FileVersion> versions;
  std::vector<std::string> asked;
};

TEST(DependencyRule, FileIsOlderThanTheVersionAsked) {
  test::LogCapture log;
  test::FakeFolderSystem folders;
  VersionDisk disk;
  disk.versions["c:\\dest\\v400.dll"] = V(4, 0, 0, 0);
  disk.versions["c:\\dest\\v395.dll"] = V(3, 95, 0, 0);
  disk.versions["c:\\dest\\noresource.dll"] = FileVersion();
  disk.versions["c:\\windows\\system\\sys.dll"] = V(4, 0, 0, 0);
  disk.versions["c:\\scriba\\s.dll"] = V(2, 0, 0, 0);
  struct Case {
    const char* file;
    const char* version;  // null: VersionN not given
    const char* destination;
    bool older;
    const char* asked;  // the path whose version was read, or null
  } cases[] = {
      {"v400.dll", "4.0", "c:\\dest", false, "c:\\dest\\v400.dll"},
      {"v395.dll", "4.0", "c:\\dest", true, "c:\\dest\\v395.dll"},
      {"missing.dll", "4.0", "c:\\dest", true, "c:\\dest\\missing.dll"},
      {"noresource.dll", "0.0.0.1", "c:\\dest", true, "c:\\dest\\noresource.dll"},
      {"missing.dll", "0", "c:\\dest", false, "c:\\dest\\missing.dll"},
      {"v395.dll", "3.95.0.0", "c:\\dest\\", false, "c:\\dest\\v395.dll"},
      {"v395.dll", "3 95 0 1", "c:\\dest", true, "c:\\dest\\v395.dll"},
      // Without a version the pair asks for nothing, missing file or not.
      {"missing.dll", nullptr, "c:\\dest", false, nullptr},
      {"", "4.0", "c:\\dest", false, nullptr},
      {nullptr, "4.0", "c:\\dest", false, nullptr},
      {"v395.dll", "4.0", "", false, nullptr},
      // Folder tokens, the host product's folder among them.
      {"_winsys\\sys.dll", "4.0", "c:\\dest", false, "c:\\windows\\system\\sys.dll"},
      {"_winsys\\sys.dll", "4.0.0.1", "c:\\dest", true, "c:\\windows\\system\\sys.dll"},
      {"_scriba\\s.dll", "2.0", "c:\\dest", false, "c:\\scriba\\s.dll"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.file ? c.file : "(null)") + " " + (c.version ? c.version : "-"));
    folders.folders.insert("c:\\scriba\\");
    TargetResolver resolver(folders, "c:\\scriba");
    disk.asked.clear();
    std::string version = c.version ? c.version : "";
    EXPECT_EQ(FileIsOlder(c.file, c.version ? &version[0] : nullptr, c.destination, resolver,
                          disk),
              c.older);
    EXPECT_EQ(disk.asked, c.asked ? std::vector<std::string>{c.asked} : std::vector<std::string>{});
  }
  EXPECT_EQ(Status().install_code, 0u);
}

// A path that cannot be made names no file: 0.0.0.0, so any version
// asked for is missing; none is read from a cut path.
TEST(DependencyRule, PathThatCannotBeMadeCountsAsMissing) {
  test::LogCapture log;
  test::FakeFolderSystem folders;
  VersionDisk disk;
  const std::string long_name(kPathChars, 'x');
  TargetResolver resolver(folders, nullptr);
  char v1[] = "1", v0[] = "0";
  EXPECT_TRUE(FileIsOlder(long_name.c_str(), v1, "c:\\dest", resolver, disk));
  EXPECT_FALSE(FileIsOlder(long_name.c_str(), v0, "c:\\dest", resolver, disk));
  folders.system_folder.clear();
  EXPECT_TRUE(FileIsOlder("_winsys\\x.dll", v1, "c:\\dest", resolver, disk));
  EXPECT_TRUE(disk.asked.empty());
}

TEST(DependencyRule, FirstPairFoundTooOldDecides) {
  test::LogCapture log;
  test::FakeFolderSystem folders;
  VersionDisk disk;
  disk.versions["c:\\dest\\a.dll"] = V(4, 0, 0, 0);
  disk.versions["c:\\dest\\b.dll"] = V(1, 0, 0, 0);
  TargetResolver resolver(folders, nullptr);
  char a[] = "a.dll", b[] = "b.dll", c[] = "c.dll", v4[] = "4.0", v2[] = "2.0", v9[] = "9";
  DependencyRecord dependency;
  dependency.required[0] = {a, v4};
  dependency.required[1] = {b, v2};
  dependency.required[3] = {c, v9};
  EXPECT_TRUE(AnyRequiredFileOlder(dependency, "c:\\dest", resolver, disk));
  EXPECT_EQ(disk.asked, (std::vector<std::string>{"c:\\dest\\a.dll", "c:\\dest\\b.dll"}));

  DependencyRecord present;
  present.required[0] = {a, nullptr};
  present.required[2] = {b, nullptr};
  EXPECT_FALSE(AnyRequiredFileOlder(present, "c:\\dest", resolver, disk));
  DependencyRecord none;
  EXPECT_FALSE(AnyRequiredFileOlder(none, "c:\\dest", resolver, disk));
}

TEST(PrerequisiteCommand, NamesAndCommandLines) {
  char path[kPathChars], program[kPathChars];
  char line[kCommandLineChars];
  bool rename = true;

  ASSERT_TRUE(MakePrerequisitePath("c:\\pkg\\", "SETUP", path));
  EXPECT_STREQ(path, "c:\\pkg\\SETUP");
  ASSERT_TRUE(MakeProgramPath(path, program, &rename));
  EXPECT_TRUE(rename);
  EXPECT_STREQ(program, "c:\\pkg\\SETUP.exe");
  // A '.' anywhere, a folder's included, keeps the name.
  ASSERT_TRUE(MakeProgramPath("c:\\v1.1\\SETUP", program, &rename));
  EXPECT_FALSE(rename);
  EXPECT_STREQ(program, "c:\\v1.1\\SETUP");

  struct Case {
    const char* program;
    const char* arguments;
    uint32_t options;
    const char* expected;
  } cases[] = {
      {"C:\\PKG\\SETUP.EXE", nullptr, kOptionKeepFolder | kOptionLogBit,
       "C:\\PKG\\SETUP.EXE /u0 \"C:\\Morvane Components\\\" /f /l"},
      {"C:\\PKG\\SETUP.EXE", "", 0, "C:\\PKG\\SETUP.EXE /u0 \"C:\\Morvane Components\\\""},
      {"C:\\PKG\\SETUP.EXE", nullptr, kOptionLogBit | kOptionDeletePrereqs,
       "C:\\PKG\\SETUP.EXE /u0 \"C:\\Morvane Components\\\" /l"},
      {"C:\\PKG\\SETUP.EXE", nullptr, kOptionKeepFolder,
       "C:\\PKG\\SETUP.EXE /u0 \"C:\\Morvane Components\\\" /f"},
      // The source's own arguments replace the whole syntax.
      {"C:\\PKG\\SETUP.EXE", "-s", kOptionKeepFolder | kOptionLogBit, "C:\\PKG\\SETUP.EXE -s"},
      // A blank in the program's path: the path between quotes, in both forms.
      {"C:\\My Files\\SETUP.EXE", nullptr, kOptionLogBit,
       "\"C:\\My Files\\SETUP.EXE\" /u0 \"C:\\Morvane Components\\\" /l"},
      {"C:\\My Files\\SETUP.EXE", "-s", 0, "\"C:\\My Files\\SETUP.EXE\" -s"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.expected);
    ASSERT_TRUE(MakePrerequisiteCommandLine(c.program, c.arguments, "C:\\Morvane Components\\",
                                            c.options, line));
    EXPECT_STREQ(line, c.expected);
  }
}

// Texts that do not fit are refused whole, at the exact limit.
TEST(PrerequisiteCommand, TextsThatDoNotFitAreRefused) {
  char path[kPathChars], program[kPathChars];
  char line[kCommandLineChars];
  bool rename = false;
  const std::string folder = "c:\\" + std::string(kPathChars - 9, 'f') + "\\";  // 255 chars
  EXPECT_TRUE(MakePrerequisitePath(folder.c_str(), "SETU", path));     // 259
  EXPECT_FALSE(MakePrerequisitePath(folder.c_str(), "SETUP", path));   // 260
  const std::string no_dot(kPathChars - 5, 'p');                       // 255: ".exe" fits
  EXPECT_TRUE(MakeProgramPath(no_dot.c_str(), program, &rename));
  EXPECT_FALSE(MakeProgramPath((no_dot + "p").c_str(), program, &rename));
  const std::string dotted = no_dot + "p.e";                           // 259: no rename
  EXPECT_TRUE(MakeProgramPath(dotted.c_str(), program, &rename));
  EXPECT_FALSE(rename);

  const std::string arguments(kCommandLineChars - 1 - 2 - 1, 'a');  // "p " + arguments
  EXPECT_TRUE(MakePrerequisiteCommandLine("pp", arguments.c_str(), "", 0, line));
  EXPECT_FALSE(MakePrerequisiteCommandLine("ppp", arguments.c_str(), "", 0, line));
  const std::string destination(kCommandLineChars - 11, 'd');  // p /u0 "d..." /l
  EXPECT_FALSE(MakePrerequisiteCommandLine("p", nullptr, destination.c_str(), kOptionLogBit, line));
  EXPECT_TRUE(MakePrerequisiteCommandLine("p", nullptr, destination.c_str(), 0, line));
  // The quotes count: "p q" + " -s" fills the line exactly.
  const std::string short_arguments(kCommandLineChars - 1 - 5 - 1, 'a');
  EXPECT_TRUE(MakePrerequisiteCommandLine("p q", short_arguments.c_str(), "", 0, line));
  EXPECT_FALSE(MakePrerequisiteCommandLine("p q", (short_arguments + "a").c_str(), "", 0, line));
}

}  // namespace
}  // namespace kest
