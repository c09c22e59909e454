#include <gtest/gtest.h>

#include "base/win32_status_platform.h"

namespace kest {
namespace {

TEST(Win32Platform, SystemMessageHasNoTrailingLineBreak) {
  Win32StatusPlatform platform(GetModuleHandleA(nullptr));
  char text[1024];
  ASSERT_TRUE(platform.SystemMessage(ERROR_ACCESS_DENIED, text, sizeof(text)));
  std::string s = text;
  EXPECT_FALSE(s.empty());
  EXPECT_NE(s.back(), '\n');
  EXPECT_NE(s.back(), '\r');
  EXPECT_FALSE(platform.SystemMessage(0x4002, text, sizeof(text)));
}

}  // namespace
}  // namespace kest
