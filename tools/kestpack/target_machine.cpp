#include "tools/kestpack/target_machine.h"

#include <dirent.h>
#include <fcntl.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <vector>

#include "base/text_limits.h"
#include "tools/kestpack/file_times.h"
#include "tools/kestpack/host_files.h"
#include "tools/kestpack/pe_image.h"

namespace kest {
namespace {

constexpr uint32_t kAttributeDirectory = 0x10;
constexpr uint32_t kAttributeNormal = 0x80;
constexpr uint32_t kErrorAccessDenied = 5;
constexpr uint32_t kErrorPathNotFound = 3;

// The entry of folder whose name equals part with A-Z and a-z equal; the
// first in byte order when several do. Empty when none does.
std::string FindCaseless(const std::string& folder, const std::string& part) {
  DIR* dir = opendir(folder.empty() ? "/" : folder.c_str());
  if (dir == nullptr) return "";
  std::string best;
  while (const dirent* e = readdir(dir)) {
    if (strcasecmp(e->d_name, part.c_str()) == 0 && (best.empty() || best > e->d_name)) {
      best = e->d_name;
    }
  }
  closedir(dir);
  return best;
}

bool BeginsWith(const std::string& text, const char* prefix) {
  return text.compare(0, strlen(prefix), prefix) == 0;
}

// After a placeholder only a separator or the end may follow.
bool BeginsWithFolder(const std::string& text, const char* placeholder) {
  const size_t n = strlen(placeholder);
  return BeginsWith(text, placeholder) && (text.size() == n || text[n] == '\\');
}

}  // namespace

std::string TargetMachine::FindBelow(const std::string& base, const std::string& relative) {
  std::string path = base;
  size_t at = 0;
  bool found = true;
  while (at <= relative.size()) {
    size_t end = relative.find_first_of("\\/", at);
    if (end == std::string::npos) end = relative.size();
    const std::string part = relative.substr(at, end - at);
    at = end + 1;
    if (part.empty()) continue;
    std::string name = part;
    struct stat st;
    if (found && lstat((path + "/" + part).c_str(), &st) != 0) {
      name = FindCaseless(path, part);
      if (name.empty()) {
        found = false;
        name = part;
      }
    }
    path += "/" + name;
  }
  return path;
}

std::string TargetMachine::HostPath(const std::string& installer_path) const {
  struct Root {
    const char* placeholder;
    const std::string* folder;
  };
  const Root roots[] = {{kPlanSystemFolder, &system_},
                        {kPlanWindowsFolder, &windows_},
                        {kPlanHostFolder, &host_}};
  for (const Root& root : roots) {
    if (BeginsWithFolder(installer_path, root.placeholder)) {
      return FindBelow(*root.folder, installer_path.substr(strlen(root.placeholder)));
    }
  }
  // "X:" and the rest; a path without a drive counts from the drive's root.
  const size_t skip = installer_path.size() >= 2 && installer_path[1] == ':' ? 2 : 0;
  return FindBelow(drive_, installer_path.substr(skip));
}

bool TargetMachine::Exists(const std::string& installer_path) const {
  const std::string key = HostPath(installer_path);
  if (written_.count(key) != 0) return true;
  struct stat st;
  return removed_.count(key) == 0 && stat(key.c_str(), &st) == 0;
}

bool TargetMachine::IsReadOnly(const std::string& installer_path) const {
  const std::string key = HostPath(installer_path);
  struct stat st;
  if (written_.count(key) != 0 || removed_.count(key) != 0 || stat(key.c_str(), &st) != 0) {
    return false;
  }
  return (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0;
}

void TargetMachine::MarkRemoved(const std::string& installer_path) {
  removed_.insert(HostPath(installer_path));
}

void TargetMachine::MarkWritten(const std::string& installer_path, const EntryStamp& entry) {
  written_[HostPath(installer_path)] = entry;
}

bool TargetMachine::GetSystemFolder(char (&out)[kPathChars]) {
  return CopyText(out, sizeof(out), kPlanSystemFolder);
}

bool TargetMachine::GetWindowsFolder(char (&out)[kPathChars]) {
  return CopyText(out, sizeof(out), kPlanWindowsFolder);
}

bool TargetMachine::GetCurrentFolder(char (&out)[kPathChars]) {
  if (CopyText(out, sizeof(out), destination_.c_str())) return true;
  out[0] = '\0';
  return false;
}

bool TargetMachine::GetAttributes(const char* path, uint32_t* attributes) {
  if (!Exists(path)) return false;
  struct stat st;
  if (stat(HostPath(path).c_str(), &st) != 0) {  // written by an earlier entry
    *attributes = kAttributeNormal;
    return true;
  }
  *attributes = S_ISDIR(st.st_mode) ? kAttributeDirectory : kAttributeNormal;
  if (IsReadOnly(path)) *attributes |= kAttributeReadOnly;
  return true;
}

uint32_t TargetMachine::CreateFolder(const char*) { return 0; }

uint32_t TargetMachine::RemoveFolder(const char*) { return 0; }

uint32_t TargetMachine::CreateTempFile(const char* folder, const char*, char (&out)[kPathChars]) {
  const std::string here = HostPath(folder);
  struct stat st;
  if (stat(here.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return kErrorPathNotFound;
  if (access(here.c_str(), W_OK) != 0) return kErrorAccessDenied;
  // A name that is never created: the plan only needs the answer.
  return CopyText(out, sizeof(out), folder) ? 0 : kErrorPathNotFound;
}

uint32_t TargetMachine::RemoveFile(const char*) { return 0; }

FileVersion TargetMachine::GetFileVersion(const char* path) {
  FileVersion version;
  const std::string key = HostPath(path);
  auto written = written_.find(key);
  if (written != written_.end()) {
    if (written->second.has_version) version = MakeFileVersion(written->second.version);
    return version;
  }
  if (removed_.count(key) != 0) return version;
  std::vector<uint8_t> bytes;
  std::string error;
  if (!ReadWholeFile(key, &bytes, &error)) return version;
  uint16_t words[4];
  ReadFileVersion(bytes.data(), bytes.size(), words);
  if ((words[0] | words[1] | words[2] | words[3]) != 0) version = MakeFileVersion(words);
  return version;
}

bool TargetMachine::GetLastWriteTime(const char* path, uint64_t* time) {
  const std::string key = HostPath(path);
  auto written = written_.find(key);
  if (written != written_.end()) {
    *time = written->second.file_time;
    return true;
  }
  if (removed_.count(key) != 0) return false;
  // Opened for reading as the installer opens it; a folder does not open.
  const int fd = open(key.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat st;
  const bool ok = fstat(fd, &st) == 0 && !S_ISDIR(st.st_mode);
  close(fd);
  if (!ok) return false;
  *time = UnixToFileTime(st.st_mtim.tv_sec, st.st_mtim.tv_nsec);
  return true;
}

}  // namespace kest
