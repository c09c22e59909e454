// The two clocks of a package entry, both taken from one file's
// modification time: the Windows file time of its Qel1 extension (UTC, 100 ns
// units since 1 January 1601) and the ARJ header's MS-DOS time (local time,
// 2-second steps, years 1980..2107).
#pragma once
#include <cstdint>
#include <ctime>

namespace kest {

// The ARJ host system of archives made on Unix (Debian's arj writes it).
// Their header time is not an MS-DOS time but seconds since 1970, UTC;
// kestpack writes host 0 (MS-DOS) with an MS-DOS local time.
constexpr uint8_t kArjHostUnix = 2;

// Seconds between 1601-01-01 and 1970-01-01.
constexpr int64_t kFileTimeEpochDelta = 11644473600;
constexpr int64_t kFileTimeTicksPerSecond = 10000000;

// A time before 1601 gives 0.
uint64_t UnixToFileTime(int64_t seconds, long nanoseconds);
// The inverse, to whole seconds (towards the past).
int64_t FileTimeToUnix(uint64_t file_time);

// Date in the high 16 bits, time in the low 16 bits, in the process's local
// time zone. The moment rounds up to the next even second, as FAT stores it
// (21:19:17.000 becomes 21:19:18). Times outside the DOS range are clamped
// to 1980-01-01 00:00:00 or 2107-12-31 23:59:58.
uint32_t UnixToLocalDosTime(int64_t seconds, long nanoseconds);
// The inverse (local time zone); 0 when the fields are out of range.
time_t LocalDosTimeToUnix(uint32_t dos_time);

}  // namespace kest
