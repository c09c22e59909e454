#include "install/target_path.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "base/install_codes.h"
#include "tests/install/install_test_support.h"

namespace kest {
namespace {

using test::FakeFolderSystem;
using test::LogCapture;

// The machine of every case unless it says otherwise: system folder
// c:\windows\system, Windows folder c:\windows, current directory c:\comp.
struct ResolveCase {
  const char* name;
  const char* base;    // null: none
  const char* scriba;  // null: none
  const char* expected;
  bool token;
  bool scriba_read_only = false;
  const char* system = nullptr;  // another system folder
};

TEST(ResolveTargetPath, TokensBaseFoldersAndSeparators) {
  const ResolveCase cases[] = {
      {"runtime\\x.dll", nullptr, nullptr, "c:\\comp\\runtime\\x.dll", false},
      {"_winsys\\x.dll", nullptr, "d:\\host", "c:\\windows\\system\\x.dll", true},
      {"_winsys\\sub\\x.dll", nullptr, nullptr, "c:\\windows\\system\\sub\\x.dll", true},
      {"_winsys", nullptr, nullptr, "c:\\windows\\system", true},
      {"_win\\x.ini", nullptr, nullptr, "c:\\windows\\x.ini", true},
      // Tokens are prefixes; the rest follows the folder unchanged.
      {"_window.ini", nullptr, nullptr, "c:\\windowsdow.ini", true},
      {"_winsys\\x.dll", nullptr, nullptr, "c:\\x.dll", true, false, "c:\\"},
      // Only the lower-case tokens count here.
      {"_WINSYS\\x.dll", nullptr, nullptr, "c:\\comp\\_WINSYS\\x.dll", false},
      {"_WinSys\\x.dll", nullptr, nullptr, "c:\\comp\\_WinSys\\x.dll", false},
      {"_scriba\\x.dll", nullptr, "d:\\host", "d:\\host\\x.dll", true},
      {"_scriba\\sub\\x.dll", nullptr, "d:\\host\\", "d:\\host\\sub\\x.dll", true},
      {"_scriba", nullptr, "d:\\host", "d:\\host\\", true},
      // The character after the token is skipped whatever it is.
      {"_scribax\\y.dll", nullptr, "d:\\host", "d:\\host\\\\y.dll", true},
      {"_scriba_x.dll", nullptr, "d:\\host\\", "d:\\host\\x.dll", true},
      {"_scriba\\x.h", nullptr, nullptr, "c:\\comp\\include\\x.h", true},
      {"_scriba\\x.h", nullptr, "", "c:\\comp\\include\\x.h", true},
      {"_scriba\\x.h", nullptr, "d:\\host", "c:\\comp\\include\\x.h", true, true},
      {"_scriba\\x.h", "e:\\dest\\", nullptr, "e:\\dest\\include\\x.h", true},
      {"_scriba", "e:\\dest", nullptr, "e:\\dest\\include", true},
      {"runtime\\x.dll", "e:\\dest\\", nullptr, "e:\\dest\\runtime\\x.dll", false},
      {"runtime\\x.dll", "e:\\dest", nullptr, "e:\\dest\\runtime\\x.dll", false},
      {"x.dll", "c:\\", nullptr, "c:\\x.dll", false},
      {"x.dll", "\\\\srv\\share", nullptr, "\\\\srv\\share\\x.dll", false},
      {"x.dll", "\\\\srv\\share\\", nullptr, "\\\\srv\\share\\x.dll", false},
      {"x.dll", "", nullptr, "c:\\comp\\x.dll", false},
  };
  for (const ResolveCase& c : cases) {
    SCOPED_TRACE(testing::Message() << c.name << " base " << (c.base ? c.base : "(none)")
                                    << " scriba " << (c.scriba ? c.scriba : "(none)"));
    FakeFolderSystem machine;
    if (c.system != nullptr) machine.system_folder = c.system;
    if (c.scriba_read_only) machine.attributes[c.scriba] = 0x11;
    TargetResolver resolver(machine, c.scriba);
    char out[kPathChars];
    bool token = !c.token;
    EXPECT_EQ(resolver.ResolveTargetPath(c.name, out, c.base, &token).value(), kSuccess);
    EXPECT_STREQ(out, c.expected);
    EXPECT_EQ(token, c.token);
    EXPECT_TRUE(machine.files.empty()) << "the write test left a file";
  }
}

// The system folders are asked for once and the host product's folder is
// tested once, however many entries need them.
TEST(ResolveTargetPath, AsksTheSystemOncePerRun) {
  FakeFolderSystem machine;
  TargetResolver resolver(machine, "d:\\host");
  char out[kPathChars];
  for (const char* name : {"_winsys\\a.dll", "_win\\a.ini", "_scriba\\a.dll", "_winsys\\b.dll",
                           "_win\\b.ini", "_scriba\\b.dll", "_scriba\\c.dll"}) {
    ASSERT_EQ(resolver.ResolveTargetPath(name, out, nullptr).value(), kSuccess) << name;
  }
  EXPECT_STREQ(out, "d:\\host\\c.dll");
  EXPECT_EQ(machine.system_queries, 1);
  EXPECT_EQ(machine.windows_queries, 1);
  EXPECT_EQ(machine.temp_calls, std::vector<std::string>{"d:\\host|test"});
  EXPECT_TRUE(machine.files.empty());
}

TEST(ResolveTargetPath, TheCopyPassFormIsLowerCase) {
  FakeFolderSystem machine;
  machine.system_folder = "C:\\WINDOWS\\System32";
  machine.current_folder = "D:\\Morvane Components";
  TargetResolver resolver(machine, nullptr);
  char out[kPathChars];
  ASSERT_EQ(resolver.ResolveEntryTarget("_winsys\\x.dll", out).value(), kSuccess);
  EXPECT_STREQ(out, "c:\\windows\\system32\\x.dll");
  ASSERT_EQ(resolver.ResolveEntryTarget("runtime\\x.dll", out).value(), kSuccess);
  EXPECT_STREQ(out, "d:\\morvane components\\runtime\\x.dll");
}

// A folder the name needs and the system does not give fails that entry
// alone, with out empty and nothing in the log (the caller reports).
TEST(ResolveTargetPath, MissingSystemFoldersFailTheEntry) {
  struct Case {
    const char* name;
    const char* base;
  } cases[] = {
      {"_winsys\\x.dll", nullptr},
      {"_win\\x.ini", nullptr},
      {"runtime\\x.dll", nullptr},
      {"_scriba\\x.h", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    LogCapture log;
    FakeFolderSystem machine;
    machine.system_folder = machine.windows_folder = machine.current_folder = "";
    TargetResolver resolver(machine, nullptr);
    char out[kPathChars];
    memset(out, 'x', sizeof(out));
    EXPECT_EQ(resolver.ResolveTargetPath(c.name, out, c.base).value(), kCodeSystemError);
    EXPECT_STREQ(out, "");
    EXPECT_TRUE(log.Lines().empty());
  }
  // With a base folder a plain name needs none of them.
  FakeFolderSystem machine;
  machine.system_folder = machine.windows_folder = machine.current_folder = "";
  TargetResolver resolver(machine, nullptr);
  char out[kPathChars];
  EXPECT_EQ(resolver.ResolveTargetPath("x.dll", out, "e:\\dest").value(), kSuccess);
  EXPECT_STREQ(out, "e:\\dest\\x.dll");
}

// Results of 259 characters fit the 260-character buffer with its
// terminator; longer ones are refused and nothing is written past the
// buffer (the sanitizers watch out, and a guard behind it is checked).
TEST(ResolveTargetPath, ResultsLongerThan259CharactersAreRefused) {
  struct Guarded {
    char out[kPathChars];
    char guard[64];
  };
  const std::string file = "\\x.dll";
  for (size_t length : {258u, 259u, 260u, 261u, 300u, 600u}) {
    for (int branch = 0; branch < 4; ++branch) {
      SCOPED_TRACE(testing::Message() << "length " << length << " branch " << branch);
      FakeFolderSystem machine;
      std::string folder = "c:\\" + std::string(length - 3 - file.size(), 'f');
      std::string name = "x.dll", base;
      switch (branch) {
        case 0:  // plain name below the base folder
          base = folder;
          break;
        case 1:  // a long system folder; kept only while it fits the system's buffer
          if (folder.size() >= kPathChars) continue;
          machine.system_folder = folder;
          name = "_winsys\\x.dll";
          break;
        case 2:  // the "include" folder for the host product's files
          base = "c:\\" + std::string(length - 3 - 8 - file.size(), 'b');
          name = "_scriba\\x.dll";
          break;
        case 3:  // a long name below a short base
          base = "c:";
          name = std::string(length - 3 - file.size(), 'n') + file;
          break;
      }
      LogCapture log;
      TargetResolver resolver(machine, nullptr);
      Guarded g;
      memset(&g, 'g', sizeof(g));
      uint32_t code = resolver.ResolveTargetPath(name.c_str(), g.out, base.c_str()).value();
      if (length <= kPathChars - 1) {
        EXPECT_EQ(code, kSuccess);
        EXPECT_EQ(strlen(g.out), length);
      } else {
        EXPECT_EQ(code, kCodeInvalidFolder);
        EXPECT_STREQ(g.out, "");
        EXPECT_TRUE(log.Lines().empty());
      }
      EXPECT_EQ(std::string(g.guard, sizeof(g.guard)), std::string(sizeof(g.guard), 'g'));
    }
  }
}

}  // namespace
}  // namespace kest
