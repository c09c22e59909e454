#include <gtest/gtest.h>

#include <string>

#include "manifest/context_text_win32.h"

namespace kest {
namespace {

TEST(ConvertContextText, FitsOrIsRefused) {
  struct Case {
    std::string text;
    bool fits;
  } cases[] = {
      {"", true},
      {"Morvane token 42", true},
      {std::string(kPathChars - 1, 'x'), true},  // 259 units and the terminator
      {std::string(kPathChars, 'x'), false},
      {std::string(2000, 'y'), false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text.size());
    wchar_t out[kPathChars];
    wmemset(out, L'#', kPathChars);
    EXPECT_EQ(ConvertContextText(c.text.c_str(), out), c.fits);
    std::wstring expected = c.fits ? std::wstring(c.text.begin(), c.text.end()) : std::wstring();
    EXPECT_EQ(std::wstring(out), expected);
  }
}

}  // namespace
}  // namespace kest
