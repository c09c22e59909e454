#include "tools/kestpack/file_times.h"

namespace kest {
namespace {

constexpr uint32_t kDosFirstDay = (0u << 9) | (1u << 5) | 1u;                  // 1980-01-01
constexpr uint32_t kDosLastMoment = ((127u << 9) | (12u << 5) | 31u) << 16 |  // 2107-12-31
                                    (23u << 11) | (59u << 5) | 29u;           // 23:59:58

}  // namespace

uint64_t UnixToFileTime(int64_t seconds, long nanoseconds) {
  int64_t since_1601 = seconds + kFileTimeEpochDelta;
  if (since_1601 < 0) return 0;
  return uint64_t(since_1601) * kFileTimeTicksPerSecond + uint64_t(nanoseconds / 100);
}

int64_t FileTimeToUnix(uint64_t file_time) {
  return int64_t(file_time / kFileTimeTicksPerSecond) - kFileTimeEpochDelta;
}

uint32_t UnixToLocalDosTime(int64_t seconds, long nanoseconds) {
  time_t t = time_t(seconds) + (nanoseconds > 0 ? 1 : 0);
  struct tm local;
  if (localtime_r(&t, &local) == nullptr) return kDosFirstDay << 16;
  // Recomputed rather than patched: the carry may reach the minute, hour
  // or date.
  if (local.tm_sec % 2 != 0 && (++t, localtime_r(&t, &local)) == nullptr) {
    return kDosFirstDay << 16;
  }
  if (local.tm_year < 80) return kDosFirstDay << 16;
  if (local.tm_year > 207) return kDosLastMoment;
  uint32_t date = uint32_t(local.tm_year - 80) << 9 | uint32_t(local.tm_mon + 1) << 5 |
                  uint32_t(local.tm_mday);
  uint32_t time = uint32_t(local.tm_hour) << 11 | uint32_t(local.tm_min) << 5 |
                  uint32_t(local.tm_sec / 2);
  return date << 16 | time;
}

time_t LocalDosTimeToUnix(uint32_t dos_time) {
  struct tm local = {};
  local.tm_year = int(dos_time >> 25) + 80;
  local.tm_mon = int((dos_time >> 21) & 0xF) - 1;
  local.tm_mday = int((dos_time >> 16) & 0x1F);
  local.tm_hour = int((dos_time >> 11) & 0x1F);
  local.tm_min = int((dos_time >> 5) & 0x3F);
  local.tm_sec = int(dos_time & 0x1F) * 2;
  local.tm_isdst = -1;
  if (local.tm_mon < 0 || local.tm_mon > 11 || local.tm_mday == 0 || local.tm_hour > 23 ||
      local.tm_min > 59 || local.tm_sec > 59) {
    return 0;
  }
  return mktime(&local);
}

}  // namespace kest
