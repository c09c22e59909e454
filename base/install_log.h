// The install log: "install.log" in the destination folder, one timestamped
// line per step, appended run after run, written through to the disk line by
// line. Every failure of the log is silent: the install never stops for it.
//
// The formatting and the on/off state are portable; the file itself comes
// through LogBackend (Win32 files with write-through in the installer, a
// plain file or memory on the host).
#pragma once
#include <cstddef>
#include <cstdint>

#include "base/install_options.h"
#include "base/text_limits.h"

namespace kest {

// A local time as the log shows it.
struct LogTime {
  int year;
  int month;     // 1..12
  int day;       // 1..31
  int weekday;   // 0 = Sunday
  int hour;      // 0..23
  int minute;
  int second;
};

class LogBackend {
 public:
  virtual ~LogBackend() = default;
  // Opens path for appending (created when missing). False on failure.
  virtual bool Open(const char* path) = 0;
  virtual bool IsOpen() const = 0;
  // Appends size bytes; failures are ignored by the caller.
  virtual void Write(const char* data, size_t size) = 0;
  virtual void Close() = 0;
  virtual LogTime Now() = 0;
  // Full path of the running installer, for the start and stop lines.
  virtual const char* ProgramPath() = 0;
};

constexpr size_t kLogTimestampChars = 24;  // "Www Mmm dd hh:mm:ss AM:" + NUL

// "Fri Dec 05 02:05:09 PM:" - 19 characters of fixed-width time on the
// 12-hour clock, a blank, AM or PM, and a colon.
void FormatLogTimestamp(const LogTime& t, char (&out)[kLogTimestampChars]);

class InstallLog {
 public:
  void SetBackend(LogBackend* backend) { backend_ = backend; }
  // Starts the log when options has the log bit (0x20), else stops it.
  // folder: the destination folder, or nullptr to keep the current path.
  void SetLogging(const char* folder, uint32_t options);
  // Appends "<timestamp> <text>\n" when logging is on and text is not empty.
  void LogLine(const char* text);
  // Releases the file without switching logging off (a prerequisite
  // installer started by the run appends to the same file meanwhile).
  void CloseFile();
  // Opens the file again; LogLine also reopens it when needed.
  void ReopenFile();
  bool logging_on() const { return logging_on_; }
  const char* path() const { return path_; }

 private:
  void WriteBanner(const char* what);
  void Write(const char* text, size_t size);

  LogBackend* backend_ = nullptr;
  bool logging_on_ = false;
  char path_[kPathChars] = {};
  char line_[kTextBytes] = {};
};

// Logs a line through the process's InstallStatus.
void LogLine(const char* text);
// LogLine with a printf-style format; the result is cut to fit the line.
void LogFormat(const char* format, ...) __attribute__((format(printf, 1, 2)));

}  // namespace kest
