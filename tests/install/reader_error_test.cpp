#include "install/reader_error.h"

#include <gtest/gtest.h>

#include "archive/memory_source.h"
#include "archive/package_reader.h"
#include "archive/reader_codes.h"
#include "base/host_status_platform.h"
#include "base/install_codes.h"
#include "base/install_status.h"
#include "tests/archive/reader_test_support.h"

namespace kest {
namespace {

using test::Bytes;

TEST(ReportReaderError, ErrorWords) {
  RecordingStatusPlatform platform;
  platform.choices = {4, 1, 4};
  EXPECT_FALSE(ReportReaderError(0, "p", kButtonsRetry));
  EXPECT_FALSE(ReportReaderError(0x4019, "p", kButtonsRetry));
  EXPECT_TRUE(platform.shown.empty());
  // A Windows error word is mapped; the detail gets the File: label.
  EXPECT_TRUE(ReportReaderError(112, "c:\\a.dll", kButtonsRetry));
  EXPECT_EQ(Status().install_code, kCodeDiskFull);
  EXPECT_STREQ(Status().detail_text, "File:   c:\\a.dll");
  // An install code is reported as it is.
  EXPECT_FALSE(ReportReaderError(kCodeDamagedPackage, nullptr, kButtonsExitOnly));
  EXPECT_EQ(Status().install_code, kCodeDamagedPackage);
  // The reader's own codes are shown with the default row.
  EXPECT_TRUE(ReportReaderError(0x400B | 0x4002, "p", kButtonsRetry));
  EXPECT_EQ(Status().install_code, 0x400Bu | 0x4002u);
  EXPECT_EQ(Status().headline_id, 59u);
}

TEST(ReportReaderError, ReportsTheReadersErrorWordButNotTheEnd) {
  RecordingStatusPlatform platform;
  const Bytes only_end = test::EndMarker();
  test::MemoryFileSystem files;
  BareArchiveReader bad(new MemorySource(only_end.data(), 4), true, files);
  bad.Open();
  EXPECT_FALSE(ReportReaderError(bad.GetError(), "c:\\setup.exe", kButtonsExitOnly));
  ASSERT_EQ(platform.shown.size(), 1u);
  EXPECT_EQ(platform.shown[0].code, kReaderBadHeader);

  const Bytes archive = test::BuildArchive({test::StoredEntry("a", Bytes(1, 1))});
  BareArchiveReader ended(new MemorySource(archive.data(), static_cast<uint32_t>(archive.size())),
                          true, files);
  ASSERT_TRUE(ended.Open());
  EXPECT_FALSE(ended.NextEntry());
  EXPECT_FALSE(ReportReaderError(ended.GetError(), nullptr, kButtonsRetry));
  EXPECT_EQ(platform.shown.size(), 1u);
}

}  // namespace
}  // namespace kest
