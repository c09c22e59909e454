#include "tools/kestpack/pack_folder.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "tools/kestpack/entry_names.h"
#include "tools/kestpack/host_files.h"

namespace kest {
namespace {

// No entry can hold a file of 4 GiB or more: its sizes are 32-bit.
constexpr uint64_t kLargestFile = 0xFFFFFFFF;

std::string LinkTarget(const std::string& path) {
  char target[4096];
  ssize_t n = readlink(path.c_str(), target, sizeof target);
  return n < 0 ? "?" : std::string(target, size_t(n));
}

bool Walk(const std::string& folder, const std::string& prefix, FolderLinks links,
          std::vector<PackFile>* files, std::string* error) {
  DIR* dir = opendir(folder.c_str());
  if (dir == nullptr) {
    *error = folder + ": " + DescribeSystemError(errno);
    return false;
  }
  std::vector<std::string> names;
  errno = 0;
  while (dirent* e = readdir(dir)) {
    if (strcmp(e->d_name, ".") != 0 && strcmp(e->d_name, "..") != 0) names.push_back(e->d_name);
  }
  int read_error = errno;
  closedir(dir);
  if (read_error != 0) {
    *error = folder + ": " + DescribeSystemError(read_error);
    return false;
  }
  for (const std::string& n : names) {
    std::string path = folder + "/" + n, name = prefix + n;
    std::string reason;
    // Checked before descending, so a runaway link loop ends at the length
    // limit instead of the stack's.
    if (!CheckPackedName(name, &reason)) {
      *error = path + ": cannot be packed as \"" + name + "\": " + reason;
      return false;
    }
    struct stat st;
    if (lstat(path.c_str(), &st) != 0) {
      *error = path + ": " + DescribeSystemError(errno);
      return false;
    }
    if (S_ISLNK(st.st_mode)) {
      if (links == FolderLinks::kRefuse) {
        *error = path + ": a symbolic link (to " + LinkTarget(path) +
                 "); links are not packed, since they can point outside the folder: replace "
                 "it by what it points to, or pass --follow-links";
        return false;
      }
      if (stat(path.c_str(), &st) != 0) {
        *error = path + ": a symbolic link to " + LinkTarget(path) + ": " +
                 DescribeSystemError(errno);
        return false;
      }
    }
    if (S_ISDIR(st.st_mode)) {
      if (!Walk(path, name + "/", links, files, error)) return false;
    } else if (!S_ISREG(st.st_mode)) {
      *error = path + ": neither a file nor a folder";
      return false;
    } else if (uint64_t(st.st_size) > kLargestFile) {
      *error = path + ": " + DescribeSystemError(EFBIG) + "; no entry can hold it";
      return false;
    } else {
      files->push_back(
          {name, path, int64_t(st.st_mtim.tv_sec), st.st_mtim.tv_nsec, uint64_t(st.st_size)});
    }
  }
  return true;
}

}  // namespace

bool CollectPackFiles(const std::string& folder, FolderLinks links, std::vector<PackFile>* files,
                      std::string* error) {
  files->clear();
  if (!Walk(folder, "", links, files, error)) return false;
  std::sort(files->begin(), files->end(),
            [](const PackFile& a, const PackFile& b) { return a.name < b.name; });
  return true;
}

}  // namespace kest
