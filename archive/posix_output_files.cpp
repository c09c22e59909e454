#include "archive/posix_output_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>
#include <string>

namespace kest {
namespace {

// The system code for the current errno.
uint32_t LastPosixError() {
  return errno == ENOSPC || errno == EDQUOT ? kSystemDiskFull : static_cast<uint32_t>(errno);
}

std::string HostPath(const char* path) {
  std::string host(path);
  for (char& c : host) {
    if (c == '\\') c = '/';
  }
  return host;
}

class PosixOutputFile : public OutputFile {
 public:
  explicit PosixOutputFile(int fd) : fd_(fd) {}
  ~PosixOutputFile() override { Close(); }

  uint32_t Write(const void* data, uint32_t size) override {
    const char* p = static_cast<const char*>(data);
    while (size > 0) {
      ssize_t n = write(fd_, p, size);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) return n < 0 ? LastPosixError() : kSystemDiskFull;
      p += n;
      size -= static_cast<uint32_t>(n);
    }
    return 0;
  }

  uint32_t SetDosTime(uint32_t dos_time) override {
    const uint32_t date = dos_time >> 16;
    const uint32_t time = dos_time & 0xFFFF;
    struct tm t = {};
    t.tm_year = static_cast<int>(date >> 9) + 80;
    t.tm_mon = static_cast<int>((date >> 5) & 15) - 1;
    t.tm_mday = static_cast<int>(date & 31);
    t.tm_hour = static_cast<int>(time >> 11);
    t.tm_min = static_cast<int>((time >> 5) & 63);
    t.tm_sec = static_cast<int>(time & 31) * 2;
    t.tm_isdst = -1;
    if (t.tm_mon < 0 || t.tm_mon > 11 || t.tm_mday == 0 || t.tm_hour > 23 || t.tm_min > 59 ||
        t.tm_sec > 59)
      return EINVAL;
    const time_t utc = mktime(&t);  // the fields are local time
    if (utc == static_cast<time_t>(-1)) return EINVAL;
    struct timespec times[2] = {{utc, 0}, {utc, 0}};  // last access, last write
    return futimens(fd_, times) == 0 ? 0 : LastPosixError();
  }

  void Close() override {
    if (fd_ >= 0) close(fd_);
    fd_ = -1;
  }

 private:
  int fd_;
};

}  // namespace

std::unique_ptr<OutputFile> AdoptPosixOutputFile(int fd) {
  return std::unique_ptr<OutputFile>(new PosixOutputFile(fd));
}

uint32_t PosixFileSystem::Create(const char* path, std::unique_ptr<OutputFile>* file) {
  const int fd = open(HostPath(path).c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return LastPosixError();
  *file = AdoptPosixOutputFile(fd);
  return 0;
}

uint32_t PosixFileSystem::Delete(const char* path) {
  return unlink(HostPath(path).c_str()) == 0 ? 0 : LastPosixError();
}

}  // namespace kest
