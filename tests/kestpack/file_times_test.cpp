#include "tools/kestpack/file_times.h"

#include <gtest/gtest.h>

#include "tests/archive/archive_test_support.h"

namespace kest {
namespace {

using test::ScopedTimeZone;

TEST(FileTimes, TheSameMomentOnBothClocks) {
  // 24 January 1997, 21:19:17 UTC, seen from a zone five hours west: the
  // Windows file time keeps the second, the DOS time rounds up to 16:19:18.
  ScopedTimeZone zone("EST5");
  const int64_t moment = 854140757;
  EXPECT_EQ(UnixToFileTime(moment, 0), 0x01BC0A3C4155F880u);
  EXPECT_EQ(FileTimeToUnix(0x01BC0A3C4155F880u), moment);
  EXPECT_EQ(UnixToLocalDosTime(moment, 0), 0x22388269u);
  EXPECT_EQ(LocalDosTimeToUnix(0x22388269u), moment + 1);
}

TEST(FileTimes, DosTimeRoundingAndRange) {
  ScopedTimeZone zone("UTC0");
  struct {
    const char* name;
    int64_t seconds;
    long nanoseconds;
    uint32_t dos;
  } const kCases[] = {
      {"even second", 946684800, 0, 0x28210000},              // 2000-01-01 00:00:00
      {"fraction rounds up", 946684800, 1, 0x28210001},       // 00:00:02
      {"odd second carries into the next day", 946771199, 0, 0x28220000},  // 23:59:59 -> 01-02
      {"before 1980", 0, 0, 0x00210000},
      {"after 2107", 4354819200, 0, 0xFF9FBF7D},
  };
  for (const auto& c : kCases) {
    EXPECT_EQ(UnixToLocalDosTime(c.seconds, c.nanoseconds), c.dos) << c.name;
  }
  EXPECT_EQ(UnixToFileTime(-11644473601, 0), 0u) << "before 1601";
  EXPECT_EQ(UnixToFileTime(0, 999999999), 116444736009999999u);
}

}  // namespace
}  // namespace kest
