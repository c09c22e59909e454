#include "installer/rights_check.h"

#include <gtest/gtest.h>

#include "base/host_status_platform.h"
#include "base/install_status.h"
#include "base/text_limits.h"

namespace kest {
namespace {

// What the administrator probe answers, and how often it was asked.
bool g_administrator = false;
int g_asked = 0;
bool Probe() {
  ++g_asked;
  return g_administrator;
}

// Only Windows NT asks the token; a refusal there is the exit-only report
// without a detail, and its code is what the run ends with.
TEST(RightsCheck, OnlyWindowsNtRefusesAnyoneButAnAdministrator) {
  struct Case {
    const char* name;
    bool version_known;
    SystemVersion version;
    bool administrator;
    bool asked;
    bool goes_on;
  } cases[] = {
      {"Windows 95, not an administrator", true, {1, 4}, false, false, true},
      {"version query failed", false, {0, 0}, false, false, true},
      {"Win32s platform id", true, {0, 3}, false, false, true},
      {"Windows NT 3.51, administrator", true, {2, 3}, true, true, true},
      {"Windows NT 4.0, administrator", true, {2, 4}, true, true, true},
      {"Windows NT 3.51, not an administrator", true, {2, 3}, false, true, false},
      {"Windows NT 4.0, not an administrator", true, {2, 4}, false, true, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    RecordingStatusPlatform platform;
    g_administrator = c.administrator;
    g_asked = 0;
    EXPECT_EQ(CheckRights(c.version_known ? &c.version : nullptr, Probe), c.goes_on);
    EXPECT_EQ(g_asked, c.asked ? 1 : 0);
    if (c.goes_on) {
      EXPECT_TRUE(platform.shown.empty());
      EXPECT_EQ(Status().install_code, 0u);
      continue;
    }
    ASSERT_EQ(platform.shown.size(), 1u);
    const RecordingStatusPlatform::Shown& shown = platform.shown[0];
    EXPECT_EQ(shown.code, 0x8040F015u);
    EXPECT_EQ(shown.buttons, 0x8000u);  // exit-only
    EXPECT_EQ(shown.dialog_id, 119u);   // no detail
    EXPECT_EQ(shown.detail, "");
    EXPECT_EQ(Status().install_code, 0x8040F015u);
    char text[kTextBytes];
    ASSERT_TRUE(platform.LoadText(Status().headline_id, text, sizeof(text)));
    EXPECT_STREQ(text, "System administrator access is required.");
    ASSERT_TRUE(platform.LoadText(Status().message_id, text, sizeof(text)));
    EXPECT_STREQ(text,
                 "You cannot install Morvane Components on Windows NT without system "
                 "administrator access. Please contact your System Administrator.");
    ASSERT_TRUE(platform.LoadText(Status().first_button_id, text, sizeof(text)));
    EXPECT_STREQ(text, "E&xit Install");
  }
}

}  // namespace
}  // namespace kest
