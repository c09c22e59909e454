#include "base/format_text.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <string>

#include "base/text_limits.h"

namespace kest {
namespace {

// The directives the installer uses must print exactly as the C library
// prints them.
TEST(FormatText, AgreesWithTheCLibrary) {
  char ours[256];
  char theirs[256];
#define KEST_CHECK_FORMAT(...)                              \
  do {                                                      \
    FormatText(ours, sizeof(ours), __VA_ARGS__);            \
    snprintf(theirs, sizeof(theirs), __VA_ARGS__);          \
    EXPECT_STREQ(ours, theirs) << #__VA_ARGS__;             \
  } while (0)
  KEST_CHECK_FORMAT("plain text");
  KEST_CHECK_FORMAT("%s %s", "a", "bc");
  KEST_CHECK_FORMAT("[%5s]", "ab");
  KEST_CHECK_FORMAT("%d %d %d %d", 0, -1, INT_MAX, INT_MIN);
  KEST_CHECK_FORMAT("%02d:%02d:%02d", 1, 0, 59);
  KEST_CHECK_FORMAT("%05d|%5d", -42, -42);
  KEST_CHECK_FORMAT("%u %x %X %08X", 4294967295u, 0xbeefu, 0xbeefu, 0x8040F007u);
  KEST_CHECK_FORMAT("%lu %lx %08lX %ld", 123456789ul, 0xfffful, 0x4019ul, -5l);
  KEST_CHECK_FORMAT("100%% %c", 'x');
#undef KEST_CHECK_FORMAT
}

TEST(FormatText, AlwaysTerminatesAndCuts) {
  char out[8];
  EXPECT_EQ(FormatText(out, sizeof(out), "%s", "0123456789"), 7u);
  EXPECT_STREQ(out, "0123456");
  EXPECT_EQ(FormatText(out, sizeof(out), "%08X%d", 0xABCDu, 12345), 7u);
  EXPECT_STREQ(out, "0000ABC");
  char one[1] = {'z'};
  EXPECT_EQ(FormatText(one, sizeof(one), "%s", "abc"), 0u);
  EXPECT_EQ(one[0], '\0');
}

TEST(FormatText, UnknownDirectivesAndNullTextsAreHarmless) {
  char out[64];
  FormatText(out, sizeof(out), "%s|%q|%", static_cast<const char*>(nullptr));
  EXPECT_STREQ(out, "|%q|%");
}

// size counts the terminator: a text fits when it is shorter than size.
TEST(CopyText, WholeOrNothingAndCutToFit) {
  struct Case {
    const char* src;
    size_t size;
    bool fits;
    const char* copied;  // dst after CopyText (it held "xyz")
    const char* cut;     // dst after CopyTextCut
  } cases[] = {
      {"abc", 4, true, "abc", "abc"},
      {"abcd", 4, false, "xyz", "abc"},
      {"", 1, true, "", ""},
      {"a", 1, false, "xyz", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.src);
    char dst[8] = "xyz";
    EXPECT_EQ(CopyText(dst, c.size, c.src), c.fits);
    EXPECT_STREQ(dst, c.copied);
    CopyTextCut(dst, c.size, c.src);
    EXPECT_STREQ(dst, c.cut);
  }
}

}  // namespace
}  // namespace kest
