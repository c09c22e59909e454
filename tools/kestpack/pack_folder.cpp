#include "tools/kestpack/pack_folder.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <map>

#include "tools/kestpack/entry_names.h"

namespace kest {
namespace {

bool Walk(const std::string& folder, const std::string& prefix, std::vector<PackFile>* files,
          std::string* error) {
  DIR* dir = opendir(folder.c_str());
  if (dir == nullptr) {
    *error = folder + ": " + strerror(errno);
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
    *error = folder + ": " + strerror(read_error);
    return false;
  }
  for (const std::string& n : names) {
    std::string path = folder + "/" + n, name = prefix + n;
    std::string reason;
    // Checked before descending, so a runaway link loop ends at the length
    // limit instead of the stack's.
    if (!CheckEntryName(name, &reason)) {
      *error = path + ": cannot be packed as \"" + name + "\": " + reason;
      return false;
    }
    struct stat st;
    if (stat(path.c_str(), &st) != 0) {
      *error = path + ": " + strerror(errno);
      return false;
    }
    if (S_ISDIR(st.st_mode)) {
      if (!Walk(path, name + "/", files, error)) return false;
    } else if (S_ISREG(st.st_mode)) {
      files->push_back({name, path, int64_t(st.st_mtim.tv_sec), st.st_mtim.tv_nsec});
    } else {
      *error = path + ": neither a file nor a folder";
      return false;
    }
  }
  return true;
}

}  // namespace

bool CollectPackFiles(const std::string& folder, std::vector<PackFile>* files,
                      std::string* error) {
  files->clear();
  if (!Walk(folder, "", files, error)) return false;
  std::sort(files->begin(), files->end(),
            [](const PackFile& a, const PackFile& b) { return a.name < b.name; });
  std::map<std::string, const PackFile*> folded;
  for (const PackFile& f : *files) {
    auto inserted = folded.emplace(FoldEntryName(f.name), &f);
    if (!inserted.second) {
      *error = f.path + ": \"" + f.name + "\" and \"" + inserted.first->second->name +
               "\" differ only in letter case; the installer would write one over the other";
      return false;
    }
  }
  return true;
}

}  // namespace kest
