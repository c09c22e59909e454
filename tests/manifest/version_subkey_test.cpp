#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "base/text_limits.h"
#include "manifest/version_subkey_win32.h"

namespace kest {
namespace {

constexpr char kTestRoot[] = "Software\\KestInstTest";
constexpr char kTestKey[] = "Software\\KestInstTest\\VersionSubkeys";

// RegDeleteKeyA removes only keys without subkeys on Windows NT.
void DeleteTree(HKEY root, const std::string& path) {
  HKEY key;
  if (RegOpenKeyExA(root, path.c_str(), 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) return;
  char name[256];
  DWORD size = sizeof(name);
  while (RegEnumKeyExA(key, 0, name, &size, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS) {
    DeleteTree(key, name);
    size = sizeof(name);
  }
  RegCloseKey(key);
  RegDeleteKeyA(root, path.c_str());
}

// Creates kTestKey with the given subkeys (in that order) and removes the
// whole test key when the object goes.
class TestKey {
 public:
  explicit TestKey(const std::vector<std::string>& subkeys) {
    DeleteTree(HKEY_CURRENT_USER, kTestRoot);
    for (const std::string& name : subkeys) Create(std::string(kTestKey) + "\\" + name);
    if (subkeys.empty()) Create(kTestKey);
  }
  ~TestKey() { DeleteTree(HKEY_CURRENT_USER, kTestRoot); }

  // The subkey names in the order the registry enumerates them.
  std::vector<std::string> Enumerated() const {
    std::vector<std::string> names;
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kTestKey, 0, KEY_READ, &key) != ERROR_SUCCESS)
      return names;
    char name[256];
    for (DWORD i = 0;; ++i) {
      DWORD size = sizeof(name);
      if (RegEnumKeyExA(key, i, name, &size, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
        break;
      names.push_back(name);
    }
    RegCloseKey(key);
    return names;
  }

 private:
  static void Create(const std::string& path) {
    HKEY key;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                              nullptr, &key, nullptr),
              ERROR_SUCCESS);
    RegCloseKey(key);
  }
};

std::string Text(const VersionParts& v) {
  return std::to_string(v.part[0]) + "." + std::to_string(v.part[1]) + "." +
         std::to_string(v.part[2]) + "." + std::to_string(v.part[3]);
}

TEST(FindHighestVersionSubkey, HighestVersionFirstOfEqualsWins) {
  TestKey key({"4.5", "4.6", "4.06", "Setup"});
  // '4.6' and '4.06' read the same; the one the registry enumerates first
  // wins, whatever order it keeps its subkeys in.
  std::string first_of_equals;
  for (const std::string& name : key.Enumerated()) {
    if (name == "4.6" || name == "4.06") {
      first_of_equals = name;
      break;
    }
  }
  ASSERT_FALSE(first_of_equals.empty());

  VersionParts best{{9, 9, 9, 9}};
  char name[kPathChars] = "untouched";
  EXPECT_EQ(FindHighestVersionSubkey(HKEY_CURRENT_USER, kTestKey, &best, name), ERROR_SUCCESS);
  EXPECT_EQ(Text(best), "4.6.0.0");
  EXPECT_EQ(std::string(name), first_of_equals);

  // Without a name buffer only the version comes back.
  EXPECT_EQ(FindHighestVersionSubkey(HKEY_CURRENT_USER, kTestKey, &best, nullptr), ERROR_SUCCESS);
  EXPECT_EQ(Text(best), "4.6.0.0");
}

TEST(FindHighestVersionSubkey, NothingWins) {
  struct Case {
    const char* name;
    std::vector<std::string> subkeys;
  } cases[] = {
      {"no subkeys", {}},
      {"only names that read as 0.0.0.0 or have no part", {"Setup", "0.0", "...", "x.y"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TestKey key(c.subkeys);
    VersionParts best{{9, 9, 9, 9}};
    char name[kPathChars] = "untouched";
    EXPECT_EQ(FindHighestVersionSubkey(HKEY_CURRENT_USER, kTestKey, &best, name), ERROR_SUCCESS);
    EXPECT_EQ(Text(best), "0.0.0.0");
    EXPECT_STREQ(name, "untouched");
  }
}

TEST(FindHighestVersionSubkey, LaterPartsDecideAndNamesAreWhole) {
  TestKey key({"1.2.3.4", "1.2.3.10", "1.2.3", "0.0.0.1 beta"});
  VersionParts best;
  char name[kPathChars] = "";
  EXPECT_EQ(FindHighestVersionSubkey(HKEY_CURRENT_USER, kTestKey, &best, name), ERROR_SUCCESS);
  EXPECT_EQ(Text(best), "1.2.3.10");
  EXPECT_STREQ(name, "1.2.3.10");
}

TEST(FindHighestVersionSubkey, MissingKeyGivesItsStatus) {
  TestKey key({});
  VersionParts best{{9, 9, 9, 9}};
  char name[kPathChars] = "untouched";
  EXPECT_EQ(
      FindHighestVersionSubkey(HKEY_CURRENT_USER, "Software\\KestInstTest\\Missing", &best, name),
      ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(Text(best), "0.0.0.0");
  EXPECT_STREQ(name, "untouched");
}

}  // namespace
}  // namespace kest
