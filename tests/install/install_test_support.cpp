#include "tests/install/install_test_support.h"

#include <cstdio>

#include "archive/memory_source.h"
#include "base/install_log.h"
#include "base/install_status.h"
#include "base/text_limits.h"
#include "manifest/string_list.h"

namespace kest {
namespace test {
namespace {

bool Give(const std::string& folder, char (&out)[kPathChars]) {
  if (folder.empty() || !CopyText(out, kPathChars, folder.c_str())) {
    out[0] = '\0';
    return false;
  }
  return true;
}

}  // namespace

bool FakeFolderSystem::GetSystemFolder(char (&out)[kPathChars]) {
  ++system_queries;
  return Give(system_folder, out);
}

bool FakeFolderSystem::GetWindowsFolder(char (&out)[kPathChars]) {
  ++windows_queries;
  return Give(windows_folder, out);
}

bool FakeFolderSystem::GetCurrentFolder(char (&out)[kPathChars]) {
  ++current_queries;
  return Give(current_folder, out);
}

bool FakeFolderSystem::GetAttributes(const char* path, uint32_t* value) {
  auto it = attributes.find(path);
  if (it == attributes.end()) return false;
  *value = it->second;
  return true;
}

uint32_t FakeFolderSystem::CreateFolder(const char* path) {
  create_calls.push_back(path);
  auto error = create_errors.find(path);
  if (error != create_errors.end()) return error->second;
  return folders.insert(path).second ? 0 : 183;
}

uint32_t FakeFolderSystem::RemoveFolder(const char* path) {
  removed_folders.push_back(path);
  return folders.erase(path) == 1 ? 0 : 2;
}

uint32_t FakeFolderSystem::CreateTempFile(const char* folder, const char* prefix,
                                          char (&out)[kPathChars]) {
  temp_calls.push_back(std::string(folder) + "|" + prefix);
  out[0] = '\0';
  auto error = temp_errors.find(folder);
  if (error != temp_errors.end()) return error->second;
  std::string name = folder;
  if (!name.empty() && name.back() != '\\') name += '\\';
  char unique[8];
  snprintf(unique, sizeof(unique), "%X", next_temp_++);
  name += std::string(prefix).substr(0, 3) + unique + ".tmp";
  if (!CopyText(out, kPathChars, name.c_str())) return 206;
  files.insert(name);
  return 0;
}

uint32_t FakeFolderSystem::RemoveFile(const char* path) { return files.erase(path) == 1 ? 0 : 2; }

namespace {

Bytes OneEntryArchive(const char* stored_name, const FileVersion& version, uint64_t time) {
  TestEntry entry = StoredEntry(stored_name, {1, 2, 3});
  entry.header.extensions = {
      Qel1(version.part[0], version.part[1], version.part[2], version.part[3], time, 0)};
  return BuildArchive({entry});
}

}  // namespace

FileVersion V(uint16_t a, uint16_t b, uint16_t c, uint16_t d) {
  const uint16_t words[4] = {a, b, c, d};
  return MakeFileVersion(words);
}

EntryOnTarget::EntryOnTarget(const char* stored_name, const FileVersion& version, uint64_t time,
                             const std::string& target)
    : bytes(OneEntryArchive(stored_name, version, time)),
      reader(new MemorySource(bytes.data(), static_cast<uint32_t>(bytes.size())), true, files) {
  reader.Open();
  package_name = reader.GetEntryName();
  reader.SetEntryName(target.c_str());
}

std::vector<std::string> ListTexts(const StringList& list) {
  std::vector<std::string> texts;
  for (const StringList::Node* n = list.head(); n != nullptr; n = n->next) texts.push_back(n->text);
  return texts;
}

LogCapture::LogCapture() {
  Status().log.SetBackend(&backend_);
  Status().log.SetLogging("c:\\log", kOptionLogBit);
}

LogCapture::~LogCapture() {
  Status().log.SetLogging(nullptr, 0);
  Status().log.SetBackend(nullptr);
}

std::vector<std::string> LogCapture::Lines() {
  // "<23-character timestamp> <text>\n"; the banners hold "Logging".
  std::vector<std::string> lines;
  const std::string& all = backend_.files["c:\\log\\install.log"];
  size_t start = 0;
  for (size_t end; (end = all.find('\n', start)) != std::string::npos; start = end + 1) {
    std::string line = all.substr(start, end - start);
    if (line.size() < 24 || line.find(" Logging Started (") == 23 ||
        line.find(" Logging Stopped (") == 23)
      continue;
    lines.push_back(line.substr(24));
  }
  return lines;
}

}  // namespace test
}  // namespace kest
