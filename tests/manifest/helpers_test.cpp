#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "manifest/blanks.h"
#include "manifest/line_splitter.h"
#include "manifest/string_list.h"
#include "manifest/version_text.h"
#include "tests/manifest/manifest_test_support.h"

namespace kest {
namespace {

using Strings = std::vector<std::string>;

TEST(StringList, KeepsOrderAndOwnsCopies) {
  StringList appended;
  StringList inserted;
  char text[2] = "a";
  for (char c : {'a', 'b', 'c'}) {
    text[0] = c;
    ASSERT_TRUE(appended.Append(text));
    ASSERT_TRUE(inserted.InsertFront(text));
  }
  text[0] = 'z';  // the lists hold copies
  EXPECT_EQ(Texts(&appended), (Strings{"a", "b", "c"}));
  EXPECT_EQ(Texts(&inserted), (Strings{"c", "b", "a"}));
  EXPECT_EQ(appended.count(), 3u);
  EXPECT_STREQ(appended.tail()->text, "c");
  EXPECT_STREQ(inserted.tail()->text, "a");
  EXPECT_EQ(inserted.tail()->next, nullptr);

  appended.Clear();
  EXPECT_EQ(appended.count(), 0u);
  EXPECT_EQ(appended.head(), nullptr);
  EXPECT_EQ(appended.tail(), nullptr);
  // Usable again after Clear, from either end.
  ASSERT_TRUE(appended.InsertFront("x"));
  ASSERT_TRUE(appended.Append("y"));
  EXPECT_EQ(Texts(&appended), (Strings{"x", "y"}));
  EXPECT_STREQ(appended.tail()->text, "y");
}

TEST(ParseVersionText, Table) {
  struct Case {
    const char* text;
    uint16_t major, minor, build, revision;
    uint32_t count;
  } cases[] = {
      {"4.0.1", 4, 0, 1, 0, 3},
      {"4 10", 4, 10, 0, 0, 2},
      {"1.2.3.4.5", 1, 2, 3, 4, 4},
      {"x.2", 0, 2, 0, 0, 2},
      {"70000", 4464, 0, 0, 0, 1},
      {"1.1", 1, 1, 0, 0, 2},
      {"4 0 2", 4, 0, 2, 0, 3},
      {"..4..\t 5 .", 4, 5, 0, 0, 2},
      {"-1.+7.-0", 65535, 7, 0, 0, 3},
      {"12abc.3x4", 12, 3, 0, 0, 2},
      {"-x.-", 0, 0, 0, 0, 2},
      {"99999999999999999999", 65535, 0, 0, 0, 1},  // 10^20 - 1, kept mod 2^16
      {"Setup", 0, 0, 0, 0, 1},
      {". .\t", 0, 0, 0, 0, 0},
      {"", 0, 0, 0, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    std::string text = c.text;
    VersionParts v{{9, 9, 9, 9}};
    EXPECT_EQ(ParseVersionText(&text[0], &v), c.count);
    EXPECT_EQ(v.part[0], c.major);
    EXPECT_EQ(v.part[1], c.minor);
    EXPECT_EQ(v.part[2], c.build);
    EXPECT_EQ(v.part[3], c.revision);
  }
}

TEST(ParseVersionText, CutsTheTextInPlace) {
  char text[] = "4.0 1.2.3";
  VersionParts v;
  ParseVersionText(text, &v);
  // The separator ending each of the four parts read is cut; the rest stays.
  EXPECT_EQ(std::string(text, sizeof(text) - 1), std::string("4\0"
                                                             "0\0"
                                                             "1\0"
                                                             "2\0"
                                                             "3",
                                                             9));

  EXPECT_LT(CompareVersionParts({{4, 5, 0, 0}}, {{4, 6, 0, 0}}), 0);
  EXPECT_GT(CompareVersionParts({{5, 0, 0, 0}}, {{4, 9, 9, 9}}), 0);
  EXPECT_EQ(CompareVersionParts({{1, 2, 3, 4}}, {{1, 2, 3, 4}}), 0);
  EXPECT_GT(CompareVersionParts({{0, 0, 0, 1}}, {{0, 0, 0, 0}}), 0);
}

TEST(Blanks, SkipAndTrailing) {
  char text[] = " \t x \t ";
  EXPECT_EQ(SkipBlanks(text, nullptr), text + 3);
  EXPECT_EQ(SkipBlanks(text, text + 2), text + 2);     // stops at the limit
  EXPECT_EQ(SkipBlanks(text + 4, nullptr), text + 7);  // stops at the NUL
  EXPECT_EQ(SkipBlanks(text + 7, nullptr), text + 7);
  EXPECT_EQ(TrailingBlanksStart(text, text + 7), text + 4);
  EXPECT_EQ(TrailingBlanksStart(text, text + 3), text);  // blanks only
  EXPECT_EQ(TrailingBlanksStart(text + 3, text + 3), text + 3);
}

TEST(LineSplitter, LinesAndLineNumbers) {
  char text[] = "a\r\nb\n\nc\rd\r\r\ne\v\ff\n";
  LineSplitter lines(text);
  std::vector<std::pair<std::string, uint32_t>> got;
  for (char* line = lines.Next(); line != nullptr; line = lines.Next()) {
    got.push_back({line, lines.line_number()});
  }
  using P = std::pair<std::string, uint32_t>;
  EXPECT_EQ(got,
            (std::vector<P>{P{"a", 1}, P{"b", 2}, P{"c", 4}, P{"d", 5}, P{"e", 7}, P{"f", 7}}));
  EXPECT_EQ(lines.Next(), nullptr);  // stays at the end
}

}  // namespace
}  // namespace kest
