#include "tools/kestpack/entry_names.h"

#include <gtest/gtest.h>

namespace kest {
namespace {

TEST(EntryNames, RefusesNamesThatCouldLeaveTheDestination) {
  struct {
    std::string name;
    bool accepted;
  } const kCases[] = {
      {"readme.txt", true},
      {"_winsys/morvgrid.dll", true},
      {"help/sub/grid.txt", true},
      {"..data/x.txt", true},       // dots inside a part are fine
      {"console.txt", true},        // only whole device names are refused
      {"COM10", true},
      {"", false},
      {"../x.dll", false},
      {"help/../../x.dll", false},
      {"help\\..\\x.dll", false},
      {"./x.dll", false},
      {"/etc/passwd", false},
      {"\\windows\\x.dll", false},
      {"c:x.dll", false},
      {"c:/x.dll", false},
      {"x.txt:stream", false},
      {"help//x.txt", false},
      {"help/", false},
      {"CON", false},
      {"con.txt", false},
      {"help/Nul", false},
      {"aux.", false},
      {"COM1.dll", false},
      {"lpt9", false},
      {"prn .txt", false},
      {"x.", false},
      {"x ", false},
      {"a?b", false},
      {"a*b", false},
      {"a|b", false},
      {"a\"b", false},
      {"a<b>", false},
      {"tab\there", false},
      {std::string(259, 'x'), true},
      {std::string(260, 'x'), false},
  };
  for (const auto& c : kCases) {
    std::string reason;
    EXPECT_EQ(CheckEntryName(c.name, &reason), c.accepted) << '"' << c.name << '"';
    EXPECT_EQ(reason.empty(), c.accepted) << '"' << c.name << "\": " << reason;
  }
}

TEST(EntryNames, OnlyAsciiNamesArePacked) {
  // Another archiver's names outside ASCII are still extracted.
  struct {
    const char* name;
    bool extracted;
    bool packed;
  } const kCases[] = {
      {"help/Grid~1.txt", true, true},
      {"caf\xC3\xA9.txt", true, false},  // UTF-8
      {"caf\xE9.txt", true, false},       // Windows-1252
      {"help\xA0/x.txt", true, false},
      {"del\x7F", false, false},
  };
  for (const auto& c : kCases) {
    std::string reason;
    EXPECT_EQ(CheckEntryName(c.name, &reason), c.extracted) << c.name;
    EXPECT_EQ(CheckPackedName(c.name, &reason), c.packed) << c.name;
  }
}

TEST(EntryNames, FoldsAsTheInstallerCompares) {
  EXPECT_EQ(FoldEntryName("RUNTIME/Sub/File.DLL"), "runtime\\sub\\file.dll");
}

}  // namespace
}  // namespace kest
