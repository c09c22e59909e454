#include "tests/install/copy_test_support.h"

#include <cstdio>
#include <cstring>

#include "archive/memory_source.h"
#include "archive/package_reader.h"
#include "packaging/archive_writer.h"
#include "packaging/vector_sink.h"
#include "tests/support/win32_test_support.h"

namespace kest::test {
namespace {

constexpr char kSessionManager[] = "System\\CurrentControlSet\\Control\\Session Manager";
constexpr char kPendingMoves[] = "PendingFileRenameOperations";

// "Www Mmm dd hh:mm:ss AM: " - the fixed places of the log's timestamp.
bool HasTimestamp(const std::string& line) {
  if (line.size() < 24) return false;
  for (size_t at : {3, 7, 10, 19, 23}) {
    if (line[at] != ' ') return false;
  }
  return line[13] == ':' && line[16] == ':' && line[22] == ':' &&
         (line.compare(20, 2, "AM") == 0 || line.compare(20, 2, "PM") == 0);
}

}  // namespace

std::string BuildArchive(const std::vector<PackEntry>& entries) {
  std::vector<uint8_t> bytes;
  VectorSink sink(&bytes);
  ArchiveWriter writer(sink);
  uint32_t error = writer.Begin("copy.arj", kEntryDosTime);
  uint32_t method = 1;
  for (const PackEntry& e : entries) {
    EntryInfo info = {e.name.c_str(), kEntryDosTime, e.file_time,
                      {e.version[0], e.version[1], e.version[2], e.version[3]}};
    if (error == 0) {
      error = writer.AddEntry(info, reinterpret_cast<const uint8_t*>(e.data.data()),
                              static_cast<uint32_t>(e.data.size()), method);
    }
    method = method % 3 + 1;
  }
  if (error == 0) error = writer.Finish();
  if (error != 0) return "";
  const ArchiveLengthPatch patch = writer.LengthPatch();
  memcpy(bytes.data() + patch.offset, patch.bytes, sizeof(patch.bytes));
  return std::string(bytes.begin(), bytes.end());
}

std::vector<PackedData> FindPackedData(const std::string& archive) {
  std::vector<PackedData> found;
  // A memory source lends the reader its bytes: the entry's data pointer
  // lies inside the archive.
  MemorySource source(archive.data(), static_cast<uint32_t>(archive.size()));
  class NoFiles : public OutputFileSystem {
    uint32_t Create(const char*, std::unique_ptr<OutputFile>*) override { return 5; }
    uint32_t Delete(const char*) override { return 5; }
  } files;
  BareArchiveReader reader(&source, false, files);
  for (bool more = reader.Open(); more; more = reader.NextEntry()) {
    const uint8_t* data = reader.GetEntryData();
    found.push_back({static_cast<size_t>(data - reinterpret_cast<const uint8_t*>(archive.data())),
                     reader.GetEntryPackedSize()});
  }
  return found;
}

CopyRun RunCopyProbe(const char* version, const std::string& archive,
                     const std::string& destination, const std::string& arguments) {
  CopyRun run;
  ScratchFolder scratch;
  const std::string report = scratch.File("report.txt");
  {
    ScopedWindowsVersion seen("copy_probe.exe", version);
    const ProcessResult process =
        RunProcess("\"" + BesideTestProgram("copy_probe.exe") + "\" copy \"" + archive + "\" \"" +
                   destination + "\" \"" + report + "\" " + arguments);
    run.started = process.started;
    run.start_error = process.start_error;
    run.finished = process.finished;
    run.exit_code = process.exit_code;
  }
  std::string text;
  if (!ReadWholeFile(report, &text)) return run;
  size_t start = 0;
  for (size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
    const std::string line = text.substr(start, end - start);
    const size_t blank = line.find(' ');
    const std::string key = line.substr(0, blank), value = line.substr(blank + 1);
    if (key == "result") run.result = value == "1";
    if (key == "options") run.options = static_cast<uint32_t>(strtoul(value.c_str(), nullptr, 16));
    if (key == "installed") run.installed.push_back(value);
    if (key == "dialog") run.dialogs.push_back(value);
  }
  return run;
}

Strings LogLines(const std::string& folder) {
  Strings lines;
  std::string all;
  if (!ReadWholeFile(folder + "\\install.log", &all)) return lines;
  size_t start = 0;
  for (size_t end; (end = all.find('\n', start)) != std::string::npos; start = end + 1) {
    const std::string line = all.substr(start, end - start);
    if (line.empty() || line.find(" Logging Started (") == 23 ||
        line.find(" Logging Stopped (") == 23)
      continue;
    lines.push_back(HasTimestamp(line) ? line.substr(24) : "<bad timestamp>");
  }
  return lines;
}

std::string WindowsFile(const char* name) {
  char folder[MAX_PATH];
  GetWindowsDirectoryA(folder, MAX_PATH);
  return std::string(folder) + "\\" + name;
}

std::string ShortPath(const std::string& path) {
  char out[MAX_PATH];
  const DWORD n = GetShortPathNameA(path.c_str(), out, MAX_PATH);
  return n != 0 && n < MAX_PATH ? out : "";
}

Strings PendingMoves() {
  Strings texts;
  HKEY key;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSessionManager, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
    return texts;
  DWORD type = 0, size = 0;
  std::vector<char> data;
  if (RegQueryValueExA(key, kPendingMoves, nullptr, &type, nullptr, &size) == ERROR_SUCCESS) {
    data.resize(size + 2);
    RegQueryValueExA(key, kPendingMoves, nullptr, &type, reinterpret_cast<BYTE*>(data.data()),
                     &size);
  }
  RegCloseKey(key);
  for (size_t at = 0; at < data.size() && data[at] != '\0';) {
    texts.emplace_back(&data[at]);
    at += texts.back().size() + 1;
  }
  return texts;
}

void ForgetQueuedReplacements() {
  DeleteFileA(WindowsFile("WININIT.INI").c_str());
  DeleteFileA(WindowsFile("wininit.bak").c_str());
  HKEY key;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSessionManager, 0, KEY_SET_VALUE, &key) == ERROR_SUCCESS) {
    RegDeleteValueA(key, kPendingMoves);
    RegCloseKey(key);
  }
}

std::string Contents(const std::string& path) {
  std::string text;
  return ReadWholeFile(path, &text) ? text : "<missing>";
}

bool RestartPrefix() {
  const ProcessResult restart = RunProcess("wineboot.exe -r");
  return restart.finished && restart.exit_code == 0;
}

}  // namespace kest::test
