// The rules that keep a package path below its folder, shared by kestpack's
// build and the installer's copy pass and obsolete-file removal.
#include "base/entry_name_rules.h"

#include <gtest/gtest.h>

#include <string>

namespace kest {
namespace {

using F = EntryNameFault;

TEST(EntryNameRules, RefusesNamesThatCouldLeaveTheDestination) {
  struct {
    std::string name;
    EntryNameFault fault;
  } const kCases[] = {
      {"readme.txt", F::kNone},
      {"_winsys/morvgrid.dll", F::kNone},
      {"help/sub/grid.txt", F::kNone},
      {"..data/x.txt", F::kNone},  // dots inside a part are fine
      {"console.txt", F::kNone},   // only whole device names are refused
      {"COM10", F::kNone},
      {"", F::kEmpty},
      {"../x.dll", F::kDotPart},
      {"..\\..\\x", F::kDotPart},
      {"help/../../x.dll", F::kDotPart},
      {"help\\..\\x.dll", F::kDotPart},
      {"./x.dll", F::kDotPart},
      {"sub\\.\\x.txt", F::kDotPart},
      {"/etc/passwd", F::kLeadingSeparator},
      {"\\windows\\x.dll", F::kLeadingSeparator},
      {"c:x.dll", F::kColon},
      {"c:/x.dll", F::kColon},
      {"c:\\x", F::kColon},
      {"x.txt:stream", F::kColon},
      {"readme.txt:hidden", F::kColon},
      {"help//x.txt", F::kEmptyPart},
      {"help/", F::kEmptyPart},
      {"CON", F::kDeviceName},
      {"con.txt", F::kDeviceName},
      {"help/Nul", F::kDeviceName},
      {"aux.", F::kTrailingDotOrBlank},  // the dot first: Windows drops it
      {"COM1.dll", F::kDeviceName},
      {"lpt9", F::kDeviceName},
      {"prn .txt", F::kDeviceName},
      {"help/lpt1.log.old", F::kDeviceName},
      {"x.", F::kTrailingDotOrBlank},
      {"x ", F::kTrailingDotOrBlank},
      {"trail. ", F::kTrailingDotOrBlank},
      {"dir./x", F::kTrailingDotOrBlank},
      {"a?b", F::kForbiddenChar},
      {"a*b", F::kForbiddenChar},
      {"a|b", F::kForbiddenChar},
      {"a\"b", F::kForbiddenChar},
      {"a<b>", F::kForbiddenChar},
      {"tab\there", F::kForbiddenChar},
      {"del\x7F", F::kForbiddenChar},
      // After a folder token (letter case aside): the rest is a path below
      // the token's folder.
      {"_win\\..\\x", F::kDotPart},
      {"_WIN/../x", F::kDotPart},
      {"_winsys\\con", F::kDeviceName},
      {"_scriba\\\\x", F::kLeadingSeparator},
      {"_win", F::kEmpty},
      {"_winsys\\", F::kEmpty},
      {"_window.ini", F::kNone},  // "_win" and "dow.ini"
      {"_scriba/addin.txt", F::kNone},
  };
  for (const auto& c : kCases) {
    EXPECT_EQ(FindEntryNameFault(c.name.c_str()), c.fault) << '"' << c.name << '"';
  }
}

TEST(EntryNameRules, ObsoleteLinesKeepTheSameRulesWithoutTokensOrSlashes) {
  struct {
    const char* line;
    EntryNameFault fault;
  } const kCases[] = {
      {"help\\oldgrid.hlp", F::kNone},
      {"_win\\x.ini", F::kNone},  // no token: a folder named "_win"
      {"..\\victim.txt", F::kDotPart},
      {"C:\\Windows\\win.ini", F::kColon},
      {"\\x.txt", F::kLeadingSeparator},
      {"docs/old.txt", F::kSlash},
      {"help\\nul.hlp", F::kDeviceName},
      {"help\\old.hlp ", F::kTrailingDotOrBlank},
      {"", F::kEmpty},
  };
  for (const auto& c : kCases) {
    EXPECT_EQ(FindObsoleteLineFault(c.line), c.fault) << '"' << c.line << '"';
    EXPECT_EQ(DescribeEntryNameFault(c.fault)[0] == '\0', c.fault == F::kNone) << c.line;
  }
}

TEST(EntryNameRules, SkipsTheFolderTokenAndOneSeparator) {
  const char* const kNames[][2] = {
      {"_winsys\\x.dll", "x.dll"}, {"_win/x.ini", "x.ini"}, {"_window.ini", "dow.ini"},
      {"_scriba\\a\\b", "a\\b"},   {"plain\\x", "plain\\x"}, {"_wi", "_wi"},
  };
  for (const auto& n : kNames) EXPECT_STREQ(SkipFolderToken(n[0]), n[1]) << n[0];
}

}  // namespace
}  // namespace kest
