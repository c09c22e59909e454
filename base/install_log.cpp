#include "base/install_log.h"

#include <cstdarg>
#include <cstring>

#include "base/format_text.h"
#include "base/install_status.h"
#include "base/path_text.h"

namespace kest {
namespace {

constexpr char kLogFileName[] = "install.log";
constexpr const char* kWeekdays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
constexpr const char* kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                   "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

// Keeps a field of a broken-down time inside its range, so that a clock
// that returns nonsense still yields a line of the fixed width.
int Clamp(int value, int low, int high) {
  return value < low ? low : (value > high ? high : value);
}

// The log's path in folder: folder, a backslash unless it ends in one, and
// the log's name. False when that does not fit.
bool BuildLogPath(const char* folder, char (&path)[kPathChars]) {
  return JoinPath(path, sizeof(path), folder, kLogFileName);
}

}  // namespace

void FormatLogTimestamp(const LogTime& t, char (&out)[kLogTimestampChars]) {
  int hour = Clamp(t.hour, 0, 23);
  int hour12 = hour % 12 == 0 ? 12 : hour % 12;
  FormatText(out, sizeof(out), "%s %s %02d %02d:%02d:%02d %s:", kWeekdays[Clamp(t.weekday, 0, 6)],
           kMonths[Clamp(t.month, 1, 12) - 1], Clamp(t.day, 0, 99), hour12,
           Clamp(t.minute, 0, 59), Clamp(t.second, 0, 59), hour < 12 ? "AM" : "PM");
}

void InstallLog::SetLogging(const char* folder, uint32_t options) {
  if (options & kOptionLogBit) {
    logging_on_ = true;
    // A folder too long for the name: no log rather than a log elsewhere.
    if (folder != nullptr && !BuildLogPath(folder, path_)) path_[0] = '\0';
    if (path_[0] != '\0' && backend_ != nullptr) {
      // A second start (Next pressed again after Try Again) may come while
      // the file is still open, possibly in another folder: start afresh.
      backend_->Close();
      backend_->Open(path_);
      WriteBanner("Started");
    }
  } else if (logging_on_ && path_[0] != '\0') {
    if (backend_ != nullptr) {
      WriteBanner("Stopped");
      backend_->Close();
    }
    logging_on_ = false;
  }
}

void InstallLog::LogLine(const char* text) {
  if (!logging_on_ || text == nullptr || text[0] == '\0' || path_[0] == '\0' || backend_ == nullptr)
    return;
  char stamp[kLogTimestampChars];
  FormatLogTimestamp(backend_->Now(), stamp);
  // "<stamp> <text>\n"; an over-long text is cut so that the line still
  // ends with its line feed.
  size_t used = FormatText(line_, sizeof(line_) - 1, "%s %s", stamp, text);
  line_[used++] = '\n';
  line_[used] = '\0';
  Write(line_, used);
}

void InstallLog::CloseFile() {
  if (backend_ != nullptr) backend_->Close();
}

void InstallLog::ReopenFile() {
  if (logging_on_ && path_[0] != '\0' && backend_ != nullptr && !backend_->IsOpen())
    backend_->Open(path_);
}

void InstallLog::WriteBanner(const char* what) {
  char stamp[kLogTimestampChars];
  FormatLogTimestamp(backend_->Now(), stamp);
  size_t used = FormatText(line_, sizeof(line_), "\n%s Logging %s (\"%s\").\n\n", stamp, what,
                           backend_->ProgramPath());
  Write(line_, used);
}

void InstallLog::Write(const char* text, size_t size) {
  if (!backend_->IsOpen() && !backend_->Open(path_)) return;
  backend_->Write(text, size);
}

// The run's log is the one its InstallStatus holds.
void LogLine(const char* text) { Status().log.LogLine(text); }

void LogFormat(const char* format, ...) {
  char line[kTextBytes];
  va_list args;
  va_start(args, format);
  FormatTextV(line, sizeof(line), format, args);
  va_end(args);
  LogLine(line);
}

}  // namespace kest
