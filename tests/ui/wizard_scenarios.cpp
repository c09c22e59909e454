#include "tests/ui/wizard_scenarios.h"

#include <windows.h>

#include <gtest/gtest.h>

#include "resources/resource_ids.h"
#include "tests/support/win32_test_support.h"

namespace kest::test {

namespace {

constexpr char kHostKey[] = "SOFTWARE\\MORVANE\\Scriba";
constexpr char kHostVersionKey[] = "SOFTWARE\\MORVANE\\Scriba\\4.1";

// The host product installed (its folder under its highest version key)
// or not, for one scenario.
class ScopedHostProduct {
 public:
  explicit ScopedHostProduct(bool installed) {
    Remove();
    if (!installed) return;
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, kHostVersionKey, 0, nullptr, 0, KEY_SET_VALUE,
                        nullptr, &key, nullptr) == ERROR_SUCCESS) {
      static const char kFolder[] = "C:\\Program Files\\Scriba";
      RegSetValueExA(key, "Path", 0, REG_SZ, reinterpret_cast<const BYTE*>(kFolder),
                     sizeof(kFolder));
      RegCloseKey(key);
    }
  }
  ~ScopedHostProduct() { Remove(); }
  ScopedHostProduct(const ScopedHostProduct&) = delete;
  ScopedHostProduct& operator=(const ScopedHostProduct&) = delete;

 private:
  static void Remove() {
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, kHostVersionKey);
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, kHostKey);
  }
};

}  // namespace

std::vector<Step> Join(std::initializer_list<std::vector<Step>> parts) {
  std::vector<Step> all;
  for (const auto& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}

const std::vector<Step> kToDestination = {
    ExpectDialog(IDD_AGREEMENT), Press(IDC_AGREE_CHECK), Press(IDC_NEXT),
    ExpectDialog(IDD_WELCOME),   Press(IDC_NEXT),
};

const std::vector<Step> kConfirmExit = {
    ExpectDialog(IDD_EXIT_CONFIRM), Press(IDC_NEXT), ExpectExit(0),
};

void Play(const Scenario& s, const char* version) {
  SCOPED_TRACE(std::string(s.name) + " on " + version);
  std::string installer = s.program;
  if (installer.find('\\') == std::string::npos) {
    const std::string sample = SampleInstallerPath();
    installer = sample.substr(0, sample.rfind('\\') + 1) + s.program;
  }
  ASSERT_TRUE(FileExists(installer))
      << "no signed installer at " << installer << "; scripts/sample.sh builds it";
  ScopedWindowsVersion scoped(installer.substr(installer.rfind('\\') + 1), version);
  ScopedHostProduct host(s.host);
  RunScenario(installer, s.arguments, s.steps, s.directory);
}

}  // namespace kest::test
