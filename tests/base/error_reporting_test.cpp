#include <gtest/gtest.h>

#include <vector>

#include "base/error_table.h"
#include "base/host_status_platform.h"
#include "base/install_codes.h"
#include "base/install_status.h"

namespace kest {
namespace {

TEST(ErrorTable, RowsAndButtons) {
  struct Row {
    uint32_t code, headline, message, try_again, first;
  };
  const Row rows[] = {
      {0x8040F000, 27, 28, 40, 42}, {0x8040F001, 34, 35, 0, 42}, {0x8040F003, 23, 24, 40, 42},
      {0x8040F004, 25, 26, 40, 42}, {0x8040F005, 32, 33, 0, 39}, {0x8040F006, 43, 64, 0, 42},
      {0x8040F007, 46, 65, 0, 42},  {0x8040F008, 21, 22, 40, 42}, {0x8040F009, 48, 66, 0, 42},
      {0x8040F00A, 53, 54, 0, 38},  {0x8040F00B, 55, 56, 0, 42}, {0x8040F00C, 29, 30, 40, 42},
      {0x8040F00D, 15, 68, 0, 42},  {0x8040F00E, 49, 50, 0, 42}, {0x8040F00F, 16, 69, 0, 42},
      {0x8040F010, 57, 58, 0, 42},  {0x8040F011, 60, 61, 0, 84}, {0x8040F012, 71, 70, 0, 38},
      {0x8040F013, 67, 31, 40, 42}, {0x8040F014, 85, 86, 84, 42}, {0x8040F015, 89, 90, 0, 42},
      {0x8040F017, 51, 52, 0, 84},  {0x8040F018, 92, 91, 0, 38}, {0x8040FFFF, 59, 45, 0, 42},
      // Codes outside the table take the default row, which offers Try Again.
      {0xFFFFFFFF, 59, 45, 40, 42}, {0x8040F002, 59, 45, 40, 42}, {5, 59, 45, 40, 42},
      {0x4019, 59, 45, 40, 42},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(testing::Message() << std::hex << r.code);
    const ErrorRow& row = FindErrorRow(r.code);
    EXPECT_EQ(row.headline_id, r.headline);
    EXPECT_EQ(row.message_id, r.message);
    EXPECT_EQ(row.change_drive_id, 0u);
    EXPECT_EQ(row.try_again_id, r.try_again);
    EXPECT_EQ(row.first_button_id, r.first);
  }
  EXPECT_TRUE(IsInstallCode(0x8040F000));
  EXPECT_TRUE(IsInstallCode(0xFFFFFFFF));
  EXPECT_FALSE(IsInstallCode(0x8040F002));
  EXPECT_FALSE(IsInstallCode(0x8040F016));
  EXPECT_FALSE(IsInstallCode(0x4002));
}

TEST(ErrorTable, SystemErrorMap) {
  const uint32_t map[][2] = {
      {112, 0x8040F000}, {3, 0x8040F003},    {161, 0x8040F003}, {1203, 0x8040F003},
      {1013, 0x8040F004}, {0x80004003, 0x8040F006}, {160, 0x8040F007}, {8, 0x8040F008},
      {123, 0x8040F00B}, {32, 0x8040F00C},   {2, 0x8040F00E},   {0xFFFFFFFF, 0x8040FFFF},
      // Not in the map: unchanged.
      {5, 5}, {0, 0}, {39, 39}, {0x4002, 0x4002}, {0x8040F007, 0x8040F007},
  };
  for (const auto& m : map) EXPECT_EQ(MapSystemError(m[0]), m[1]) << m[0];
}

// Each test's platform starts from a quiet log, whatever the test before it
// left behind: a log still on, through a backend that may be gone.
TEST(RecordingStatusPlatform, StartsWithLoggingOffAndItsOwnLog) {
  MemoryLogBackend earlier;
  {
    RecordingStatusPlatform first;
    Status().log.SetBackend(&earlier);
    Status().log.SetLogging("c:\\dest", kOptionLogBit);
  }  // ends without stopping its log
  const std::string before = earlier.files["c:\\dest\\install.log"];
  RecordingStatusPlatform platform;
  EXPECT_FALSE(Status().log.logging_on());
  ReportError(kCodeOutOfMemory, kButtonsExitOnly, nullptr, 0);
  EXPECT_EQ(earlier.files["c:\\dest\\install.log"], before);
  // The platform's own log is the one in use.
  Status().log.SetLogging("c:\\d", kOptionLogBit);
  ReportError(kCodeOutOfMemory, kButtonsExitOnly, nullptr, 0);
  EXPECT_NE(platform.log.files["c:\\d\\install.log"].find("ERROR: \"Out of Memory\""),
            std::string::npos);
}

class ReportTest : public testing::Test {
 protected:
  ReportTest() {
    platform_.system_messages = {{5, "Access denied."}};
    Status().log.SetBackend(&log_);
    Status().log.SetLogging("c:\\dest", kOptionLogBit);
  }
  ~ReportTest() override {
    Status().log.SetLogging(nullptr, 0);
    Status().log.SetBackend(nullptr);
  }
  std::string Log() { return log_.files["c:\\dest\\install.log"]; }

