#include "tools/kestpack/host_files.h"

#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>


namespace kest {

std::string DescribeSystemError(int code) {
  switch (code) {
    case ENOSPC:
    case EDQUOT:
    case int(kSystemDiskFull):
      return "disk full";
    case EISDIR: return "is a folder";
    case ENOTDIR: return "not a folder (or a part of the path is not)";
    case EACCES:
    case EPERM:
      return "permission denied";
    case ENOENT: return "no such file or folder";
    case EEXIST: return "already exists";
    case EROFS: return "read-only file system";
    case ENAMETOOLONG: return "name too long";
    case EFBIG: return "too large (4 GiB or more)";
    case ELOOP: return "a symbolic link where none is followed, or a loop of links";
    case EIO: return "input/output error";
    default: return strerror(code);
  }
}

namespace {

// Why st is not a regular file kestpack reads; "" when it is one.
std::string NotRegular(const struct stat& st) {
  if (S_ISREG(st.st_mode)) return "";
  if (S_ISDIR(st.st_mode)) return DescribeSystemError(EISDIR);
  return "not a regular file (a FIFO, device or socket); kestpack reads only regular files";
}

}  // namespace

bool StatRegularFile(const std::string& path, struct stat* st, std::string* error) {
  std::string reason = stat(path.c_str(), st) != 0 ? DescribeSystemError(errno) : NotRegular(*st);
  if (!reason.empty()) *error = path + ": " + reason;
  return reason.empty();
}

std::unique_ptr<PosixFileSource> PosixFileSource::Open(const std::string& path,
                                                       std::string* error) {
  // Without O_NONBLOCK, opening a FIFO waits for a writer that may never come.
  int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) {
    *error = path + ": " + DescribeSystemError(errno);
    return nullptr;
  }
  struct stat st;
  std::string reason = fstat(fd, &st) != 0 ? DescribeSystemError(errno) : NotRegular(st);
  if (reason.empty() && fcntl(fd, F_SETFL, 0) != 0) reason = DescribeSystemError(errno);
  if (!reason.empty()) {
    *error = path + ": " + reason;
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
  std::unique_ptr<PosixFileSource> file = PosixFileSource::Open(path, error);
  if (!file) return false;
  uint32_t size = 0, got = 0;
  int code = int(file->Size(&size));
  if (code == 0) {
    bytes->resize(size);
    code = int(file->Read(bytes->data(), size, &got));
    if (code == 0 && got != size) code = EIO;  // the file shrank while read
  }
  if (code != 0) *error = path + ": " + DescribeSystemError(code);
  return code == 0;
}

PendingFile::~PendingFile() { Discard(); }

void PendingFile::Discard() {
  if (fd_ < 0) return;
  close(fd_);
  unlink(temp_.c_str());
  fd_ = -1;
}

bool PendingFile::Create(const std::string& path, std::string* error) {
  Discard();
  struct stat st;
  if (stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
    *error = path + ": " + DescribeSystemError(EISDIR);
    return false;
  }
  // A short name of its own in the same folder (so that the rename stays
  // on one file system), whatever the length of path's last part.
  const size_t slash = path.find_last_of('/');
  const std::string folder = slash == std::string::npos ? "." : path.substr(0, slash);
  std::string temp = folder + "/.kestpack-XXXXXX";
  int fd = mkostemp(&temp[0], O_CLOEXEC);
  if (fd < 0) {
    *error = path + ": cannot create a file in " + (folder.empty() ? "/" : folder) + ": " +
             DescribeSystemError(errno);
    return false;
  }
  path_ = path;
  temp_ = temp;
  fd_ = fd;
  return true;
}

bool PendingFile::Commit(const std::vector<ByteSpan>& parts, mode_t mode, std::string* error) {
  if (fd_ < 0) {
    *error = path_ + ": no file to write";
    return false;
  }
  mode_t mask = umask(0);
  umask(mask);
  int code = fchmod(fd_, mode & ~mask) != 0 ? errno : 0;
  for (size_t i = 0; code == 0 && i < parts.size(); ++i) {
    for (size_t done = 0; code == 0 && done < parts[i].size;) {
      ssize_t n = write(fd_, parts[i].data + done, parts[i].size - done);
      if (n < 0 && errno != EINTR) code = errno;
      if (n > 0) done += size_t(n);
    }
  }
  if (code == 0 && fsync(fd_) != 0) code = errno;
  if (code == 0 && rename(temp_.c_str(), path_.c_str()) != 0) code = errno;
  if (code != 0) {
    *error = path_ + ": " + DescribeSystemError(code);
    Discard();
    return false;
  }
  close(fd_);  // the data is on disk already; a late close error changes nothing
  fd_ = -1;
  return true;
}

}  // namespace kest
