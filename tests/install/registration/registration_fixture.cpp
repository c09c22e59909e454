#include "tests/install/registration/registration_fixture.h"

#include "base/install_log.h"
#include "base/install_status.h"

namespace kest::test {

const char kSharedDllsPath[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDlls";

RegistrationTest::RegistrationTest() {
  record_path_ = folder_.File("probe-record.txt");
  SetEnvironmentVariableA("KEST_PROBE_RECORD", record_path_.c_str());
  Status().platform = &platform_;
  Status().ui_level = 0;  // reports reach the log, no dialog
  Status().log.SetBackend(&log_backend_);
  Status().log.SetLogging(folder_.path().c_str(), kOptionLogBit);
  context_.reset(CreateInstallerContext("c:\\context text"));
}

RegistrationTest::~RegistrationTest() {
  Status().log.SetLogging(nullptr, 0);
  Status().log.SetBackend(nullptr);
  ResetStatus();
  SetEnvironmentVariableA("KEST_PROBE_RECORD", nullptr);
}

std::string RegistrationTest::AddFile(const std::string& source, const std::string& name) {
  std::string target = folder_.File(name);
  EXPECT_TRUE(CopyFileA(source.c_str(), target.c_str(), FALSE)) << source;
  return target;
}

std::string RegistrationTest::AddProbe(const std::string& probe, const std::string& name) {
  return AddFile(WindowsPath(KEST_PROBE_DIR) + "\\probe_" + probe + ".dll", name);
}

std::vector<std::string> RegistrationTest::Record() const {
  std::string text;
  std::vector<std::string> lines;
  if (!ReadWholeFile(record_path_, &text)) return lines;
  for (size_t at = 0, end; (end = text.find('\n', at)) != std::string::npos; at = end + 1) {
    lines.push_back(text.substr(at, end - at));
  }
  return lines;
}

std::vector<std::string> RegistrationTest::LogLines() {
  Status().log.CloseFile();  // the log is not shared while open
  std::string text;
  std::vector<std::string> lines;
  EXPECT_TRUE(ReadWholeFile(folder_.File("install.log"), &text));
  // "Www Mmm dd hh:mm:ss AM: text": the text starts after 24 characters.
  for (size_t at = 0, end; (end = text.find('\n', at)) != std::string::npos; at = end + 1) {
    std::string line = text.substr(at, end - at);
    if (line.empty() || line.find(" Logging Started (") != std::string::npos ||
        line.find(" Logging Stopped (") != std::string::npos) {
      continue;
    }
    lines.push_back(line.substr(24));
  }
  return lines;
}

SharedDllsKey::SharedDllsKey() {
  DWORD disposition = 0;
  EXPECT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, kSharedDllsPath, 0, nullptr, 0, KEY_ALL_ACCESS,
                            nullptr, &key_, &disposition),
            ERROR_SUCCESS);
  created_ = disposition == REG_CREATED_NEW_KEY;
}

SharedDllsKey::~SharedDllsKey() {
  RegCloseKey(key_);
  if (created_) RegDeleteKeyA(HKEY_LOCAL_MACHINE, kSharedDllsPath);
}

long long SharedDllsKey::Count(const std::string& name) const {
  DWORD type = 0, count = 0, size = sizeof(count);
  LONG result = RegQueryValueExA(key_, name.c_str(), nullptr, &type,
                                 reinterpret_cast<BYTE*>(&count), &size);
  if (result == ERROR_FILE_NOT_FOUND) return -1;
  if (result != ERROR_SUCCESS || type != REG_DWORD || size != sizeof(count)) return -2;
  return count;
}

void SharedDllsKey::SetCount(const std::string& name, DWORD count) {
  ASSERT_EQ(RegSetValueExA(key_, name.c_str(), 0, REG_DWORD, reinterpret_cast<BYTE*>(&count),
                           sizeof(count)),
            ERROR_SUCCESS);
}

void SharedDllsKey::SetString(const std::string& name, const std::string& text) {
  ASSERT_EQ(RegSetValueExA(key_, name.c_str(), 0, REG_SZ,
                           reinterpret_cast<const BYTE*>(text.c_str()), text.size() + 1),
            ERROR_SUCCESS);
}

void SharedDllsKey::Remove(const std::string& name) { RegDeleteValueA(key_, name.c_str()); }

std::wstring Wide(const std::string& text) { return std::wstring(text.begin(), text.end()); }

std::vector<std::string> Fill(const std::vector<std::string>& lines, const std::string& path) {
  std::vector<std::string> filled;
  for (std::string line : lines) {
    for (size_t at; (at = line.find("%s")) != std::string::npos;) line.replace(at, 2, path);
    filled.push_back(line);
  }
  return filled;
}

}  // namespace kest::test
