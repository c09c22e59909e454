// Shared by the registration tests: a scratch destination with the install
// log started in it through the base log API, the process's InstallStatus
// with the installer's string table and no dialogs, the probes' record
// file, and real registry values that are removed again.
#pragma once
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "base/win32_log_backend.h"
#include "base/win32_status_platform.h"
#include "install/installer_context_win32.h"
#include "install/progress.h"
#include "tests/support/win32_test_support.h"

namespace kest::test {

// The status line and message pumps, as events: "text <status line>", "pump".
class RecordingProgress : public Progress {
 public:
  void ShowProgressText(const char* text) override { events.push_back(std::string("text ") + text); }
  void PumpMessages() override { events.push_back("pump"); }
  std::vector<std::string> events;
};

class RegistrationTest : public testing::Test {
 protected:
  RegistrationTest();
  ~RegistrationTest() override;

  // Copies the DLL of probe `probe` (probe_<probe>.dll) into the scratch
  // folder as `name`; returns its full path.
  std::string AddProbe(const std::string& probe, const std::string& name);
  // Copies any file into the scratch folder as `name`; returns its path.
  std::string AddFile(const std::string& source, const std::string& name);
  // The lines the probes recorded so far.
  std::vector<std::string> Record() const;
  // The ordinary lines of install.log without their timestamps.
  std::vector<std::string> LogLines();

  ScratchFolder folder_;
  std::string record_path_;
  Win32StatusPlatform platform_{GetModuleHandleA(nullptr)};
  Win32LogBackend log_backend_;
  InstallerContextPtr context_;
  RecordingProgress progress_;
};

// The shared-library counts' key, created for the test when the prefix has
// none (a fresh one has not) and removed again if the test created it.
class SharedDllsKey {
 public:
  SharedDllsKey();
  ~SharedDllsKey();
  SharedDllsKey(const SharedDllsKey&) = delete;
  SharedDllsKey& operator=(const SharedDllsKey&) = delete;

  // Count of value `name`: -1 when there is no value, -2 when it is not a
  // 4-byte REG_DWORD.
  long long Count(const std::string& name) const;
  void SetCount(const std::string& name, DWORD count);
  void SetString(const std::string& name, const std::string& text);
  void Remove(const std::string& name);

 private:
  HKEY key_ = nullptr;
  bool created_ = false;
};

extern const char kSharedDllsPath[];
std::wstring Wide(const std::string& text);
// One line of expected log or record text with every "%s" replaced by path.
std::vector<std::string> Fill(const std::vector<std::string>& lines, const std::string& path);

}  // namespace kest::test
