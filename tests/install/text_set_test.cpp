// TextSet: exact byte comparison, growth past many rehashes, and a failed
// allocation that leaves the set as it was.
#include "install/text_set.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/manifest/failing_allocation.h"

namespace kest {
namespace {

TEST(TextSet, FindsExactlyTheTextsInserted) {
  TextSet set;
  EXPECT_FALSE(set.Contains("bin\\"));
  ASSERT_TRUE(set.Insert("bin\\"));
  ASSERT_TRUE(set.Insert("bin\\plugins\\"));
  ASSERT_TRUE(set.Insert("bin\\"));  // already there: not a second member
  EXPECT_EQ(set.count(), 2u);
  struct Case {
    const char* text;
    bool member;
  };
  const Case cases[] = {
      {"bin\\", true},   {"bin\\plugins\\", true}, {"BIN\\", false},  // no case folding
      {"bin", false},    {"bin\\plugins", false},  {"", false},
      {"bin\\\xE9\\", false},
  };
  for (const Case& c : cases) EXPECT_EQ(set.Contains(c.text), c.member) << c.text;
}

TEST(TextSet, KeepsEveryMemberThroughGrowth) {
  TextSet set;
  std::vector<std::string> folders;
  for (int k = 0; k < 5000; ++k) {
    folders.push_back("c:\\morvane components\\f" + std::to_string(k % 70) + "\\" +
                      std::to_string(k) + "\\");
    ASSERT_TRUE(set.Insert(folders.back().c_str()));
  }
  EXPECT_EQ(set.count(), folders.size());
  for (const std::string& f : folders) EXPECT_TRUE(set.Contains(f.c_str())) << f;
  for (int k = 5000; k < 5100; ++k) {
    EXPECT_FALSE(set.Contains(("c:\\morvane components\\f0\\" + std::to_string(k) + "\\").c_str()));
  }
  // Cleared, the grown table holds nothing, and takes texts again.
  set.Clear();
  EXPECT_EQ(set.count(), 0u);
  for (const std::string& f : folders) EXPECT_FALSE(set.Contains(f.c_str())) << f;
  ASSERT_TRUE(set.Insert(folders[7].c_str()));
  EXPECT_TRUE(set.Contains(folders[7].c_str()));
}

TEST(TextSet, AFailedAllocationAddsNothing) {
  TextSet set;
  ASSERT_TRUE(set.Insert("first\\"));
  // The copy of the text.
  FailAllocations(sizeof("second\\"), 1);
  EXPECT_FALSE(set.Insert("second\\"));
  StopFailingAllocations();
  EXPECT_FALSE(set.Contains("second\\"));
  EXPECT_EQ(set.count(), 1u);
  // The larger table, when the set must grow: the old one stays in use.
  for (int k = 0; set.count() < 32; ++k) ASSERT_TRUE(set.Insert(std::to_string(k).c_str()));
  FailAllocations(128 * sizeof(char*), 1);
  EXPECT_FALSE(set.Insert("grows\\"));
  StopFailingAllocations();
  EXPECT_FALSE(set.Contains("grows\\"));
  EXPECT_TRUE(set.Contains("first\\"));
  EXPECT_EQ(set.count(), 32u);
  EXPECT_TRUE(set.Insert("grows\\"));
  EXPECT_TRUE(set.Contains("grows\\"));
}

}  // namespace
}  // namespace kest
