// The folder of an earlier installation, read from a real registry value
// under HKEY_LOCAL_MACHINE as the first dependency names it.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <string>

#include "install/earlier_install_win32.h"

namespace kest {
namespace {

constexpr char kKey[] = "SOFTWARE\\KestInstTest\\Earlier";

struct Case {
  const char* what;
  std::string key;    // the record's key path; "-" for no record
  std::string value;  // the record's value name
  DWORD type;         // of the value written as data
  std::string data;   // written with exactly these bytes
  bool found;
  std::string folder;  // afterwards
};

TEST(EarlierInstallFolder, ReadsWholeTextsOnly) {
  HKEY key;
  ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, kKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                            nullptr),
            ERROR_SUCCESS);
  const std::string fits(kPathChars - 1, 'f');
  const std::string before = "c:\\before\\";
  const std::string z(1, '\0');
  const Case cases[] = {
      {"text", kKey, "LocalInstallPath", REG_SZ, "C:\\Old Place\\" + z, true, "C:\\Old Place\\"},
      {"any type", kKey, "LocalInstallPath", REG_BINARY, "d:\\x", true, "d:\\x"},
      {"longest", kKey, "LocalInstallPath", REG_SZ, fits + z, true, fits},
      {"too long", kKey, "LocalInstallPath", REG_SZ, fits + "g" + z, false, before},
      {"too long, no terminator", kKey, "LocalInstallPath", REG_BINARY, fits + "g", false, before},
      {"empty", kKey, "LocalInstallPath", REG_SZ, z, false, before},
      {"no such value", kKey, "Other", REG_SZ, "c:\\x" + z, false, before},
      {"no such key", std::string(kKey) + "\\Missing", "LocalInstallPath", REG_SZ, "c:\\x" + z,
       false, before},
      {"root named", std::string("HKEY_LOCAL_MACHINE\\") + kKey, "LocalInstallPath", REG_SZ,
       "c:\\x" + z, false, before},
      {"no value name", kKey, "", REG_SZ, "c:\\x" + z, false, before},
      {"no key path", "", "LocalInstallPath", REG_SZ, "c:\\x" + z, false, before},
      {"no record", "-", "", REG_SZ, "c:\\x" + z, false, before},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    RegDeleteValueA(key, "LocalInstallPath");
    ASSERT_EQ(RegSetValueExA(key, "LocalInstallPath", 0, c.type,
                             reinterpret_cast<const BYTE*>(c.data.data()),
                             static_cast<DWORD>(c.data.size())),
              ERROR_SUCCESS);
    std::string key_path = c.key, value_name = c.value;
    DependencyRecord record;
    record.registry_key = &key_path[0];
    record.registry_value = &value_name[0];
    char folder[kPathChars];
    strcpy(folder, before.c_str());
    EXPECT_EQ(ReadEarlierInstallFolder(c.key == "-" ? nullptr : &record, folder), c.found);
    EXPECT_EQ(std::string(folder), c.folder);
  }
  RegCloseKey(key);
  RegDeleteKeyA(HKEY_LOCAL_MACHINE, kKey);
  RegDeleteKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE\\KestInstTest");
}

}  // namespace
}  // namespace kest
