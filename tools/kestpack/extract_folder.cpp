#include "tools/kestpack/extract_folder.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

#include "archive/posix_output_files.h"
#include "tools/kestpack/host_files.h"

namespace kest {
namespace {

std::vector<std::string> SplitParts(const std::string& relative) {
  std::vector<std::string> parts(1);
  for (char c : relative) {
    if (c == '/' || c == '\\') {
      if (!parts.back().empty()) parts.emplace_back();
    } else {
      parts.back() += c;
    }
  }
  if (parts.back().empty()) parts.pop_back();
  return parts;
}

std::string JoinParts(const std::vector<std::string>& parts, size_t count) {
  std::string joined;
  for (size_t i = 0; i < count; ++i) joined += (i ? "/" : "") + parts[i];
  return joined;
}

// Why part in folder dir could not be used: a link is named as such,
// anything else by its error.
std::string Reason(int dir, const std::string& part, int error) {
  struct stat st;
  if (fstatat(dir, part.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISLNK(st.st_mode)) {
    return DescribeSystemError(error);
  }
  char target[4096];
  ssize_t n = readlinkat(dir, part.c_str(), target, sizeof target);
  return "a symbolic link (to " + (n < 0 ? std::string("?") : std::string(target, size_t(n))) +
         "); nothing is written through a link below the folder extracted to";
}

// The file as the reader writes it, with the header's time read as the
// folder says.
class ExtractedFile : public OutputFile {
 public:
  ExtractedFile(int fd, bool unix_times, ExtractFolder* folder)
      : file_(AdoptPosixOutputFile(fd)), fd_(fd), unix_times_(unix_times), folder_(folder) {}
  uint32_t Write(const void* data, uint32_t size) override {
    return folder_->Spend(size) ? file_->Write(data, size) : uint32_t(EFBIG);
  }
  uint32_t SetDosTime(uint32_t time) override {
    if (!unix_times_) return file_->SetDosTime(time);
    if (fd_ < 0) return EBADF;
    struct timespec times[2] = {{time_t(time), 0}, {time_t(time), 0}};  // access, write
    return futimens(fd_, times) == 0 ? 0 : uint32_t(errno);
  }
  void Close() override {
    file_->Close();
    fd_ = -1;
  }

 private:
  std::unique_ptr<OutputFile> file_;
  int fd_;  // file_'s, while it is open
  bool unix_times_;
  ExtractFolder* folder_;  // the folder it was made in, which keeps the output limit
};

}  // namespace

ExtractFolder::~ExtractFolder() {
  if (root_ >= 0) close(root_);
}

bool ExtractFolder::Open(const std::string& folder, std::string* error) {
  // The folder and its parents are the user's own path: links in it are
  // followed like in any other command.
  for (size_t slash = folder.find('/', 1); slash != std::string::npos;
       slash = folder.find('/', slash + 1)) {
    mkdir(folder.substr(0, slash).c_str(), 0777);
  }
  mkdir(folder.c_str(), 0777);
  int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) {
    *error = folder + ": " + DescribeSystemError(errno);
    return false;
  }
  if (root_ >= 0) close(root_);
  root_ = fd;
  path_ = folder;
  return true;
}

bool ExtractFolder::Spend(uint32_t bytes) {
  if (bytes > output_left_) {
    output_limit_reached_ = true;
    return false;
  }
  output_left_ -= bytes;
  return true;
}

uint32_t ExtractFolder::Fail(const std::string& relative, uint32_t code,
                             const std::string& reason) {
  failure_ = path_ + "/" + relative + ": " + reason;
  return code;
}

int ExtractFolder::OpenFolder(const std::vector<std::string>& parts, size_t count, bool create,
                              uint32_t* code) {
  failure_.clear();
  if (root_ < 0 || parts.empty()) {
    *code = Fail(JoinParts(parts, parts.size()), EINVAL, "no such place below the folder");
    return -1;
  }
  for (const std::string& part : parts) {
    if (part == "." || part == "..") {
      *code = Fail(JoinParts(parts, parts.size()), EINVAL,
                   "'" + part + "' is not a name below the folder");
      return -1;
    }
  }
  int current = fcntl(root_, F_DUPFD_CLOEXEC, 0);
  if (current < 0) {
    *code = Fail(JoinParts(parts, parts.size()), uint32_t(errno), DescribeSystemError(errno));
    return -1;
  }
  const int flags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
  for (size_t i = 0; i < count; ++i) {
    const char* part = parts[i].c_str();
    int next = openat(current, part, flags);
    if (next < 0 && errno == ENOENT && create &&
        (mkdirat(current, part, 0777) == 0 || errno == EEXIST)) {
      next = openat(current, part, flags);
    }
    if (next < 0) {
      int error = errno;
      *code = Fail(JoinParts(parts, i + 1), uint32_t(error), Reason(current, part, error));
      close(current);
      return -1;
    }
    close(current);
    current = next;
  }
  return current;
}

uint32_t ExtractFolder::MakeFolders(const std::string& relative) {
  std::vector<std::string> parts = SplitParts(relative);
  uint32_t code = 0;
  int folder = OpenFolder(parts, parts.size(), true, &code);
  if (folder < 0) return code;
  close(folder);
  return 0;
}

uint32_t ExtractFolder::Create(const char* path, std::unique_ptr<OutputFile>* file) {
  std::vector<std::string> parts = SplitParts(path);
  uint32_t code = 0;
  int parent = OpenFolder(parts, parts.size() - 1, false, &code);
  if (parent < 0) return code;
  const std::string& leaf = parts.back();
  struct stat st;
  if (fstatat(parent, leaf.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0) {
    if (S_ISLNK(st.st_mode)) {
      code = Fail(path, ELOOP, Reason(parent, leaf, ELOOP));
    } else if (S_ISDIR(st.st_mode)) {
      code = Fail(path, EISDIR, DescribeSystemError(EISDIR));
    } else if (!S_ISREG(st.st_mode)) {
      code = Fail(path, EINVAL, "not a regular file (a FIFO, device or socket); left alone");
    } else if (unlinkat(parent, leaf.c_str(), 0) != 0) {
      code = Fail(path, uint32_t(errno), DescribeSystemError(errno));
    }
  }
  if (code == 0) {
    int fd = openat(parent, leaf.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                    0644);
    if (fd < 0) {
      int error = errno;
      code = Fail(path, uint32_t(error), Reason(parent, leaf, error));
    } else {
      file->reset(new ExtractedFile(fd, unix_times_, this));
    }
  }
  close(parent);
  return code;
}

uint32_t ExtractFolder::Delete(const char* path) {
  std::vector<std::string> parts = SplitParts(path);
  uint32_t code = 0;
  int parent = OpenFolder(parts, parts.size() - 1, false, &code);
  if (parent < 0) return code;
  const std::string& leaf = parts.back();
  if (unlinkat(parent, leaf.c_str(), 0) != 0) {
    code = Fail(path, uint32_t(errno), DescribeSystemError(errno));
  }
  close(parent);
  return code;
}

}  // namespace kest
