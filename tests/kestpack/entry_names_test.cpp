#include "tools/kestpack/entry_names.h"

#include <gtest/gtest.h>

namespace kest {
namespace {

// The rules themselves are tested with the shared module
// (tests/base/entry_name_rules_test.cpp); here what kestpack adds.
TEST(EntryNames, RefusesWhatTheRulesRefuseAndOverlongNames) {
  struct {
    std::string name;
    bool accepted;
  } const kCases[] = {
      {"_winsys/morvgrid.dll", true},
      {"help/../../x.dll", false},
      {"_win/../x", false},
      {"_winsys", true},  // the top folder, on the way to its files
      {"_winsys/", false},
      {std::string("a\0b", 3), false},
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