  RecordingStatusPlatform platform_;
  MemoryLogBackend log_;
};

TEST_F(ReportTest, ChoiceComesBackAndButtonSetIsNormalised) {
  platform_.choices = {4, 1};
  EXPECT_EQ(ReportError(kCodeOutOfMemory, kButtonsRetry, nullptr, 0), 4u);
  EXPECT_EQ(Status().button_set, kButtonsRetry);
  EXPECT_EQ(Status().dialog_id, 119u);  // no detail: the short dialog
  EXPECT_EQ(ReportError(kCodeOutOfMemory, 0x1234, nullptr, 0), 1u);
  EXPECT_EQ(Status().button_set, kButtonsExitOnly);
  EXPECT_EQ(Status().install_code, kCodeOutOfMemory);
  ASSERT_EQ(platform_.shown.size(), 2u);
}

TEST_F(ReportTest, DetailWithLabelAndLogLines) {
  ReportError(kCodeInvalidFolder, kButtonsRetry, "c:\\x", 75);
  EXPECT_STREQ(Status().detail_text, "Path:   c:\\x");
  EXPECT_EQ(Status().dialog_id, 118u);
  EXPECT_NE(Log().find(" ERROR: \"Invalid Folder Name\"\n"), std::string::npos) << Log();
  EXPECT_NE(Log().find(":        \"Path:   c:\\x\"\n"), std::string::npos) << Log();
}

TEST_F(ReportTest, DetailWithoutLoadableLabelIsTheTextAlone) {
  ReportError(kCodeInvalidFolder, kButtonsRetry, "c:\\x", 9999);
  EXPECT_STREQ(Status().detail_text, "c:\\x");
}

TEST_F(ReportTest, UnknownCodeGetsTheSystemText) {
  ReportError(5, kButtonsRetry, "c:\\f.dll", 72);
  EXPECT_STREQ(Status().detail_text, "File:   c:\\f.dll\nError:   Access denied.");
  EXPECT_EQ(Status().try_again_id, 40u);
  ReportError(5, kButtonsRetry, nullptr, 0);
  EXPECT_STREQ(Status().detail_text, "Error:   Access denied.");
  // No system text: the default row's texts and no detail at all.
  ReportError(0x4002, kButtonsRetry, "c:\\f.dll", 72);
  EXPECT_STREQ(Status().detail_text, "");
  EXPECT_EQ(Status().headline_id, 59u);
}

TEST_F(ReportTest, SilentRunShowsNothingButLogs) {
  Status().ui_level = 0;
  platform_.choices = {4};
  EXPECT_EQ(ReportError(kCodeOutOfMemory, kButtonsRetry, nullptr, 0), 0u);
  EXPECT_TRUE(platform_.shown.empty());
  EXPECT_NE(Log().find("ERROR: \"Out of Memory\""), std::string::npos);
  Status().ui_level = 3;
}

TEST_F(ReportTest, ResetForgetsTheCode) {
  platform_.choices = {4};
  ReportError(kCodeOutOfMemory, kButtonsRetry, "x", 72);
  ResetStatus();
  EXPECT_EQ(Status().install_code, 0u);
  EXPECT_EQ(Status().user_choice, 0u);
  EXPECT_STREQ(Status().detail_text, "");
  EXPECT_EQ(Status().ui_level, 3u);
  EXPECT_TRUE(Status().log.logging_on());
}

TEST_F(ReportTest, OutOfMemoryRetryProtocol) {
  platform_.choices = {4, 1};
  EXPECT_TRUE(RetryAfterOutOfMemory());   // Try Again: reset, allocate again
  EXPECT_EQ(Status().install_code, 0u);
  EXPECT_FALSE(RetryAfterOutOfMemory());  // Exit Install: the code stays pending
  EXPECT_EQ(Status().install_code, kCodeOutOfMemory);
  ASSERT_EQ(platform_.shown.size(), 2u);
  EXPECT_EQ(platform_.shown[0].buttons, kButtonsRetry);
}

// The allocation helper: attempts until one succeeds or Exit Install is
// chosen; the answer of the last dialog decides what stays pending.
TEST_F(ReportTest, RetryingAllocationStopsAtSuccessOrRefusal) {
  struct Row {
    std::vector<uint32_t> choices;
    int failures;       // attempts that fail before one succeeds
    bool succeeds;
    int attempts;
    uint32_t pending;
  };
  const Row rows[] = {
      {{}, 0, true, 1, 0},                   // no failure: no dialog
      {{4, 4}, 2, true, 3, 0},               // Try Again twice, then memory
      {{4, 1}, 5, false, 2, kCodeOutOfMemory},  // Exit Install the second time
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.attempts);
    ResetStatus();
    platform_.shown.clear();
    platform_.choices.assign(r.choices.begin(), r.choices.end());
    int attempts = 0;
    static int object;
    int* made = RetryingAllocation(
        [&]() -> int* { return ++attempts > r.failures ? &object : nullptr; });
    EXPECT_EQ(made != nullptr, r.succeeds);
    EXPECT_EQ(attempts, r.attempts);
    EXPECT_EQ(Status().install_code, r.pending);
    EXPECT_EQ(platform_.shown.size(), r.choices.size());
  }
}

}  // namespace
}  // namespace kest
