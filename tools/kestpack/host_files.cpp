#include "tools/kestpack/host_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "base/text_limits.h"

namespace kest {

std::unique_ptr<PosixFileSource> PosixFileSource::Open(const std::string& path, int* error) {
  int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    *error = errno;
    return nullptr;
  }
  struct stat st;
  int code = fstat(fd, &st) != 0 ? errno : S_ISDIR(st.st_mode) ? EISDIR : !S_ISREG(st.st_mode) ? EINVAL : 0;
  if (code != 0) {
    *error = code;
    close(fd);
    return nullptr;
  }
  posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
  return std::unique_ptr<PosixFileSource>(new PosixFileSource(fd));
}

PosixFileSource::~PosixFileSource() { close(fd_); }

uint32_t PosixFileSource::Read(void* buffer, uint32_t size, uint32_t* read) {
  uint32_t total = 0;
  while (total < size) {
    ssize_t n = ::read(fd_, static_cast<uint8_t*>(buffer) + total, size - total);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return uint32_t(errno);
    if (n == 0) break;
    total += uint32_t(n);
  }
  *read = total;
  return 0;
}

uint32_t PosixFileSource::Tell(uint32_t* position) {
  off_t at = lseek(fd_, 0, SEEK_CUR);
  if (at < 0) return uint32_t(errno);
  if (at > off_t(UINT32_MAX)) return EFBIG;
  *position = uint32_t(at);
  return 0;
}

uint32_t PosixFileSource::Seek(uint32_t position) {
  return lseek(fd_, off_t(position), SEEK_SET) < 0 ? uint32_t(errno) : 0;
}

uint32_t PosixFileSource::Size(uint32_t* size) {
  struct stat st;
  if (fstat(fd_, &st) != 0) return uint32_t(errno);
  if (st.st_size > off_t(UINT32_MAX)) return EFBIG;
  *size = uint32_t(st.st_size);
  return 0;
}

bool ReadWholeFile(const std::string& path, std::vector<uint8_t>* bytes, std::string* error) {
  int code = 0;
  std::unique_ptr<PosixFileSource> file = PosixFileSource::Open(path, &code);
  uint32_t size = 0, got = 0;
  if (file) code = int(file->Size(&size));
  if (code == 0) {
    bytes->resize(size);
    code = int(file->Read(bytes->data(), size, &got));
    if (code == 0 && got != size) code = EIO;  // the file shrank while read
  }
  if (code != 0) *error = path + ": " + strerror(code);
  return code == 0;
}

bool WriteFileAtomically(const std::string& path, const std::vector<ByteSpan>& parts, mode_t mode,
                         std::string* error) {
  std::string temp = path + ".kestpack-tmp";
  int fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, mode);
  int code = fd < 0 ? errno : 0;
  for (size_t i = 0; code == 0 && i < parts.size(); ++i) {
    for (size_t done = 0; code == 0 && done < parts[i].size;) {
      ssize_t n = write(fd, parts[i].data + done, parts[i].size - done);
      if (n < 0 && errno != EINTR) code = errno;
      if (n > 0) done += size_t(n);
    }
  }
  if (fd >= 0 && close(fd) != 0 && code == 0) code = errno;
  if (code == 0 && rename(temp.c_str(), path.c_str()) != 0) code = errno;
  if (code != 0) {
    if (fd >= 0) unlink(temp.c_str());
    *error = path + ": " + strerror(code);
  }
  return code == 0;
}

uint32_t PathFileAccess::GetPackagePath(char* path, size_t size) {
  return CopyText(path, size, path_.c_str()) ? 0 : ENAMETOOLONG;
}

std::unique_ptr<ByteSource> PathFileAccess::OpenForSequentialRead(const char* path) {
  int error = 0;
  return PosixFileSource::Open(path, &error);
}

}  // namespace kest
